// Decimal number parsing as the text readers meet it: a ZF text document made
// of FP rows (shortest spellings of random floats, as the writer prints them)
// and a text .x float list of the same numbers with six decimals, as
// exporters print vertices. Each reports MB/s of text over processor time.
//
//   build-bench/bench/bench_number_parse
#include "mesh/zeXReader.h"
#include "zf/zfDocument.h"
#include "zf/zfNumber.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kNumbers = 1 << 20;

const std::vector<float>& numbers() {
  static const std::vector<float> values = [] {
    std::mt19937 random(5);
    std::uniform_real_distribution<float> wide(-1000.0f, 1000.0f), unit(-1.0f, 1.0f);
    std::vector<float> out(kNumbers);
    for (int i = 0; i < kNumbers; ++i) out[i] = i % 3 ? unit(random) : wide(random);
    return out;
  }();
  return values;
}

const std::string& zfText() {
  static const std::string text = [] {
    std::string out = "# numbers\nv FP [\n";
    char buffer[32];
    for (int i = 0; i < kNumbers; ++i) {
      out.append(buffer, std::size_t(zfFormatFloat(numbers()[i], buffer)));
      out += i % 16 == 15 ? '\n' : ' ';
    }
    return out + "]\n";
  }();
  return text;
}

const std::string& xText() {
  static const std::string text = [] {
    std::string out = "xof 0303txt 0032\n";
    char buffer[32];
    for (int i = 0; i < kNumbers; ++i) {
      out.append(buffer, std::size_t(std::snprintf(buffer, sizeof buffer, "%.6f", numbers()[i])));
      out += i % 3 == 2 ? ";,\n" : ";";
    }
    return out;
  }();
  return text;
}

void BM_ZfTextFloats(benchmark::State& state) {
  const std::string& text = zfText();
  for (auto _ : state) {
    ZF_Document* document = ZF_LoadMemory(text.data(), text.size());
    if (!document) {
      state.SkipWithError("load failed");
      break;
    }
    benchmark::DoNotOptimize(ZF_Root(document));
    ZF_Free(document);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

void BM_XTextFloats(benchmark::State& state) {
  const std::string& text = xText();
  for (auto _ : state) {
    CZeXReader reader;
    std::string reason;
    if (!reader.open(text.data(), text.size(), &reason)) {
      state.SkipWithError(reason.c_str());
      break;
    }
    float sum = 0.0f, value;
    for (int i = 0; i < kNumbers && reader.readFloat(&value); ++i) sum += value;
    benchmark::DoNotOptimize(sum);
  }
  state.SetBytesProcessed(int64_t(state.iterations()) * int64_t(text.size()));
}

BENCHMARK(BM_ZfTextFloats)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_XTextFloats)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
