// Start-up to the first frame: a script production (the example scene's
// objects loaded by main.lua, one Sync, then the script ends) run from its
// folder, and the same folder packaged into a copy of the program with
// -direxe and run from elsewhere. Each run is the whole process, from spawn
// to exit; the figure that matters is the ratio of the two.
//   ./bench_startup [--benchmark_repetitions=5]
// ZARN_DRIVER is passed on (null when unset, so no display is needed; with
// ZARN_DRIVER=opengl run it under xvfb-run).
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

extern char** environ;

namespace fs = std::filesystem;

namespace {

const std::string root = "/tmp/zarn-bench-startup-" + std::to_string(::getpid());

// Runs `program args` in `folder`; the exit status, or -1.
int run(const std::string& folder, const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  fs::current_path(previous);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) return -1;
  int status = 0;
  if (waitpid(pid, &status, 0) != pid) return -1;
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

bool prepare() {
  static int ready = -1;
  if (ready >= 0) return ready == 1;
  ready = 0;
  ::setenv("ZARN_DRIVER", std::getenv("ZARN_DRIVER") ? std::getenv("ZARN_DRIVER") : "null", 1);
  ::setenv("ZARN_NONINTERACTIVE", "1", 1);
  fs::remove_all(root);
  const std::string production = root + "/production";
  fs::create_directories(production);
  fs::create_directories(root + "/elsewhere");
  // A production carries the engine's standard effects in its shaders folder
  // (a packaged one has nothing else to find them in).
  fs::copy(std::string(ZARN_DATA_DIR) + "/shaders", production + "/shaders", fs::copy_options::recursive);
  for (const char* f : {"floor.x", "mover.x", "pillar.x"})
    fs::copy_file(std::string(ZARN_EXAMPLES) + "/scene/" + f, production + "/" + f);
  std::ofstream(production + "/zarn-setup.ini") << "[Setup]\ndisplay = 320 240 32\nwindowed = 1\n";
  std::ofstream(production + "/main.lua") << "ze.Setup(320, 240, 32, true)\n"
                                             "ze.LoadObject('floor.x', 1)\n"
                                             "ze.LoadObject('mover.x', 2)\n"
                                             "ze.LoadObject('pillar.x', 3)\n"
                                             "ze.Sync()\n";
  // A run from the folder first fills its shader cache, which the package
  // then carries, as a production ready to ship does. Both must run the script
  // to its end before their times mean anything.
  if (run(production, {ZARN_EXECUTABLE, "main.lua"}) != 0) return false;
  if (run(root, {ZARN_EXECUTABLE, "-direxe", "packaged", "production"}) != 0) return false;
  if (run(root + "/elsewhere", {root + "/packaged"}) != 0) return false;
  ready = 1;
  return true;
}

void timeRuns(benchmark::State& state, const std::string& folder, const std::vector<std::string>& argv) {
  if (!prepare()) {
    state.SkipWithError("the production did not run (is the script host built?)");
    return;
  }
  for (auto _ : state) {
    const auto start = std::chrono::steady_clock::now();
    if (run(folder, argv) != 0) {
      state.SkipWithError("a run failed");
      return;
    }
    state.SetIterationTime(std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count());
  }
}

void FromFolder(benchmark::State& state) {
  timeRuns(state, root + "/production", {ZARN_EXECUTABLE, "main.lua"});
}
BENCHMARK(FromFolder)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

void Packaged(benchmark::State& state) { timeRuns(state, root + "/elsewhere", {root + "/packaged"}); }
BENCHMARK(Packaged)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

}  // namespace

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  fs::remove_all(root);
  return 0;
}
