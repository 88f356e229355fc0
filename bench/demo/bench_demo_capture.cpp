// Capture rate of the example demo at 1280x720 (200 frames at 25 fps):
// numbered PNGs, straight to .mp4, and the two-step route (the same PNGs,
// then `ffmpeg -framerate 25 -i base_%06d.png` to H.264). Each reports
// frames per second of the whole run, program start and loading included.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <string>

namespace {

constexpr int kFrames = 200;

std::string folder() {
  static std::string made = [] {
    char pattern[] = "/tmp/zarn-bench-capture-XXXXXX";
    std::string path = mkdtemp(pattern) ? pattern : "/tmp";
    std::ofstream(path + "/zarn-setup.ini") << "[Setup]\ndisplay=1280 720 32\nwindowed=1\nvsync=0\n";
    return path;
  }();
  return made;
}

double seconds(const std::string& command) {
  const auto start = std::chrono::steady_clock::now();
  const int result = std::system(command.c_str());
  const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result == 0 ? took : -1;
}

double capture(const std::string& name) {
  return seconds("cd " + folder() + " && rm -f f_*.png && ZARN_NONINTERACTIVE=1 timeout 600 " ZARN_EXECUTABLE
                 " " ZARN_EXAMPLE " -cap " + folder() + "/" + name + " -capfps 25 >/dev/null 2>&1");
}

void report(benchmark::State& state, double took) {
  if (took <= 0) {
    state.SkipWithError("the run failed");
    return;
  }
  state.SetIterationTime(took);
  state.counters["frames_per_s"] = kFrames / took;
}

void BM_CapturePng(benchmark::State& state) {
  for (auto _ : state) report(state, capture("f.png"));
}

void BM_CaptureMp4(benchmark::State& state) {
  for (auto _ : state) report(state, capture("demo.mp4"));
}

void BM_PngThenFfmpeg(benchmark::State& state) {
  for (auto _ : state) {
    const double pngs = capture("f.png");
    const double encode = seconds("ffmpeg -v error -y -framerate 25 -i " + folder() + "/f_%06d.png -c:v libx264 " +
                                  "-pix_fmt yuv420p " + folder() + "/two-step.mp4");
    report(state, pngs > 0 && encode > 0 ? pngs + encode : -1);
    state.counters["ffmpeg_s"] = encode;
  }
}

BENCHMARK(BM_CapturePng)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_CaptureMp4)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PngThenFfmpeg)->UseManualTime()->Iterations(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
