// Live update latency: from the scene file being saved (written in place, or
// written beside it and renamed over it) to the end of the first frame drawn
// with the new content. The viewer runs as with -syncupdate; saves alternate
// between two backdrop colours, so the new content is the backdrop the frame
// was drawn with. Manual time per save; the median is the counter median_ms.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "bench/player/viewerBench.h"
#include "player/zeSceneViewer.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Saves {
  benchmark::State* state = nullptr;
  std::string scene;
  std::string texts[2];
  bool renameOver = false;
  int next = 0;
  bool waiting = false;
  unsigned colourBefore = 0;
  Clock::time_point savedAt;
  std::vector<double> latenciesMs;
  bool failed = false;
};

bool writeWhole(const std::string& path, const std::string& text) {
  std::FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
  return std::fclose(f) == 0 && written;
}

void save(Saves& s) {
  s.colourBefore = zeGetBackdropColour();
  const std::string& text = s.texts[s.next++ % 2];
  s.savedAt = Clock::now();
  if (s.renameOver) {
    const std::string temporary = s.scene + ".saving";
    if (!writeWhole(temporary, text) || std::rename(temporary.c_str(), s.scene.c_str()) != 0) s.failed = true;
  } else if (!writeWhole(s.scene, text)) {
    s.failed = true;
  }
  s.waiting = true;
}

bool onFrame(int frame, Saves& s) {
  if (s.failed) return false;
  if (frame == 0) {
    if (!s.state->KeepRunning()) return false;
    save(s);
    return true;
  }
  if (!s.waiting) return true;
  const double ms = std::chrono::duration<double, std::milli>(Clock::now() - s.savedAt).count();
  if (zeGetBackdropColour() != s.colourBefore) {
    s.state->SetIterationTime(ms / 1000.0);
    s.latenciesMs.push_back(ms);
    s.waiting = false;
    if (!s.state->KeepRunning()) return false;
    save(s);
  } else if (ms > 10000) {
    s.failed = true;
    return false;
  }
  return true;
}

void BM_LiveUpdate(benchmark::State& state) {
  const char* reason = "";
  if (!startViewerEngine(320, 240, &reason)) {
    state.SkipWithError(reason);
    return;
  }
  const std::string folder = copyExampleSceneForBench();
  Saves s;
  s.state = &state;
  s.scene = folder + "/example.zscn";
  s.renameOver = state.range(0) == 1;
  std::ifstream in(s.scene);
  std::stringstream text;
  text << in.rdbuf();
  s.texts[0] = text.str();
  s.texts[1] = s.texts[0];
  const std::string zenith = "zenith FP 0.066667 0.2 0.4";
  const std::size_t at = s.texts[1].find(zenith);
  if (at == std::string::npos) {
    state.SkipWithError("the example scene has another backdrop");
  } else {
    s.texts[1].replace(at, zenith.size(), "zenith FP 0.4 0.2 0.066667");
    std::swap(s.texts[0], s.texts[1]);  // the first save changes the colour
    struct Hooks : IZeSceneViewerHooks {
      Saves& saves;
      explicit Hooks(Saves& s) : saves(s) {}
      bool afterFrame(int frame, const SZeViewerFrame&) override { return onFrame(frame, saves); }
    } hooks(s);
    ViewerOptions options;
    options.flags = ZE_VIEWER_BASE | ZE_VIEWER_SYNC_UPDATE | ZE_VIEWER_PAUSED | ZE_VIEWER_NO_IDLE_INACTIVE;
    const int result = zeRunSceneViewer(s.scene.c_str(), options, &hooks);
    if (result != 0 || s.failed) state.SkipWithError("a save was not taken");
  }
  if (!s.latenciesMs.empty()) {
    std::vector<double> sorted = s.latenciesMs;
    std::sort(sorted.begin(), sorted.end());
    const size_t n = sorted.size();
    state.counters["median_ms"] = n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    state.counters["max_ms"] = sorted.back();
  }
  zeEngineStop();
  removeBenchFolder(folder);
}
BENCHMARK(BM_LiveUpdate)->ArgName("renameOver")->Arg(0)->Arg(1)->Iterations(20)->UseManualTime()->Unit(
    benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
