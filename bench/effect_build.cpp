// Effects: building an effect of 4 techniques x 2 passes from a warm shader
// cache (the services already hold every pass in memory, or a new run reads
// them from the cache folder), and applying a pass to a material at draw time.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/CZeTechniqueLookup.h"
#include "tests/support/nullShaderBackend.h"

namespace {

const char* const kEffect = R"(/*
[ZARN_BEGIN]
// title Bench
// float4 Tint : 1, 0.5, 0.25, 1 : pixel color
// float4x4 World : World : vertex
// float Gloss : 0.5 : pixel
// texture Diffuse : : repeat trilinear
// texture Normals : : clamp
// config techniques : shadow depth glow
// config depth_func : LEQUAL
[ZARN_END]
*/
float4 Tint;
float4x4 World;
float Gloss;
sampler2D Diffuse;
sampler2D Normals;
struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VsOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VsOut o;
  o.pos = mul(pos, World);
  o.uv = uv;
  return o;
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR {
  return tex2D(Diffuse, uv) * Tint + tex2D(Normals, uv) * Gloss;
}
float4 ps_second(float2 uv : TEXCOORD0) : COLOR { return tex2D(Diffuse, uv) * Gloss; }
)";

struct Fixture {
  std::string directory;
  CZeEffectDef* def = nullptr;
  NullShaderBackend backend;
  CZeEffectBind* generic = new CZeEffectBind;
  std::vector<IZeEffectBind*> binds{generic};
  std::vector<IZeEffectTextureResolver*> resolvers;
  std::vector<std::string> paths;
  CZeTechniqueLookup lookup;

  Fixture() {
    zeSetMessageThreshold(ZE_NONE);
    char tmpl[] = "/tmp/zarn-bench-effect-XXXXXX";
    directory = mkdtemp(tmpl);
    const std::string file = directory + "/bench.hlsl";
    std::ofstream(file) << kEffect;
    CZeEffectDefLoaderZarn loader;
    const char* error = nullptr;
    def = loader.loadDefinition(file.c_str(), nullptr, 0, &error);
    // The annotated format gives one pass per technique; a second pass (as a
    // COLLADA effect would have) makes 4 x 2.
    for (STechnique& t : def->techniques) {
      SPass second = t.passes[0];
      second.sid = "second";
      second.shaders[1].entry = "ps_second";
      t.passes.push_back(second);
    }
  }
  ~Fixture() {
    def->drop();
    generic->drop();
  }
  SZeEffectBuildArgs args(IZeGPUProgrammingServices* services) {
    SZeEffectBuildArgs a;
    a.services = services;
    a.binds = &binds;
    a.resolvers = &resolvers;
    a.shaderPaths = &paths;
    a.texturePaths = &paths;
    a.definition = def;
    a.techniques = &lookup;
    return a;
  }
  CZeEffect* build(IZeGPUProgrammingServices* services, bool* ok) {
    std::string error;
    return CZeEffect::create(args(services), ok, &error);
  }
};

void BM_BuildEffect4x2_WarmServices(benchmark::State& state) {
  Fixture f;
  CZeGPUProgrammingServices services(&f.backend);
  bool ok = false;
  f.build(&services, &ok)->drop();  // translates once
  for (auto _ : state) {
    CZeEffect* e = f.build(&services, &ok);
    e->drop();
  }
  if (!ok) state.SkipWithError("build failed");
}

void BM_BuildEffect4x2_CacheFolder(benchmark::State& state) {
  Fixture f;
  {
    CZeGPUProgrammingServices fill(&f.backend);
    fill.setCache(f.directory.c_str(), 7);
    bool ok = false;
    f.build(&fill, &ok)->drop();
  }
  bool ok = false;
  for (auto _ : state) {
    CZeGPUProgrammingServices services(&f.backend);  // a new run: memory empty, cache folder full
    services.setCache(f.directory.c_str(), 7);
    CZeEffect* e = f.build(&services, &ok);
    e->drop();
  }
  if (!ok) state.SkipWithError("build failed");
}

void BM_ApplyPass(benchmark::State& state) {
  Fixture f;
  CZeGPUProgrammingServices services(&f.backend);
  bool ok = false;
  CZeEffect* e = f.build(&services, &ok);
  if (!ok) state.SkipWithError("build failed");
  irr::video::SMaterial material;
  SZeFxMaterial record;
  int i = 0;
  for (auto _ : state) {
    e->applyPass(i & 3, (i >> 2) & 1, material, record);
    benchmark::DoNotOptimize(material);
    benchmark::DoNotOptimize(record);
    ++i;
  }
  e->drop();
}

}  // namespace

BENCHMARK(BM_BuildEffect4x2_WarmServices)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BuildEffect4x2_CacheFolder)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ApplyPass);

BENCHMARK_MAIN();
