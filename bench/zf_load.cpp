// Loading speed of ZF documents: a generated scene of about 50 MB, loaded
// from its text form and from its binary form.
//
//   build-bench/bench/bench_zf_load [--benchmark_repetitions=5]
//
// Each iteration costs what a user's first load of the scene costs: the file
// is in the page cache, but the process memory is fresh. The allocator is
// told to map every large block anew and to give freed memory back, so no
// load reuses pages an earlier one already faulted in (without this, glibc
// keeps the previous load's blocks and later loads look much faster than any
// real first load).
//
// The scene is written to /tmp/zarn-bench/ at start-up and never committed.
#include "zf/zfDocument.h"
#include "zf/zfNumber.h"
#include "zf/zfWrite.h"

#include <benchmark/benchmark.h>

#include <malloc.h>
#include <sys/stat.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>

namespace {

const char* const kDirectory = "/tmp/zarn-bench";
const std::string kTextPath = std::string(kDirectory) + "/scene-50mb.zscn";
const std::string kBinaryPath = std::string(kDirectory) + "/scene-50mb.zbin";
constexpr std::size_t kTargetBytes = 50u << 20;
constexpr int kFrames = 600;

void appendFloat(std::string* out, float value) {
  char buffer[32];
  out->append(buffer, std::size_t(zfFormatFloat(value, buffer)));
}

// One sampled channel as an exporter writes it: held stretches as RUN
// records, moving stretches as DAT records.
void appendChannel(std::string* out, std::mt19937* random) {
  int frame = 0;
  float phase = float((*random)() % 1000) * 0.01f;
  bool first = true;
  while (frame < kFrames) {
    const int length = std::min(kFrames - frame, 5 + int((*random)() % 120));
    if (!first) *out += ' ';
    first = false;
    if ((*random)() % 4 == 0) {
      *out += "RUN " + std::to_string(length) + ' ';
      appendFloat(out, std::sin(phase + frame * 0.02f) * 10.0f);
    } else {
      *out += "DAT " + std::to_string(length);
      for (int i = 0; i < length; ++i) {
        *out += ' ';
        appendFloat(out, std::sin(phase + float(frame + i) * 0.02f) * 10.0f);
      }
    }
    frame += length;
  }
}

void appendObject(std::string* out, int index, std::mt19937* random) {
  *out += "    { Object\n      name STR \"object " + std::to_string(index) + "\"\n";
  *out += "      file STR objects/part" + std::to_string(index % 97) + ".lwo\n";
  *out += "      id I4 " + std::to_string(index) + "\n      flags U4 " + std::to_string((*random)()) + "\n";
  for (const char* channel : {"pos", "rot", "scale"}) {
    *out += "      ";
    *out += channel;
    *out += " FP_C [\n";
    for (int row = 0; row < 3; ++row) {
      *out += "        ";
      appendChannel(out, random);
      *out += '\n';
    }
    *out += "      ]\n";
  }
  *out += "      dissolve FP_C RUN " + std::to_string(kFrames) + " 0\n";
  *out += "      { Surface\n        name STR Default\n        colour FP 0.8 0.7 0.6\n";
  *out += "        specular FP 0.25\n      }\n    }\n";
}

bool prepareScene() {
  mkdir(kDirectory, 0755);
  std::mt19937 random(2024);
  std::string text = "# generated benchmark scene\n{ Scene\n  { SceneInfo\n    frameStart I4 0\n";
  text += "    frameEnd I4 " + std::to_string(kFrames - 1) + "\n    fps FP 30\n  }\n  { Objects\n";
  for (int index = 0; text.size() < kTargetBytes; ++index) appendObject(&text, index, &random);
  text += "  }\n}\n";
  if (!ZF_WriteFile(kTextPath.c_str(), text)) return false;
  ZF_Document* document = ZF_Load(kTextPath.c_str());
  if (!document) return false;
  std::string binary;
  const bool written = ZF_WriteBinary(ZF_Root(document), &binary) && ZF_WriteFile(kBinaryPath.c_str(), binary);
  ZF_Free(document);
  return written;
}

std::size_t fileSize(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 ? std::size_t(info.st_size) : 0;
}

void load(benchmark::State& state, const std::string& path) {
  const std::size_t bytes = fileSize(path);
  for (auto _ : state) {
    ZF_Document* document = ZF_Load(path.c_str());
    if (!document) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(ZF_Root(document));
    ZF_Free(document);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(bytes));
  state.counters["MB"] = double(bytes) / 1e6;
}

void BM_LoadText(benchmark::State& state) { load(state, kTextPath); }
void BM_LoadBinary(benchmark::State& state) { load(state, kBinaryPath); }

// Rates are taken over the thread's CPU time (one core, file reads included):
// on a shared machine the wall clock also counts time spent waiting to run.
BENCHMARK(BM_LoadText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LoadBinary)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
  // Fixed thresholds also turn off glibc's habit of raising the mapping
  // threshold after a large block is freed.
  mallopt(M_MMAP_THRESHOLD, 128 * 1024);
  mallopt(M_TRIM_THRESHOLD, 128 * 1024);
  if (!prepareScene()) {
    std::fprintf(stderr, "cannot generate the benchmark scene in %s\n", kDirectory);
    return 1;
  }
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
