// Scene surfaces on the NULL driver: one frame of the surfaces of 1,000
// objects of 4 materials each (animated colour, luminosity, diffuse,
// specularity and glossiness), evaluated and applied as a playing scene does,
// against evaluating the same channels alone in the same run.
//
//   ZARN_DRIVER=null build/bench/bench_surface_apply
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeScene.h"
#include "scene/zeSceneSubsystem.h"
#include "tests/scene/sceneGenerate.h"
#include "zf/zfScene.h"

namespace {

constexpr int kObjects = 1000;
constexpr int kRows = 4;
constexpr int kFrames = 250;

// A mesh of four one-triangle buffers in the mesh cache under the name objects load.
void cacheBenchMesh(const char* file) {
  irr::scene::SMesh* mesh = new irr::scene::SMesh;
  for (int b = 0; b < kRows; ++b) {
    irr::scene::SMeshBuffer* buffer = new irr::scene::SMeshBuffer;
    for (int i = 0; i < 3; ++i)
      buffer->Vertices.push_back(irr::video::S3DVertex(float(i), float(i % 2), float(b), 0, 0, -1,
                                                       irr::video::SColor(255, 255, 255, 255), 0, 0));
    for (irr::u16 i : {0, 1, 2}) buffer->Indices.push_back(i);
    buffer->recalculateBoundingBox();
    mesh->addMeshBuffer(buffer);
    buffer->drop();
  }
  mesh->recalculateBoundingBox();
  irr::scene::SAnimatedMesh* animated = new irr::scene::SAnimatedMesh(mesh);
  zeEngineContext().sceneManager->getMeshCache()->addMesh(zeObjectMeshName(file).c_str(), animated);
  animated->drop();
  mesh->drop();
}

// The engine with the generated scene loaded (objects 0..999); its surfaces.
const ZF_SceneObjectRec* start() {
  setenv("ZARN_DRIVER", "null", 1);
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  zeSceneRegister();
  ZeEngineSettings settings;
  settings.width = 64;
  settings.height = 48;
  if (zeEngineStart(settings) != 0) return nullptr;
  cacheBenchMesh("surfaces.x");
  const std::string path = "/tmp/zarn-bench-surfaces.zscn";
  std::ofstream(path) << zeGeneratedScene(kObjects, 0, kFrames, "surfaces.x", kRows);
  ZeSceneLoadParams params;
  if (zeLoadScene(0, path.c_str(), "", params) != 0) return nullptr;
  const ZF_SceneView* view = zeSceneView(0);
  return view && !view->sceneObjects.empty() ? &view->sceneObjects[0] : nullptr;
}

template <bool apply>
void frames(benchmark::State& state) {
  const ZF_SceneObjectRec* surfaces = start();
  if (!surfaces) {
    state.SkipWithError("the engine or the scene did not start");
    return;
  }
  std::vector<ZF_SurfaceParams> scratch(kRows);
  int t = 0;
  for (auto _ : state) {
    const float s = t / 1000.0f * 25.0f;
    for (int id = 0; id < kObjects; ++id) {
      const int n = ZF_SurfaceParamsEval(surfaces, s, scratch.data(), kRows);
      if (apply) zeApplyObjectSurfaces(id, scratch.data(), n, false);
    }
    benchmark::DoNotOptimize(scratch.data());
    t = (t + 37) % 10000;
  }
  zeEngineStop();
}

void BM_ApplySurfaces(benchmark::State& state) { frames<true>(state); }
void BM_EvaluateSurfacesAlone(benchmark::State& state) { frames<false>(state); }
BENCHMARK(BM_ApplySurfaces)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_EvaluateSurfacesAlone)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
