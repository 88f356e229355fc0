// Light through an effect for real (Mesa under Xvfb): an effect loaded by
// the command layer reads two lights of the scene through the bind families;
// the buffer is drawn by the engine's effect draw, pixels are read back and
// compared with the same lighting computed here.
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "base/zeMessage.h"
#include "effect/CZeEffectCallback.h"
#include "effect/CZeEffectManager.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/IZeTextureManager.h"
#include "effect/zeEffectCommands.h"
#include "effect/CZeResourceManager.h"
#include "render/gl/ZeGLEffectDraw.h"
#include "render/gl/ZeGLShaderMaterialRenderer.h"
#include "render/gl/ZeGLShaderBackend.h"
#include "support/effectTable.h"

using namespace irr;

namespace {

// A white quad over the whole clip space at depth 0.5, facing the viewer.
void fillClipQuad(scene::SMeshBuffer* quad) {
  const video::SColor white(255, 255, 255, 255);
  quad->Vertices.push_back(video::S3DVertex(-1, 1, 0.5f, 0, 0, -1, white, 0, 0));
  quad->Vertices.push_back(video::S3DVertex(1, 1, 0.5f, 0, 0, -1, white, 1, 0));
  quad->Vertices.push_back(video::S3DVertex(1, -1, 0.5f, 0, 0, -1, white, 1, 1));
  quad->Vertices.push_back(video::S3DVertex(-1, -1, 0.5f, 0, 0, -1, white, 0, 1));
  for (u16 i : {0, 1, 2, 0, 2, 3}) quad->Indices.push_back(i);
  quad->recalculateBoundingBox();
}

constexpr int W = 64, H = 48;

// World position is half the clip position; the surface faces -z.
const char* const kEffect = R"(/*
[ZARN_BEGIN]
// float4 L0 : LightPos0 : pixel
// float4 L1 : LightPos1 : pixel
// float4 C0 : LightDiffuse0 : pixel
// float4 C1 : LightDiffuse1 : pixel
// float Gain : 0.7 : pixel
[ZARN_END]
*/
float4 L0;
float4 L1;
float4 C0;
float4 C1;
float Gain;
struct VsOut { float4 pos : POSITION; float3 world : TEXCOORD0; };
VsOut vs_main(float4 pos : POSITION) {
  VsOut o;
  o.pos = pos;
  o.world = float3(pos.x * 0.5, pos.y * 0.5, 0);
  return o;
}
float4 ps_main(float3 world : TEXCOORD0) : COLOR {
  float3 n = float3(0, 0, -1);
  float3 c = C0.rgb * saturate(dot(n, normalize(L0.xyz - world))) +
             C1.rgb * saturate(dot(n, normalize(L1.xyz - world)));
  return float4(c * Gain, 1);
}
)";

struct Light {
  core::vector3df position;
  video::SColorf colour;
};
const Light kLights[2] = {{{-2, 1, -3}, {0.9f, 0.2f, 0.1f, 1}}, {{2, -1, -2}, {0.1f, 0.5f, 0.8f, 1}}};

// The shader's lighting at clip position (x, 0), as bytes.
void expected(float x, float gain, int out[3]) {
  const core::vector3df p(x * 0.5f, 0, 0), n(0, 0, -1);
  float c[3] = {0, 0, 0};
  for (const Light& l : kLights) {
    const float d = std::clamp(n.dotProduct((l.position - p).normalize()), 0.0f, 1.0f);
    c[0] += l.colour.r * d, c[1] += l.colour.g * d, c[2] += l.colour.b * d;
  }
  for (int i = 0; i < 3; ++i) out[i] = int(std::lround(std::clamp(c[i] * gain, 0.0f, 1.0f) * 255.0f));
}

class NoTextures : public IZeTextureManager {
 public:
  video::ITexture* getNamedTexture(const char*) override { return nullptr; }
  EZeTextureLoad loadTexture(const char*, int, video::ITexture**) override { return ZE_TEXTURE_FAILED; }
};

// A folder under /tmp, removed with what the shader cache wrote into it.
struct TempDir {
  std::string path;
  explicit TempDir(const char* name) {
    std::string pattern = std::string("/tmp/zarn-") + name + "-XXXXXX";
    if (::mkdtemp(pattern.data())) path = pattern;
  }
  ~TempDir() {
    if (!path.empty()) (void)!std::system(("rm -rf '" + path + "'").c_str());
  }
};

// The effect manager over the GL shader backend, caching into its own folder
// (declared first, so it goes last).
struct EffectStack {
  TempDir dir;
  CZeGLShaderBackend backend;
  CZeGPUProgrammingServices services;
  NoTextures textures;
  CZeTechniqueLookup lookup;
  CZeEffectManager manager;
  EffectStack(video::IVideoDriver* driver, const char* name)
      : dir(name), backend(driver), services(&backend), manager(&services, &textures, &lookup, nullptr, true) {
    services.setCache(dir.path.c_str(), 0);
  }
};

// An OpenGL device of W x H and a colour target the tests draw into, both
// released when the test ends (no device: `device` stays null).
struct GLTarget {
  IrrlichtDevice* device = nullptr;
  GLuint fbo = 0, colour = 0;
  GLTarget() {
    zeResetMessageState();
    SIrrlichtCreationParameters params;
    params.DriverType = video::EDT_OPENGL;
    params.WindowSize = core::dimension2d<u32>(W, H);
    params.LoggingLevel = ELL_ERROR;
    device = createDeviceEx(params);
    if (!device) return;
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenTextures(1, &colour);
    glBindTexture(GL_TEXTURE_2D, colour);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, W, H, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  ~GLTarget() {
    if (!device) return;
    glDeleteFramebuffers(1, &fbo);
    glDeleteTextures(1, &colour);
    device->drop();
  }
  GLTarget(const GLTarget&) = delete;
  GLTarget& operator=(const GLTarget&) = delete;
};

TEST(EffectBindGL, TwoLightsThroughAnEffectMatchTheLightingComputedHere) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  GLTarget gl;
  if (!gl.device) GTEST_SKIP() << "no OpenGL device";
  IrrlichtDevice* device = gl.device;
  video::IVideoDriver* driver = device->getVideoDriver();
  scene::ISceneManager* sm = device->getSceneManager();
  const GLuint fbo = gl.fbo;

  for (const Light& l : kLights) sm->addLightSceneNode(nullptr, l.position, l.colour, 10.0f);
  for (scene::ISceneNode* n : sm->getRootSceneNode()->getChildren()) n->updateAbsolutePosition();

  {
    EffectStack fx(driver, "bindgl");
    ASSERT_FALSE(fx.dir.path.empty());
    CZeEffectManager& manager = fx.manager;
    const std::string path = fx.dir.path + "/lit.hlsl";
    std::ofstream(path) << kEffect;
    manager.bindEnvironment().driver = driver;
    manager.bindEnvironment().scene = sm;
    TestEffectTable effects(&manager);
    SZeEffectCommandEnv& commands = effects.commands;
    ASSERT_EQ(zeLoadEffect(commands, path.c_str(), 7), 0) << manager.getLastError();
    CZeEffect* effect = zeEffectOf(commands, 7);
    auto* callback = static_cast<CZeEffectCallback*>(manager.defaultCallback());

    scene::SMeshBuffer quad;
    fillClipQuad(&quad);
    video::SMaterial material;
    material.Lighting = false;
    material.BackfaceCulling = false;

    // Three pixels on the middle row; their clip x at the pixel centre.
    const int columns[3] = {6, 32, 57};
    auto drawAndCheck = [&](float gain, const char* what) {
      driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
      glBindFramebuffer(GL_FRAMEBUFFER, fbo);
      glViewport(0, 0, W, H);
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      ASSERT_TRUE(zeGLDrawBufferWithEffect(driver, callback, effect, 0, nullptr, nullptr, &quad, material, 0));
      glFinish();
      for (int x : columns) {
        unsigned char p[4] = {};
        glReadBuffer(GL_COLOR_ATTACHMENT0);
        glReadPixels(x, H / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
        int want[3];
        expected((float(x) + 0.5f) / (W / 2.0f) - 1.0f, gain, want);
        for (int c = 0; c < 3; ++c)
          EXPECT_NEAR(int(p[c]), want[c], 2) << what << " column " << x << " channel " << c;
      }
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      driver->endScene();
    };
    drawAndCheck(0.7f, "default gain");
    ASSERT_EQ(zeSetEffectConstantFloat(commands, 7, "Gain", 0.4f), 0);
    drawAndCheck(0.4f, "gain set by command");
    EXPECT_EQ(callback->unnamedDraws, 0);
    zeDeleteEffect(commands, 7);
  }
}

// The standard cube-to-latitude-longitude effect unfolds a cube whose six
// faces have six colours: the middle row runs -Z, -X, +Z, +X, -Z; the top and
// bottom rows are the poles.
TEST(EffectBindGL, CubeMapToLatLongPutsEachFaceWhereItsDirectionIs) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  GLTarget gl;
  if (!gl.device) GTEST_SKIP() << "no OpenGL device";
  IrrlichtDevice* device = gl.device;
  video::IVideoDriver* driver = device->getVideoDriver();
  const GLuint fbo = gl.fbo;
  GLuint cube = 0;
  // +X red, -X green, +Y blue, -Y yellow, +Z magenta, -Z cyan; 1x1 faces.
  const unsigned char faces[6][4] = {{255, 0, 0, 255},   {0, 255, 0, 255},   {0, 0, 255, 255},
                                     {255, 255, 0, 255}, {255, 0, 255, 255}, {0, 255, 255, 255}};
  glGenTextures(1, &cube);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
  for (int f = 0; f < 6; ++f)
    glTexImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f), 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, faces[f]);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

  {
    EffectStack fx(driver, "latlong");
    ASSERT_FALSE(fx.dir.path.empty());
    CZeGPUProgrammingServices& services = fx.services;
    CZeEffectManager& manager = fx.manager;
    CZeResourceManager resources(&manager, nullptr);
    ASSERT_TRUE(resources.initEffectCubeMapToLatLong("../../data/shaders/cubemaptolatlong.hlsl"))
        << manager.getLastError();
    CZeEffect* effect = resources.cubeMapToLatLong();
    const int type = effect->techniques()[0].passes[0].irrType;
    auto* renderer = dynamic_cast<CZeGLShaderMaterialRenderer*>(driver->getMaterialRenderer(u32(type)));
    ASSERT_NE(renderer, nullptr);
    int unit = -1;
    ASSERT_TRUE(services.getPixelShaderSamplerIndex(type, "CubeMap", &unit));
    renderer->setStageTexture(unit, GL_TEXTURE_CUBE_MAP, cube, false, video::ETC_CLAMP_TO_EDGE,
                              video::ETC_CLAMP_TO_EDGE, false, false);

    scene::SMeshBuffer quad;
    fillClipQuad(&quad);
    video::SMaterial material;
    material.Lighting = false;
    material.BackfaceCulling = false;
    auto* callback = static_cast<CZeEffectCallback*>(manager.defaultCallback());

    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, W, H);
    glClearColor(0, 0, 0, 1);
    glClear(GL_COLOR_BUFFER_BIT);
    ASSERT_TRUE(zeGLDrawBufferWithEffect(driver, callback, effect, 0, nullptr, nullptr, &quad, material, 0));
    glFinish();
    const struct {
      int x, y, face;
      const char* what;
    } cases[] = {{2, H / 2, 5, "-Z at the left edge"}, {W / 4, H / 2, 1, "-X"}, {W / 2, H / 2, 4, "+Z in the middle"},
                 {3 * W / 4, H / 2, 0, "+X"},          {W - 3, H / 2, 5, "-Z at the right edge"},
                 {W / 2, 1, 2, "+Y at the top"},       {W / 2, H - 2, 3, "-Y at the bottom"}};
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    for (const auto& c : cases) {
      unsigned char p[4] = {};
      glReadPixels(c.x, c.y, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
      for (int k = 0; k < 3; ++k) EXPECT_NEAR(int(p[k]), int(faces[c.face][k]), 2) << c.what << " channel " << k;
    }
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    driver->endScene();
    renderer->setStageTexture(unit, GL_TEXTURE_CUBE_MAP, 0, false);
  }
  glDeleteTextures(1, &cube);
}

// The filter of a uniform source keeps its colour in every variant; the
// harmonics of a uniform cube put everything into the first coefficient
// (colour x 0.282095 x 4 pi) and nothing into the directional ones.
TEST(EffectBindGL, StandardFiltersOfAUniformSourceGiveWhatTheyMust) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  GLTarget gl;
  if (!gl.device) GTEST_SKIP() << "no OpenGL device";
  IrrlichtDevice* device = gl.device;
  video::IVideoDriver* driver = device->getVideoDriver();
  const GLuint fbo = gl.fbo;
  GLuint cube = 0, flat = 0;
  const unsigned char texel[4] = {51, 102, 153, 255};  // 0.2, 0.4, 0.6
  glGenTextures(1, &flat);
  glBindTexture(GL_TEXTURE_2D, flat);
  glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glBindTexture(GL_TEXTURE_2D, 0);
  glGenTextures(1, &cube);
  glBindTexture(GL_TEXTURE_CUBE_MAP, cube);
  for (int f = 0; f < 6; ++f)
    glTexImage2D(GLenum(GL_TEXTURE_CUBE_MAP_POSITIVE_X + f), 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, texel);
  glBindTexture(GL_TEXTURE_CUBE_MAP, 0);

  {
    EffectStack fx(driver, "filters");
    ASSERT_FALSE(fx.dir.path.empty());
    CZeGPUProgrammingServices& services = fx.services;
    CZeEffectManager& manager = fx.manager;
    manager.bindEnvironment().driver = driver;
    CZeResourceManager resources(&manager, nullptr);
    ASSERT_TRUE(resources.initEffectReflectionMapFilter("../../data/shaders/ReflectionMapFilter.hlsl"))
        << manager.getLastError();
    ASSERT_TRUE(resources.initEffectSphericalHarmonicsProbes("../../data/shaders/Harmonics.hlsl"))
        << manager.getLastError();
    auto* callback = static_cast<CZeEffectCallback*>(manager.defaultCallback());
    scene::SMeshBuffer quad;
    fillClipQuad(&quad);
    video::SMaterial material;
    material.Lighting = false;
    material.BackfaceCulling = false;

    // Draws `effect` with `texture` on its `sampler` and reads pixel (x, H / 2).
    auto drawAndRead = [&](CZeEffect* effect, const char* sampler, GLenum target, GLuint texture, int x,
                           unsigned char out[4]) {
      const int type = effect->techniques()[0].passes[0].irrType;
      auto* renderer = dynamic_cast<CZeGLShaderMaterialRenderer*>(driver->getMaterialRenderer(u32(type)));
      int unit = -1;
      ASSERT_NE(renderer, nullptr);
      ASSERT_TRUE(services.getPixelShaderSamplerIndex(type, sampler, &unit));
      renderer->setStageTexture(unit, target, texture, false, video::ETC_CLAMP_TO_EDGE, video::ETC_CLAMP_TO_EDGE,
                                false, false);
      driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
      glBindFramebuffer(GL_FRAMEBUFFER, fbo);
      glViewport(0, 0, W, H);
      glClearColor(0, 0, 0, 1);
      glClear(GL_COLOR_BUFFER_BIT);
      ASSERT_TRUE(zeGLDrawBufferWithEffect(driver, callback, effect, 0, nullptr, nullptr, &quad, material, 0));
      glFinish();
      glReadBuffer(GL_COLOR_ATTACHMENT0);
      glReadPixels(x, H / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, out);
      glBindFramebuffer(GL_FRAMEBUFFER, 0);
      driver->endScene();
      renderer->setStageTexture(unit, target, 0, false);
    };
    for (int variant = 0; variant < 3; ++variant) {
      unsigned char p[4] = {};
      drawAndRead(resources.reflectionFilter(variant), "SourceMap", variant ? GL_TEXTURE_CUBE_MAP : GL_TEXTURE_2D,
                  variant ? cube : flat, W / 3, p);
      for (int c = 0; c < 3; ++c) EXPECT_NEAR(int(p[c]), int(texel[c]), 2) << "variant " << variant << " channel " << c;
    }
    unsigned char first[4] = {}, third[4] = {};
    drawAndRead(resources.sphericalHarmonics(), "ProbeCube", GL_TEXTURE_CUBE_MAP, cube, W / 18, first);
    drawAndRead(resources.sphericalHarmonics(), "ProbeCube", GL_TEXTURE_CUBE_MAP, cube, 2 * W / 9 + W / 18, third);
    const float dc = 0.282095f * 4.0f * 3.14159265f;
    for (int c = 0; c < 3; ++c) {
      const int want = int(std::lround(std::min(1.0f, texel[c] / 255.0f * dc) * 255.0f));
      EXPECT_NEAR(int(first[c]), want, 2) << "coefficient 0 channel " << c;
      EXPECT_NEAR(int(third[c]), 0, 2) << "coefficient 2 channel " << c;
    }
  }
  glDeleteTextures(1, &cube);
  glDeleteTextures(1, &flat);
}

}  // namespace
