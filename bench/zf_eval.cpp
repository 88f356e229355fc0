// Evaluation speed of sampled channels: a scalar FP_C channel and a 3-row
// heading/pitch/bank rotation channel, each of 10,000 samples in 1,000
// records per row, evaluated at random positions through the record index
// and through the plain record walk.
//
// Samples move as exported motion does, a few degrees per frame at most.
// The "Jumpy" rotation draws every sample anew in [-3.1, 3.1] radians, the
// worst case: every step takes the full spherical interpolation.
//
//   build/bench/bench_zf_eval [--benchmark_repetitions=5]
#include "zf/zfAnimate.h"
#include "zf/zfDocument.h"
#include "zf/zfNumber.h"
#include "zf/zfWalk.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kSamples = 10000;
constexpr int kRecords = 1000;
constexpr int kPositions = 4096;

// 1,000 records of 1 to 19 samples (10 on average) adding up to 10,000,
// every other one a RUN. Smooth samples walk by at most `scale` / 20 per
// sample; jumpy ones are drawn in [-scale, scale].
std::string channel(std::mt19937* random, float scale, bool jumpy) {
  std::vector<int> lengths(kRecords, kSamples / kRecords);
  for (int i = 0; i + 1 < kRecords; i += 2) {
    const int shift = int((*random)() % 9);
    lengths[i] += shift;
    lengths[i + 1] -= shift;
  }
  std::string text;
  char buffer[32];
  float value = 0.0f;
  for (int r = 0; r < kRecords; ++r) {
    const bool run = r % 2 == 1;
    text += (run ? " RUN " : " DAT ") + std::to_string(lengths[r]);
    for (int i = 0; i < (run ? 1 : lengths[r]); ++i) {
      const float draw = float((*random)() % 20000) / 10000.0f - 1.0f;
      value = jumpy ? draw * scale : value + draw * scale / 20.0f;
      text += ' ';
      text.append(buffer, std::size_t(zfFormatFloat(value, buffer)));
    }
  }
  return text;
}

struct Channels {
  ZF_Document* document = nullptr;
  const ZF_Entry* scalar = nullptr;
  const ZF_Entry* rotation = nullptr;
  const ZF_Entry* jumpy = nullptr;
  std::vector<float> positions;

  Channels() {
    std::mt19937 random(99);
    std::string text = "# evaluation benchmark\nscalar FP_C" + channel(&random, 1.0f, false) + "\n";
    text += "rotation FP_C [\n" + channel(&random, 0.05f, false) + "\n" + channel(&random, 0.03f, false) + "\n" +
            channel(&random, 0.03f, false) + "\n]\n";
    text += "jumpy FP_C [\n" + channel(&random, 3.1f, true) + "\n" + channel(&random, 1.5f, true) + "\n" +
            channel(&random, 3.1f, true) + "\n]\n";
    document = ZF_LoadMemory(text.data(), text.size());
    scalar = ZF_Find(ZF_Root(document), "scalar");
    rotation = ZF_Find(ZF_Root(document), "rotation");
    jumpy = ZF_Find(ZF_Root(document), "jumpy");
    std::uniform_real_distribution<float> position(0.0f, float(kSamples - 1));
    for (int i = 0; i < kPositions; ++i) positions.push_back(position(random));
  }
};

const Channels& channels() {
  static Channels instance;
  return instance;
}

template <float (*Evaluate)(const ZF_Entry*, float)>
void scalar(benchmark::State& state) {
  const Channels& c = channels();
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(Evaluate(c.scalar, c.positions[i]));
    i = (i + 1) & (kPositions - 1);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

template <ZF_Float3 (*Evaluate)(const ZF_Entry*, float), bool Jumpy = false>
void vector(benchmark::State& state) {
  const Channels& c = channels();
  const ZF_Entry* entry = Jumpy ? c.jumpy : c.rotation;
  std::size_t i = 0;
  for (auto _ : state) {
    const ZF_Float3 r = Evaluate(entry, c.positions[i]);
    benchmark::DoNotOptimize(r);
    i = (i + 1) & (kPositions - 1);
  }
  state.SetItemsProcessed(int64_t(state.iterations()));
}

void BM_ScalarLerp_Index(benchmark::State& state) { scalar<ZF_FP_Lerp>(state); }
void BM_ScalarLerp_Walk(benchmark::State& state) { scalar<ZF_FP_LerpByWalk>(state); }
void BM_Vector3Lerp_Index(benchmark::State& state) { vector<ZF_FP3_Lerp>(state); }
void BM_Vector3Lerp_Walk(benchmark::State& state) { vector<ZF_FP3_LerpByWalk>(state); }
void BM_RotationSlerp_Index(benchmark::State& state) { vector<ZF_FP3_Slerp_HPB_To_XYZ>(state); }
void BM_RotationSlerp_Walk(benchmark::State& state) { vector<ZF_FP3_Slerp_HPB_To_XYZ_ByWalk>(state); }
void BM_RotationSlerpJumpy_Index(benchmark::State& state) { vector<ZF_FP3_Slerp_HPB_To_XYZ, true>(state); }
void BM_RotationSlerpJumpy_Walk(benchmark::State& state) { vector<ZF_FP3_Slerp_HPB_To_XYZ_ByWalk, true>(state); }

// With --benchmark_repetitions, "min" is the best estimate of the cost on a
// core nobody else is using; the median shows what a busy machine gives.
double minimum(const std::vector<double>& values) { return *std::min_element(values.begin(), values.end()); }

BENCHMARK(BM_ScalarLerp_Index)->ComputeStatistics("min", minimum);
BENCHMARK(BM_ScalarLerp_Walk)->ComputeStatistics("min", minimum);
BENCHMARK(BM_Vector3Lerp_Index)->ComputeStatistics("min", minimum);
BENCHMARK(BM_Vector3Lerp_Walk)->ComputeStatistics("min", minimum);
BENCHMARK(BM_RotationSlerp_Index)->ComputeStatistics("min", minimum);
BENCHMARK(BM_RotationSlerp_Walk)->ComputeStatistics("min", minimum);
BENCHMARK(BM_RotationSlerpJumpy_Index)->ComputeStatistics("min", minimum);
BENCHMARK(BM_RotationSlerpJumpy_Walk)->ComputeStatistics("min", minimum);

}  // namespace

BENCHMARK_MAIN();
