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
#include "bench/benchScene.h"
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

// The engine with the generated scene loaded (objects 0..999); its surfaces.
const ZF_SceneObjectRec* start() {
  if (!zeBenchStartNullEngine()) return nullptr;
  zeBenchCacheMesh("surfaces.x", kRows);
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
