// The bind families on the NULL driver: each family answers its semantics
// with a callback, and the callback delivers the engine's values to a
// recording constant sink. Built effects show the list order (user maps
// first, the generic bind last) and the build-time warnings.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdlib>
#include <new>
#include <cstdio>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectBinds.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/CZeEffectManager.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/CZeResourceManager.h"
#include "effect/zeEffectCommands.h"
#include "effect/CZeTechniqueLookup.h"
#include "effect/IZeGPUProgrammingServices.h"
#include "scene/IZeLightSceneNodeExt.h"
#include "scene/IZeSceneNodeExt.h"
#include "mesh/CZeSurfaceLightwave.h"
#include "mesh/CZeSurfaceLightwaveHV.h"
#include "support/nullShaderBackend.h"

using namespace irr;

// GCC pairs the sized delete with new-expressions it cannot see through.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
// Counts heap allocations while `gCounting` is set (the draw-time proof).
static bool gCounting = false;
static long gAllocations = 0;
void* operator new(size_t size) {
  if (gCounting) ++gAllocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, size_t) noexcept { std::free(p); }

namespace {

// Keeps the last value of every name and register.
class Sink : public video::IMaterialRendererServices {
 public:
  std::map<std::string, std::vector<float>> byName;
  std::map<int, std::vector<float>> vertexRegs, pixelRegs;
  int calls = 0;
  void setBasicRenderStates(const video::SMaterial&, const video::SMaterial&, bool) override {}
  bool setVertexShaderConstant(const c8* name, const f32* f, int count) override {
    ++calls;
    byName[std::string("vs:") + name].assign(f, f + count);
    return true;
  }
  bool setVertexShaderConstant(const c8*, const bool*, int) override { return true; }
  bool setVertexShaderConstant(const c8*, const s32*, int) override { return true; }
  void setVertexShaderConstant(const f32* data, s32 start, s32 amount) override {
    ++calls;
    vertexRegs[start].assign(data, data + 4 * amount);
  }
  bool setPixelShaderConstant(const c8* name, const f32* f, int count) override {
    ++calls;
    byName[std::string("ps:") + name].assign(f, f + count);
    return true;
  }
  bool setPixelShaderConstant(const c8*, const bool*, int) override { return true; }
  bool setPixelShaderConstant(const c8*, const s32*, int) override { return true; }
  void setPixelShaderConstant(const f32* data, s32 start, s32 amount) override {
    ++calls;
    pixelRegs[start].assign(data, data + 4 * amount);
  }
  video::IVideoDriver* getVideoDriver() override { return nullptr; }
};

// Shader services that compile nothing and know every constant asked for.
class Services : public IZeGPUProgrammingServices {
 public:
  std::map<std::string, std::pair<int, int>> vertexConstants, pixelConstants;
  void setCache(const char*, unsigned) override {}
  int createMaterialFromFiles(const char* vf, const char*, int, const char*, const char*, int,
                              video::IShaderConstantSetCallBack*, int, int, const SZeShaderMacro*,
                              std::string* error) override {
    // A file named "broken" fails as a compile error inside an include would.
    if (std::string(vf).find("broken") != std::string::npos) {
      *error = "inc.fxh(3): error: 'undeclared' : undeclared identifier";
      return -1;
    }
    return 100;
  }
  bool recompile(const std::vector<std::string>&, std::vector<int>*, std::string*) override { return true; }
  static bool lookup(const std::map<std::string, std::pair<int, int>>& t, const char* name, int* reg, int* count) {
    auto f = t.find(name);
    if (f == t.end()) return false;
    *reg = f->second.first;
    *count = f->second.second;
    return true;
  }
  bool getPixelShaderConstantRegister(int, const char* n, int* r, int* c) override {
    return lookup(pixelConstants, n, r, c);
  }
  bool getVertexShaderConstantRegister(int, const char* n, int* r, int* c) override {
    return lookup(vertexConstants, n, r, c);
  }
  bool getPixelShaderSamplerIndex(int, const char*, int*) override { return false; }
  bool getVertexShaderSamplerIndex(int, const char*, int*) override { return false; }
  bool printConstants(int) override { return true; }
  int createMaterial(const char* vf, const char* ve, int vt, const char* pf, const char* pe, int pt,
                     video::IShaderConstantSetCallBack* cb, int base, int user, const SZeShaderMacro* macros,
                     std::string* error, int*, int*) override {
    return createMaterialFromFiles(vf, ve, vt, pf, pe, pt, cb, base, user, macros, error);
  }
};

// A light extension with a falloff type.
class LightExt : public IZeLightSceneNodeExt {
 public:
  SZeLightData data;
  SZeLightData& getLightData() override { return data; }
  const SZeLightData& getLightData() const override { return data; }
  void setProjectionImage(video::ITexture*) override {}
  void animateNode(scene::ISceneNode*, u32) override {}
  scene::ISceneNodeAnimator* createClone(scene::ISceneNode*, scene::ISceneManager*) override { return nullptr; }
  scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
    return scene::ESCENE_NODE_ANIMATOR_TYPE(ZE_LIGHT_NODE_EXT_TYPE);
  }
};

// The NULL driver keeps no transforms: the test keeps them.
class Transforms : public IZeTransformSource {
 public:
  core::matrix4 m[3];
  const core::matrix4& getTransform(video::E_TRANSFORMATION_STATE s) const override { return m[s < 3 ? s : 0]; }
};

class Binds : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    device = createDevice(video::EDT_NULL, core::dimension2du(320, 240));
    ASSERT_NE(device, nullptr);
    env.driver = device->getVideoDriver();
    env.scene = device->getSceneManager();
    env.transforms = &transforms;
    list = zeCreateBindList(&env);
    cube = env.scene->getGeometryCreator()->createCubeMesh();
  }
  void TearDown() override {
    for (IZeEffectBind* b : list) b->drop();
    for (CZeEffect* e : effects) e->drop();
    cube->drop();
    device->drop();
    for (const std::string& f : files) std::remove(f.c_str());
    if (!directory.empty()) rmdir(directory.c_str());
  }

  // Asks the list in order, as building does; the answer goes into `c`.
  bool bind(SZeFxConstBind& c) {
    for (IZeEffectBind* b : list)
      if (ZeFxBindCallback cb = b->getBind(c, c.userData)) {
        c.bind = b;
        c.callback = cb;
        return true;
      }
    return false;
  }
  SZeFxConstBind constant(const char* semantic, int type, int stage = ZE_FX_STAGE_FRAGMENT, int reg = -1,
                          int regCount = 0) {
    SZeFxConstBind c;
    c.stage = stage;
    c.type = type;
    c.symbol = "c";
    c.semantic = semantic;
    c.value = stored;
    c.floatCount = zeFxFloatCount(type);
    c.registerIndex = reg;
    c.registerCount = regCount;
    return c;
  }
  // Binds and delivers one constant; returns what arrived (by name or register).
  std::vector<float> deliver(SZeFxConstBind c, const SZeEffectDrawContext* context = nullptr) {
    EXPECT_TRUE(bind(c)) << c.semantic;
    if (!c.callback) return {};
    c.bind->onSetMaterial(context);
    Sink sink;
    c.callback(&sink, c, context);
    last = sink;
    const std::string key = (c.stage == ZE_FX_STAGE_VERTEX ? "vs:" : "ps:") + c.symbol;
    if (c.registerIndex < 0) return sink.byName.count(key) ? sink.byName[key] : std::vector<float>{};
    std::vector<float> all;
    auto& regs = c.stage == ZE_FX_STAGE_VERTEX ? sink.vertexRegs : sink.pixelRegs;
    for (auto& r : regs) all.insert(all.end(), r.second.begin(), r.second.end());
    return all;
  }
  scene::ISceneNode* object(const core::vector3df& position) {
    return env.scene->addMeshSceneNode(cube, nullptr, -1, position, core::vector3df(0, 0, 0),
                                       core::vector3df(1, 2, 3));
  }
  scene::ILightSceneNode* light(video::E_LIGHT_TYPE type, const core::vector3df& position) {
    scene::ILightSceneNode* l = env.scene->addLightSceneNode(nullptr, position);
    l->setLightType(type);
    return l;
  }
  CZeEffect* build(const std::string& block, std::string* error) {
    if (directory.empty()) {
      char dir[] = "/tmp/zarn-fxbind-XXXXXX";
      EXPECT_NE(mkdtemp(dir), nullptr);
      directory = dir;
    }
    const std::string path = directory + "/fx.hlsl";
    std::ofstream(path) << "// shader\n[ZARN_BEGIN]\n" + block + "\n[ZARN_END]\n";
    files.push_back(path);
    CZeEffectDefLoaderZarn loader;
    const char* loadError = nullptr;
    CZeEffectDef* def = loader.loadDefinition(path.c_str(), nullptr, 0, &loadError);
    EXPECT_EQ(loadError, nullptr) << loadError;
    SZeEffectBuildArgs args;
    args.services = &services;
    args.binds = &list;
    args.definition = def;
    args.techniques = &lookup;
    bool ok = false;
    CZeEffect* e = CZeEffect::create(args, &ok, error);
    def->drop();
    effects.push_back(e);
    if (ok) error->clear();
    return e;
  }

  IrrlichtDevice* device = nullptr;
  SZeEffectBindEnv env;
  Transforms transforms;
  std::vector<IZeEffectBind*> list;
  scene::IMesh* cube = nullptr;
  float stored[16] = {1, 2, 3, 4};
  Sink last;
  Services services;
  CZeTechniqueLookup lookup;
  std::vector<CZeEffect*> effects;
  std::string directory;
  std::vector<std::string> files;
};

std::vector<float> floats(const core::matrix4& m) { return std::vector<float>(m.pointer(), m.pointer() + 16); }

TEST_F(Binds, MatricesByNameAndByRegisterFollowTheTransposeRule) {
  core::matrix4 world;
  world.setTranslation(core::vector3df(5, 6, 7));
  world.setRotationDegrees(core::vector3df(10, 20, 30));
  core::matrix4 view;
  view.setTranslation(core::vector3df(0, 0, 9));
  transforms.m[video::ETS_WORLD] = world;
  transforms.m[video::ETS_VIEW] = view;
  const struct {
    const char* semantic;
    int reg;
    core::matrix4 expected;
  } cases[] = {
      {"World", -1, world},
      {"World", 3, world.getTransposed()},
      {"WorldTranspose", -1, world.getTransposed()},
      {"WorldTranspose", 3, world},
      {"WorldView", -1, view * world},
      {"ViewInverseTranspose", 0, [&] {
         core::matrix4 i;
         view.getInverse(i);
         return i;
       }()},
  };
  for (const auto& c : cases)
    EXPECT_EQ(deliver(constant(c.semantic, ZE_FX_FLOAT4X4, ZE_FX_STAGE_VERTEX, c.reg, 4)), floats(c.expected))
        << c.semantic << " at " << c.reg;
}

TEST_F(Binds, AWorldParameterInAFileArrivesTransposedByNameAndPlainAtARegister) {
  core::matrix4 world;
  world.setTranslation(core::vector3df(5, 6, 7));
  transforms.m[video::ETS_WORLD] = world;
  services.vertexConstants = {{"World", {-1, 4}}, {"WorldAt", {8, 4}}};
  std::string error;
  CZeEffect* e = build("// float4x4 World : World\n// float4x4 WorldAt : World", &error);
  ASSERT_EQ(error, "");
  Sink sink;
  e->onSetShaderConstants(&sink, 0, 0);
  EXPECT_EQ(sink.byName["vs:World"], floats(world.getTransposed()));
  EXPECT_EQ(sink.vertexRegs[8], floats(world));
}

TEST_F(Binds, ObjectArrays) {
  for (int i = 0; i < 300; ++i) object(core::vector3df(float(i), 0, 0));
  env.scene->getRootSceneNode()->updateAbsolutePosition();
  for (scene::ISceneNode* n : env.scene->getRootSceneNode()->getChildren()) n->updateAbsolutePosition();
  const struct {
    const char* semantic;
    size_t floats;
    float firstX;
    bool warns;
  } cases[] = {
      {"ObjectsPos[3]", 12, 0, false},
      {"ObjectsScale[3]", 9, 1, false},  // scale (1, 2, 3)
      {"ObjectsPos[2-5]", 16, 2, false},
      {"ObjectsPos[0-299]", 800, 0, true},
      {"ObjectPos7", 4, 7, false},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    const std::vector<float> v = deliver(constant(c.semantic, ZE_FX_FLOAT4));
    const std::string log = testing::internal::GetCapturedStdout();
    ASSERT_EQ(v.size(), c.floats) << c.semantic;
    EXPECT_EQ(v[0], c.firstX) << c.semantic;
    EXPECT_EQ(log.find("CZeEffectBindObject: Too much objects = 300 > 200 ") != std::string::npos, c.warns)
        << c.semantic << log;
  }
  // ObjectsPos[2-5] holds objects 2, 3, 4, 5 as (x, y, z, 1).
  const std::vector<float> range = deliver(constant("ObjectsPos[2-5]", ZE_FX_FLOAT4));
  EXPECT_EQ(range, (std::vector<float>{2, 0, 0, 1, 3, 0, 0, 1, 4, 0, 0, 1, 5, 0, 0, 1}));
}

TEST_F(Binds, AMissingObjectOrLightSetsNothingAndSaysWhich) {
  object(core::vector3df(0, 0, 0));
  const struct {
    const char* semantic;
    const char* message;
  } cases[] = {
      {"ObjectsPos[0-3]", "CZeEffectBindObject : Object index 1 not found "},
      {"ObjectPos4", "CZeEffectBindObject : Object index 4 not found "},
      {"LightPos2", "CZeEffectBindLight : Light index 2 not found "},
      {"Light[0].Params", "CZeEffectBindLight : Light index 0 not found "},
  };
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    EXPECT_TRUE(deliver(constant(c.semantic, ZE_FX_FLOAT4)).empty()) << c.semantic;
    EXPECT_EQ(last.calls, 0) << c.semantic;
    EXPECT_NE(testing::internal::GetCapturedStdout().find(c.message), std::string::npos) << c.semantic;
  }
}

TEST_F(Binds, LightRecordsTakeFiveDirectionalFirst) {
  auto* params = static_cast<CZeEffectBindLightParams*>(list[5]);
  light(video::ELT_POINT, core::vector3df(1, 2, 3));
  light(video::ELT_DIRECTIONAL, core::vector3df(0, 0, 0));
  light(video::ELT_DIRECTIONAL, core::vector3df(0, 0, 0));
  SZeFxConstBind lp = constant("LightParams", ZE_FX_FLOAT4);
  ASSERT_TRUE(bind(lp));
  EXPECT_EQ(lp.bind, params);
  params->onSetMaterial(nullptr);
  Sink sink;
  lp.callback(&sink, lp, nullptr);
  EXPECT_EQ(sink.calls, 40);  // five records, eight members, always
  EXPECT_EQ(sink.byName["ps:LightParams[0].LightType"][0], 0.0f);
  EXPECT_EQ(sink.byName["ps:LightParams[1].LightType"][0], 0.0f);
  EXPECT_EQ(sink.byName["ps:LightParams[2].LightType"][0], 1.0f);
  EXPECT_EQ(sink.byName["ps:LightParams[2].LightPosition"], (std::vector<float>{1, 2, 3}));
  EXPECT_EQ(deliver(constant("LightsNum", ZE_FX_FLOAT)), (std::vector<float>{3}));
  // With a frame stamp the scene is read once per frame.
  env.frame = 1;
  EXPECT_EQ(deliver(constant("LightsNum", ZE_FX_FLOAT)), (std::vector<float>{3}));
  for (int i = 0; i < 4; ++i) light(video::ELT_SPOT, core::vector3df(0, 0, 0));
  EXPECT_EQ(deliver(constant("LightsNum", ZE_FX_FLOAT)), (std::vector<float>{3}));
  env.frame = 2;
  EXPECT_EQ(deliver(constant("LightsNum", ZE_FX_FLOAT)), (std::vector<float>{5}));
  // The vertex stage is not this family's: "LightParams" falls to the generic bind.
  SZeFxConstBind vs = constant("LightParams", ZE_FX_FLOAT4, ZE_FX_STAGE_VERTEX);
  ASSERT_TRUE(bind(vs));
  EXPECT_EQ(vs.bind, list.back());
}

TEST_F(Binds, SecondRadiusFollowsTheFalloffType) {
  auto* params = static_cast<CZeEffectBindLightParams*>(list[5]);
  const struct {
    int falloff;
    float radius2;
  } cases[] = {{4, 200.0f}, {5, 100.0f}, {1, 10.0f}, {2, 10000000.0f}, {-1, 10.0f}};
  for (const auto& c : cases) {
    env.scene->clear();
    scene::ILightSceneNode* l = light(video::ELT_POINT, core::vector3df(0, 0, 0));
    l->setRadius(10);
    if (c.falloff >= 0) {
      auto* ext = new LightExt;
      ext->data.falloffType = c.falloff;
      l->addAnimator(ext);
      ext->drop();
    }
    params->fill();
    EXPECT_NEAR(params->records[0].radius2, c.radius2, c.radius2 * 1e-5f) << c.falloff;
    EXPECT_EQ(params->records[0].falloff, float(c.falloff >= 0 ? c.falloff : 1));
  }
}

TEST_F(Binds, ValuesOfTheViewFamilies) {
  env.timerMs = 2500;
  env.sceneMs = 750;
  env.mouseX = 160;
  env.mouseY = 60;
  env.mouseButton2 = true;
  const core::dimension2du screen = env.driver->getScreenSize();
  const float w = float(screen.Width), h = float(screen.Height);
  const struct {
    const char* semantic;
    int type;
    std::vector<float> expected;
  } cases[] = {
      {"Time", ZE_FX_FLOAT, {2.5f}},
      {"Time0_X", ZE_FX_FLOAT, {2.5f}},
      {"TimeScene", ZE_FX_FLOAT, {0.75f}},
      {"ScreenSize", ZE_FX_FLOAT2, {w, h}},
      {"HalfPixelSize", ZE_FX_FLOAT2, {0.5f / w, 0.5f / h}},
      {"QuarterScreenPixelSize", ZE_FX_FLOAT2, {4 / w, 4 / h}},
      {"HalfScreenHalfPixelSize", ZE_FX_FLOAT2, {1 / w, 1 / h}},
      {"Mouse", ZE_FX_FLOAT4, {160 / w, 60 / h, 0, 1}},
      {"RenderCount", ZE_FX_FLOAT, {0}},
  };
  for (const auto& c : cases) EXPECT_EQ(deliver(constant(c.semantic, c.type)), c.expected) << c.semantic;
}

TEST_F(Binds, TheCameraRecomputesOnlyWhenViewOrProjectionChange) {
  auto* camera = static_cast<CZeEffectBindCamera*>(list[7]);
  scene::ICameraSceneNode* cam = env.scene->addCameraSceneNode(nullptr, core::vector3df(1, 2, -5));
  cam->OnAnimate(0);
  cam->render();
  transforms.m[video::ETS_VIEW] = cam->getViewMatrix();
  transforms.m[video::ETS_PROJECTION] = cam->getProjectionMatrix();
  EXPECT_NEAR(deliver(constant("ViewPosition", ZE_FX_FLOAT4))[2], -5.0f, 1e-4f);
  EXPECT_EQ(deliver(constant("ZFarValue", ZE_FX_FLOAT)), (std::vector<float>{cam->getFarValue()}));
  EXPECT_EQ(deliver(constant("FrustumFarCorners", ZE_FX_FLOAT4)).size(), 12u);
  EXPECT_EQ(camera->recomputed, 1);
  cam->setPosition(core::vector3df(3, 2, -5));
  cam->OnAnimate(1);
  cam->render();
  transforms.m[video::ETS_VIEW] = cam->getViewMatrix();
  EXPECT_NEAR(deliver(constant("ViewPosition", ZE_FX_FLOAT4))[0], 3.0f, 1e-4f);
  EXPECT_EQ(camera->recomputed, 2);
  // The corners of the far plane lie at the far distance in view space.
  const std::vector<float> corners = deliver(constant("FrustumFarCorners", ZE_FX_FLOAT4));
  for (int i = 0; i < 4; ++i) EXPECT_NEAR(corners[size_t(3 * i + 2)], cam->getFarValue(), 1.0f);
}

TEST_F(Binds, ProbesPairTheNearestAlongTheSegment) {
  struct Probes : IZeProbeSet {
    int probeCount() const override { return 3; }
    void probe(int i, float out[4]) const override {
      const float p[3][4] = {{0, 0, 0, 1}, {10, 0, 0, 2}, {0, 50, 0, 3}};
      for (int k = 0; k < 4; ++k) out[k] = p[i][k];
    }
  } probes;
  env.probes = &probes;
  auto* family = static_cast<CZeEffectBindProbes*>(list[12]);
  family->choose(core::vector3df(2, 1, 0));
  EXPECT_EQ(family->nearest, 0);
  EXPECT_EQ(family->second, 1);
  EXPECT_NEAR(family->weights[1], 0.2f, 1e-6f);
  family->choose(core::vector3df(-3, -1, 0));  // outside both segments
  EXPECT_EQ(family->second, 0);
  EXPECT_EQ(family->weights[0], 1.0f);
  EXPECT_EQ(deliver(constant("ProbesListCount", ZE_FX_FLOAT)), (std::vector<float>{3}));
  // Without a node the family refuses the draw.
  testing::internal::CaptureStdout();
  EXPECT_FALSE(family->onSetMaterial(nullptr));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("CZeEffectBindProbes::onSetMaterial : Missing matExt->Node"),
            std::string::npos);
}

// Only what the surface families read.
class NodeExt : public IZeSceneNodeExt {
 public:
  IZeSurface* surface = nullptr;
  core::matrix4 matrix;
  core::vector3df box{1, 2, 3};
  void setCastsShadows(bool) override {}
  bool getCastsShadows() const override { return false; }
  u32 getRowCount() const override { return 1; }
  SZeMaterialRecord* getMaterialRecord(u32) override { return nullptr; }
  IZeEffect* getEffect(u32) const override { return nullptr; }
  void setEffect(u32, IZeEffect*, int, int) override {}
  void setIndices(u32, int, int) override {}
  void setTechnique(u32, int) override {}
  void setSecondIndex(u32, int) override {}
  void clearEffect(u32) override {}
  void clearEffects() override {}
  IZeSurface* getSurface(u32 row) const override { return row == 0 ? surface : nullptr; }
  void setSurface(u32, IZeSurface*) override {}
  void clearSurface(u32) override {}
  void clearSurfaces() override {}
  bool usesSecondUV() const override { return false; }
  void getBufferUVPair(u32, s32*, s32*) const override {}
  void setTangentMode(int) override {}
  int getTangentMode() const override { return 0; }
  bool needTangents() const override { return false; }
  bool update() override { return true; }
  void refreshRow(u32) override {}
  void saveEffects() override {}
  void restoreEffects() override {}
  void setCubeMap1(IReferenceCounted*) override {}
  IReferenceCounted* getCubeMap1() const override { return nullptr; }
  void setCubeMap2(IReferenceCounted*) override {}
  IReferenceCounted* getCubeMap2() const override { return nullptr; }
  void setCubeMapBlend(float) override {}
  float getCubeMapBlend() const override { return 0.25f; }
  void setBoxProjection(bool) override {}
  void setBox(const core::vector3df&, const core::vector3df&) override {}
  bool getBoxProjection() const override { return false; }
  const core::vector3df& getBoxPosition() const override { return box; }
  const core::vector3df& getBoxSize() const override { return box; }
  u32 getSelectionMask() const override { return 0; }
  u32 setSelectionMask(u32) override { return 0; }
  void setMatrix(const core::matrix4& m) override { matrix = m; }
  const core::matrix4& getMatrix() const override { return matrix; }
  void animateNode(scene::ISceneNode*, u32) override {}
  scene::ISceneNodeAnimator* createClone(scene::ISceneNode*, scene::ISceneManager*) override { return nullptr; }
};

TEST_F(Binds, SurfaceValuesAndTheChecksOfTheDraw) {
  CZeSurfaceLightwave* surface = new CZeSurfaceLightwave;
  CZeSurfaceLightwaveHV* hyperVoxel = new CZeSurfaceLightwaveHV;
  surface->setFloat(ZE_LW_DIFFUSE, 0.8f);
  surface->setFloat3(ZE_LW_BASE_COLOR, 0, 0.5f, 0);
  surface->setInt(ZE_LW_SIDEDNESS, 2);
  surface->setFloat(ZE_LW_GLOSSINESS, 0.4f);
  NodeExt ext;
  ext.surface = surface;
  scene::ISceneNode* node = object(core::vector3df(0, 0, 0));
  SZeEffectDrawContext context;
  context.node = node;
  context.nodeExt = &ext;
  EXPECT_EQ(deliver(constant("LW_Diffuse", ZE_FX_FLOAT), &context), (std::vector<float>{0.8f}));
  EXPECT_EQ(deliver(constant("LW_BaseColor", ZE_FX_FLOAT3), &context), (std::vector<float>{0, 0.5f, 0}));
  EXPECT_EQ(deliver(constant("LW_Sidedness", ZE_FX_INT), &context), (std::vector<float>{2}));
  EXPECT_EQ(deliver(constant("LW_Roughness", ZE_FX_FLOAT), &context), (std::vector<float>{64}));
  EXPECT_EQ(deliver(constant("LW_ReflectionMaxMip", ZE_FX_FLOAT), &context), (std::vector<float>{1}));
  EXPECT_EQ(deliver(constant("CubeMapInfluenceLerp", ZE_FX_FLOAT), &context), (std::vector<float>{0.25f}));
  EXPECT_EQ(deliver(constant("Texture[0].Size", ZE_FX_FLOAT2), &context), (std::vector<float>{0, 0}));

  auto* lw = list[3];
  const struct {
    bool node, ext, surface;
    u32 type;
    const char* message;
  } cases[] = {
      {false, true, true, ZE_SURFACE_LIGHTWAVE, "CZeEffectBindLightwave::onSetMaterial : Missing matExt->Node"},
      {true, false, true, ZE_SURFACE_LIGHTWAVE, "CZeEffectBindLightwave::onSetMaterial : Missing IZeSceneNodeExt"},
      {true, true, false, ZE_SURFACE_LIGHTWAVE, "CZeEffectBindLightwave::onSetMaterial : Missing Surface at index 0"},
      {true, true, true, ZE_SURFACE_LIGHTWAVE_HV,
       "CZeEffectBindLightwave::onSetMaterial : Unexpected Surface type != EZEST_LIGHTWAVE at index 0"},
  };
  for (const auto& c : cases) {
    SZeEffectDrawContext bad;
    bad.node = c.node ? node : nullptr;
    bad.nodeExt = c.ext ? &ext : nullptr;
    ext.surface = !c.surface ? nullptr : c.type == ZE_SURFACE_LIGHTWAVE ? static_cast<IZeSurface*>(surface) : hyperVoxel;
    testing::internal::CaptureStdout();
    EXPECT_FALSE(lw->onSetMaterial(&bad));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(c.message), std::string::npos) << c.message;
  }
  surface->drop();
  hyperVoxel->drop();
}

TEST_F(Binds, UserMapsShadowAndUnknownSemanticsWarnOnce) {
  auto* map = new CZeEffectBindSemanticMap;
  IZeEffectBindSemanticMap::SValue v;
  v.floatCount = 1;
  v.floats[0] = 9;
  ASSERT_TRUE(map->addSemantic("Time", v));
  EXPECT_FALSE(map->addSemantic("Time", v));
  list.insert(list.begin(), map);
  env.timerMs = 1000;
  services.pixelConstants = {{"T", {-1, 1}}, {"Foo", {-1, 1}}};
  std::string error;
  testing::internal::CaptureStdout();
  CZeEffect* e = build("// float T : Time : pixel\n// float4 Foo : Foo : pixel", &error);
  const std::string log = testing::internal::GetCapturedStdout();
  ASSERT_EQ(error, "");
  size_t warnings = 0;
  for (size_t at = log.find("the Semantic 'Foo' has no corresponding binding"); at != std::string::npos;
       at = log.find("the Semantic 'Foo' has no corresponding binding", at + 1))
    ++warnings;
  EXPECT_EQ(warnings, 1u) << log;
  Sink sink;
  testing::internal::CaptureStdout();
  e->onSetShaderConstants(&sink, 0, 0);
  e->onSetShaderConstants(&sink, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout().find("Warning"), std::string::npos);
  EXPECT_EQ(sink.byName["ps:T"], (std::vector<float>{9}));
  EXPECT_EQ(sink.byName["ps:Foo"].size(), 4u);
  map->setFloat("Time", 3);
  e->onSetShaderConstants(&sink, 0, 0);
  EXPECT_EQ(sink.byName["ps:T"], (std::vector<float>{3}));
}

// --- The effect manager and the command layer ---------------------------------------------

class Manager : public Binds {
 protected:
  void SetUp() override {
    Binds::SetUp();
    char dir[] = "/tmp/zarn-fxman-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    directory = dir;
    manager = new CZeEffectManager(&services, nullptr, &lookup, nullptr, false);
    table = ZeHandleTable<ZeEffectCell>::create(ZE_EFFECT_TABLE_SIZE);
    commands.table = table.get();
    commands.manager = manager;
    services.pixelConstants = {{"Tint", {-1, 1}}, {"Gain", {-1, 1}}};
  }
  void TearDown() override {
    for (int id = 0; id < ZE_EFFECT_TABLE_SIZE; ++id) zeDeleteEffect(commands, id);
    delete manager;
    Binds::TearDown();
  }
  std::string write(const char* name, const std::string& text) {
    const std::string path = directory + "/" + name;
    std::ofstream(path) << text;
    files.push_back(path);
    return path;
  }
  std::string effectFile() {
    return write("fx.hlsl", "// shader\n[ZARN_BEGIN]\n// float4 Tint : 1,0,0,1 : pixel\n// float Gain : 2 : pixel\n"
                            "[ZARN_END]\n");
  }
  CZeEffectManager* manager = nullptr;
  std::unique_ptr<ZeHandleTable<ZeEffectCell>> table;
  SZeEffectCommandEnv commands;
};

TEST_F(Manager, TheBindListIsInItsOrderAndUserMapsGoFirst) {
  const std::vector<IZeEffectBind*>& list = manager->binds();
  ASSERT_EQ(list.size(), 15u);
  EXPECT_NE(dynamic_cast<CZeEffectBindTransform*>(list[0]), nullptr);
  EXPECT_NE(dynamic_cast<CZeEffectBindLightParams*>(list[5]), nullptr);
  EXPECT_NE(dynamic_cast<CZeEffectBindEvent*>(list[13]), nullptr);
  IZeEffectBindSemanticMap* map = manager->createSemanticMap();
  EXPECT_EQ(manager->binds().front(), map);
  EXPECT_EQ(manager->binds().size(), 16u);
}

TEST_F(Manager, EffectsShareADefinitionAndKeepTheirOwnValues) {
  const std::string path = effectFile();
  const SZeShaderMacro ab[] = {{"USE_A", ""}, {"USE_B", "2"}, {"", ""}};
  const SZeShaderMacro ba[] = {{"USE_B", "2"}, {"USE_A", ""}, {"", ""}};
  CZeEffect* one = manager->createEffect(path.c_str(), -1, ab, nullptr);
  CZeEffect* two = manager->createEffect(path.c_str(), -1, ba, nullptr);
  ASSERT_NE(one, nullptr);
  ASSERT_NE(two, nullptr);
  EXPECT_EQ(&one->getDefinition(), &two->getDefinition());
  EXPECT_EQ(manager->cachedDefinitions(), 1u);
  one->setFloat("Gain", 5);
  float a = 0, b = 0;
  one->getFloats(one->getParameterHandle("Gain"), &a, 1);
  two->getFloats(two->getParameterHandle("Gain"), &b, 1);
  EXPECT_EQ(a, 5.0f);
  EXPECT_EQ(b, 2.0f);
  // Other macros, another definition.
  CZeEffect* plain = manager->createEffect(path.c_str(), -1, nullptr, nullptr);
  EXPECT_NE(&plain->getDefinition(), &one->getDefinition());
  EXPECT_EQ(manager->cachedDefinitions(), 2u);
  one->drop();
  two->drop();
  plain->drop();
}

TEST_F(Manager, BadInputGivesItsMessageAndLeavesTheTableAsItWas) {
  const std::string good = effectFile();
  const std::string broken = write("broken.hlsl", "// shader\n[ZARN_BEGIN]\n[ZARN_END]\n");
  const std::string unknown = write("unknown.hlsl",
                                    "// shader\n[ZARN_BEGIN]\n// float4 Tint : Nowhere : pixel\n[ZARN_END]\n");
  const struct {
    std::string file;
    const char* log;
    const char* lastError;  // nullptr: not checked
    int result;
  } cases[] = {
      {directory + "/missing.hlsl", "Failed to load effect", "Cannot open file", -1},
      {"x.txt", "Failed to load effect 'x.txt' : \n", "", -1},
      {broken, "CZeEffectManager: ERROR CZeEffect : inc.fxh(3): error",
       "inc.fxh(3): error: 'undeclared' : undeclared identifier", -1},
      {unknown, "the Semantic 'Nowhere' has no corresponding binding", nullptr, 0},
  };
  int id = 10;
  for (const auto& c : cases) {
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int result = zeLoadEffect(commands, c.file.c_str(), id);
    const std::string log = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_EQ(result, c.result) << c.file;
    EXPECT_NE(log.find(c.log), std::string::npos) << c.file << ": " << log;
    if (c.lastError) {
      EXPECT_STREQ(manager->getLastError(), c.lastError) << c.file;
    }
    EXPECT_EQ(zeEffectExists(commands, id), c.result == 0) << c.file;
    ++id;
  }
  // A taken id is refused and the effect in it stays.
  ASSERT_EQ(zeLoadEffect(commands, good.c_str(), 1), 0);
  CZeEffect* first = zeEffectOf(commands, 1);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(zeLoadEffect(commands, good.c_str(), 1), -1);
  const std::string log = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("invalid effect ID 1 : id 1 already exist"), std::string::npos) << log;
  EXPECT_EQ(zeEffectOf(commands, 1), first);
  EXPECT_EQ(zeLoadEffect(commands, nullptr, 2), -1);
  EXPECT_EQ(zeLoadEffect(commands, good.c_str(), 1000), -1);
}

TEST_F(Manager, ConstantsAndDescriptionsByCommand) {
  ASSERT_EQ(zeLoadEffect(commands, effectFile().c_str(), 3), 0);
  CZeEffect* e = zeEffectOf(commands, 3);
  EXPECT_EQ(zeSetEffectConstantFloat(commands, 3, "Gain", 0.5f), 0);
  const float tint[4] = {0, 1, 0, 1};
  EXPECT_EQ(zeSetEffectConstantFloats(commands, 3, "Tint", tint, 4), 0);
  Sink sink;
  e->onSetShaderConstants(&sink, 0, 0);
  EXPECT_EQ(sink.byName["ps:Gain"], (std::vector<float>{0.5f}));
  EXPECT_EQ(sink.byName["ps:Tint"], (std::vector<float>{0, 1, 0, 1}));
  const struct {
    int id;
    const char* name;
    const char* message;
    int arg;
  } cases[] = {
      {4, "Gain", "Effect ID 4 does not exist. id 4 does not exist", 1},
      {3, "Nope", "Unknown constant 'Nope'", 2},
  };
  for (const auto& c : cases) {
    zeClearLastError();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_EQ(zeSetEffectConstantFloat(commands, c.id, c.name, 1), -1);
    testing::internal::GetCapturedStdout();
    testing::internal::GetCapturedStderr();
    int arg = 0;
    const char* text = zeGetLastError(&arg);
    ASSERT_NE(text, nullptr);
    EXPECT_NE(std::string(text).find(c.message), std::string::npos) << text;
    EXPECT_EQ(arg, c.arg);
  }
  std::vector<SZeShaderMacro> macros;
  zeParseMacroText("USE_A USE_B=2", &macros);
  ASSERT_EQ(macros.size(), 2u);
  EXPECT_EQ(macros[0].name, "USE_A");
  EXPECT_EQ(macros[0].definition, "");
  EXPECT_EQ(macros[1].name, "USE_B");
  EXPECT_EQ(macros[1].definition, "2");
  SZeShaderDesc desc;
  desc.file = "fx.hlsl";
  SZeShaderDescEntry gain;
  gain.name = "Gain";
  gain.type = 1;
  gain.floats[0] = 7;
  desc.entries.push_back(gain);
  EXPECT_EQ(zeApplyShaderDesc(commands, 3, desc, true), 0);
  float v = 0;
  e->getFloats(e->getParameterHandle("Gain"), &v, 1);
  EXPECT_EQ(v, 7.0f);
  desc.entries[0].type = 9;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  EXPECT_EQ(zeApplyShaderDesc(commands, 3, desc, true), -1);
  const std::string log = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
  EXPECT_NE(log.find("fx.hlsl: shader param 'Gain' unknown type 9"), std::string::npos) << log;
  zeDeleteEffect(commands, 3);
  EXPECT_FALSE(zeEffectExists(commands, 3));
  zeDeleteEffect(commands, 3);  // an unused id: nothing
}

// Counts constant calls and keeps nothing: a sink that does not allocate itself.
class CountingSink : public video::IMaterialRendererServices {
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

TEST_F(Binds, DrawingAllocatesNothing) {
  for (int i = 0; i < 8; ++i) object(core::vector3df(float(i), 0, 0));
  light(video::ELT_POINT, core::vector3df(1, 2, 3));
  light(video::ELT_DIRECTIONAL, core::vector3df(0, 0, 0));
  env.scene->addCameraSceneNode();
  const char* const semantics[20] = {"World",       "View",          "WorldViewProjection", "ViewInverse",
                                     "Time",        "TimeScene",     "ScreenSize",          "PixelSize",
                                     "LightsNum",   "LightParams",   "LightPos0",           "Light[1].Params",
                                     "ViewPosition", "FocalLength",  "ObjectPos3",          "ObjectsPos[2-6]",
                                     "ObjectsTrans[4]", "Mouse",     "Fps",                 "Plain"};
  std::string block;
  for (int i = 0; i < 20; ++i) {
    const std::string name = "C" + std::to_string(i);
    const bool matrix = i < 4, array = i == 14 || i == 15 || i == 16;
    services.pixelConstants[name] = {array ? 10 * i : -1, array ? 8 : 1};
    block += std::string("// ") + (matrix ? "float4x4 " : "float4 ") + name + " : " + semantics[i] + " : pixel\n";
  }
  std::string error;
  testing::internal::CaptureStdout();
  CZeEffect* e = build(block, &error);
  testing::internal::GetCapturedStdout();
  ASSERT_EQ(error, "");
  ASSERT_EQ(e->techniques()[0].passes[0].shaders.size(), 2u);
  EXPECT_EQ(e->techniques()[0].passes[0].shaders[1].constBinds.size(), 20u);
  CountingSink sink;
  SZeEffectDrawContext context;
  context.node = *env.scene->getRootSceneNode()->getChildren().begin();
  e->onSetShaderConstants(&sink, 0, 0, &context);  // the first draw may warm caches
  gAllocations = 0;
  gCounting = true;
  for (int i = 0; i < 100; ++i) e->onSetShaderConstants(&sink, 0, 0, &context);
  gCounting = false;
  EXPECT_EQ(gAllocations, 0);
  EXPECT_GT(sink.calls, 100 * 20);
}

class StandardSink : public IZeStandardEffectSink {
 public:
  int handed = 0;
  void setEffectCubeMapToLatLong(CZeEffect* e) override { handed += e != nullptr; }
  void setEffectsReflectionMapFilter(CZeEffect* a, CZeEffect* b, CZeEffect* c) override {
    handed += (a && b && c) ? 3 : 0;
  }
  void setEffectSphericalHarmonicsProbes(CZeEffect* e) override { handed += e != nullptr; }
};

TEST(StandardEffects, AllFiveTranslateBuildAndReachTheRenderServices) {
  zeResetMessageState();
  NullShaderBackend backend;
  CZeGPUProgrammingServices services(&backend);
  CZeTechniqueLookup lookup;
  CZeEffectManager manager(&services, nullptr, &lookup, nullptr, false);
  StandardSink sink;
  {
    CZeResourceManager resources(&manager, &sink);
    EXPECT_TRUE(resources.initEffectCubeMapToLatLong("../../data/shaders/cubemaptolatlong.hlsl"))
        << manager.getLastError();
    EXPECT_TRUE(resources.initEffectReflectionMapFilter("../../data/shaders/ReflectionMapFilter.hlsl"))
        << manager.getLastError();
    EXPECT_TRUE(resources.initEffectSphericalHarmonicsProbes("../../data/shaders/Harmonics.hlsl"))
        << manager.getLastError();
    EXPECT_EQ(sink.handed, 5);
    // The cube variants read a cube sampler, the plain one a 2D image.
    const CZeEffectDef& plain = resources.reflectionFilter(0)->getDefinition();
    const CZeEffectDef& cube = resources.reflectionFilter(1)->getDefinition();
    EXPECT_EQ(plain.parameters[size_t(plain.getParameterHandle("SourceMap"))].type, ZE_FX_SAMPLER2D);
    EXPECT_EQ(cube.parameters[size_t(cube.getParameterHandle("SourceMap"))].type, ZE_FX_SAMPLERCUBE);
    EXPECT_EQ(manager.cachedDefinitions(), 5u);
    testing::internal::CaptureStdout();
    EXPECT_FALSE(resources.initEffectSphericalHarmonicsProbes("missing.hlsl"));
    EXPECT_NE(testing::internal::GetCapturedStdout().find(
                  "CZeResourceManager::initEffectSphericalHarmonicsProbes failed to load missing.hlsl "),
              std::string::npos);
    EXPECT_NE(resources.sphericalHarmonics(), nullptr);  // the previous one stays
  }
}

}  // namespace
