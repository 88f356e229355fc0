// Loading a COLLADA FX document of a particle effect's size (the corpus's
// particle-like seed: one effect, three parameters, a pass with states and
// two shaders) through the reader, against a bare pugixml parse of the same
// file.
#include <benchmark/benchmark.h>

#include <pugixml.hpp>

#include "base/zeFile.h"
#include "effect/CZeEffectDefLoaderCollada.h"

namespace {

const char* const kFile = ZARN_SOURCE_DIR "/tests/effect/corpus-collada/seed-particle.dae";

void BM_ColladaLoad(benchmark::State& state) {
  CZeEffectDefLoaderCollada loader;
  for (auto _ : state) {
    const char* error = nullptr;
    CZeEffectDef* def = loader.loadDefinition(kFile, nullptr, 0, &error);
    benchmark::DoNotOptimize(def->techniques.size());
    def->drop();
  }
}

void BM_PugixmlParse(benchmark::State& state) {
  for (auto _ : state) {
    pugi::xml_document doc;
    benchmark::DoNotOptimize(doc.load_file(kFile));
  }
}

// The reading alone, from the bytes in memory.
void BM_ColladaFromMemory(benchmark::State& state) {
  std::string bytes;
  zeFileReadAll(kFile, &bytes);
  CZeEffectDefLoaderCollada loader;
  for (auto _ : state) {
    CZeEffectDef* def = loader.loadDefinitionFromText(kFile, bytes, 0);
    benchmark::DoNotOptimize(def->techniques.size());
    def->drop();
  }
}

BENCHMARK(BM_ColladaLoad)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_ColladaFromMemory)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_PugixmlParse)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
