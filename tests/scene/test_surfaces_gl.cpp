// Surfaces on OpenGL (Mesa under Xvfb), in the frame as the engine draws it
// today (Irrlicht's fixed function with the material a surface writes, and
// the engine's effect draw): a luminous surface without diffuse shows its
// flat colour, an image map reaches an effect's "LW_Tex_BaseColor", a
// LightWave object written by our generator shows its red glossy, mapped,
// double-sided surface, and a scene's animated surface colour plays.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/zeEffectCommands.h"
#include "render/zeEffectManagerSlot.h"
#include "scene/zeCamera.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeScene.h"
#include "support/glEngineTest.h"
#include "support/lwoWriter.h"

using namespace irr;

namespace {

// The colour map times the base colour, when the surface's macros say there is a map.
const char* const kMapEffect = R"(/*
[ZARN_BEGIN]
// float4x4 WVP : WorldViewProjection : vertex
// float3 Base : LW_BaseColor : pixel
// texture LW_Tex_BaseColor : : clamp point
[ZARN_END]
*/
float4x4 WVP;
float3 Base;
sampler2D LW_Tex_BaseColor;
struct VOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VOut o;
  o.pos = mul(WVP, pos);
  o.uv = uv;
  return o;
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR {
#ifdef USE_TEX_COLOR
  return float4(tex2D(LW_Tex_BaseColor, uv).rgb * Base, 1);
#else
  return float4(1, 0, 1, 1);
#endif
}
)";

class SurfaceGL : public ZeGLEngineTest {
 protected:
  void TearDown() override {
    zeDeleteAllScenes();
    ZeGLEngineTest::TearDown();
  }
  bool start() {
    if (!ZeGLEngineTest::start()) return false;
    std::ofstream(base_ + "map.hlsl") << kMapEffect;
    zeSetBackdropColour(0x0000FF);
    zeColorAmbientLight(0);
    return true;
  }
  // A picture of two halves (left, right) beside the test's files.
  void picture(const char* name, video::SColor left, video::SColor right) {
    video::IVideoDriver* driver = zeEngineContext().driver;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(8, 8));
    for (u32 y = 0; y < 8; ++y)
      for (u32 x = 0; x < 8; ++x) image->setPixel(x, y, x < 4 ? left : right);
    driver->writeImageToFile(image, (base_ + name).c_str());
    image->drop();
  }
  // Keeps the frame Sync just drew when ZARN_KEEP_SHOTS names a folder.
  static void keep(const char* name) {
    const char* folder = std::getenv("ZARN_KEEP_SHOTS");
    video::IImage* image = folder ? zeGetFrameBackend()->readFrame() : nullptr;
    if (!image) return;
    zeEngineContext().driver->writeImageToFile(image, (std::string(folder) + "/" + name).c_str());
    image->drop();
  }
  static video::SColor pixel(int x, int y) { return framePixel(x, y); }
  static ::testing::AssertionResult near(video::SColor got, int r, int g, int b, int tolerance = 1) {
    if (std::abs(int(got.getRed()) - r) <= tolerance && std::abs(int(got.getGreen()) - g) <= tolerance &&
        std::abs(int(got.getBlue()) - b) <= tolerance)
      return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << got.getRed() << "," << got.getGreen() << "," << got.getBlue()
                                         << " want " << r << "," << g << "," << b;
  }
};

std::string lastError() {
  int arg = 0;
  const char* text = zeGetLastError(&arg);
  return text ? text : "";
}

TEST_F(SurfaceGL, LuminosityOneAndDiffuseZeroGiveTheFlatBaseColour) {
  ZE_NEED_DISPLAY();
  ASSERT_TRUE(start()) << zeStartFailureReason();
  ASSERT_EQ(zeLoadObject(1, (base_ + "quad.obj").c_str()), 0);
  // A white light straight at the square: diffuse 0 takes none of it.
  ASSERT_EQ(zeMakeLight(1), 0);
  zeSetDirectionalLight(1, 0, 0, 0);
  zeColorLight(1, 1, 1, 1);
  ASSERT_EQ(zeSetObjectSurfaceParamFloat3(1, 0, "BaseColor", 0.2f, 0.6f, 0.8f), 0);
  zeSetObjectSurfaceParamFloat(1, 0, "Luminosity", 1.0f);
  zeSetObjectSurfaceParamFloat(1, 0, "Diffuse", 0.0f);
  zeSetObjectSurfaceParamFloat(1, 0, "Specularity", 0.0f);
  zeSetObjectSurfaceParamFloat(1, 0, "VertexColoring", 0.0f);
  ASSERT_EQ(zeUpdateObjectFromSurfaces(1), 0);
  zeSync();
  // 0.2, 0.6, 0.8 of 255, rounded.
  EXPECT_TRUE(near(pixel(32, 24), 51, 153, 204));
  EXPECT_TRUE(near(pixel(3, 3), 51, 153, 204));
  // Diffuse back: the light adds to it.
  zeSetObjectSurfaceParamFloat(1, 0, "Diffuse", 1.0f);
  zeUpdateObjectFromSurfaces(1);
  zeSync();
  EXPECT_GT(pixel(32, 24).getRed(), 51u + 30u);
}

TEST_F(SurfaceGL, AnImageMapReachesTheEffectSamplerOfItsChannel) {
  ZE_NEED_DISPLAY();
  ASSERT_TRUE(start()) << zeStartFailureReason();
  picture("map.bmp", video::SColor(255, 200, 100, 50), video::SColor(255, 200, 100, 50));
  ASSERT_EQ(zeLoadObject(1, (base_ + "quad.obj").c_str()), 0);
  ASSERT_EQ(zeSetObjectSurfaceParamTex(1, 0, "BaseColor", (base_ + "map.bmp").c_str(), false), 0);
  ASSERT_EQ(zeSetObjectSurfaceParamFloat3(1, 0, "BaseColor", 0.5f, 1.0f, 0.25f), 0);
  // Compiled with the surface's macros (USE_TEX_COLOR), then given to the row.
  SZeEffectCommandEnv commands = zeEngineEffectCommands();
  ASSERT_EQ(zeLoadEffectForObjectSurface(commands, (base_ + "map.hlsl").c_str(), 3, 1, 0), 0);
  ASSERT_EQ(zeSetObjectSurfaceEffect(1, 0, 3), 0);
  zeSync();
  // The map times the base colour, worked on the CPU: 200 x 0.5, 100 x 1, 50 x 0.25.
  EXPECT_TRUE(near(pixel(32, 24), 100, 100, 13, 2));
}

TEST_F(SurfaceGL, ALightWaveObjectShowsItsRedGlossyMappedDoubleSidedSurface) {
  ZE_NEED_DISPLAY();
  ASSERT_TRUE(start()) << zeStartFailureReason();
  // The image: white on its left half, dark grey on its right.
  picture("stripes.bmp", video::SColor(255, 255, 255, 255), video::SColor(255, 64, 64, 64));
  using namespace lwo;
  // Left: a square facing the camera (LightWave corners run clockwise seen
  // from the front); right: one facing away. One surface for both.
  const std::vector<std::vector<float>> points = {{-6, 2, 10}, {-1, 2, 10}, {-1, -2, 10}, {-6, -2, 10},
                                                  {1, 2, 10},  {6, 2, 10},  {6, -2, 10},  {1, -2, 10}};
  std::string uv = "TXUV" + be16(2) + s0("uv");
  const float u[8] = {0, 1, 1, 0, 0, 1, 1, 0}, v[8] = {1, 1, 0, 0, 1, 1, 0, 0};
  for (u32 i = 0; i < 8; ++i) uv += be16(i) + f4(u[i]) + f4(v[i]);
  const std::string surfaceChunks = colour(1, 0.1f, 0.1f) + scalar("DIFF", 0.8f) + scalar("SPEC", 0.9f) +
                             scalar("GLOS", 0.6f) + sub("SIDE", be16(3)) + imageBlock("COLR", 1, 5, 2, "uv");
  std::ofstream(base_ + "glossy.lwo", std::ios::binary)
      << form(chunk("TAGS", s0("Glossy")) + layer(points, {{0, 1, 2, 3}, {7, 6, 5, 4}}) + chunk("VMAP", uv) +
              clip(1, "stripes.bmp") + surface("Glossy", surfaceChunks));
  zeColorAmbientLight(0x404040);
  ASSERT_EQ(zeMakeLight(1), 0);
  zeSetDirectionalLight(1, 0, 0, 0);
  zeColorLight(1, 1, 1, 1);
  // As the object viewer loads it.
  ASSERT_EQ(zeLoadObject(1, (base_ + "glossy.lwo").c_str()), 0) << lastError();
  zeSync();
  keep("surface-lwo.png");
  const video::SColor glossy = pixel(26, 24), left = pixel(16, 24), back = pixel(44, 24);
  // Red, and the back face drawn.
  EXPECT_GT(left.getRed(), left.getBlue() + 40) << left.getRed() << "," << left.getBlue();
  EXPECT_FALSE(near(back, 0, 0, 255, 8)) << "the back face is not drawn";
  // Matte, the image's halves show (white on the left, dark grey on the
  // right), and the glossy highlight is gone from the green and blue.
  zeSetObjectSurfaceParamFloat(1, 0, "Specularity", 0.0f);
  zeUpdateObjectFromSurfaces(1);
  zeSync();
  keep("surface-lwo-matte.png");
  const video::SColor matteLeft = pixel(16, 24), matteRight = pixel(26, 24);
  EXPECT_GT(matteLeft.getRed(), matteRight.getRed() + 100) << matteLeft.getRed() << " " << matteRight.getRed();
  EXPECT_GT(glossy.getGreen(), matteRight.getGreen() + 60) << glossy.getGreen() << " " << matteRight.getGreen();
  // Sidedness 0: the back face is culled; 3 shows it again.
  zeSetObjectSurfaceParamInt(1, 0, "Sidedness", 0);
  zeUpdateObjectFromSurfaces(1);
  zeSync();
  EXPECT_TRUE(near(pixel(44, 24), 0, 0, 255));
  zeSetObjectSurfaceParamInt(1, 0, "Sidedness", 3);
  zeUpdateObjectFromSurfaces(1);
  zeSync();
  EXPECT_FALSE(near(pixel(44, 24), 0, 0, 255, 8));
}

TEST_F(SurfaceGL, ASceneSurfaceColourPlaysTwoColoursAtTwoFrames) {
  ZE_NEED_DISPLAY();
  ASSERT_TRUE(start()) << zeStartFailureReason();
  const std::string scene =
      "{ Scene\n{ SceneInfo\nframeStart I4 0\nframeEnd I4 10\nframeStep I4 1\nframesPerSecond FP 25\n}\n"
      "{ BackdropInfo\nzenith FP 0 0 1\n}\n"
      "{ Cameras\n{ C\nposition FP 0 0 0\nrotation FP 0 0 0\nzoomFactor FP 3.2\n}\n}\n"
      "{ SceneObjects\n{ M\nfilename STR quad.lwo\n{ Surfaces\n{ s\nname STR Default\n{ Parameters\n"
      "{ BaseColor\nvalue FP_C [\nDAT 2 1 0\nDAT 2 0 1\nDAT 2 0 0\n]\n}\n"
      "{ Luminosity\nvalue FP 1\n}\n{ Diffuse\nvalue FP 0\n}\n{ Specularity\nvalue FP 0\n}\n"
      "{ VertexColoring\nvalue FP 0\n}\n}\n}\n}\n}\n}\n"
      "{ Objects\n{ O\nzfilename STR quad.obj\nname STR quad\nfilename STR quad.lwo\n}\n}\n}\n";
  std::ofstream(base_ + "colour.zscn") << scene;
  zeSetWorkingDirectory(base_.c_str());
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(zeLoadScene(0, (base_ + "colour.zscn").c_str(), "", params), 0) << lastError();
  zeShowScene(0);
  zeAnimateScene(0, 0);
  zeSync();
  EXPECT_TRUE(near(pixel(32, 24), 255, 0, 0));
  zeAnimateScene(0, 40);  // frame 1
  zeSync();
  EXPECT_TRUE(near(pixel(32, 24), 0, 255, 0));
}

}  // namespace
