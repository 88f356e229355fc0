// Shader pairs of the test corpus: cold translation (HLSL through glslang,
// SPIRV-Tools and SPIRV-Cross, no cache) and warm load from the shader cache
// (up-to-date test and read-back), each per vertex+pixel pair.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "base/zeFile.h"
#include "base/zeMessage.h"
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

// The translator alone, both stages of each pair: in this process (as before
// translations ran in a child) and guarded (a child process per stage).
void translatePairs(benchmark::State& state, bool guarded) {
  zeSetMessageThreshold(ZE_NONE);
  std::vector<std::string> sources;
  for (int i = 0; i < kPairCount; ++i) {
    std::string text;
    if (!zeFileReadAll(corpus(i).c_str(), &text)) state.SkipWithError("corpus missing");
    sources.push_back(text);
  }
  struct Files : IZeShaderIncludeSource {
    bool openInclude(const std::string& name, const std::string& includer, std::string* opened,
                     std::string* bytes) override {
      *opened = includer.substr(0, includer.find_last_of('/') + 1) + name;
      return zeFileReadAll(opened->c_str(), bytes);
    }
  } files;
  int pairs = 0;
  for (auto _ : state) {
    for (int i = 0; i < kPairCount; ++i) {
      for (uint32_t stage : {ZE_STAGE_VERTEX, ZE_STAGE_PIXEL}) {
        SZeTranslateRequest r;
        r.stage = stage;
        r.sourcePath = corpus(i);
        r.source = sources[size_t(i)];
        r.entry = stage == ZE_STAGE_VERTEX ? "vs_main" : "ps_main";
        r.includes = &files;
        SZeCompiledProgram p;
        std::string errors;
        const bool ok = guarded ? zeTranslateHlsl(r, &p, &errors) : zeTranslateHlslInProcess(r, &p, &errors);
        if (!ok) state.SkipWithError("translation failed");
      }
      ++pairs;
    }
  }
  state.SetItemsProcessed(pairs);
}
void BM_TranslatePairInProcess(benchmark::State& state) { translatePairs(state, false); }
void BM_TranslatePairGuarded(benchmark::State& state) { translatePairs(state, true); }

// The per-draw path of effect binds: a constant written by name into a register file.
void BM_WriteConstantByName(benchmark::State& state) {
  zeSetMessageThreshold(ZE_NONE);
  NullBackend backend;
  CZeGPUProgrammingServices s(&backend);
  const std::string file = corpus(5);  // constants.hlsl
  int type = createPair(s, file);
  const SShaderCompiledEntry* vs = s.compiledEntry(1);  // the vertex shader is compiled first
  const SShaderCompiledEntry* ps = s.compiledEntry(2);
  if (type < 0 || !vs || !ps || !vs->vertex || ps->vertex) {
    state.SkipWithError("no program");
    return;
  }
  std::vector<float> vregs(ZE_VERTEX_REGISTERS * 4), pregs(ZE_PIXEL_REGISTERS * 4);
  const float m[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
  int first = 0, end = 0;
  bool ok = true;
  for (auto _ : state) {
    ok = vs->program.constants.writeByName("WorldViewProj", m, 16, vregs.data(), ZE_VERTEX_REGISTERS, &first, &end);
    ok = ps->program.constants.writeByName("LightParams[3].LightColor", m, 3, pregs.data(), ZE_PIXEL_REGISTERS,
                                           &first, &end) && ok;
    benchmark::DoNotOptimize(vregs.data());
    benchmark::DoNotOptimize(pregs.data());
  }
  if (!ok) state.SkipWithError("constant not found");
  state.SetItemsProcessed(state.iterations() * 2);
}

}  // namespace

BENCHMARK(BM_WriteConstantByName);
BENCHMARK(BM_ColdTranslatePair)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslatePairInProcess)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_TranslatePairGuarded)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WarmCacheLoadPair)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
