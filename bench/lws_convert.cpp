// Converting a generated LightWave scene: 500 items x 9 channels x 100 keys
// over 3,000 frames (30 fps). The whole conversion (parse, sample, bake,
// build the ZF document), the reading alone, and the envelope evaluation
// alone, whose time over the whole is the share spent evaluating.
#include <benchmark/benchmark.h>

#include "lws/zeLwsConvert.h"

#include <cstdio>
#include <string>

namespace {

constexpr int kItems = 500, kChannels = 9, kKeys = 100, kFrames = 3000;

// Keys 30 frames apart with every span shape in turn; every tenth item
// hangs under the one before it, so parents are baked too.
const std::string& sceneText() {
  static const std::string text = [] {
    std::string s = "LWSC\n3\n\nFirstFrame 0\nLastFrame " + std::to_string(kFrames - 1) + "\nFramesPerSecond 30\n";
    char line[160];
    for (int i = 0; i < kItems; ++i) {
      s += "LoadObjectLayer 1 Objects/item" + std::to_string(i) + ".lwo\nObjectMotion\nNumChannels 9\n";
      for (int c = 0; c < kChannels; ++c) {
        s += "Channel " + std::to_string(c) + "\n{ Envelope\n  " + std::to_string(kKeys) + "\n";
        for (int k = 0; k < kKeys; ++k) {
          const double value = (c >= 6 ? 1.0 : 0.0) + 0.1 * ((i * 7 + c * 3 + k * 5) % 11);
          const int shape = (k + c) % 6;
          const double p4 = shape == 5 ? 0.3 : 0.1, p3 = shape == 5 ? 0.2 : 0.0;
          std::snprintf(line, sizeof line, "  Key %.6f %.6f %d %.3f %.3f %.3f %.3f %.3f 0\n", value, k * 1.0, shape,
                        shape == 5 ? -0.2 : 0.1, shape == 5 ? 0.05 : 0.0, p3, p4, 0.2);
          s += line;
        }
        s += "  Behaviors 1 3\n}\n";
      }
      if (i % 10) {
        std::snprintf(line, sizeof line, "ParentItem %08X\n", 0x10000000 + i - 1);
        s += line;
      }
    }
    return s;
  }();
  return text;
}

void BM_LwsConvertScene(benchmark::State& state) {
  const std::string& text = sceneText();
  for (auto _ : state) {
    ZeLwsScene scene;
    zeLwsParse(text.data(), text.size(), "bench.lws", &scene);
    ZF_Document* d = zeLwsConvert(scene, "/nonexistent/");
    benchmark::DoNotOptimize(d);
    ZF_Free(d);
  }
}

void BM_LwsParseOnly(benchmark::State& state) {
  const std::string& text = sceneText();
  for (auto _ : state) {
    ZeLwsScene scene;
    benchmark::DoNotOptimize(zeLwsParse(text.data(), text.size(), "bench.lws", &scene));
  }
}

void BM_LwsEnvelopesOnly(benchmark::State& state) {
  const std::string& text = sceneText();
  ZeLwsScene scene;
  zeLwsParse(text.data(), text.size(), "bench.lws", &scene);
  for (auto _ : state) {
    double sum = 0.0;
    for (int f = 0; f < kFrames; ++f)
      for (const ZeLwsItem& it : scene.items)
        for (const ZeLwsEnvelope& e : it.channels) sum += zeLwsEnvelopeEval(e, f / 30.0);
    benchmark::DoNotOptimize(sum);
  }
}

}  // namespace

BENCHMARK(BM_LwsConvertScene)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK(BM_LwsParseOnly)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_LwsEnvelopesOnly)->Unit(benchmark::kMillisecond)->MinTime(2.0);
BENCHMARK_MAIN();
