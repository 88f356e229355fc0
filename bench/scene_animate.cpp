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
#include "bench/benchScene.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeScene.h"
#include "scene/zeSceneSubsystem.h"
#include "tests/scene/sceneGenerate.h"
#include "zf/zfScene.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kLights = 8;
constexpr int kFrames = 250;

bool startEngine() { return zeBenchStartNullEngine(); }

bool loadGenerated() {
  zeBenchCacheMesh("bench.x", 1);
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
