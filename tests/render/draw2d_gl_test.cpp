// The 2D layer on OpenGL, pixels read back: a box with ink alpha blends as
// computed, a pasted HDR image shows its colour (also after its image was
// deleted), text in a TrueType font lands where it is drawn, a fade to black
// darkens the frame over its duration, the plain loading bar lands on its
// rectangles, the built-in loading shader fades out, and a renderable image
// receives 2D draws.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "imageTestSupport.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/zeGLInstall.h"
#include "render/CZeMainRenderer.h"
#include "render/ze2D.h"
#include "render/zeGPUServicesSlot.h"
#include "render/zeLoadingScreen.h"

using namespace irr;

namespace {

constexpr int kTolerance = 3;
const char* const kDejaVu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:32";

struct Rgb {
  int r, g, b;
};

class Frame {
 public:
  Frame() : image_(zeGetFrameBackend()->readFrame()) {}
  ~Frame() {
    if (image_) image_->drop();
  }
  Rgb at(int x, int y) const {
    const video::SColor c = image_->getPixel(x, y);
    return {static_cast<int>(c.getRed()), static_cast<int>(c.getGreen()), static_cast<int>(c.getBlue())};
  }
  int width() const { return static_cast<int>(image_->getDimension().Width); }
  int height() const { return static_cast<int>(image_->getDimension().Height); }
  // The bounding box of the pixels brighter than `level` (x1, y1, x2, y2 inclusive).
  core::rect<s32> lit(int level = 64) const {
    core::rect<s32> box(width(), height(), -1, -1);
    for (int y = 0; y < height(); ++y)
      for (int x = 0; x < width(); ++x) {
        const Rgb c = at(x, y);
        if (c.r + c.g + c.b <= level * 3) continue;
        box.UpperLeftCorner.X = std::min(box.UpperLeftCorner.X, x);
        box.UpperLeftCorner.Y = std::min(box.UpperLeftCorner.Y, y);
        box.LowerRightCorner.X = std::max(box.LowerRightCorner.X, x);
        box.LowerRightCorner.Y = std::max(box.LowerRightCorner.Y, y);
      }
    return box;
  }

 private:
  video::IImage* image_;
};

::testing::AssertionResult pixelIs(const Frame& frame, int x, int y, Rgb expected, int tolerance = kTolerance) {
  const Rgb got = frame.at(x, y);
  if (std::abs(got.r - expected.r) <= tolerance && std::abs(got.g - expected.g) <= tolerance &&
      std::abs(got.b - expected.b) <= tolerance)
    return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << got.r << "," << got.g << ","
                                       << got.b << " instead of " << expected.r << "," << expected.g << ","
                                       << expected.b;
}

std::string writeHdr(const std::string& name, int width, int height, const unsigned char rgbe[4]) {
  const std::string path = ::testing::TempDir() + name;
  std::ofstream out(path, std::ios::binary);
  out << "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n\n-Y " << height << " +X " << width << "\n";
  for (int i = 0; i < width * height; ++i) out.write(reinterpret_cast<const char*>(rgbe), 4);
  return path;
}

class GL2D : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeGLInstall();
    zeSetFrameHooks({});
    zeInstallGPUProgrammingServicesSlot();
    zeInstallImagesAnd2D();
    zeInstallMainRenderer();
  }
  void TearDown() override {
    zeSetTextFont(nullptr);
    zeSetTextColor(0xFFFFFF);
    zeInk(0xFFFFFF);
    zeInkAlpha(255);
    zeEngineStop();
  }
  void start(int width = 320, int height = 240) {
    ZeEngineSettings s;
    s.width = width;
    s.height = height;
    s.windowed = 1;
    s.antialias = 0;
    ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
    ASSERT_TRUE(zeEngineContext().openGL);
  }
};

TEST_F(GL2D, BoxWithInkAlphaBlendsAsComputed) {
  start();
  zeSetBackdropColour(0x0000FF);
  zeInk(0xFF0000);
  zeInkAlpha(128);
  ASSERT_EQ(zeBox(10, 10, 50, 40), 0);
  zeInkAlpha(255);
  zeInk(0x00FF00);
  ASSERT_EQ(zeBox(60, 10, 70, 20), 0);
  zeSync();
  Frame frame;
  const int a = 128;
  EXPECT_TRUE(pixelIs(frame, 30, 25, {255 * a / 255, 0, 255 * (255 - a) / 255}, 2));
  EXPECT_TRUE(pixelIs(frame, 10, 10, {128, 0, 127}, 2));
  EXPECT_TRUE(pixelIs(frame, 50, 25, {0, 0, 255}));  // right edge is exclusive
  EXPECT_TRUE(pixelIs(frame, 65, 15, {0, 255, 0}));
}

// Boxes, lines and boxes again keep their queue order; a box whose corners
// are reversed draws nothing.
TEST_F(GL2D, DrawsKeepTheirQueueOrder) {
  start();
  zeSetBackdropColour(0);
  zeInk(0xFF0000);
  zeBox(10, 10, 60, 60);
  zeInk(0xFFFFFF);
  zeLine(0, 30, 100, 30);
  zeInk(0x00FF00);
  zeBox(40, 20, 80, 40);
  zeInk(0x0000FF);
  zeBox(90, 90, 70, 70);
  zeSync();
  Frame frame;
  EXPECT_TRUE(pixelIs(frame, 20, 20, {255, 0, 0}));
  EXPECT_TRUE(pixelIs(frame, 20, 30, {255, 255, 255}));
  EXPECT_TRUE(pixelIs(frame, 50, 30, {0, 255, 0}));
  EXPECT_TRUE(pixelIs(frame, 80, 80, {0, 0, 0}));
}

TEST_F(GL2D, PastedHdrImageShowsItsColour) {
  start();
  zeSetBackdropColour(0);
  const unsigned char rgbe[4] = {128, 64, 32, 128};  // (0.502, 0.252, 0.127)
  const std::string file = writeHdr("paste.hdr", 8, 4, rgbe);
  ASSERT_EQ(zeLoadImage(file.c_str(), 1), 0);
  EXPECT_EQ(zeImageWidth(1), 8);
  ASSERT_EQ(zePasteImage(1, 20, 30, 0), 0);
  ASSERT_EQ(zePasteImageStretch(1, 100, 100, 40, 20, 0), 0);
  // Deleting the image, and even the texture, before the frame runs leaves
  // the queued draws their texture.
  ASSERT_EQ(zeDeleteImage(1), 0);
  ASSERT_TRUE(CZeGLRegistry::get()->remove(CZeGLRegistry::get()->findTexture(file)));
  zeSync();
  Frame frame;
  const Rgb colour{128, 64, 32};
  EXPECT_TRUE(pixelIs(frame, 20, 30, colour));
  EXPECT_TRUE(pixelIs(frame, 27, 33, colour));
  EXPECT_TRUE(pixelIs(frame, 28, 33, {0, 0, 0}));
  EXPECT_TRUE(pixelIs(frame, 27, 34, {0, 0, 0}));
  EXPECT_TRUE(pixelIs(frame, 139, 119, colour));
  EXPECT_TRUE(pixelIs(frame, 140, 119, {0, 0, 0}));
}

// A 16-bit grey PNG becomes an R16 texture drawn as grey.
TEST_F(GL2D, PastedSixteenBitPngShowsItsGrey) {
  start();
  const std::string file = ::testing::TempDir() + "grey16.png";
  const auto png = zeTestPng(2, 2, 16, 0, {0x8080, 0x8080, 0x8080, 0x8080});
  std::ofstream(file, std::ios::binary).write(reinterpret_cast<const char*>(png.data()), png.size());
  ASSERT_EQ(zeLoadImage(file.c_str(), 2), 0);
  ASSERT_EQ(zePasteImageStretch(2, 10, 10, 20, 20, 0), 0);
  zeSync();
  EXPECT_TRUE(pixelIs(Frame(), 20, 20, {128, 128, 128}));
  zeDeleteImage(2);
}

TEST_F(GL2D, TrueTypeTextLandsWhereItIsDrawn) {
  start();
  zeSetBackdropColour(0);
  ASSERT_EQ(zeSetTextFont(kDejaVu), 0);
  zeSetTextColor(0xFFFFFF);
  ASSERT_EQ(zeText(10, 10, "H"), 0);
  zeSync();
  const core::rect<s32> first = Frame().lit();
  ASSERT_EQ(zeText(50, 70, "H"), 0);
  zeSync();
  const core::rect<s32> moved = Frame().lit();
  const int lineHeight = zeTextHeight("H");
  // The glyph sits inside its line box, starting near the pen.
  EXPECT_GE(first.UpperLeftCorner.X, 10);
  EXPECT_LE(first.UpperLeftCorner.X, 16);
  EXPECT_GE(first.UpperLeftCorner.Y, 10);
  EXPECT_LT(first.LowerRightCorner.Y, 10 + lineHeight);
  EXPECT_GT(first.getHeight(), 18);  // a capital at 32 pixels
  EXPECT_LE(first.LowerRightCorner.X, 10 + zeTextWidth("H"));
  EXPECT_EQ(moved.UpperLeftCorner, first.UpperLeftCorner + core::position2d<s32>(40, 60));
  EXPECT_EQ(moved.LowerRightCorner, first.LowerRightCorner + core::position2d<s32>(40, 60));
}

TEST_F(GL2D, FadeToBlackDarkensOverItsDuration) {
  start(160, 120);
  zeSetBackdropColour(0xFFFFFF);
  // The fader follows the device's clock: stopped, and stepped by hand.
  ITimer* timer = zeEngineContext().device->getTimer();
  timer->stop();
  const u32 t0 = timer->getTime();
  const int durationMs = 1000;
  zeFadeOut(durationMs, 0xFF000000);
  int previous = 256;
  for (int step = 0; step <= 12; ++step) {
    timer->setTime(t0 + step * 100);
    zeSync();
    const int level = Frame().at(80, 60).r;
    const int expected = step >= 10 ? 0 : 255 * (10 - step) / 10;
    EXPECT_NEAR(level, expected, 14) << "at " << step * 100 << " ms";
    EXPECT_LE(level, previous);
    previous = level;
  }
  zeStopFade();
  timer->start();
  zeSync();
  EXPECT_EQ(Frame().at(80, 60).r, 255);
}

TEST_F(GL2D, PlainLoadingBarLandsOnItsRectangles) {
  start(800, 600);
  zeLoadingProgressSimple(50);
  Frame frame;
  ASSERT_EQ(frame.width(), 800);
  const Rgb white{255, 255, 255}, black{0, 0, 0}, fill{0x44, 0x88, 0xFF};
  struct Probe {
    int x, y;
    Rgb colour;
  } probes[] = {
      // white (200, 270)-(600, 330)
      {200, 270, white}, {599, 329, white}, {199, 270, black}, {200, 269, black}, {600, 329, black}, {599, 330, black},
      // black (207, 277)-(592, 322)
      {206, 277, white}, {207, 277, black}, {591, 321, black}, {592, 321, white}, {591, 322, white},
      // fill (215, 285)-(400, 315)
      {214, 285, black}, {215, 285, fill}, {215, 284, black}, {399, 314, fill}, {400, 314, black}, {399, 315, black},
  };
  for (const Probe& p : probes) EXPECT_TRUE(pixelIs(frame, p.x, p.y, p.colour, 0));
  // The percentage is written top left in white.
  const core::rect<s32> text = Frame().lit();
  EXPECT_EQ(text.UpperLeftCorner.Y >= 10, true);
}

TEST_F(GL2D, BuiltInLoadingShaderDrawsAndFadesOut) {
  start(160, 120);
  zeLoadingStart();
  ASSERT_TRUE(zeLoadingHasShader());
  auto litPixels = [] {
    Frame frame;
    int count = 0;
    for (int y = 0; y < frame.height(); ++y)
      for (int x = 0; x < frame.width(); ++x) count += frame.at(x, y).r > 32;
    return count;
  };
  EXPECT_EQ(litPixels(), 0);  // progress 0 multiplies everything by 0
  zeLoadingProgress(100);
  const int full = litPixels();
  EXPECT_GT(full, 200);
  zeLoadingEnd();  // ends at 129 %: black
  EXPECT_EQ(litPixels(), 0);
}

// A "loading.hlsl" in the working directory replaces the built-in shader and
// receives "resolution" and "progress".
TEST_F(GL2D, LoadingHlslGetsResolutionAndProgress) {
  char pattern[] = "/tmp/zarn-loading-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  std::ofstream(dir + "/loading.hlsl") << "float2 resolution;\nfloat progress;\n"
                                          "float4 vs_main(float4 pos : POSITION) : POSITION { return pos; }\n"
                                          "float4 ps_main() : COLOR0 {\n"
                                          "  return float4(progress, resolution.x / 1000.0, resolution.y / 1000.0, 1);\n"
                                          "}\n";
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(dir.c_str()), 0);
  ZeEngineSettings s;
  s.width = 160;
  s.height = 120;
  s.windowed = 1;
  s.baseDirectory = dir.c_str();
  const int started = zeEngineStart(s);
  if (started == 0) {
    zeLoadingStart();
    zeLoadingProgress(50);
    Frame frame;
    EXPECT_TRUE(pixelIs(frame, 10, 10, {128, 41, 31}, 2));
    EXPECT_TRUE(pixelIs(frame, 150, 110, {128, 41, 31}, 2));
    zeLoadingEnd();
  }
  ASSERT_EQ(::chdir(previous), 0);
  std::system(("rm -rf '" + dir + "'").c_str());
  ASSERT_EQ(started, 0) << zeStartFailureReason();
}

TEST_F(GL2D, RenderableImageReceivesTheQueue) {
  start();
  zeSetBackdropColour(0x000080);
  ASSERT_EQ(zeMakeImage(64, 64, 7), 0);
  EXPECT_EQ(zeImageWidth(7), 64);
  zeInk(0x00FF00);
  ASSERT_EQ(zeBox(0, 0, 32, 32), 0);
  ASSERT_EQ(zeRenderToImage(7, 1), 0);
  EXPECT_EQ(ze2DQueueCount(), 0);
  zeSetBackdropColour(0);
  ASSERT_EQ(zePasteImage(7, 100, 100, 0), 0);
  zeSync();
  Frame frame;
  EXPECT_TRUE(pixelIs(frame, 100, 100, {0, 255, 0}));
  EXPECT_TRUE(pixelIs(frame, 131, 131, {0, 255, 0}));
  EXPECT_TRUE(pixelIs(frame, 133, 133, {0, 0, 128}));
  EXPECT_TRUE(pixelIs(frame, 163, 163, {0, 0, 128}));
  EXPECT_TRUE(pixelIs(frame, 165, 165, {0, 0, 0}));
}

}  // namespace
