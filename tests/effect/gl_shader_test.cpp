// Translated shaders drawn for real (Mesa under Xvfb): small quads rendered
// into an FBO through the engine's shader material renderers, pixels read back
// top row first and compared with a tolerance.
#include <epoxy/gl.h>
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <memory>

#include "base/zeMessage.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "render/CZeScreenQuadAligned.h"
#include "render/gl/ZeGLPixelCentre.h"
#include "render/gl/ZeGLShaderBackend.h"
#include "render/gl/ZeGLShaderMaterialRenderer.h"
#include "render/gl/ZeGLStateGuard.h"

using namespace irr;

namespace {

constexpr int W = 64, H = 48;

struct Rgba {
  int r, g, b, a;
};

class LambdaCallback : public video::IShaderConstantSetCallBack {
 public:
  std::function<void(video::IMaterialRendererServices*)> fn;
  void OnSetConstants(video::IMaterialRendererServices* s, s32) override {
    if (fn) fn(s);
  }
};

// One device for the whole test program; the FBO has four colour targets.
class GLShaderTest : public ::testing::Test {
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
    glGenTextures(4, colors);
    for (int i = 0; i < 4; ++i) {
      glBindTexture(GL_TEXTURE_2D, colors[i]);
      glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, W, H, 0, GL_RGBA, GL_UNSIGNED_BYTE, nullptr);
      glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_NEAREST);
      glFramebufferTexture2D(GL_FRAMEBUFFER, GLenum(GL_COLOR_ATTACHMENT0 + i), GL_TEXTURE_2D, colors[i], 0);
    }
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
      glDeleteTextures(4, colors);
      glDeleteTextures(1, &depth);
      device->drop();
    }
    device = nullptr;
  }
  void SetUp() override {
    if (!device) GTEST_SKIP() << "no OpenGL display";
    zeResetMessageState();
    backend = std::make_unique<CZeGLShaderBackend>(driver);
    services = std::make_unique<CZeGPUProgrammingServices>(backend.get());
    callback = new LambdaCallback;
  }
  void TearDown() override {
    if (callback) callback->drop();
    callback = nullptr;
  }

  int material(const std::string& file) {
    std::string error;
    int type = services->createMaterialFromFiles(file.c_str(), "vs_main", 3, file.c_str(), "ps_main", 7, callback, 0, 0,
                                                 nullptr, &error);
    EXPECT_GE(type, 0) << error;
    return type;
  }

  // Clears the targets to black and draws one full-target quad with the material.
  // `bottom` is the clip-space y of the quad's lower edge (-1: the whole target).
  void draw(int type, int targets = 1, bool depthTest = false, float bottom = -1.0f,
            video::ITexture* layer0 = nullptr) {
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    const GLenum buffers[4] = {GL_COLOR_ATTACHMENT0, GL_COLOR_ATTACHMENT1, GL_COLOR_ATTACHMENT2, GL_COLOR_ATTACHMENT3};
    glDrawBuffers(targets, buffers);
    zeGLSetViewport(0, 0, W, H);
    glClearColor(0, 0, 0, 0);
    glClearDepth(1.0);
    glDepthMask(GL_TRUE);
    glClear(GL_COLOR_BUFFER_BIT | GL_DEPTH_BUFFER_BIT);
    video::SMaterial m;
    m.MaterialType = video::E_MATERIAL_TYPE(type);
    m.Lighting = false;
    m.BackfaceCulling = false;
    m.ZBuffer = depthTest ? video::ECFN_LESSEQUAL : video::ECFN_NEVER;
    m.ZWriteEnable = depthTest;
    m.setTexture(0, layer0);
    driver->setMaterial(m);
    const video::SColor white(255, 255, 255, 255);
    // Clip-space corners; texture coordinates (0,0) at the top left.
    video::S3DVertex v[4] = {
        video::S3DVertex(-1, 1, 0.5f, 0, 0, 1, white, 0, 0),
        video::S3DVertex(1, 1, 0.5f, 0, 0, 1, white, 1, 0),
        video::S3DVertex(1, bottom, 0.5f, 0, 0, 1, white, 1, 1),
        video::S3DVertex(-1, bottom, 0.5f, 0, 0, 1, white, 0, 1),
    };
    const u16 idx[6] = {0, 1, 2, 0, 2, 3};
    driver->drawVertexPrimitiveList(v, 4, idx, 2, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);
    // Unset the shader material before leaving the frame.
    video::SMaterial plain;
    driver->setMaterial(plain);
    driver->drawVertexPrimitiveList(v, 0, idx, 0, video::EVT_STANDARD, scene::EPT_TRIANGLES, video::EIT_16BIT);
    glFinish();
    pixels.assign(4, std::vector<unsigned char>(size_t(W) * H * 4));
    for (int i = 0; i < targets; ++i) {
      glReadBuffer(GLenum(GL_COLOR_ATTACHMENT0 + i));
      glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels[size_t(i)].data());
    }
    depths.assign(size_t(W) * H, 0.0f);
    glReadPixels(0, 0, W, H, GL_DEPTH_COMPONENT, GL_FLOAT, depths.data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    driver->endScene();
  }

  // Pixel (x, y) counted from the top-left, of target `t`.
  Rgba at(int x, int y, int t = 0) const {
    const unsigned char* p = &pixels[size_t(t)][(size_t(y) * W + size_t(x)) * 4];
    return {p[0], p[1], p[2], p[3]};
  }

  static void expectNear(Rgba got, Rgba want, const char* what, int tolerance = 3) {
    EXPECT_NEAR(got.r, want.r, tolerance) << what;
    EXPECT_NEAR(got.g, want.g, tolerance) << what;
    EXPECT_NEAR(got.b, want.b, tolerance) << what;
    EXPECT_NEAR(got.a, want.a, tolerance) << what;
  }

  static IrrlichtDevice* device;
  static video::IVideoDriver* driver;
  static GLuint fbo;
  static GLuint colors[4];
  static GLuint depth;
  std::vector<float> depths;
  std::unique_ptr<CZeGLShaderBackend> backend;
  std::unique_ptr<CZeGPUProgrammingServices> services;
  LambdaCallback* callback = nullptr;
  std::vector<std::vector<unsigned char>> pixels;
};

IrrlichtDevice* GLShaderTest::device = nullptr;
video::IVideoDriver* GLShaderTest::driver = nullptr;
GLuint GLShaderTest::fbo = 0;
GLuint GLShaderTest::colors[4] = {};
GLuint GLShaderTest::depth = 0;

}  // namespace

// Direct3D 9 pixel centres: a 1-pixel checkerboard copied with point sampling
// into a target of its own size comes out exactly, through the aligned screen
// quad (shifted by half a pixel itself) and through a plain full-screen quad
// whose pixel shader adds half a texel. Without the half-pixel move of the
// vertex stage, or with either sign turned round, both copies sample texel
// edges and fail: this is what fixes the sign under the upper-left origin.
TEST_F(GLShaderTest, CheckerboardCopiesExactlyWithDirect3DPixelCentres) {
  int type = material("corpus/copy.hlsl");
  ASSERT_GE(type, 0);
  auto cell = [](int x, int y) -> Rgba {
    return (x + y) % 2 ? Rgba{255, 0, 0, 255} : Rgba{0, 0, 255, 255};
  };
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(W, H));
  for (int y = 0; y < H; ++y)
    for (int x = 0; x < W; ++x) {
      Rgba c = cell(x, y);
      image->setPixel(u32(x), u32(y), video::SColor(u32(c.a), u32(c.r), u32(c.g), u32(c.b)));
    }
  video::ITexture* board = driver->addTexture("checkerboard", image);
  image->drop();
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, true);
  ASSERT_NE(board, nullptr);

  CZeScreenQuadAligned aligned(W, H);
  aligned.material().MaterialType = video::E_MATERIAL_TYPE(type);
  aligned.material().Lighting = false;
  aligned.material().BackfaceCulling = false;
  aligned.material().setTexture(0, board);
  aligned.material().TextureLayer[0].BilinearFilter = false;

  auto copy = [&](bool viaAligned, bool bilinear) {
    aligned.material().TextureLayer[0].BilinearFilter = bilinear;
    // Bilinear filtering of a texel centre gives the texel itself; the
    // vertical move's sub-pixel shortfall may add one step of the neighbour.
    const int tolerance = bilinear ? 2 : 0;
    const float offset[2] = {viaAligned ? 0.0f : 0.5f / W, viaAligned ? 0.0f : 0.5f / H};
    callback->fn = [offset](video::IMaterialRendererServices* s) { s->setPixelShaderConstant("TexelOffset", offset, 2); };
    driver->beginScene(true, true, video::SColor(255, 0, 0, 0));
    glBindFramebuffer(GL_FRAMEBUFFER, fbo);
    glDrawBuffer(GL_COLOR_ATTACHMENT0);
    zeGLSetViewport(0, 0, W, H);
    glClearColor(0, 0, 0, 0);
    glClear(GL_COLOR_BUFFER_BIT);
    if (viaAligned) {
      aligned.draw(driver);
    } else {
      video::SMaterial m = aligned.material();
      driver->setMaterial(m);
      const video::SColor white(255, 255, 255, 255);
      video::S3DVertex v[4] = {
          video::S3DVertex(-1, 1, 0, 0, 0, 1, white, 0, 0), video::S3DVertex(1, 1, 0, 0, 0, 1, white, 1, 0),
          video::S3DVertex(1, -1, 0, 0, 0, 1, white, 1, 1), video::S3DVertex(-1, -1, 0, 0, 0, 1, white, 0, 1)};
      driver->drawIndexedTriangleList(v, 4, CZeScreenQuadAligned::kIndices, 2);
    }
    video::SMaterial plain;
    driver->setMaterial(plain);
    driver->drawIndexedTriangleList(aligned.vertices(), 0, CZeScreenQuadAligned::kIndices, 0);
    glFinish();
    pixels.assign(1, std::vector<unsigned char>(size_t(W) * H * 4));
    glReadBuffer(GL_COLOR_ATTACHMENT0);
    glReadPixels(0, 0, W, H, GL_RGBA, GL_UNSIGNED_BYTE, pixels[0].data());
    glBindFramebuffer(GL_FRAMEBUFFER, 0);
    driver->endScene();
    int wrong = 0;
    for (int y = 0; y < H; ++y)
      for (int x = 0; x < W; ++x) {
        Rgba got = at(x, y), want = cell(x, y);
        wrong += std::abs(got.r - want.r) > tolerance || std::abs(got.g - want.g) > tolerance ||
                 std::abs(got.b - want.b) > tolerance || std::abs(got.a - want.a) > tolerance;
      }
    return wrong;
  };

  struct Case {
    const char* what;
    float scaleX, scaleY;
    bool exact;
  } cases[] = {
      {"the rule", 1, 1, true},
      {"no move", 0, 0, false},
      {"moved up instead of down", 1, -1, false},
      {"moved left instead of right", -1, 1, false},
  };
  for (const Case& c : cases) {
    zeGLSetHalfPixelScale(c.scaleX, c.scaleY);
    for (bool bilinear : {false, true})
      for (bool viaAligned : {true, false}) {
        const int wrong = copy(viaAligned, bilinear);
        std::string what = std::string(c.what) + (viaAligned ? ", aligned quad" : ", plain quad + half texel") +
                           (bilinear ? ", bilinear" : ", point sampling");
        if (c.exact) {
          EXPECT_EQ(wrong, 0) << what;
        } else if (c.scaleX != 0) {
          // A move the wrong way samples the neighbouring texel everywhere.
          EXPECT_GE(wrong, W * H / 2) << what;
        } else if (bilinear) {
          // No move: texel edges instead of centres, every pixel a blend.
          EXPECT_GE(wrong, W * H / 2) << what;
        } else if (viaAligned) {
          // No move, point sampling: the last column lies off the quad.
          EXPECT_GE(wrong, H) << what;
        }
        // (No move, point sampling, plain quad: samples land exactly on texel
        // edges and the rounding of the interpolation decides; not asserted.)
      }
  }
  zeGLSetHalfPixelScale(1, 1);
  driver->removeTexture(board);
}

// The half-pixel move follows every viewport change of the GL layer, also the
// one a state guard makes when it puts the previous viewport back.
TEST_F(GLShaderTest, HalfPixelFollowsTheViewportThroughAGuard) {
  float x = 0, y = 0;
  zeGLSetViewport(0, 0, 64, 32);
  zeGLHalfPixel(&x, &y);
  EXPECT_FLOAT_EQ(x, 1.0f / 64);
  EXPECT_FLOAT_EQ(y, -(1.0f - 2.0f / 256) / 32);
  {
    CZeGLStateGuard guard;
    zeGLSetViewport(0, 0, 16, 8);  // a smaller render target inside the guard
    zeGLHalfPixel(&x, &y);
    EXPECT_FLOAT_EQ(x, 1.0f / 16);
  }
  zeGLHalfPixel(&x, &y);
  EXPECT_FLOAT_EQ(x, 1.0f / 64);
  EXPECT_FLOAT_EQ(y, -(1.0f - 2.0f / 256) / 32);
}

// The quad is squeezed into the right half: x' = 0.5 x + 0.5 in Direct3D's row
// vector convention (translation in the last row). By name the matrix goes in
// row after row whatever its packing; by register it goes in as the registers
// hold it: transposed for column_major, as it is for row_major.
TEST_F(GLShaderTest, MatrixByNameAndByRegisterGiveTheSameTransform) {
  int type = material("corpus/matrix.hlsl");
  ASSERT_GE(type, 0);
  const float m[16] = {0.5f, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0.5f, 0, 0, 1};
  float t[16];
  for (int i = 0; i < 4; ++i)
    for (int j = 0; j < 4; ++j) t[i * 4 + j] = m[j * 4 + i];
  int colReg = -1, rowReg = -1, count = 0;
  ASSERT_TRUE(services->getVertexShaderConstantRegister(type, "ColMajor", &colReg, &count));
  ASSERT_TRUE(services->getVertexShaderConstantRegister(type, "RowMajor", &rowReg, &count));
  struct Case {
    const char* what;
    std::function<void(video::IMaterialRendererServices*)> set;
  } cases[] = {
      {"column_major by name",
       [&](video::IMaterialRendererServices* s) {
         float zero = 0;
         s->setVertexShaderConstant("UseRow", &zero, 1);
         s->setVertexShaderConstant("ColMajor", m, 16);
       }},
      {"column_major by register",
       [&](video::IMaterialRendererServices* s) {
         float zero[4] = {};
         s->setVertexShaderConstant("UseRow", zero, 1);
         s->setVertexShaderConstant(t, colReg, 4);
       }},
      {"row_major by name",
       [&](video::IMaterialRendererServices* s) {
         float one = 1;
         s->setVertexShaderConstant("UseRow", &one, 1);
         s->setVertexShaderConstant("RowMajor", m, 16);
       }},
      {"row_major by register",
       [&](video::IMaterialRendererServices* s) {
         float one = 1;
         s->setVertexShaderConstant("UseRow", &one, 1);
         s->setVertexShaderConstant(m, rowReg, 4);
       }},
  };
  for (const Case& c : cases) {
    // Start from garbage so nothing passes by accident.
    callback->fn = [](video::IMaterialRendererServices* s) {
      float junk[32];
      for (float& f : junk) f = 3.0f;
      s->setVertexShaderConstant(junk, 0, 8);
    };
    draw(type);
    callback->fn = c.set;
    draw(type);
    expectNear(at(8, 24), {0, 0, 0, 0}, c.what);
    expectNear(at(W / 2 - 2, 24), {0, 0, 0, 0}, c.what);
    expectNear(at(W / 2 + 2, 24), {255, 255, 255, 255}, c.what);
    expectNear(at(W - 2, 2), {255, 255, 255, 255}, c.what);
  }
}

TEST_F(GLShaderTest, VposCountsFromTheTopLeft) {
  int type = material("corpus/screenspace.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float size[2] = {float(W), float(H)};
    s->setPixelShaderConstant("ScreenSize", size, 2);
  };
  draw(type);
  for (int y : {0, 5, H - 1})
    for (int x : {0, 10, W - 1}) {
      Rgba p = at(x, y);
      EXPECT_NEAR(p.r, 255.0 * x / W, 1.5) << x << "," << y;
      EXPECT_NEAR(p.g, 255.0 * y / H, 1.5) << x << "," << y;
    }
  // A quad over the upper half of clip space covers the first rows of the
  // image, and VPOS there still counts from the top.
  draw(type, 1, false, 0.0f);
  EXPECT_EQ(at(10, 5).a, 255);
  EXPECT_NEAR(at(10, 5).g, 255.0 * 5 / H, 1.5);
  EXPECT_EQ(at(10, H - 5).a, 0);
}

// DEPTH replaces the quad's own depth (0.5) in the depth buffer, in the 0..1
// convention; VFACE is positive on the face Direct3D calls front (clockwise
// on screen).
TEST_F(GLShaderTest, DepthOutputAndFaceSign) {
  int type = material("corpus/screenspace.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float size[2] = {float(W), float(H)};
    s->setPixelShaderConstant("ScreenSize", size, 2);
  };
  GLint frontFace = 0;
  draw(type, 1, true);
  glGetIntegerv(GL_FRONT_FACE, &frontFace);
  EXPECT_NEAR(depths[size_t(20) * W + 20], 0.25f, 1e-3f);
  EXPECT_NEAR(at(20, 20).b, 255, 1) << "front face " << std::hex << frontFace;
}

TEST_F(GLShaderTest, FourColourOutputsReachFourTargets) {
  int type = material("corpus/mrt.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float base[4] = {1, 1, 1, 1};
    s->setPixelShaderConstant("Base", base, 4);
  };
  draw(type, 4);
  expectNear(at(20, 20, 0), {255, 0, 0, 255}, "COLOR0");
  expectNear(at(20, 20, 1), {0, 255, 0, 255}, "COLOR1");
  expectNear(at(20, 20, 2), {0, 0, 255, 255}, "COLOR2");
  expectNear(at(20, 20, 3), {255, 255, 255, 255}, "COLOR3");
}

TEST_F(GLShaderTest, VertexShaderReadsATexture) {
  int type = material("corpus/vtf.hlsl");
  ASSERT_GE(type, 0);
  GLuint tex[2];
  glGenTextures(2, tex);
  const unsigned char height[4] = {51, 153, 102, 255};
  const unsigned char white[4] = {255, 255, 255, 255};
  for (int i = 0; i < 2; ++i) {
    glBindTexture(GL_TEXTURE_2D, tex[i]);
    glTexImage2D(GL_TEXTURE_2D, 0, GL_RGBA8, 1, 1, 0, GL_RGBA, GL_UNSIGNED_BYTE, i == 0 ? height : white);
  }
  glBindTexture(GL_TEXTURE_2D, 0);
  int heightIndex = -1, colorIndex = -1;
  ASSERT_TRUE(services->getVertexShaderSamplerIndex(type, "HeightMap", &heightIndex));
  ASSERT_TRUE(services->getPixelShaderSamplerIndex(type, "ColorMap", &colorIndex));
  CZeGLShaderMaterialRenderer* r = backend->renderer(type);
  ASSERT_NE(r, nullptr);
  r->setStageTexture(ZE_VERTEX_SAMPLER_UNIT0 + heightIndex, GL_TEXTURE_2D, tex[0], false);
  r->setStageTexture(colorIndex, GL_TEXTURE_2D, tex[1], false);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    s->setVertexShaderConstant("WorldViewProj", identity, 16);
    const float scale = 0;
    s->setVertexShaderConstant("Scale", &scale, 1);
  };
  draw(type);
  expectNear(at(30, 20), {51, 153, 102, 255}, "vertex texture fetch");
  r->setStageTexture(ZE_VERTEX_SAMPLER_UNIT0 + heightIndex, 0, 0, false);
  r->setStageTexture(colorIndex, 0, 0, false);
  glDeleteTextures(2, tex);
}

TEST_F(GLShaderTest, BoolConstantSwitchesABranch) {
  int type = material("corpus/branch.hlsl");
  ASSERT_GE(type, 0);
  for (bool green : {false, true}) {
    callback->fn = [green](video::IMaterialRendererServices* s) {
      const bool b = green;
      const s32 level = 4;
      s->setPixelShaderConstant("UseGreen", &b, 1);
      s->setPixelShaderConstant("Level", &level, 1);
    };
    draw(type);
    expectNear(at(10, 10), green ? Rgba{0, 255, 0, 255} : Rgba{255, 0, 0, 255}, green ? "green" : "red");
  }
}

// Register files keep their values between draws; only what changes is sent again.
TEST_F(GLShaderTest, RegisterValuesPersistAcrossDraws) {
  int type = material("corpus/branch.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const bool b = true;
    const s32 level = 4;
    s->setPixelShaderConstant("UseGreen", &b, 1);
    s->setPixelShaderConstant("Level", &level, 1);
  };
  draw(type);
  expectNear(at(10, 10), {0, 255, 0, 255}, "set");
  callback->fn = nullptr;
  draw(type);
  expectNear(at(10, 10), {0, 255, 0, 255}, "kept");
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float level[4] = {2, 0, 0, 0};
    s->setPixelShaderConstant(level, 1, 1);  // Level lives in c1
  };
  draw(type);
  expectNear(at(10, 10), {0, 128, 0, 128}, "changed by register");
}

// A texture on the Irrlicht material's layer 0 reaches pixel sampler s0.
TEST_F(GLShaderTest, MaterialLayerTextureReachesPixelSampler) {
  int type = material("corpus/basic.hlsl");
  ASSERT_GE(type, 0);
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2d<u32>(2, 2));
  image->fill(video::SColor(255, 255, 128, 0));
  video::ITexture* texture = driver->addTexture("zarn-layer0", image);
  image->drop();
  ASSERT_NE(texture, nullptr);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float identity[16] = {1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1, 0, 0, 0, 0, 1};
    const float tint[4] = {1, 1, 0.5f, 1};
    s->setVertexShaderConstant("WorldViewProj", identity, 16);
    s->setPixelShaderConstant("Tint", tint, 4);
  };
  draw(type, 1, false, -1.0f, texture);
  expectNear(at(10, 10), {255, 128, 0, 255}, "layer 0");
  driver->removeTexture(texture);
}

// Direct3D's lit(): specular is pow(n.h, m) unless n.l or n.h is negative.
TEST_F(GLShaderTest, LitGivesDirect3DSpecular) {
  int type = material("corpus/lit.hlsl");
  ASSERT_GE(type, 0);
  struct Case {
    float nl, nh, m;
    Rgba expected;  // (diffuse, specular, 1, 1)
  } cases[] = {
      {0.5f, 0.5f, 2.0f, {128, 64, 255, 255}},
      {0.8f, 0.9f, 1.0f, {204, 230, 255, 255}},
      {-0.5f, 0.8f, 1.0f, {0, 0, 255, 255}},
      {0.5f, -0.8f, 1.0f, {128, 0, 255, 255}},
  };
  for (const Case& c : cases) {
    callback->fn = [c](video::IMaterialRendererServices* s) {
      const float args[3] = {c.nl, c.nh, c.m};
      s->setPixelShaderConstant("LightArgs", args, 3);
    };
    draw(type);
    expectNear(at(5, 5), c.expected, "lit");
  }
}

TEST_F(GLShaderTest, FmodTruncatesAsDirect3DDoes) {
  int type = material("corpus/fmod.hlsl");
  ASSERT_GE(type, 0);
  struct Case {
    float x, y;
    int red;  // (fmod(x, y) + 0.5) * 255
  } cases[] = {{-1.25f, 1.0f, 64}, {1.25f, 1.0f, 191}, {-0.25f, -1.0f, 64}, {2.75f, -1.0f, 255}};
  for (float useOperator : {0.0f, 1.0f})
    for (const Case& c : cases) {
      callback->fn = [c, useOperator](video::IMaterialRendererServices* s) {
        const float args[2] = {c.x, c.y};
        s->setPixelShaderConstant("Args", args, 2);
        s->setPixelShaderConstant("UseOperator", &useOperator, 1);
      };
      draw(type);
      EXPECT_NEAR(at(3, 3).r, c.red, 2) << c.x << " " << c.y << (useOperator > 0 ? " %" : " fmod");
    }
}

// Editing an included file and asking for a recompile changes the colour of
// the same material type, with no restart.
TEST_F(GLShaderTest, HotRecompileOfAnIncludeChangesTheRenderedColour) {
  char tmpl[] = "/tmp/zarn-hot-XXXXXX";
  std::string root = mkdtemp(tmpl);
  ::mkdir((root + "/inc").c_str(), 0755);
  const std::string shader = root + "/hot.hlsl", include = root + "/inc/colour.fxh";
  std::ofstream(shader) << "#include \"inc/colour.fxh\"\n"
                           "float4 vs_main(float4 p : POSITION) : POSITION { return p; }\n"
                           "float4 ps_main() : COLOR0 { return SurfaceColour(); }\n";
  std::ofstream(include) << "float4 SurfaceColour() { return float4(1, 0, 0, 1); }\n";
  services->setCache((root).c_str(), 7);
  int type = material(shader);
  ASSERT_GE(type, 0);
  callback->fn = nullptr;
  draw(type);
  expectNear(at(10, 10), {255, 0, 0, 255}, "before");
  std::ofstream(include) << "float4 SurfaceColour() { return float4(0, 0, 1, 1); }\n";
  std::vector<int> changed;
  std::string error;
  ASSERT_TRUE(services->recompile({include}, &changed, &error)) << error;
  ASSERT_EQ(changed.size(), 1u);
  EXPECT_EQ(changed[0], type);
  draw(type);
  expectNear(at(10, 10), {0, 0, 255, 255}, "after");
  std::string cmd = "rm -rf '" + root + "'";
  (void)std::system(cmd.c_str());
}

// Per-stage registers: the vertex stage reads K from c3, the pixel stage from c5.
TEST_F(GLShaderTest, PerStageRegistersHoldInTheirStage) {
  int type = material("corpus/compat_stage.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float red[4] = {1, 0, 0, 0}, green[4] = {0, 1, 0, 0};
    s->setVertexShaderConstant(red, 3, 1);
    s->setPixelShaderConstant(green, 5, 1);
  };
  draw(type);
  expectNear(at(10, 10), {255, 255, 0, 255}, "red from the vertex c3, green from the pixel c5");
}

// An initialiser with elided braces keeps its element values; a float index
// is truncated as Direct3D 9 converts it (1.7 picks element 1).
TEST_F(GLShaderTest, ElidedInitialisersAndFloatIndicesGiveDirect3DValues) {
  int type = material("corpus/compat_values.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float select = 1.7f;
    s->setPixelShaderConstant("Select", &select, 1);
  };
  draw(type);
  expectNear(at(10, 10), {64, 128, 255, 255}, "Offsets[0] and Offsets[1].x");
  expectNear(at(50, 10), {0, 255, 0, 255}, "Palette[1.7] is Palette[1]");
}

// Uniform entry parameters bound by the technique's "compile ps_2_0 ps_main(2, true)".
TEST_F(GLShaderTest, UniformEntryParametersTakeTheTechniqueArguments) {
  int type = material("corpus/compat_uniform.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float colors[16] = {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1, 1, 1, 1, 1};
    s->setPixelShaderConstant("Colors", colors, 16);
  };
  draw(type);
  expectNear(at(10, 10), {128, 128, 0, 255}, "red and green, halved");
}

// One target per value: "$tint" set by name, Pal[2] read through an array
// passed whole, (float[4])Vec in component order, half4(a, b, c) = Vec.
TEST_F(GLShaderTest, EntryConstantsWholeArraysCastsAndSplitsGiveDirect3DValues) {
  int type = material("corpus/compat_entry.hlsl");
  ASSERT_GE(type, 0);
  callback->fn = [](video::IMaterialRendererServices* s) {
    const float tint[4] = {1, 0.5f, 0, 1};
    const float pal[12] = {1, 0, 0, 1, 0, 1, 0, 1, 0, 0, 1, 1};
    const float sel = 2, vec[4] = {0.25f, 0.5f, 0.75f, 1};
    s->setPixelShaderConstant("$tint", tint, 4);
    s->setPixelShaderConstant("Pal", pal, 12);
    s->setPixelShaderConstant("Sel", &sel, 1);
    s->setPixelShaderConstant("Vec", vec, 4);
  };
  draw(type, 4);
  expectNear(at(10, 10, 0), {255, 128, 0, 255}, "$tint");
  expectNear(at(10, 10, 1), {0, 0, 255, 255}, "Pal[2] through the callee");
  expectNear(at(10, 10, 2), {191, 64, 128, 255}, "w[2], w[0], w[1], w[3]");
  expectNear(at(10, 10, 3), {255, 191, 64, 128}, "c = Vec.w, b = Vec.z, a = Vec.xy");
}

// The entry "Pick.P0" compiles what the pass assigns: Colours[Index], and
// Index starts at 1.
TEST_F(GLShaderTest, APassIndexingAShaderArrayDrawsTheElementPicked) {
  const char* file = "corpus/compat_objects.hlsl";
  std::string error;
  int type = services->createMaterialFromFiles(file, "Pick.P0", 3, file, "Pick.P0", 7, callback, 0, 0, nullptr, &error);
  ASSERT_GE(type, 0) << error;
  draw(type);
  expectNear(at(10, 10), {0, 255, 0, 255}, "Colours[1]");
}

// SV_ semantics in a shader model 3 source, with the values Direct3D 9 gives
// (see corpus/compat_sv.hlsl): VPOS counts whole pixels from the top-left,
// the position written as SV_Position lands with Direct3D 9 pixel centres
// (without the half-pixel move b would be 0.5 off), SV_Target1 reaches the
// second target, SV_Depth the depth buffer, and SV_IsFrontFace is true on the
// front face only.
TEST_F(GLShaderTest, SystemValueSemanticsGiveDirect3D9Values) {
  int type = material("corpus/compat_sv.hlsl");
  ASSERT_GE(type, 0);
  float mirror = 1;
  callback->fn = [&mirror](video::IMaterialRendererServices* s) {
    const float size[2] = {float(W), float(H)};
    s->setPixelShaderConstant("ScreenSize", size, 2);
    s->setVertexShaderConstant("Mirror", &mirror, 1);
  };
  for (float m : {1.0f, -1.0f}) {
    mirror = m;
    draw(type, 2, true);
    const int front = m > 0 ? 255 : 0;
    for (int y : {0, 7, H - 1})
      for (int x : {0, 13, W - 1}) {
        const std::string where = std::to_string(x) + "," + std::to_string(y) + " mirror " + std::to_string(m);
        const Rgba p = at(x, y);
        EXPECT_NEAR(p.r, 255.0 * x / W, 1.5) << where;
        EXPECT_NEAR(p.g, 255.0 * y / H, 1.5) << where;
        EXPECT_NEAR(p.b, 128, 3) << where;
        EXPECT_NEAR(p.a, 128, 3) << where;
        expectNear(at(x, y, 1), {0, 255, front, 255}, where.c_str());
        EXPECT_NEAR(depths[size_t(y) * W + size_t(x)], 0.25f, 1e-3f) << where;
      }
  }
}
