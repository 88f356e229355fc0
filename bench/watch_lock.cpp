// What the reload path pays for the read lock of a file watch: one open and a
// look through every visible process's open descriptors for a writer.
//   bench_watch_lock
#include <benchmark/benchmark.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "services/zeWatch.h"

namespace {

void BM_FileWatchLockUnlock(benchmark::State& state) {
  char folder[] = "/tmp/zarn-bench-XXXXXX";
  if (!mkdtemp(folder)) {
    state.SkipWithError("no temporary folder");
    return;
  }
  const std::string file = std::string(folder) + "/scene.zscn";
  if (FILE* out = std::fopen(file.c_str(), "wb")) {
    std::fputs("scene", out);
    std::fclose(out);
  }
  zeFileWatchCreate(file.c_str(), 0);
  for (auto _ : state) {
    benchmark::DoNotOptimize(zeFileWatchLock(0, 100));
    zeFileWatchUnlock(0);
  }
  zeFileWatchDelete(0);
  std::remove(file.c_str());
  std::remove(folder);
}
BENCHMARK(BM_FileWatchLockUnlock)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
