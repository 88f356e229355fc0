// The viewer's frame (keys, animation, HUD and Sync) against a bare Sync of
// the same scene at 640x360: their ratio is what the viewer adds.
#include <benchmark/benchmark.h>

#include <string>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeFile.h"
#include "bench/player/viewerBench.h"
#include "player/zeSceneViewer.h"
#include "scene/zeScene.h"

namespace {

constexpr int kWidth = 640, kHeight = 360;
constexpr int kFrames = 1000;

// One millisecond a frame: the 4 s example scene plays on through every frame.
struct Run : IZeSceneViewerHooks {
  explicit Run(benchmark::State& s) : state(s) {}
  bool clock(unsigned* ms) override {
    *ms = now++;
    return true;
  }
  bool afterFrame(int, const SZeViewerFrame&) override { return state.KeepRunning(); }
  benchmark::State& state;
  unsigned now = 0;
};

void BM_ViewerFrame(benchmark::State& state) {
  const char* reason = "";
  if (!startViewerEngine(kWidth, kHeight, &reason)) {
    state.SkipWithError(reason);
    return;
  }
  const std::string folder = copyExampleSceneForBench();
  Run run(state);
  ViewerOptions options;
  options.flags = ZE_VIEWER_BASE | ZE_VIEWER_NO_IDLE_INACTIVE;
  if (zeRunSceneViewer((folder + "/example.zscn").c_str(), options, &run) != 0) state.SkipWithError("no scene");
  zeEngineStop();
  removeBenchFolder(folder);
}
BENCHMARK(BM_ViewerFrame)->Iterations(kFrames)->Unit(benchmark::kMillisecond);

void BM_BareSync(benchmark::State& state) {
  const char* reason = "";
  if (!startViewerEngine(kWidth, kHeight, &reason)) {
    state.SkipWithError(reason);
    return;
  }
  const std::string folder = copyExampleSceneForBench();
  zeSetWorkingDirectory(folder.c_str());
  ZeSceneLoadParams params;
  params.objectBase = 1;
  if (zeLoadScene(1, "example.zscn", "", params) != 0) {
    state.SkipWithError("no scene");
  } else {
    zePrepareSceneRender(1);
    zeShowScene(1);
    zeAnimateScene(1, 0);
    for (auto _ : state) zeSync();
  }
  if (zeSceneExist(1)) zeDeleteScene(1);
  zeEngineStop();
  removeBenchFolder(folder);
}
BENCHMARK(BM_BareSync)->Iterations(kFrames)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
