// The effect runtime against recording fakes of the shader services, the
// bind families, the texture manager and the constant-setting services: what
// building hands over, the pass materials it prepares, and the setters.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectBuilder.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/CZeTechniqueLookup.h"
#include "effect/IZeEffectTextureResolver.h"
#include "effect/IZeGPUProgrammingServices.h"
#include "effect/IZeTextureManager.h"
#include "scene/IZeSceneNodeExt.h"

using namespace irr;

namespace {

// Shader services that compile nothing: they record each request and answer
// constant and sampler queries from tables.
class RecordingServices : public IZeGPUProgrammingServices {
 public:
  struct Request {
    std::string vertexFile, vertexEntry, pixelFile, pixelEntry;
    int vertexType, pixelType, baseMaterial;
    std::vector<SZeShaderMacro> macros;
  };
  std::vector<Request> requests;
  std::map<std::string, std::pair<int, int>> vertexConstants, pixelConstants;  // symbol -> register, count
  std::map<std::string, int> vertexSamplers, pixelSamplers;
  std::string failWith;

  void setCache(const char*, unsigned) override {}
  int createMaterialFromFiles(const char* vf, const char* ve, int vt, const char* pf, const char* pe, int pt,
                              video::IShaderConstantSetCallBack*, int base, int, const SZeShaderMacro* macros,
                              std::string* error) override {
    if (!failWith.empty()) {
      *error = failWith;
      return -1;
    }
    Request r{vf, ve, pf, pe, vt, pt, base, {}};
    for (const SZeShaderMacro* m = macros; m && !m->name.empty(); ++m) r.macros.push_back(*m);
    requests.push_back(r);
    return 100 + int(requests.size()) - 1;
  }
  bool recompile(const std::vector<std::string>&, std::vector<int>*, std::string*) override { return true; }
  static bool lookup(const std::map<std::string, std::pair<int, int>>& table, const char* name, int* reg, int* count) {
    auto f = table.find(name);
    if (f == table.end()) return false;
    *reg = f->second.first;
    *count = f->second.second;
    return true;
  }
  bool getPixelShaderConstantRegister(int, const char* name, int* reg, int* count) override {
    return lookup(pixelConstants, name, reg, count);
  }
  bool getVertexShaderConstantRegister(int, const char* name, int* reg, int* count) override {
    return lookup(vertexConstants, name, reg, count);
  }
  bool getPixelShaderSamplerIndex(int, const char* name, int* index) override {
    auto f = pixelSamplers.find(name);
    if (f == pixelSamplers.end()) return false;
    *index = f->second;
    return true;
  }
  bool getVertexShaderSamplerIndex(int, const char* name, int* index) override {
    auto f = vertexSamplers.find(name);
    if (f == vertexSamplers.end()) return false;
    *index = f->second;
    return true;
  }
  bool printConstants(int) override { return true; }
  int createMaterial(const char* vf, const char* ve, int vt, const char* pf, const char* pe, int pt,
                     video::IShaderConstantSetCallBack* cb, int base, int user, const SZeShaderMacro* macros,
                     std::string* error, int*, int*) override {
    return createMaterialFromFiles(vf, ve, vt, pf, pe, pt, cb, base, user, macros, error);
  }
};

// Constant-setting services that keep what they were given.
class RecordingConstants : public video::IMaterialRendererServices {
 public:
  std::vector<std::string> log;
  std::map<int, std::vector<float>> pixelRegisters, vertexRegisters;
  void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
  bool setVertexShaderConstant(const c8* name, const f32* f, int count) override {
    log.push_back(std::string("vs name ") + name + " " + std::to_string(count));
    return true;
  }
  bool setVertexShaderConstant(const c8*, const bool*, int) override { return true; }
  bool setVertexShaderConstant(const c8*, const s32*, int) override { return true; }
  void setVertexShaderConstant(const f32* data, s32 start, s32 amount) override {
    log.push_back("vs reg " + std::to_string(start) + " " + std::to_string(amount));
    vertexRegisters[start].assign(data, data + 4 * amount);
  }
  bool setPixelShaderConstant(const c8* name, const f32*, int count) override {
    log.push_back(std::string("ps name ") + name + " " + std::to_string(count));
    return true;
  }
  bool setPixelShaderConstant(const c8*, const bool*, int) override { return true; }
  bool setPixelShaderConstant(const c8*, const s32*, int) override { return true; }
  void setPixelShaderConstant(const f32* data, s32 start, s32 amount) override {
    log.push_back("ps reg " + std::to_string(start) + " " + std::to_string(amount));
    pixelRegisters[start].assign(data, data + 4 * amount);
  }
  video::IVideoDriver* getVideoDriver() override { return nullptr; }
};

// A bind family that knows one semantic and counts its per-draw preparations.
class SemanticBind : public IZeEffectBind {
 public:
  explicit SemanticBind(const char* semantic) : semantic_(semantic) {}
  int prepared = 0;
  bool refuse = false;
  bool onSetMaterial(const SZeEffectDrawContext*) override {
    ++prepared;
    return !refuse;
  }
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override {
    if (c.semantic != semantic_) return nullptr;
    user[0] = 42;
    return [](video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
      const float v[4] = {float(b.userData[0]), 0, 0, 0};
      s->setPixelShaderConstant(v, b.registerIndex, 1);
    };
  }

 private:
  std::string semantic_;
};

class FakeTexture : public video::ITexture {
 public:
  explicit FakeTexture(const char* name) : ITexture(name) {}
  void* lock(video::E_TEXTURE_LOCK_MODE, u32) override { return nullptr; }
  void unlock() override {}
  const core::dimension2d<u32>& getOriginalSize() const override { return size_; }
  const core::dimension2d<u32>& getSize() const override { return size_; }
  video::E_DRIVER_TYPE getDriverType() const override { return video::EDT_NULL; }
  video::ECOLOR_FORMAT getColorFormat() const override { return video::ECF_A8R8G8B8; }
  u32 getPitch() const override { return 0; }
  void regenerateMipMapLevels(void*) override {}

 private:
  core::dimension2d<u32> size_{1, 1};
};

class RecordingTextures : public IZeTextureManager {
 public:
  std::vector<std::string> asked;
  FakeTexture* texture = new FakeTexture("t");
  ~RecordingTextures() override { texture->drop(); }
  video::ITexture* getNamedTexture(const char* name) override {
    asked.push_back(std::string("named ") + name);
    return std::string(name) == "Known" ? texture : nullptr;
  }
  EZeTextureLoad loadTexture(const char* file, int type, video::ITexture** out) override {
    asked.push_back(std::string("file ") + file + " " + zeFxTypeName(type));
    *out = texture;
    return ZE_TEXTURE_LOADED;
  }
};

class EffectRuntime : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    char dir[] = "/tmp/zarn-fxrt-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    directory = dir;
    generic = new CZeEffectBind;
    binds = {generic};
    resolver = new CZeEffectTextureResolver(&textures);
    resolvers = {resolver};
  }
  void TearDown() override {
    for (CZeEffect* e : effects) e->drop();
    if (def) def->drop();
    generic->drop();
    resolver->drop();
    for (const std::string& f : files) std::remove(f.c_str());
    rmdir(directory.c_str());
  }
  std::string file(const char* name, const std::string& text) {
    std::string path = directory + "/" + name;
    std::ofstream(path) << text;
    files.push_back(path);
    return path;
  }
  // Builds an effect from a definition block; *error holds the build failure.
  CZeEffect* build(const std::string& block, std::string* error, int baseMaterial = -1,
                   const SZeShaderMacro* macros = nullptr) {
    std::string path = file("fx.hlsl", "// shader\n[ZARN_BEGIN]\n" + block + "\n[ZARN_END]\n");
    CZeEffectDefLoaderZarn loader;
    const char* loadError = nullptr;
    if (def) def->drop();
    def = loader.loadDefinition(path.c_str(), nullptr, 0, &loadError);
    EXPECT_EQ(loadError, nullptr) << loadError;
    SZeEffectBuildArgs args;
    args.services = &services;
    args.binds = &binds;
    args.resolvers = &resolvers;
    args.shaderPaths = &shaderPaths;
    args.texturePaths = &texturePaths;
    args.definition = def;
    args.defaultBaseMaterial = baseMaterial;
    args.macros = macros;
    args.techniques = &lookup;
    bool ok = false;
    CZeEffect* effect = CZeEffect::create(args, &ok, error);
    effects.push_back(effect);
    if (ok) error->clear();
    return effect;
  }

  std::string directory;
  std::vector<std::string> files;
  RecordingServices services;
  RecordingTextures textures;
  CZeEffectBind* generic = nullptr;
  CZeEffectTextureResolver* resolver = nullptr;
  std::vector<IZeEffectBind*> binds;
  std::vector<IZeEffectTextureResolver*> resolvers;
  std::vector<std::string> shaderPaths, texturePaths;
  CZeTechniqueLookup lookup;
  CZeEffectDef* def = nullptr;
  std::vector<CZeEffect*> effects;
};

TEST_F(EffectRuntime, EveryTechniqueCompilesWithItsMacrosAndGetsItsId) {
  std::string error;
  const SZeShaderMacro macros[] = {{"USE_SKIN", "1"}, {"", ""}};
  CZeEffect* e = build("// config techniques : shadow glow\n//ZARN_PP:D:TECH_GLOW:// function pixelMain : ps_glow",
                       &error, -1, macros);
  ASSERT_EQ(error, "");
  ASSERT_EQ(services.requests.size(), 3u);
  const auto& shadow = services.requests[1];
  EXPECT_EQ(shadow.vertexEntry, "vs_main");
  EXPECT_EQ(shadow.vertexType, 3);
  EXPECT_EQ(shadow.pixelType, 7);
  EXPECT_EQ(shadow.vertexFile, def->path);
  std::vector<std::string> names;
  for (const SZeShaderMacro& m : shadow.macros) names.push_back(m.name + "=" + m.definition);
  EXPECT_EQ(names, (std::vector<std::string>{"USE_SKIN=1", "USE_TECH_NDFLT=", "USE_TECH_SHADOW="}));
  EXPECT_EQ(services.requests[2].pixelEntry, "ps_glow");
  EXPECT_EQ(services.requests[0].macros.size(), 1u);
  EXPECT_EQ(e->techniqueForId(1), 1);  // "shadow"
  EXPECT_EQ(e->techniqueForId(0), -1);  // no "depth" technique
  EXPECT_EQ(e->techniqueForId(7), -1);
  EXPECT_EQ(e->techniques()[0].passes[0].material.materialType, 100);
  EXPECT_EQ(e->techniques()[2].passes[0].material.materialType, 102);
  lookup.registerTechnique("glow");
  CZeEffect* again = build("// config techniques : glow", &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(again->techniqueForId(2), 1);
}

TEST_F(EffectRuntime, MacrosMergeFirstDefinitionWinsAndWarnsOnce) {
  SShader a, b;
  a.inlines = {"#define USE_X 1", "#define USE_Y"};
  b.inlines = {"#define USE_X 2", "#define USE_Y"};
  const SZeShaderMacro caller[] = {{"USE_C", "3"}, {"", ""}};
  std::vector<SZeShaderMacro> out;
  std::string error;
  testing::internal::CaptureStdout();
  ASSERT_TRUE(CZeEffectBuilder::mergeMacros(caller, {&a, &b}, &out, &error));
  std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(out.size(), 3u);
  EXPECT_EQ(out[1].name + "=" + out[1].definition, "USE_X=1");
  EXPECT_EQ(out[2].name + "=" + out[2].definition, "USE_Y=");
  EXPECT_NE(log.find("Warning: when merging macros, duplicate USE_X with different definitions '1' and '2' "),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("duplicate USE_Y"), std::string::npos);
  const struct {
    const char* line;
    const char* error;
  } bad[] = {{"USE_X 1", "Invalid source inline : no #define"},
             {"#defineX", "Invalid source inline : malformed after #define"},
             {"#define   ", "Invalid source inline : malformed after #define"}};
  for (const auto& c : bad) {
    SShader s;
    s.inlines = {c.line};
    EXPECT_FALSE(CZeEffectBuilder::mergeMacros(nullptr, {&s}, &out, &error));
    EXPECT_EQ(error, c.error);
  }
}

TEST_F(EffectRuntime, BaseMaterialsAndRenderStates) {
  const struct {
    const char* block;
    int defaultBase;
    int type;
    uint32_t param;
    uint8_t depthFunc;
    bool depthWrite;
    uint32_t flags;
  } cases[] = {
      {"// float4 X : 1", -1, 0, 0, ZE_FX_DEPTH_LEQUAL, true, 0},
      {"// float4 X : 1", 12, 12, 0, ZE_FX_DEPTH_LEQUAL, true, 0},
      {"// config baseMaterial : Transparent_One_One", 12, 23, 0x111, ZE_FX_DEPTH_LEQUAL, true, 0},
      {"// config baseMaterial : transparent_sub_color", -1, 23, 0x105, ZE_FX_DEPTH_LEQUAL, true, 0},
      {"// config baseMaterial : TRANSPARENT", -1, 13, 0, ZE_FX_DEPTH_LEQUAL, true, 0},
      {"// config depth_test_enable : false\n// config depth_mask : true", -1, 0, 0, ZE_FX_DEPTH_DISABLED, false,
       0xC},
      {"// config depth_mask : true\n// config depth_test_enable : false", -1, 0, 0, ZE_FX_DEPTH_DISABLED, false,
       0xC},
      {"// config depth_mask : false\n// config depth_func : GREATER", -1, 0, 0, ZE_FX_DEPTH_GREATER, false, 0x6},
      {"// config depth_func : never", -1, 0, 0, ZE_FX_DEPTH_LEQUAL, true, 0x2},
      {"// config depth_func : NEVER\n// config depth_test_enable : true", -1, 0, 0, ZE_FX_DEPTH_NEVER, true, 0xA},
      {"// config point_size_enable", -1, 0, 0, ZE_FX_DEPTH_LEQUAL, true, 0x10},
  };
  for (const auto& c : cases) {
    std::string error;
    services.requests.clear();
    CZeEffect* e = build(c.block, &error, c.defaultBase);
    ASSERT_EQ(error, "") << c.block;
    ASSERT_EQ(services.requests.size(), 1u);
    EXPECT_EQ(services.requests[0].baseMaterial, c.type) << c.block;
    const SZeFxPass& p = e->techniques()[0].passes[0];
    EXPECT_EQ(p.material.typeParam, c.param) << c.block;
    EXPECT_EQ(p.material.depthFunc, c.depthFunc) << c.block;
    EXPECT_EQ(p.material.depthWrite, c.depthWrite) << c.block;
    EXPECT_EQ(e->passStateFlags(0, 0), c.flags) << c.block;
    EXPECT_EQ(p.material.pointCloud, (c.flags & 0x10) != 0);
  }
  std::string error;
  EXPECT_EQ(build("// float X : 1", &error)->passStateFlags(3, 0), 0u);
  build("// config baseMaterial : additive", &error);
  EXPECT_EQ(error, "Invalid base material annotation additive");
  // Blend states (as a COLLADA pass gives them) pack the engine's blend word.
  build("// float X : 1", &error);
  SPass& pass = def->techniques[0].passes[0];
  auto state = [](const char* name, const char* value) {
    SState s;
    s.name = name;
    s.value = value;
    return s;
  };
  pass.states = {state("blend_enable", "TRUE"), state("blend_func src", "src_alpha"),
                 state("blend_func dest", "ONE_MINUS_SRC_ALPHA"), state("blend_equation", "ADD")};
  pass.annotations = {};
  SZeEffectBuildArgs args;
  args.services = &services;
  args.binds = &binds;
  args.definition = def;
  bool ok = false;
  CZeEffect* blended = CZeEffect::create(args, &ok, &error);
  effects.push_back(blended);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(services.requests.back().baseMaterial, 23);
  EXPECT_EQ(blended->techniques()[0].passes[0].material.typeParam, 0x2167u);
  services.failWith = "fx.hlsl(3): error: bad";
  build("// float X : 1", &error);
  EXPECT_EQ(error, "fx.hlsl(3): error: bad");
}

TEST_F(EffectRuntime, ConstantsGoThroughTheFirstBindThatAnswers) {
  services.pixelConstants = {{"Tint", {2, 1}}, {"Glow", {5, 1}}, {"On", {6, 1}}};
  services.vertexConstants = {{"World", {0, 4}}};
  SemanticBind* special = new SemanticBind("Special");
  binds = {special, generic};
  std::string error;
  testing::internal::CaptureStdout();
  CZeEffect* e = build("// float4 Tint : 1,0.5,0.25,1 : pixel\n// float4 Glow : Special : pixel\n"
                       "// float4x4 World : World\n// float Unused : 1 : pixel\n// bool On : 1 : pixel",
                       &error);
  std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(error, "");
  EXPECT_NE(log.find("the Semantic 'WorldTranspose' has no corresponding binding"), std::string::npos) << log;
  const SZeFxPass& p = e->techniques()[0].passes[0];
  ASSERT_EQ(p.shaders.size(), 2u);
  EXPECT_EQ(p.shaders[0].constBinds.size(), 1u);
  ASSERT_EQ(p.shaders[1].constBinds.size(), 3u);  // "Unused" is not in the shader
  EXPECT_EQ(p.binds, (std::vector<IZeEffectBind*>{generic, special}));
  EXPECT_EQ(e->bindsUsed().size(), 2u);

  RecordingConstants constants;
  e->onSetShaderConstants(&constants, 0, 0);
  EXPECT_EQ(special->prepared, 1);
  EXPECT_EQ(constants.log,
            (std::vector<std::string>{"vs reg 0 4", "ps reg 2 1", "ps reg 5 1", "ps reg 6 1"}));
  EXPECT_EQ(constants.pixelRegisters[2], (std::vector<float>{1, 0.5f, 0.25f, 1}));
  EXPECT_EQ(constants.pixelRegisters[5][0], 42.0f);
  EXPECT_EQ(constants.pixelRegisters[6][0], 1.0f);

  // Setters by name and handle change what the next draw delivers.
  const float red[4] = {1, 0, 0, 1};
  EXPECT_TRUE(e->setFloats("Tint", red, 4));
  EXPECT_FALSE(e->setFloats("NoSuch", red, 4));
  EXPECT_TRUE(e->setBool(e->getParameterHandle("On"), false));
  float m[16] = {};
  m[3] = 7;
  EXPECT_TRUE(e->setMatrix("World", m));
  e->onSetShaderConstants(&constants, 0, 0);
  EXPECT_EQ(constants.pixelRegisters[2], (std::vector<float>{1, 0, 0, 1}));
  EXPECT_EQ(constants.pixelRegisters[6][0], 0.0f);
  EXPECT_EQ(constants.vertexRegisters[0][3], 7.0f);
  float back[4];
  ASSERT_TRUE(e->getFloats(0, back, 4));
  EXPECT_EQ(back[1], 0.0f);
  EXPECT_TRUE(def->getFloats(0, back, 4));  // the definition keeps its default
  EXPECT_EQ(back[1], 0.5f);

  // A family that refuses the draw stops every constant of it.
  special->refuse = true;
  constants.log.clear();
  testing::internal::CaptureStdout();
  e->onSetShaderConstants(&constants, 0, 0);
  log = testing::internal::GetCapturedStdout();
  EXPECT_TRUE(constants.log.empty());
  EXPECT_NE(log.find("onSetMaterial() failed, abort"), std::string::npos);

  // A clone has its own values.
  special->refuse = false;
  CZeEffect* copy = e->clone();
  const float green[4] = {0, 1, 0, 1};
  copy->setFloats("Tint", green, 4);
  e->onSetShaderConstants(&constants, 0, 0);
  EXPECT_EQ(constants.pixelRegisters[2], (std::vector<float>{1, 0, 0, 1}));
  copy->onSetShaderConstants(&constants, 0, 0);
  EXPECT_EQ(constants.pixelRegisters[2], (std::vector<float>{0, 1, 0, 1}));
  copy->drop();
  special->drop();
}

TEST_F(EffectRuntime, BindErrors) {
  binds = {};
  services.pixelConstants = {{"Tint", {2, 1}}};
  std::string error;
  build("// float4 Tint : 1 : pixel", &error);
  EXPECT_EQ(error, "failed to get a bind function for Tint");
}

TEST_F(EffectRuntime, TexturesLayersAndSamplers) {
  file("diffuse.png", "x");
  services.pixelSamplers = {{"Diffuse", 1}, {"Free", -1}};
  services.vertexSamplers = {{"Height", 2}};
  std::string error;
  testing::internal::CaptureStdout();
  zeSetMessageThreshold(ZE_DEBUG);
  CZeEffect* e = build("// texture Diffuse : diffuse.png : clamp_v trilinear srgb\n// texture Height : Known : "
                       "vertex filterPoint preset\n// texture Free : DepthRTT : preset\n// texture Lonely : lonely.png\n"
                       "// texture 3 : : repeat",
                       &error);
  std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(error, "");
  EXPECT_NE(log.find("The Texture Parameter 'Lonely' is not bound to any shader sampler"), std::string::npos);
  EXPECT_EQ(textures.asked, (std::vector<std::string>{"file " + directory + "/diffuse.png sampler2D", "named Known",
                                                      "named DepthRTT"}));
  const SZeFxMaterial& m = e->techniques()[0].passes[0].material;
  EXPECT_EQ(m.layers[1].texture, textures.texture);
  EXPECT_EQ(m.layers[1].wrap, 0x10);  // U repeat, V clamp
  EXPECT_EQ(m.layers[1].filter, ZE_FX_BILINEAR | ZE_FX_TRILINEAR);
  EXPECT_EQ(m.layers[1].srgb, 1);
  EXPECT_EQ(m.layers[ZE_FX_PIXEL_LAYERS + 2].texture, textures.texture);
  EXPECT_EQ(m.layers[ZE_FX_PIXEL_LAYERS + 2].filter, 0);
  EXPECT_EQ(m.layers[0].texture, nullptr);  // "Free" numbered 0, its named texture does not exist yet
  EXPECT_EQ(m.layers[3].texture, nullptr);  // the numbered texture state

  // Applying a pass copies the prepared fields; set texture updates every pass.
  video::SMaterial irr;
  SZeFxMaterial record;
  ASSERT_TRUE(e->applyPass(0, 0, irr, record));
  EXPECT_EQ(irr.MaterialType, video::E_MATERIAL_TYPE(100));
  EXPECT_EQ(irr.TextureLayer[1].Texture, textures.texture);
  EXPECT_EQ(irr.TextureLayer[1].TextureWrapV, video::ETC_CLAMP);
  EXPECT_TRUE(irr.TextureLayer[1].TrilinearFilter);
  EXPECT_EQ(record.layers[ZE_FX_PIXEL_LAYERS + 2].texture, textures.texture);
  FakeTexture* other = new FakeTexture("other");
  EXPECT_TRUE(e->setTexture("Free", other, true));
  EXPECT_FALSE(e->setTexture("NoSuch", other, true));
  EXPECT_FALSE(e->setTexture(e->getParameterHandle("Diffuse") + 100, other, true));
  ASSERT_TRUE(e->applyPass(0, 0, irr, record));
  EXPECT_EQ(irr.TextureLayer[0].Texture, other);
  EXPECT_EQ(record.layers[0].srgb, 1);
  SZeFxTextureLayer layers[ZE_FX_LAYERS];
  EXPECT_TRUE(e->setPassTexture(0, 0, e->getParameterHandle("Height"), layers, other, false));
  EXPECT_EQ(layers[ZE_FX_PIXEL_LAYERS + 2].texture, other);
  EXPECT_FALSE(e->applyPass(0, 1, irr, record));
  e->setTexture("Free", nullptr, false);
  other->drop();
}

TEST_F(EffectRuntime, ObjectRowTexturesWinOverThePassesAtEachDraw) {
  file("d.png", "x");
  services.pixelSamplers = {{"D", 2}, {"E", 0}};
  std::string error;
  CZeEffect* e = build("// texture D : d.png\n// texture E\n// float X : 1\n// config techniques : t\n"
                       "//ZARN_PP:D:TECH_T:// config tangents",
                       &error);
  ASSERT_EQ(error, "");
  EXPECT_TRUE(e->needsTangents());
  EXPECT_EQ(e->samplerHandle("D"), e->getParameterHandle("D"));
  EXPECT_EQ(e->samplerHandle("X"), -1);  // not a sampler
  EXPECT_EQ(e->samplerHandle("Nope"), -1);

  video::SMaterial material;
  SZeMaterialRecord row;
  e->applyToMaterial(material, row, 1, 0);
  EXPECT_EQ(material.MaterialType, e->techniques()[1].passes[0].irrType);
  e->applyToMaterial(material, row, 9, 0);  // no such technique: nothing changes
  EXPECT_EQ(material.MaterialType, e->techniques()[1].passes[0].irrType);

  // The row's texture for D replaces the effect's on its layer; a first-layer
  // texture fills layer 0 only when the pass leaves it empty.
  FakeTexture* own = new FakeTexture("own");
  FakeTexture* first = new FakeTexture("first");
  ASSERT_TRUE(row.addTexture(e->samplerHandle("D"), own, true));
  ASSERT_TRUE(row.addTexture(-1, first, false));
  EXPECT_EQ(own->getReferenceCount(), 2);
  video::SMaterial drawn;
  SZeFxMaterial record;
  ASSERT_TRUE(e->applyPass(0, 0, drawn, record));
  EXPECT_EQ(record.layers[2].texture, textures.texture);
  e->applyRowTextures(0, 0, row, drawn, record);
  EXPECT_EQ(record.layers[2].texture, own);
  EXPECT_EQ(record.layers[2].srgb, 1);
  EXPECT_EQ(drawn.TextureLayer[2].Texture, own);
  EXPECT_EQ(record.layers[0].texture, first);
  EXPECT_EQ(drawn.TextureLayer[0].Texture, first);
  // A texture the effect holds on layer 0 keeps it.
  ASSERT_TRUE(e->setSamplerTexture(e->samplerHandle("E"), textures.texture, false));
  ASSERT_TRUE(e->applyPass(0, 0, drawn, record));
  e->applyRowTextures(0, 0, row, drawn, record);
  EXPECT_EQ(record.layers[0].texture, textures.texture);

  e->clearFromMaterial(material, row);
  EXPECT_EQ(row.textureCount, 0);
  EXPECT_EQ(own->getReferenceCount(), 1);
  EXPECT_EQ(material.TextureLayer[2].Texture, nullptr);
  own->drop();
  first->drop();
  e->setTexture("E", nullptr, false);
}

TEST_F(EffectRuntime, NoDepthAppliesOnlyToPassesWithoutDepthStates) {
  std::string error;
  CZeEffect* e = build("// config techniques : t\n//ZARN_PP:D:TECH_T:// config depth_func : GREATER", &error);
  ASSERT_EQ(error, "");
  video::SMaterial irr;
  SZeFxMaterial record;
  ASSERT_TRUE(e->applyPass(0, 0, irr, record, true));
  EXPECT_FALSE(record.depthWrite);
  EXPECT_EQ(record.depthFunc, ZE_FX_DEPTH_ALWAYS);
  EXPECT_EQ(irr.ZBuffer, video::ECFN_ALWAYS);
  ASSERT_TRUE(e->applyPass(1, 0, irr, record, true));
  EXPECT_EQ(record.depthFunc, ZE_FX_DEPTH_GREATER);
  EXPECT_EQ(irr.ZBuffer, video::ECFN_GREATER);
  EXPECT_TRUE(irr.ZWriteEnable);
}

TEST_F(EffectRuntime, BuildErrors) {
  services.pixelSamplers = {{"Far", 4}};
  services.vertexSamplers = {{"V", 4}};
  file("x.png", "x");
  const struct {
    const char* block;
    const char* error;
  } cases[] = {
      {"// texture 8", "Sampler illegal index > MATERIAL_MAX_TEXTURES"},
      {"// texture V : x.png : vertex", "Sampler illegal index > MATERIAL_MAX_TEXTURES_VERTEX"},
      {"// texture Far : missing.png",
       "Failed to get Texture [ Semantic=<null> ImageUrl=missing.png ] of parameter Far"},
  };
  for (const auto& c : cases) {
    std::string error;
    build(c.block, &error);
    EXPECT_EQ(error, c.error) << c.block;
  }
}

TEST_F(EffectRuntime, ShaderAndTextureFilesResolveThroughTheSearchPaths) {
  char other[] = "/tmp/zarn-fxrt-lib-XXXXXX";
  ASSERT_NE(mkdtemp(other), nullptr);
  const std::string lib = other;
  std::ofstream(lib + "/lib.hlsl") << "// shared\n";
  std::ofstream(lib + "/far.png") << "x";
  shaderPaths = {"/no/such/folder", lib};
  texturePaths = {lib};
  services.pixelSamplers = {{"Far", 0}};
  std::string error;
  build("// texture Far : far.png", &error);
  ASSERT_EQ(error, "");
  EXPECT_EQ(textures.asked, std::vector<std::string>{"file " + lib + "/far.png sampler2D"});
  // A shader source named without a folder (as a COLLADA effect names it).
  def->techniques[0].passes[0].shaders[1].source = "file://lib.hlsl";
  def->techniques[0].passes[0].shaders[0].source = "nowhere.hlsl";
  SZeEffectBuildArgs args;
  args.services = &services;
  args.binds = &binds;
  args.shaderPaths = &shaderPaths;
  args.definition = def;
  bool ok = false;
  CZeEffect* e = CZeEffect::create(args, &ok, &error);
  effects.push_back(e);
  ASSERT_TRUE(ok) << error;
  EXPECT_EQ(services.requests.back().pixelFile, lib + "/lib.hlsl");
  EXPECT_EQ(services.requests.back().vertexFile, "nowhere.hlsl");  // not found: the name unchanged
  def->techniques[0].passes[0].shaders[0].source = "";
  e = CZeEffect::create(args, &ok, &error);
  effects.push_back(e);
  EXPECT_FALSE(ok);
  EXPECT_EQ(error, "Inconsistent Vertex Shader Filename ");
  def->techniques[0].passes[0].shaders[0].source = "x.hlsl";
  def->techniques[0].passes[0].shaders[0].target = ZE_FX_TARGET_PS_3_0;
  e = CZeEffect::create(args, &ok, &error);
  effects.push_back(e);
  EXPECT_EQ(error, "Unsupported Vertex Compiler target");
  std::remove((lib + "/lib.hlsl").c_str());
  std::remove((lib + "/far.png").c_str());
  rmdir(other);
}

TEST(EffectTextures, IrrlichtTextureManagerLoads2DAndSaysNoneForTheRest) {
  IrrlichtDevice* device = createDevice(video::EDT_NULL);
  ASSERT_NE(device, nullptr);
  video::IVideoDriver* driver = device->getVideoDriver();
  char dir[] = "/tmp/zarn-fxtex-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string png = std::string(dir) + "/a.png";
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(2, 2));
  ASSERT_TRUE(driver->writeImageToFile(image, png.c_str()));
  image->drop();
  CZeIrrTextureManager manager(driver);
  video::ITexture* t = nullptr;
  EXPECT_EQ(manager.loadTexture(png.c_str(), ZE_FX_SAMPLER2D, &t), ZE_TEXTURE_LOADED);
  EXPECT_NE(t, nullptr);
  EXPECT_EQ(manager.loadTexture(png.c_str(), ZE_FX_SAMPLERCUBE, &t), ZE_TEXTURE_NOT_BUILT);
  EXPECT_EQ(t, nullptr);
  EXPECT_EQ(manager.loadTexture(png.c_str(), ZE_FX_SAMPLER3D, &t), ZE_TEXTURE_NOT_BUILT);
  EXPECT_EQ(manager.loadTexture((std::string(dir) + "/none.png").c_str(), ZE_FX_SAMPLER2D, &t), ZE_TEXTURE_FAILED);
  EXPECT_EQ(manager.getNamedTexture("DepthRTT"), nullptr);
  // Through the resolver: a cube file leaves the slot empty, a missing file fails.
  CZeEffectTextureResolver resolver(&manager);
  EXPECT_EQ(resolver.resolve(ZE_FX_SAMPLERCUBE, "", "file://a.png", dir, {}, &t), ZE_TEXTURE_ANSWER_NONE);
  EXPECT_EQ(resolver.resolve(ZE_FX_SAMPLER2D, "", "a.png", dir, {}, &t), ZE_TEXTURE_ANSWER_FOUND);
  EXPECT_EQ(resolver.resolve(ZE_FX_SAMPLER2D, "", "b.png", dir, {}, &t), ZE_TEXTURE_ANSWER_MISSING);
  EXPECT_EQ(resolver.resolve(ZE_FX_SAMPLERRECT, "", "a.png", dir, {}, &t), ZE_TEXTURE_ANSWER_NONE);
  EXPECT_EQ(resolver.resolve(ZE_FX_SAMPLER2D, "Named", "a.png", dir, {}, &t), ZE_TEXTURE_ANSWER_NONE);
  std::remove(png.c_str());
  rmdir(dir);
  device->drop();
}

TEST(EffectTables, WrapDepthAndBlendTexts) {
  EXPECT_EQ(zeFxWrapMode("REPEAT"), 0);
  EXPECT_EQ(zeFxWrapMode("repeat"), 0);
  EXPECT_EQ(zeFxWrapMode("clamp"), 0);  // exact texts only
  EXPECT_EQ(zeFxWrapMode("BORDER"), 3);
  EXPECT_EQ(zeFxWrapMode("MIRRORED_REPEAT"), 5);
  EXPECT_EQ(zeFxWrapMode("MIRROR_ONCE"), 7);
  uint8_t f = 0;
  EXPECT_TRUE(zeFxDepthFunc("GEQUAL", &f));
  EXPECT_EQ(f, 5);
  EXPECT_FALSE(zeFxDepthFunc("gequal", &f));
  EXPECT_EQ(zeFxBlendFactor("one_minus_src_alpha"), 7);
  EXPECT_EQ(zeFxBlendFactor("bogus"), 1);
  EXPECT_EQ(zeFxBlendWord(1, 1), 0x2111u);
  EXPECT_EQ(zeIrrDepthFunc(ZE_FX_DEPTH_NEVER), video::ECFN_NEVER);  // Irrlicht 1.8's "off"
  EXPECT_EQ(zeIrrDepthFunc(ZE_FX_DEPTH_LESS), video::ECFN_LESS);
  EXPECT_EQ(zeIrrMaterialType(23), video::EMT_ONETEXTURE_BLEND);
}

}  // namespace
