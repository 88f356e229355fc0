// Shader pairs of the test corpus: cold translation (HLSL through glslang,
// SPIRV-Tools and SPIRV-Cross, no cache) and warm load from the shader cache
// (up-to-date test and read-back), each per vertex+pixel pair.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "app/zeMessage.h"
#include "effect/CZeGPUProgrammingServices.h"

namespace {

const char* kPairs[] = {"basic.hlsl", "screenspace.hlsl", "mrt.hlsl", "vtf.hlsl", "texfuncs.hlsl", "constants.hlsl",
                        "includes.hlsl", "lit.hlsl", "oldprofiles.hlsl", "branch.hlsl", "matrix.hlsl"};
constexpr int kPairCount = int(sizeof kPairs / sizeof kPairs[0]);

class NullBackend : public IZeShaderBackend {
 public:
  int next = 100;
  int addShaderMaterial(const SZeCompiledProgram&, const SZeCompiledProgram&, irr::video::IShaderConstantSetCallBack*,
                        int, int, std::string*) override {
    return next++;
  }
  bool updateShaderMaterial(int, const SZeCompiledProgram&, const SZeCompiledProgram&, std::string*) override {
    return true;
  }
};

std::string corpus(int i) { return std::string(ZARN_SOURCE_DIR) + "/tests/effect/corpus/" + kPairs[i]; }

int createPair(CZeGPUProgrammingServices& s, const std::string& file) {
  std::string error;
  return s.createMaterialFromFiles(file.c_str(), "vs_main", 3, file.c_str(), "ps_main", 7, nullptr, 0, 0, nullptr,
                                   &error);
}

std::string cacheFolder() {
  static std::string folder;
  if (folder.empty()) {
    char tmpl[] = "/tmp/zarn-bench-cache-XXXXXX";
    folder = mkdtemp(tmpl);
  }
  return folder;
}

void BM_ColdTranslatePair(benchmark::State& state) {
  zeSetMessageThreshold(ZE_NONE);
  NullBackend backend;
  int pairs = 0;
  for (auto _ : state) {
    CZeGPUProgrammingServices s(&backend);  // nothing in memory, no cache
    for (int i = 0; i < kPairCount; ++i) {
      if (createPair(s, corpus(i)) < 0) state.SkipWithError("translation failed");
      ++pairs;
    }
  }
  // items_per_second is pairs per second; its inverse is the time per pair.
  state.SetItemsProcessed(pairs);
}

void BM_WarmCacheLoadPair(benchmark::State& state) {
  zeSetMessageThreshold(ZE_NONE);
  NullBackend backend;
  {
    CZeGPUProgrammingServices fill(&backend);
    fill.setCache(cacheFolder().c_str(), 7);
    for (int i = 0; i < kPairCount; ++i) createPair(fill, corpus(i));
  }
  int pairs = 0;
  for (auto _ : state) {
    CZeGPUProgrammingServices s(&backend);  // a new run: memory empty, cache full
    s.setCache(cacheFolder().c_str(), 7);
    for (int i = 0; i < kPairCount; ++i) {
      if (createPair(s, corpus(i)) < 0) state.SkipWithError("cache load failed");
      ++pairs;
    }
  }
  state.SetItemsProcessed(pairs);
}

}  // namespace

BENCHMARK(BM_ColdTranslatePair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WarmCacheLoadPair)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
