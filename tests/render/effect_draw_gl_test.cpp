// Objects drawn through effects in the engine's own frame (Mesa under Xvfb):
// an object loaded by the object layer, its row given an effect of the
// command layer, is drawn by a plain Sync with the effect's constants; the
// same object without the effect draws as Irrlicht draws it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectCallback.h"
#include "effect/CZeEffectManager.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/ZeGLDrawList.h"
#include "render/gl/zeGLInstall.h"
#include "render/ze2D.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSubsystem.h"
#include "support/glEngineTest.h"
#include "support/tintEffect.h"

using namespace irr;

namespace {

const std::string kEffect = tintEffectSource();

// Places the shared screen quad on "Rectangle" (pixels) and paints "Color",
// times "Image" in the second technique's variant.
const char* const kRectangleEffect = R"(/*
[ZARN_BEGIN]
// float2 Screen : ScreenSize : vertex
// float4 Rectangle : 0, 0, 0, 0 : vertex
// float4 Color : 1, 1, 1, 1 : pixel
#ifdef WITH_IMAGE
// texture Image : : clamp point
#endif
[ZARN_END]
*/
float2 Screen;
float4 Rectangle;
float4 Color;
#ifdef WITH_IMAGE
sampler2D Image;
#endif
struct VOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VOut o;
  float2 p = Rectangle.xy + uv * Rectangle.zw;
  o.pos = float4(p.x / Screen.x * 2 - 1, 1 - p.y / Screen.y * 2, 0, 1);
  o.uv = uv;
  return o;
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR {
#ifdef WITH_IMAGE
  return tex2D(Image, uv) * Color;
#else
  return Color;
#endif
}
)";

// Two techniques: the default paints Tint, "depth" paints red.
const std::string kTwoTechniques = tintEffectSource(
    "// config techniques : depth\n"
    "//ZARN_PP:D:TECH_DEPTH:// function pixelMain : ps_depth\n",
    "float4 ps_depth() : COLOR { return float4(1, 0, 0, 1); }\n");

// A square facing the default camera on one side only: half of the
// view, two triangles wound one way.
const char* const kOneSided =
    "v -30 -30 10\nv 0 -30 10\nv 0 30 10\nv -30 30 10\n"
    "f 1 3 2\nf 1 4 3\n";

class EffectDraw : public ZeGLEngineTest {
 protected:
  bool start() {
    if (!ZeGLEngineTest::start()) return false;
    std::ofstream(base_ + "onesided.obj") << kOneSided;
    std::ofstream(base_ + "two.hlsl") << kTwoTechniques;
    std::ofstream(base_ + "tint.hlsl") << kEffect;
    std::ofstream(base_ + "rect.hlsl") << kRectangleEffect;
    std::ofstream(base_ + "rectimage.hlsl") << "#define WITH_IMAGE\n" << kRectangleEffect;
    return true;
  }
  // A pixel of the frame Sync just drew, as 0xRRGGBB.
  static unsigned pixel(int x, int y) {
    const video::SColor c = framePixel(x, y);
    return (c.getRed() << 16) | (c.getGreen() << 8) | c.getBlue();
  }
  static unsigned centre() { return pixel(32, 24); }
  static bool near(unsigned got, unsigned want) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((got >> shift) & 255) - int((want >> shift) & 255)) > 2) return false;
    return true;
  }
};

TEST_F(EffectDraw, SyncDrawsAnObjectRowThroughItsEffect) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  ASSERT_TRUE(start()) << zeStartFailureReason();
  zeSetBackdropColour(0x0000FF);
  ASSERT_EQ(zeLoadObject(1, (base_ + "quad.obj").c_str()), 0);
  scene::ISceneNode* node = zeObjectNode(1);
  ASSERT_NE(node, nullptr);
  node->setMaterialFlag(video::EMF_LIGHTING, false);  // white without lights
  zeSync();
  const unsigned plain = centre();
  EXPECT_TRUE(near(plain, 0xFFFFFF)) << std::hex << plain;

  SZeEffectCommandEnv commands = zeEngineEffectCommands();
  ASSERT_EQ(zeLoadEffect(commands, (base_ + "tint.hlsl").c_str(), 3), 0);
  IZeSceneNodeExt* ext = zeFindNodeExt(node);
  ASSERT_NE(ext, nullptr);
  ext->setEffect(0, zeEffectOf(commands, 3), 0, 0);
  auto* callback = dynamic_cast<CZeEffectCallback*>(zeEffectManager()->defaultCallback());
  ASSERT_NE(callback, nullptr);
  const int unnamed = callback->unnamedDraws;

  zeSync();
  // Tint's default, placed by the draw's WorldViewProjection.
  EXPECT_TRUE(near(centre(), 0x339966)) << std::hex << centre();
  ASSERT_EQ(zeSetEffectConstantFloats(commands, 3, "Tint", (const float[]){1, 0.5f, 0, 1}, 4), 0);
  zeSync();
  EXPECT_TRUE(near(centre(), 0xFF8000)) << std::hex << centre();
  // Irrlicht's pass never drew the row on its own.
  EXPECT_EQ(callback->unnamedDraws, unnamed);

  // Hidden with its node: nothing of it is drawn, by either path.
  node->setVisible(false);
  zeSync();
  EXPECT_TRUE(near(centre(), 0x0000FF)) << std::hex << centre();
  node->setVisible(true);

  ext->setEffect(0, nullptr, 0, 0);
  zeSync();
  EXPECT_TRUE(near(centre(), plain)) << std::hex << centre();
}

// Boxes and images drawn through an effect: the effect receives the
// rectangle in pixels and the colour (and the image) and places the quad
// itself; unknown effects are refused when queuing, deleted ones skipped.
TEST_F(EffectDraw, BoxesAndImagesThroughAnEffect) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  ASSERT_TRUE(start()) << zeStartFailureReason();
  SZeEffectCommandEnv commands = zeEngineEffectCommands();
  ASSERT_EQ(zeLoadEffect(commands, (base_ + "rect.hlsl").c_str(), 4), 0);
  ASSERT_EQ(zeLoadEffect(commands, (base_ + "rectimage.hlsl").c_str(), 5), 0);

  // A renderable image, green on its left half, red on its right.
  ASSERT_EQ(zeMakeImage(16, 16, 7), 0);
  zeSetBackdropColour(0xFF0000);
  zeInk(0x00FF00);
  ASSERT_EQ(zeBox(0, 0, 8, 16), 0);
  ASSERT_EQ(zeRenderToImage(7, 1), 0);

  zeSetBackdropColour(0x0000FF);
  zeInk(0xFF8000);
  ASSERT_EQ(zeBoxWithEffect(4, 4, 20, 12, 4), 0);
  zeSetImageColor(0xFFFFFF);
  ASSERT_EQ(zePasteImageWithEffect(7, 40, 20, -1, -1, 5), 0);     // its own size
  ASSERT_EQ(zePasteImageWithEffect(7, 4, 28, 32, 16, 5), 0);      // stretched twice as wide
  zeSync();
  const struct {
    int x, y;
    unsigned want;
    const char* what;
  } cases[] = {
      {5, 5, 0xFF8000, "box, top-left inside"},      {19, 11, 0xFF8000, "box, bottom-right inside"},
      {21, 8, 0x0000FF, "box, right of it"},         {12, 13, 0x0000FF, "box, below it"},
      {41, 21, 0x00FF00, "image, left half"},        {54, 34, 0xFF0000, "image, right half"},
      {57, 25, 0x0000FF, "image, right of it"},      {18, 36, 0x00FF00, "stretched, left half"},
      {22, 36, 0xFF0000, "stretched, right half"},   {37, 36, 0x0000FF, "stretched, right of it"},
  };
  for (const auto& c : cases) EXPECT_TRUE(near(pixel(c.x, c.y), c.want)) << c.what << ": " << std::hex << pixel(c.x, c.y);

  // Unknown effects are refused at their argument; nothing is queued.
  zeResetMessageState();
  EXPECT_EQ(zeBoxWithEffect(0, 0, 8, 8, 9), -1);
  int index = 0;
  const char* text = zeGetLastError(&index);
  EXPECT_EQ(index, 5);
  EXPECT_NE(std::string(text ? text : "").find("Effect ID 9 does not exist."), std::string::npos);
  zeResetMessageState();
  EXPECT_EQ(zePasteImageWithEffect(7, 0, 0, 8, 8, 9), -1);
  zeGetLastError(&index);
  EXPECT_EQ(index, 6);
  EXPECT_EQ(ze2DQueueCount(), 0);

  // An image the effect command gave the effect: a box shows it (a loaded
  // image is a driver texture). A renderable image cannot be given yet.
  {
    video::IVideoDriver* driver = zeEngineContext().driver;
    video::IImage* picture = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
    picture->fill(video::SColor(255, 200, 40, 90));
    ASSERT_TRUE(driver->writeImageToFile(picture, (base_ + "picture.bmp").c_str()));
    picture->drop();
  }
  ASSERT_EQ(zeLoadImage((base_ + "picture.bmp").c_str(), 8), 0);
  EXPECT_EQ(zeSetEffectTextureImage(commands, 5, "Image", 8), 0);
  EXPECT_EQ(zeSetEffectTextureImage(commands, 5, "Image", 7), -1);
  EXPECT_EQ(zeSetEffectTextureImage(commands, 5, "Image", 8), 0);
  zeInk(0xFFFFFF);
  ASSERT_EQ(zeBoxWithEffect(30, 4, 50, 14, 5), 0);
  zeSync();
  EXPECT_TRUE(near(pixel(40, 9), 0xC8285A)) << std::hex << pixel(40, 9);

  // An effect deleted between queuing and the frame draws nothing.
  ASSERT_EQ(zeBoxWithEffect(4, 4, 20, 12, 4), 0);
  zeDeleteEffect(commands, 4);
  zeSync();
  EXPECT_TRUE(near(pixel(8, 8), 0x0000FF)) << std::hex << pixel(8, 8);
}

// The frame's list executed with options: the technique an effect has for a
// renderer's technique name, the passes asked for, an override material and
// a mirrored view's winding.
TEST_F(EffectDraw, ADrawListRunsWithATechniqueNamePassesOverrideAndFlippedWinding) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  ASSERT_TRUE(start()) << zeStartFailureReason();
  ASSERT_EQ(zeLoadObject(1, (base_ + "quad.obj").c_str()), 0);
  ASSERT_EQ(zeLoadObject(2, (base_ + "onesided.obj").c_str()), 0);
  zeObjectNode(1)->setMaterialFlag(video::EMF_LIGHTING, false);
  zeObjectNode(2)->setMaterialFlag(video::EMF_LIGHTING, false);
  zePositionObject(2, 0, 0, -1);  // in front of the quad
  SZeEffectCommandEnv commands = zeEngineEffectCommands();
  ASSERT_EQ(zeLoadEffect(commands, (base_ + "two.hlsl").c_str(), 3), 0);
  zeFindNodeExt(zeObjectNode(1))->setEffect(0, zeEffectOf(commands, 3), 0, 0);
  zeSetBackdropColour(0x0000FF);
  zeSync();  // the frame as the main renderer draws it: the row's own technique
  // The OBJ loader mirrors x: the square lands on the right of the view.
  const int open = 8, square = 56, y = 24;
  EXPECT_TRUE(near(pixel(square, y), 0xFFFFFF)) << std::hex << pixel(square, y);    // the one-sided square
  EXPECT_TRUE(near(pixel(open, y), 0x339966)) << std::hex << pixel(open, y);  // Tint

  // One frame of the same list, executed as the options say.
  ZeEngineContext& context = zeEngineContext();
  const ZeDrawList& list = *zeMainRendererList();
  auto frameWith = [&](SZeDrawOptions options) {
    EXPECT_TRUE(zeBeginRendering());
    zeGetFrameBackend()->clearFrame(video::SColor(0xFF0000FF));
    context.camera->render();
    const int drawn = zeGLExecuteDrawList(context.driver, list, options);
    zeEndRendering();
    return drawn;
  };
  SZeDrawOptions options;
  options.techniqueName = "depth";
  EXPECT_EQ(frameWith(options), 1);  // only the row with a "depth" technique
  EXPECT_TRUE(near(pixel(open, y), 0xFF0000)) << std::hex << pixel(open, y);
  EXPECT_TRUE(near(pixel(square, y), 0xFF0000)) << "behind the square, which the technique leaves out";

  options.techniqueName = "shadow";  // known to every renderer, absent from this effect
  EXPECT_EQ(frameWith(options), 0);
  options.techniqueName = "never registered";
  EXPECT_EQ(frameWith(options), -1);
  EXPECT_TRUE(near(pixel(open, y), 0x0000FF)) << std::hex << pixel(open, y);

  options = SZeDrawOptions();
  options.passes = ZE_PASS_TRANSPARENT;  // both rows are solid: nothing
  EXPECT_EQ(frameWith(options), 0);

  // The override writes red only: white over blue becomes magenta.
  video::SOverrideMaterial redOnly;
  redOnly.Material.ColorMask = video::ECP_RED | video::ECP_ALPHA;
  redOnly.EnableFlags = video::EMF_COLOR_MASK;
  redOnly.Enabled = true;
  options = SZeDrawOptions();
  options.overrideMaterial = &redOnly;
  EXPECT_EQ(frameWith(options), 2);
  EXPECT_TRUE(near(pixel(square, y), 0xFF00FF)) << std::hex << pixel(square, y);

  // Mirrored, the one-sided square turns its back and is culled.
  options = SZeDrawOptions();
  options.flipWinding = true;
  frameWith(options);
  EXPECT_TRUE(near(pixel(square, y), 0x339966)) << std::hex << pixel(square, y);  // the quad behind it shows
  zeFindNodeExt(zeObjectNode(1))->setEffect(0, nullptr, 0, 0);
}

}  // namespace
