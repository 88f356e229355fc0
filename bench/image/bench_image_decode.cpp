// Radiance decoding in MB/s of RGBE pixel data (width x height x 4 bytes),
// the engine's decoder and stb's stbi_loadf side by side on the same bytes
// (adaptive run-length scanlines and flat ones), and the time to generate
// the curl-noise volume at its default size.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include <stb_image.h>

#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderHDR.h"
#include "particles/zeCurlNoise.h"

namespace {

constexpr int kWidth = 2048;
constexpr int kHeight = 1024;

// A sky-like picture: smooth gradients with some texture, as RGBE.
void pixelAt(int x, int y, unsigned char out[4]) {
  const float r = 0.2f + 4.0f * std::exp(-((x - 700) * (x - 700) + (y - 200) * (y - 200)) / 8000.0f);
  const float g = 0.3f + 0.5f * y / kHeight + 0.02f * ((x * 7 + y * 13) % 17);
  const float b = 0.9f - 0.6f * y / kHeight;
  const float largest = std::max(r, std::max(g, b));
  int exponent;
  const float m = std::frexp(largest, &exponent) * 256.0f / largest;
  out[0] = static_cast<unsigned char>(r * m);
  out[1] = static_cast<unsigned char>(g * m);
  out[2] = static_cast<unsigned char>(b * m);
  out[3] = static_cast<unsigned char>(exponent + 128);
}

void encodeComponent(const std::vector<unsigned char>& bytes, std::vector<unsigned char>* out) {
  std::size_t i = 0;
  while (i < bytes.size()) {
    std::size_t run = 1;
    while (i + run < bytes.size() && run < 127 && bytes[i + run] == bytes[i]) ++run;
    if (run >= 3) {
      out->push_back(static_cast<unsigned char>(128 + run));
      out->push_back(bytes[i]);
      i += run;
      continue;
    }
    std::size_t literal = 0;
    while (i + literal < bytes.size() && literal < 128) {
      if (i + literal + 2 < bytes.size() && bytes[i + literal] == bytes[i + literal + 1] &&
          bytes[i + literal] == bytes[i + literal + 2])
        break;
      ++literal;
    }
    out->push_back(static_cast<unsigned char>(literal));
    out->insert(out->end(), bytes.begin() + i, bytes.begin() + i + literal);
    i += literal;
  }
}

std::vector<unsigned char> makeFile(bool adaptive) {
  const std::string head = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " + std::to_string(kHeight) + " +X " +
                           std::to_string(kWidth) + "\n";
  std::vector<unsigned char> file(head.begin(), head.end());
  std::vector<unsigned char> component[4];
  for (int y = 0; y < kHeight; ++y) {
    for (auto& c : component) c.clear();
    for (int x = 0; x < kWidth; ++x) {
      unsigned char p[4];
      pixelAt(x, y, p);
      if (!adaptive) {
        file.insert(file.end(), p, p + 4);
        continue;
      }
      for (int c = 0; c < 4; ++c) component[c].push_back(p[c]);
    }
    if (!adaptive) continue;
    file.insert(file.end(), {2, 2, static_cast<unsigned char>(kWidth >> 8), static_cast<unsigned char>(kWidth & 255)});
    for (auto& c : component) encodeComponent(c, &file);
  }
  return file;
}

const std::vector<unsigned char>& fileOf(bool adaptive) {
  static const std::vector<unsigned char> files[2] = {makeFile(false), makeFile(true)};
  return files[adaptive ? 1 : 0];
}

void BM_HdrEngine(benchmark::State& state) {
  const auto& file = fileOf(state.range(0) != 0);
  for (auto _ : state) {
    CZeImage* image = zeDecodeRadiance(file.data(), file.size(), "bench.hdr");
    if (!image) {
      state.SkipWithError("decode failed");
      return;
    }
    benchmark::DoNotOptimize(image->data());
    image->drop();
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 4);
  state.SetLabel(state.range(0) ? "adaptive" : "flat");
}
BENCHMARK(BM_HdrEngine)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_HdrStb(benchmark::State& state) {
  const auto& file = fileOf(state.range(0) != 0);
  for (auto _ : state) {
    int w = 0, h = 0, channels = 0;
    float* pixels = stbi_loadf_from_memory(file.data(), static_cast<int>(file.size()), &w, &h, &channels, 4);
    if (!pixels) {
      state.SkipWithError("stb decode failed");
      return;
    }
    benchmark::DoNotOptimize(pixels);
    stbi_image_free(pixels);
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * kWidth * kHeight * 4);
  state.SetLabel(state.range(0) ? "adaptive" : "flat");
}
BENCHMARK(BM_HdrStb)->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

void BM_CurlNoiseGenerate(benchmark::State& state) {
  for (auto _ : state) {
    if (!generateCurlNoise()) state.SkipWithError("generation failed");
    benchmark::DoNotOptimize(zeCurlNoiseData());
  }
  releaseCurlNoise();
}
BENCHMARK(BM_CurlNoiseGenerate)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
