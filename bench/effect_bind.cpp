// Binding at draw time: one effect of 20 bound constants (transforms, time,
// screen, lights, camera, objects, plain values) delivered for 1,000 objects
// per frame on the NULL driver into a sink that only counts. Only the
// callbacks are measured; no shader runs.
#include <benchmark/benchmark.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectBinds.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/CZeTechniqueLookup.h"
#include "effect/IZeGPUProgrammingServices.h"

using namespace irr;

namespace {

class Services : public IZeGPUProgrammingServices {
 public:
  std::map<std::string, std::pair<int, int>> pixel;
  void setCache(const char*, unsigned) override {}
  int createMaterialFromFiles(const char*, const char*, int, const char*, const char*, int,
                              video::IShaderConstantSetCallBack*, int, int, const SZeShaderMacro*,
                              std::string*) override {
    return 100;
  }
  bool recompile(const std::vector<std::string>&, std::vector<int>*, std::string*) override { return true; }
  bool getPixelShaderConstantRegister(int, const char* n, int* r, int* c) override {
    auto f = pixel.find(n);
    if (f == pixel.end()) return false;
    *r = f->second.first;
    *c = f->second.second;
    return true;
  }
  bool getVertexShaderConstantRegister(int, const char*, int*, int*) override { return false; }
  bool getPixelShaderSamplerIndex(int, const char*, int*) override { return false; }
  bool getVertexShaderSamplerIndex(int, const char*, int*) override { return false; }
  bool printConstants(int) override { return true; }
  int createMaterial(const char* vf, const char* ve, int vt, const char* pf, const char* pe, int pt,
                     video::IShaderConstantSetCallBack* cb, int base, int user, const SZeShaderMacro* macros,
                     std::string* error, int*, int*) override {
    return createMaterialFromFiles(vf, ve, vt, pf, pe, pt, cb, base, user, macros, error);
  }
};

class Sink : public video::IMaterialRendererServices {
 public:
  long calls = 0;
  void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
  bool setVertexShaderConstant(const c8*, const f32*, int) override { return ++calls, true; }
  bool setVertexShaderConstant(const c8*, const bool*, int) override { return true; }
  bool setVertexShaderConstant(const c8*, const s32*, int) override { return true; }
  void setVertexShaderConstant(const f32*, s32, s32) override { ++calls; }
  bool setPixelShaderConstant(const c8*, const f32*, int) override { return ++calls, true; }
  bool setPixelShaderConstant(const c8*, const bool*, int) override { return true; }
  bool setPixelShaderConstant(const c8*, const s32*, int) override { return true; }
  void setPixelShaderConstant(const f32*, s32, s32) override { ++calls; }
  video::IVideoDriver* getVideoDriver() override { return nullptr; }
};

class Transforms : public IZeTransformSource {
 public:
  core::matrix4 m[3];
  const core::matrix4& getTransform(video::E_TRANSFORMATION_STATE s) const override { return m[s < 3 ? s : 0]; }
};

// state.range(0): 1 gives every frame a stamp (scene lists read once per
// frame), 0 reads them at every use.
void BM_BindConstants1000Objects(benchmark::State& state) {
  zeSetMessageThreshold(ZE_ERROR);
  IrrlichtDevice* device = createDevice(video::EDT_NULL, core::dimension2du(320, 240));
  SZeEffectBindEnv env;
  Transforms transforms;
  env.driver = device->getVideoDriver();
  env.scene = device->getSceneManager();
  env.transforms = &transforms;
  scene::IMesh* cube = env.scene->getGeometryCreator()->createCubeMesh();
  std::vector<scene::ISceneNode*> nodes;
  for (int i = 0; i < 1000; ++i)
    nodes.push_back(env.scene->addMeshSceneNode(cube, nullptr, -1, core::vector3df(float(i), 0, 0)));
  env.scene->addLightSceneNode(nullptr, core::vector3df(0, 5, 0));
  env.scene->addLightSceneNode(nullptr, core::vector3df(5, 5, 0))->setLightType(video::ELT_DIRECTIONAL);
  env.scene->addCameraSceneNode();
  std::vector<IZeEffectBind*> binds = zeCreateBindList(&env);

  const char* const semantics[20] = {"World", "WorldViewProjection", "WorldInverseTranspose", "ViewProjection",
                                     "Time", "TimeScene", "ScreenSize", "PixelSize", "LightsNum", "LightPos0",
                                     "LightDir1", "LightDiffuse0", "ViewPosition", "FocalLength", "ObjectPos3",
                                     "ObjectsPos[2-6]", "Mouse", "Fps", "Gain", "Tint"};
  Services services;
  std::string block;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "C" + std::to_string(i);
    services.pixel[name] = {i * 8, i == 15 ? 5 : (i < 4 ? 4 : 1)};
    block += std::string("// ") + (i < 4 ? "float4x4 " : "float4 ") + name + " : " + semantics[i] + " : pixel\n";
  }
  char dir[] = "/tmp/zarn-bindbench-XXXXXX";
  if (!mkdtemp(dir)) return;
  const std::string path = std::string(dir) + "/fx.hlsl";
  std::ofstream(path) << "// shader\n[ZARN_BEGIN]\n" + block + "[ZARN_END]\n";
  CZeEffectDefLoaderZarn loader;
  const char* error = nullptr;
  CZeEffectDef* def = loader.loadDefinition(path.c_str(), nullptr, 0, &error);
  CZeTechniqueLookup lookup;
  SZeEffectBuildArgs args;
  args.services = &services;
  args.binds = &binds;
  args.definition = def;
  args.techniques = &lookup;
  bool ok = false;
  std::string buildError;
  CZeEffect* effect = CZeEffect::create(args, &ok, &buildError);
  if (!ok) state.SkipWithError(buildError.c_str());

  Sink sink;
  SZeEffectDrawContext context;
  uint32_t frame = 0;
  for (auto _ : state) {
    if (state.range(0)) env.frame = ++frame;
    for (scene::ISceneNode* node : nodes) {
      context.node = node;
      transforms.m[video::ETS_WORLD] = node->getAbsoluteTransformation();
      effect->onSetShaderConstants(&sink, 0, 0, &context);
    }
    benchmark::DoNotOptimize(sink.calls);
  }
  state.counters["constants/frame"] = double(sink.calls) / double(state.iterations());
  effect->drop();
  def->drop();
  for (IZeEffectBind* b : binds) b->drop();
  cube->drop();
  device->drop();
  std::remove(path.c_str());
  rmdir(dir);
}
BENCHMARK(BM_BindConstants1000Objects)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
