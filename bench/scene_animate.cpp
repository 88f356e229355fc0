// Scene animation on the NULL driver: one frame of a generated scene of
// 1,000 animated objects, 8 lights and a camera, against evaluating the
// same channels alone with the ZF evaluators; and the load time of the
// example scene in its text and binary forms.
//
//   ZARN_DRIVER=null build-bench/bench/bench_scene_animate
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeScene.h"
#include "scene/zeSceneSubsystem.h"
#include "tests/scene/sceneGenerate.h"
#include "zf/zfScene.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kLights = 8;
constexpr int kFrames = 250;

bool startEngine() {
  setenv("ZARN_DRIVER", "null", 1);
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  zeSceneRegister();
  zeInstallMainRenderer();
  ZeEngineSettings settings;
  settings.width = 64;
  settings.height = 48;
  return zeEngineStart(settings) == 0;
}

// A one-triangle mesh in the mesh cache under the name objects load.
void cacheBenchMesh(const char* file) {
  irr::scene::SMeshBuffer* buffer = new irr::scene::SMeshBuffer;
  for (int i = 0; i < 3; ++i)
    buffer->Vertices.push_back(irr::video::S3DVertex(float(i), float(i % 2), 0, 0, 0, -1,
                                                     irr::video::SColor(255, 255, 255, 255), 0, 0));
  for (irr::u16 i : {0, 1, 2}) buffer->Indices.push_back(i);
  buffer->recalculateBoundingBox();
  irr::scene::SMesh* mesh = new irr::scene::SMesh;
  mesh->addMeshBuffer(buffer);
  buffer->drop();
  mesh->recalculateBoundingBox();
  irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh(mesh);
  zeEngineContext().sceneManager->getMeshCache()->addMesh(zeObjectMeshName(file).c_str(), animated);
  animated->drop();
  mesh->drop();
}

bool loadGenerated() {
  cacheBenchMesh("bench.x");
  const std::string path = "/tmp/zarn-bench-scene.zscn";
  std::ofstream(path) << zeGeneratedScene(kObjects, kLights, kFrames, "bench.x");
  ZeSceneLoadParams params;  // objects 0..999: the whole objects table
  if (zeLoadScene(0, path.c_str(), "", params) != 0) return false;
  zeShowScene(0);
  return true;
}

void BM_AnimateScene(benchmark::State& state) {
  if (!startEngine() || !loadGenerated()) {
    state.SkipWithError("the engine or the scene did not start");
    return;
  }
  int t = 0;
  for (auto _ : state) {
    zeAnimateScene(0, t);
    t = (t + 37) % 10000;
  }
  zeEngineStop();
}
BENCHMARK(BM_AnimateScene)->Unit(benchmark::kMicrosecond);

// The same channels through the evaluators alone, at the same positions.
void BM_EvaluateChannelsAlone(benchmark::State& state) {
  if (!startEngine() || !loadGenerated()) {
    state.SkipWithError("the engine or the scene did not start");
    return;
  }
  const ZF_SceneView& v = *zeSceneView(0);
  int t = 0;
  float sum = 0;
  for (auto _ : state) {
    const float s = t / 1000.0f * 25.0f;
    const ZF_CameraRec& c = v.cameras[0];
    ZF_Float3 p = ZF_FP3_Lerp(c.position, s), r = ZF_FP3_Slerp_HPB_To_XYZ(c.rotation, s);
    sum += p.x + r.x + ZF_FP_Lerp(c.zoomFactor, s) + ZF_FP3_Lerp(v.ambient, s).x;
    for (const ZF_LightRec& l : v.lights) {
      p = ZF_FP3_Lerp(l.position, s), r = ZF_FP3_Slerp_HPB_To_XYZ(l.rotation, s);
      sum += p.x + r.x + ZF_FP3_Lerp(l.color, s).x + ZF_FP_Lerp(l.intensity, s) + ZF_FP_Lerp(l.range, s);
    }
    for (const ZF_ObjectRec& o : v.objects) {
      p = ZF_FP3_Lerp(o.position, s), r = ZF_FP3_Slerp_HPB_To_XYZ(o.rotation, s);
      sum += p.x + r.y + ZF_FP3_Lerp(o.scale, s).z;
    }
    benchmark::DoNotOptimize(sum);
    t = (t + 37) % 10000;
  }
  zeEngineStop();
}
BENCHMARK(BM_EvaluateChannelsAlone)->Unit(benchmark::kMicrosecond);

void loadExample(benchmark::State& state, const char* name) {
  if (!startEngine()) {
    state.SkipWithError("the engine did not start");
    return;
  }
  const std::string folder = std::string(ZARN_SOURCE_DIR) + "/examples/scene";
  zeSetWorkingDirectory(folder.c_str());
  const std::string path = folder + "/" + name;
  ZeSceneLoadParams params;
  params.objectBase = 1;
  for (auto _ : state) {
    if (zeLoadScene(0, path.c_str(), "", params) != 0) {
      state.SkipWithError("the example scene did not load");
      break;
    }
    zeDeleteScene(0);
  }
  zeEngineStop();
}
void BM_LoadExampleText(benchmark::State& state) { loadExample(state, "example.zscn"); }
void BM_LoadExampleBinary(benchmark::State& state) { loadExample(state, "example.zbin"); }
BENCHMARK(BM_LoadExampleText)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_LoadExampleBinary)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
