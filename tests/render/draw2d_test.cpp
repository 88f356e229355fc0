// The 2D layer's logic on the NULL driver: queue limits and the next frame,
// colour helpers, alpha clamps, images that cannot be rendered into, stretch
// with -1, fonts, and what engine start and stop do to the 2D state.
#include <gtest/gtest.h>

#include <string>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "render/ze2D.h"
#include "base/zeFile.h"
#include "render/zeLoadingScreen.h"
#include "render/CZeMainRenderer.h"

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <vector>

#include "imageTestSupport.h"

using namespace irr;

namespace {

std::string lastError() {
  int value = 0;
  const char* text = zeGetLastError(&value);
  return text ? std::string(text) + " @" + std::to_string(value) : "";
}

class Draw2D : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeSetFrameHooks({});
    zeInstallImagesAnd2D();
    zeInstallMainRenderer();
    ASSERT_EQ(zeEngineStart(ZeEngineSettings()), 0);
    // A 4 x 2 picture the NULL driver can load.
    video::IVideoDriver* driver = zeEngineContext().driver;
    video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 2));
    image->fill(video::SColor(255, 10, 20, 30));
    // One file per process: ctest runs the tests of this fixture side by side.
    picture_ = ::testing::TempDir() + "picture-" + std::to_string(::getpid()) + ".bmp";
    driver->writeImageToFile(image, picture_.c_str());
    image->drop();
  }
  void TearDown() override {
    zeSetTextFont(nullptr);
    zeEngineStop();
    std::remove(picture_.c_str());
  }
  std::string picture_;
};

TEST_F(Draw2D, QueueLimitsAndTheNextFrame) {
  for (int i = 0; i < kZe2DMaxDraws; ++i) ASSERT_EQ(zeBox(0, 0, 1, 1), 0) << i;
  zeClearLastError();
  EXPECT_EQ(zeLine(0, 0, 1, 1), -1);
  EXPECT_EQ(lastError(), "too many 2D draws in one frame @-1");
  EXPECT_EQ(ze2DQueueCount(), kZe2DMaxDraws);
  zeSync();
  EXPECT_EQ(ze2DQueueCount(), 0);
  EXPECT_EQ(zeBox(0, 0, 1, 1), 0);

  zeSync();
  for (int i = 0; i < kZe2DMaxTexts; ++i) ASSERT_EQ(zeText(0, 0, "line %d", i), 0) << i;
  zeClearLastError();
  EXPECT_EQ(zeText(0, 0, "one more"), -1);
  EXPECT_EQ(lastError(), "too many 2D draws in one frame @-1");
  EXPECT_EQ(zeBox(0, 0, 1, 1), 0);  // other draws still fit
  zeSync();
  EXPECT_EQ(zeText(0, 0, "next frame"), 0);
}

TEST_F(Draw2D, ColourHelpers) {
  struct Case {
    int got, expected;
  } cases[] = {
      {zeRGB(256, 1, 2), 0x000102},
      {zeRGB(-1, 0, 0), 0xFF0000},
      {zeRGBf(1.0f, 0.5f, 0.0f), 0x00FF7F00},
      {zeRGBf(0.999f, 0.0f, 1.0f), 0x00FE00FF},  // truncated, not rounded
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected);
}

TEST_F(Draw2D, ColoursAndAlphasAsQueued) {
  zeSetTextAlpha(300);
  EXPECT_EQ(zeTextAlpha(), 255);
  zeSetTextAlpha(-5);
  EXPECT_EQ(zeTextAlpha(), 0);
  zeSetTextColor(0x7F123456);
  EXPECT_EQ(zeTextColor(), 0x123456);
  zeSetTextAlpha(128);
  EXPECT_EQ(zeTextDrawColor(), 0x80123456u);

  struct Case {
    int alpha;
    unsigned colour;
  } inks[] = {{255, 0xFF00FF00u}, {256, 0x0000FF00u}, {0, 0x0000FF00u}, {-1, 0xFF00FF00u}};
  zeInk(0x00FF00);
  for (const Case& c : inks) {
    zeInkAlpha(c.alpha);
    zeBox(1, 2, 3, 4);
    int kind = 0, words[7];
    ASSERT_TRUE(ze2DQueuedCommand(ze2DQueueCount() - 1, &kind, words));
    EXPECT_EQ(kind, 4);
    EXPECT_EQ(static_cast<unsigned>(words[4]), c.colour) << c.alpha;
  }
  zeInkAlpha(255);
  zeSetTextAlpha(255);
  zeSetTextColor(0xFFFFFF);
}

TEST_F(Draw2D, ImagesByIdentifier) {
  ASSERT_EQ(zeLoadImage(picture_.c_str(), 3), 0) << lastError();
  EXPECT_TRUE(zeImageExist(3));

  zeClearLastError();
  EXPECT_EQ(zeRenderToImage(3, 1), -1);
  EXPECT_EQ(lastError(), "Image ID 3 is not renderable @1");

  // Width 100 with height -1 is the image at its own size.
  zeSetImageColor(0x102030);
  zeSetImageAlpha(64);
  ASSERT_EQ(zePasteImageStretch(3, 5, 6, 100, -1, 1), 0);
  int kind = 0, words[7];
  ASSERT_TRUE(ze2DQueuedCommand(0, &kind, words));
  EXPECT_EQ(kind, 2);
  EXPECT_EQ(words[2], 100);
  EXPECT_EQ(words[3], -1);
  EXPECT_EQ(static_cast<unsigned>(words[5]), 0x40102030u);
  zeSetImageAlpha(255);
  zeSetImageColor(0xFFFFFF);

  // A draw queued before the image is deleted still has its texture.
  ASSERT_EQ(zeDeleteImage(3), 0);
  EXPECT_FALSE(zeImageExist(3));
  zeSync();

  struct Failure {
    int result;
    const char* message;
  } failures[] = {
      {zeLoadImage("no-such-file.png", 4), "Failed to load image 'no-such-file.png' @1"},
      {zeLoadImage(picture_.c_str(), 1000), nullptr},
      {zePasteImage(9, 0, 0, 0), "Image ID 9 does not exist."},
      {zeMakeImage(8, 8, 5), "Failed to make image @1"},  // no render targets on the NULL driver
      {zeBoxWithEffect(0, 0, 1, 1, 0), "not built yet"},
  };
  for (const Failure& f : failures) EXPECT_EQ(f.result, -1);
  EXPECT_FALSE(zeImageExist(4));
  EXPECT_EQ(zeImageWidth(9), 0);
  ASSERT_EQ(zeLoadImage(picture_.c_str(), 4), 0);
  zeClearLastError();
  EXPECT_EQ(zeLoadImage(picture_.c_str(), 4), -1);  // taken
  EXPECT_EQ(lastError().rfind("invalid Image ID 4 : ", 0), 0u) << lastError();
}

TEST_F(Draw2D, FontsAndMeasuring) {
  EXPECT_EQ(zeTextFont(), nullptr);
  const int builtInWidth = zeTextWidth("%s", "Hello");
  EXPECT_GT(builtInWidth, 0);
  EXPECT_GT(zeTextHeight("Hello"), 0);
  EXPECT_EQ(zeTextWidth("%d", 1234), zeTextWidth("1234"));

  zeClearLastError();
  EXPECT_EQ(zeSetTextFont("missing-font.xml"), -1);
  EXPECT_EQ(lastError(), "The font 'missing-font.xml' cannot be loaded @1");
  EXPECT_EQ(zeTextFont(), nullptr);

  const char* dejavu = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:32";
  ASSERT_EQ(zeSetTextFont(dejavu), 0) << lastError();
  EXPECT_STREQ(zeTextFont(), dejavu);
  EXPECT_GT(zeTextWidth("Hello"), builtInWidth);
  EXPECT_GE(zeTextHeight("Hello"), 32);
  EXPECT_EQ(zeTextHeight("a\nb"), 2 * zeTextHeight("a"));
  EXPECT_EQ(zeSetTextFont("missing.ttf"), -1);
  EXPECT_STREQ(zeTextFont(), dejavu);  // a failed load keeps the current font
  zeSetTextFont(nullptr);
  EXPECT_EQ(zeTextFont(), nullptr);
  EXPECT_EQ(zeTextWidth("Hello"), builtInWidth);
}

// Engine start registers the loaders with the driver.
TEST(Draw2DStart, LoadersJoinEngineStart) {
  zeResetMessageState();
  zeDisableMessageBoxes();
  zeInstallImagesAnd2D();
  zeInstallMainRenderer();
  ASSERT_EQ(zeEngineStart(ZeEngineSettings()), 0);
  EXPECT_GE(zeEngineContext().driver->getImageLoaderCount(), 2u);
  zeEngineStop();
}

TEST(Draw2DBar, PlainLoadingBarRectangles) {
  struct Case {
    int w, h, percent, imageHeight;
    core::rect<s32> white, black, fill;
  } cases[] = {
      {800, 600, 50, -1, {200, 270, 600, 330}, {207, 277, 592, 322}, {215, 285, 400, 315}},
      {800, 600, 100, 100, {200, 380, 600, 440}, {207, 387, 592, 432}, {215, 395, 585, 425}},
      {40, 40, 100, -1, {10, 18, 30, 22}, {10, 18, 29, 21}, {11, 19, 29, 21}},
      {8, 8, 50, -1, {2, 4, 6, 4}, {2, 3, 6, 4}, {2, 3, 4, 4}},  // no border, sizes kept at 1
  };
  for (const Case& c : cases) {
    const SZeLoadingBar bar = zeLoadingBarRects(c.w, c.h, c.percent, c.imageHeight);
    EXPECT_EQ(bar.white, c.white) << c.w << "x" << c.h;
    EXPECT_EQ(bar.black, c.black) << c.w << "x" << c.h;
    EXPECT_EQ(bar.fill, c.fill) << c.w << "x" << c.h;
  }
}

}  // namespace
