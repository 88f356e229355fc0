// The Blender exporter on a scene of 100 animated cubes over 250 frames
// (tests/tools/blender/make_scene.py speed), exported by headless Blender.
// "export_s" is the exporter's own time (it prints it), the run time also
// counts Blender starting and reading the file. Needs `blender` on the PATH
// (or ZARN_BLENDER); without it the benchmark says so and stops.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string blender() {
  const char* given = std::getenv("ZARN_BLENDER");
  return given ? given : "blender";
}

// Runs a command; its output, and false when it failed.
bool run(const std::string& command, std::string* out) {
  FILE* pipe = popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return false;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) *out += buffer;
  return pclose(pipe) == 0;
}

const std::string& speedScene() {
  static const std::string folder = [] {
    char name[] = "/tmp/zarn-blender-bench-XXXXXX";
    std::string dir = mkdtemp(name) ? name : "";
    std::string out;
    if (dir.empty() || !run("'" + blender() + "' -b --factory-startup --python-exit-code 1 --python '" +
                                std::string(ZARN_SOURCE_DIR) + "/tests/tools/blender/make_scene.py' -- '" + dir +
                                "' speed",
                            &out))
      return std::string();
    return dir;
  }();
  return folder;
}

void BM_ExportHundredObjectsTwoHundredFiftyFrames(benchmark::State& state) {
  const std::string& dir = speedScene();
  if (dir.empty()) {
    state.SkipWithError("blender not found or the scene could not be made");
    return;
  }
  double exportSeconds = 0.0;
  for (auto _ : state) {
    std::string out;
    if (!run("'" + blender() + "' -b --factory-startup '" + dir + "/speed.blend' --python '" +
                 std::string(ZARN_SOURCE_DIR) + "/tools/blender/zarn_export.py' -- '" + dir + "/speed.zscn'" +
                 (state.range(0) ? " --binary" : ""),
             &out)) {
      state.SkipWithError(("export failed: " + out).c_str());
      return;
    }
    const std::size_t at = out.find(" in ", out.find("zarn_export: wrote"));
    if (at != std::string::npos) exportSeconds += std::atof(out.c_str() + at + 4);
  }
  state.counters["export_s"] = benchmark::Counter(exportSeconds, benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_ExportHundredObjectsTwoHundredFiftyFrames)
    ->Arg(0)
    ->Arg(1)
    ->ArgName("binary")
    ->Unit(benchmark::kSecond)
    ->UseRealTime()
    ->Iterations(3);

}  // namespace

BENCHMARK_MAIN();
