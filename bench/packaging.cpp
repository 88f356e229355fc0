// Packaging a 200 MB folder of mixed files (-dirdat), side by side with
// Info-ZIP's `zip -6 -r` on the same folder, in one run. The folder is made
// once under /tmp (or $ZARN_BENCH_PACK_DIR) and kept for later runs.
//   bench_packaging --benchmark_min_time=1x   (figures: bytes_per_second)
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "packaging/zePackager.h"

namespace fs = std::filesystem;

namespace {

constexpr std::uint64_t folderBytes = 200ull << 20;

std::string benchRoot() {
  const char* dir = std::getenv("ZARN_BENCH_PACK_DIR");
  return dir && *dir ? dir : "/tmp/zarn-bench-pack";
}

// Text like shaders and scene files (compresses well), mesh-like floats
// (somewhat), and random bytes like images and music (not at all); many small
// files and a few large ones.
std::uint64_t makeFolder(const std::string& folder) {
  std::uint64_t total = 0;
  if (fs::exists(folder + "/.complete")) {
    for (const auto& e : fs::directory_iterator(folder))
      if (e.is_regular_file() && e.path().filename() != ".complete") total += e.file_size();
    return total;
  }
  fs::remove_all(folder);
  fs::create_directories(folder);
  std::mt19937_64 random(19);
  const char* words[] = {"float4", "sampler2D", "tex2D", "return", "Position", "Normal", "0.5", "{", "}", "mul",
                         "Object", "Frame", "Key", "1.000000", "Light", ";\n", "struct", "uniform"};
  for (int index = 0; total < folderBytes; ++index) {
    const bool large = index % 25 == 0;
    const std::uint64_t size = large ? (1u << 20) + random() % (7u << 20) : 4096 + random() % (60 << 10);
    std::string bytes;
    bytes.reserve(size);
    const char* extension;
    // The kind is drawn apart from the size, so large files come in every kind.
    switch (random() % 5) {
      case 0:
      case 1:
        extension = index % 2 ? ".hlsl" : ".zscn";
        while (bytes.size() < size) bytes += std::string(words[random() % 18]) + " ";
        break;
      case 2: {
        extension = ".x";
        float value = 0;
        while (bytes.size() < size) {
          value += float(random() % 100) / 1000.0f;
          bytes.append(reinterpret_cast<const char*>(&value), sizeof value);
        }
        break;
      }
      default:
        extension = index % 2 ? ".png" : ".mp3";
        while (bytes.size() < size) {
          const std::uint64_t r = random();
          bytes.append(reinterpret_cast<const char*>(&r), sizeof r);
        }
    }
    bytes.resize(size);
    std::ofstream(folder + "/file" + std::to_string(index) + extension, std::ios::binary) << bytes;
    total += size;
  }
  std::ofstream(folder + "/.complete") << "";
  return total;
}

void BM_PackageFolder_Zarn(benchmark::State& state) {
  const std::string root = benchRoot();
  const std::uint64_t bytes = makeFolder(root + "/content");
  ZePackagingContext context;
  context.programDirectory = root + "/no-engine-folders/";
  context.currentDirectory = root;
  // The progress lines would drown the table.
  std::fflush(stdout);
  const int savedOut = ::dup(1);
  const int devNull = ::open("/dev/null", O_WRONLY);
  ::dup2(devNull, 1);
  for (auto _ : state) {
    if (zeRunPackagingTool(context, "-dirdat", "out-zarn", "content") != 0) state.SkipWithError("packaging failed");
  }
  std::fflush(stdout);
  ::dup2(savedOut, 1);
  ::close(savedOut);
  ::close(devNull);
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["archive_MB"] = double(fs::file_size(root + "/out-zarn.dat")) / (1 << 20);
}

void BM_PackageFolder_InfoZip(benchmark::State& state) {
  const std::string root = benchRoot();
  const std::uint64_t bytes = makeFolder(root + "/content");
  const std::string command = "cd '" + root + "' && rm -f out-zip.zip && zip -6 -r -q out-zip.zip content -x content/.complete";
  for (auto _ : state) {
    if (std::system(command.c_str()) != 0) state.SkipWithError("zip failed");
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(bytes) * state.iterations());
  state.counters["archive_MB"] = double(fs::file_size(root + "/out-zip.zip")) / (1 << 20);
}

}  // namespace

BENCHMARK(BM_PackageFolder_Zarn)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK(BM_PackageFolder_InfoZip)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(2);
BENCHMARK_MAIN();
