// Effects drawn for real (Mesa under Xvfb): an annotated HLSL file is loaded,
// built through the shader services and the OpenGL material renderers, a pass
// is applied to a material and a full-target quad drawn into an FBO; pixels
// are read back and compared with a tolerance.
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/CZeTechniqueLookup.h"
#include "effect/IZeEffectTextureResolver.h"
#include "effect/IZeTextureManager.h"
#include "render/gl/ZeGLEngineMaterial.h"
#include "render/gl/ZeGLShaderBackend.h"

using namespace irr;

namespace {

constexpr int W = 64, H = 48;

struct Rgb {
  int r, g, b;
};

// The material renderer's callback: delivers the constants of the pass drawn.
class PassCallback : public video::IShaderConstantSetCallBack {
 public:
  CZeEffect* effect = nullptr;
  int technique = 0, pass = 0;
  void OnSetConstants(video::IMaterialRendererServices* services, s32) override {
    if (effect) effect->onSetShaderConstants(services, technique, pass);
  }
};

const char* const kShaderCode = R"(
float4 Tint;
sampler2D Diffuse;
struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VsOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VsOut o;
  o.pos = pos;
  o.uv = uv;
  return o;
}
float4 ps_main() : COLOR { return Tint; }
float4 ps_blue() : COLOR { return float4(0, 0, 1, 1); }
float4 ps_texture(float2 uv : TEXCOORD0) : COLOR { return tex2D(Diffuse, uv); }
struct PointOut { float4 pos : POSITION; float size : PSIZE; };
PointOut vs_point(float4 pos : POSITION) {
  PointOut o;
  o.pos = pos;
  o.size = 9;
  return o;
}
)";

class EffectGL : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!std::getenv("DISPLAY")) return;
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_OPENGL;
    p.WindowSize = core::dimension2d<u32>(W, H);
    p.LoggingLevel = ELL_ERROR;
    device = createDeviceEx(p);
    if (!device) return;
    driver = device->getVideoDriver();
    glClipControl(GL_UPPER_LEFT, GL_ZERO_TO_ONE);
    glGenFramebuffers(1, &fbo);
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glGenTextures(1, &color);
    glBindTexture(GL_TEXTURE_2D, color);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, W, H, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, color, 0);
    glGenTextures(1, &depth);
    glBindTexture(GL_TEXTURE_2D, depth);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_DEPTH_COMPONENT24, W, H, 0, GL_DEPTH_COMPONENT, GL_FLOAT, nullptr);
    glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_DEPTH_ATTACHMENT, GL_TEXTURE_2D, depth, 0);
    glBindTexture(GL_TEXTURE_2D, 0);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
  }
  static void TearDownTestSuite() {
    if (device) {
      glDeleteFramebuffers(1, &fbo);
      glDeleteTextures(1, &color);
      glDeleteTextures(1, &depth);
      device->drop();
    }
    device = nullptr;
  }
  void SetUp() override {
    if (!device) GTEST_SKIP() << "no OpenGL display";
    zeResetMessageState();
    char dir[] = "/tmp/zarn-fxgl-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    directory = dir;
    backend = std::make_unique<CZeGLShaderBackend>(driver);
    services = std::make_unique<CZeGPUProgrammingServices>(backend.get());
    services->setCache(directory.c_str(), 0);
    callback = new PassCallback;
    generic = new CZeEffectBind;
    binds = {generic};
    textures = std::make_unique<CZeIrrTextureManager>(driver);
    resolver = new CZeEffectTextureResolver(textures.get());
    resolvers = {resolver};
  }
  void TearDown() override {
    if (effect) effect->drop();
    if (callback) callback->drop();
    if (generic) generic->drop();
    if (resolver) resolver->drop();
    for (const std::string& f : files) std::remove(f.c_str());
    if (!directory.empty()) rmdir(directory.c_str());
  }

  std::string write(const char* name, const std::string& text) {
    std::string path = directory + "/" + name;
    std::ofstream(path) << text;
    files.push_back(path);
    return path;
  }

  // Loads and builds an effect whose definition block is `block`.
  void build(const std::string& block) {
    std::string path = write("fx.hlsl", "/*\n[ZARN_BEGIN]\n" + block + "\n[ZARN_END]\n*/\n" + kShaderCode);
    CZeEffectDefLoaderZarn loader;
    const char* loadError = nullptr;
    CZeEffectDef* def = loader.loadDefinition(path.c_str(), nullptr, 0, &loadError);
    ASSERT_EQ(loadError, nullptr) << loadError;
    SZeEffectBuildArgs args;
    args.services = services.get();
    args.binds = &binds;
    args.resolvers = &resolvers;
    args.definition = def;
    args.callback = callback;
    args.techniques = &lookup;
    bool ok = false;
    std::string error;
    effect = CZeEffect::create(args, &ok, &error);
    def->drop();
    ASSERT_TRUE(ok) << error;
    callback->effect = effect;
  }

  // Clears to `background` (depth to 1), draws a full-target quad at depth 0.5
  // with the pass applied, and reads back the centre pixel.
  Rgb draw(int technique, Rgb background = {0, 0, 0}, bool point = false) {
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glViewport(0, 0, W, H);
    glClearColor(background.r / 255.0f, background.g / 255.0f, background.b / 255.0f, 1.0f);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    video::SMaterial m;
    m.Lighting = false;
    m.BackfaceCulling = false;
    SZeFxMaterial record;
    EXPECT_TRUE(effect->applyPass(technique, 0, m, record));
    callback->technique = technique;
    zeGLSetEngineMaterial(&record);
    driver->setMaterial(m);
    const video::SColor white(255, 255, 255, 255);
    video::S3DVertex v[4] = {
        video::S3DVertex(-1, 1, 0.5f, 0, 0, 1, white, 0, 0),
        video::S3DVertex(1, 1, 0.5f, 0, 0, 1, white, 1, 0),
        video::S3DVertex(1, -1, 0.5f, 0, 0, 1, white, 1, 1),
        video::S3DVertex(-1, -1, 0.5f, 0, 0, 1, white, 0, 1),
    };
    const u16 idx[6] = {0, 1, 2, 0, 2, 3};
    if (point) {
      // One point at the centre of the target.
      video::S3DVertex centre(0, 0, 0.5f, 0, 0, 1, white, 0, 0);
      driver->drawVertexPrimitiveList(&centre, 1, idx, 1, video::EVT_STANDARD, scene::EPT_POINTS, video::EIT_16BIT);
    } else {
      driver->drawVertexPrimitiveList(v, 4, idx, 2, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);
    }
    video::SMaterial plain;
    zeGLSetEngineMaterial(nullptr);
    driver->setMaterial(plain);
    // A degenerate triangle: an empty draw would not switch the material.
    const u16 none[3] = {0, 0, 0};
    driver->drawVertexPrimitiveList(v, 4, none, 1, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);
    glFinish();
    GLint depthFunc = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &depthFunc);
    EXPECT_NE(depthFunc, GL_NEVER) << "the engine's depth state is put back";
    unsigned char p[4] = {};
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(W / 2 + probeX, H / 2, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, p);
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    driver->endScene();
    return {p[0], p[1], p[2]};
  }

  static void expectNear(Rgb got, Rgb want, const char* what) {
    EXPECT_NEAR(got.r, want.r, 3) << what;
    EXPECT_NEAR(got.g, want.g, 3) << what;
    EXPECT_NEAR(got.b, want.b, 3) << what;
  }

  static IrrlichtDevice* device;
  static video::IVideoDriver* driver;
  static GLuint fbo, color, depth;
  int probeX = 0;  // read this many pixels right of the centre
  std::string directory;
  std::vector<std::string> files;
  std::unique_ptr<CZeGLShaderBackend> backend;
  std::unique_ptr<CZeGPUProgrammingServices> services;
  std::unique_ptr<CZeIrrTextureManager> textures;
  PassCallback* callback = nullptr;
  CZeEffectBind* generic = nullptr;
  CZeEffectTextureResolver* resolver = nullptr;
  std::vector<IZeEffectBind*> binds;
  std::vector<IZeEffectTextureResolver*> resolvers;
  CZeTechniqueLookup lookup;
  CZeEffect* effect = nullptr;
};

IrrlichtDevice* EffectGL::device = nullptr;
video::IVideoDriver* EffectGL::driver = nullptr;
GLuint EffectGL::fbo = 0, EffectGL::color = 0, EffectGL::depth = 0;

TEST_F(EffectGL, EachTechniqueDrawsInItsColourAndAConstantSetByNameChangesIt) {
  build("// float4 Tint : 1, 0, 0, 1 : pixel\n// config techniques : blue\n"
        "//ZARN_PP:D:TECH_BLUE:// function pixelMain : ps_blue");
  ASSERT_EQ(effect->techniques().size(), 2u);
  expectNear(draw(0), {255, 0, 0}, "default technique: the default value of Tint");
  expectNear(draw(1), {0, 0, 255}, "technique blue");
  const float green[4] = {0, 1, 0, 1};
  ASSERT_TRUE(effect->setFloats("Tint", green, 4));
  expectNear(draw(0), {0, 255, 0}, "Tint set by name");
  expectNear(draw(1), {0, 0, 255}, "the other technique keeps its colour");
}

TEST_F(EffectGL, BaseMaterialBlendsAsStated) {
  // Lines of the default block count in every technique: the first annotation wins.
  build("// float4 Tint : 0.25, 0.5, 0, 1 : pixel\n//ZARN_PP:U:TECH_SOLID:// config baseMaterial : Transparent_One_One\n"
        "// config techniques : solid\n//ZARN_PP:D:TECH_SOLID:// config baseMaterial : solid");
  EXPECT_EQ(effect->techniques()[0].passes[0].material.typeParam, 0x111u);
  const Rgb background{128, 64, 128};
  expectNear(draw(0, background), {128 + 64, 64 + 128, 128}, "one-one adds to the background");
  expectNear(draw(1, background), {64, 128, 0}, "solid replaces it");
}

TEST_F(EffectGL, DepthStatesPassOrFailAsStated) {
  // The quad lies at depth 0.5 over a buffer cleared to 1.
  build("// float4 Tint : 1, 1, 1, 1 : pixel\n// config techniques : greater off never\n"
        "//ZARN_PP:D:TECH_NEVER:// config depth_func : NEVER\n"
        "//ZARN_PP:D:TECH_GREATER:// config depth_func : GREATER\n"
        "//ZARN_PP:D:TECH_OFF:// config depth_func : GREATER\n"
        "//ZARN_PP:D:TECH_OFF:// config depth_test_enable : false\n"
        "//ZARN_PP:U:TECH_NDFLT:// config depth_func : LESS");
  const Rgb background{10, 20, 30};
  expectNear(draw(0, background), {255, 255, 255}, "LESS passes");
  expectNear(draw(1, background), background, "GREATER fails");
  expectNear(draw(2, background), {255, 255, 255}, "depth test off draws whatever the comparison");
  expectNear(draw(3, background), background, "NEVER, which Irrlicht 1.8 cannot say, draws nothing");
  expectNear(draw(0, background), {255, 255, 255}, "and LESS passes again after it");
}

TEST_F(EffectGL, TextureNamedInTheDefinitionIsSampled) {
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(4, 4));
  image->fill(video::SColor(255, 200, 100, 50));
  const std::string png = directory + "/stone.png";
  ASSERT_TRUE(driver->writeImageToFile(image, png.c_str()));
  image->drop();
  files.push_back(png);
  build("// texture Diffuse : stone.png : clamp\n// function pixelMain : ps_texture");
  EXPECT_NE(effect->techniques()[0].passes[0].material.layers[0].texture, nullptr);
  expectNear(draw(0), {200, 100, 50}, "the texture's colour");
}

TEST_F(EffectGL, PointSizeStateLetsTheVertexShaderSizePoints) {
  build("// float4 Tint : 1, 1, 0, 1 : pixel\n// function vertexMain : vs_point\n// config techniques : sized\n"
        "//ZARN_PP:D:TECH_SIZED:// config point_size_enable");
  EXPECT_EQ(effect->passStateFlags(1, 0), ZE_FX_STATE_POINT_SIZE);
  expectNear(draw(1, {0, 0, 0}, true), {255, 255, 0}, "the point's centre");
  probeX = 3;
  expectNear(draw(1, {0, 0, 0}, true), {255, 255, 0}, "a 9-pixel point covers 3 pixels right of its centre");
  expectNear(draw(0, {0, 0, 0}, true), {0, 0, 0}, "without the state the point keeps its fixed size");
}

}  // namespace
