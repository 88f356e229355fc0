// Real frames on OpenGL (Mesa under Xvfb): the window from a setup file, the
// backdrop and a cube in a screenshot PNG, the render-target round trip that
// proves "top row first", Irrlicht's text landing top-left, and the state
// guard keeping Irrlicht's cached texture binding true.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "app/zeSetup.h"
#include "render/gl/ZeGLFrame.h"
#include "render/gl/ZeGL2D.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/zeGLInstall.h"

#include <X11/Xlib.h>

using namespace irr;

namespace {

constexpr int kWidth = 320;
constexpr int kHeight = 240;
constexpr int kTolerance = 12;

struct Rgb {
  int r, g, b;
};

bool near(const Rgb& a, const Rgb& b) {
  return std::abs(a.r - b.r) <= kTolerance && std::abs(a.g - b.g) <= kTolerance && std::abs(a.b - b.b) <= kTolerance;
}

::testing::AssertionResult pixelIs(video::IImage* image, int x, int y, Rgb expected) {
  const video::SColor c = image->getPixel(x, y);
  const Rgb got{static_cast<int>(c.getRed()), static_cast<int>(c.getGreen()), static_cast<int>(c.getBlue())};
  if (near(got, expected)) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "pixel (" << x << "," << y << ") is " << got.r << "," << got.g << ","
                                       << got.b << " instead of " << expected.r << "," << expected.g << ","
                                       << expected.b;
}

class GLFrame : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeGLInstall();
    zeInstallMainRenderer();
    zeSetFrameHooks({});
  }
  void TearDown() override { zeEngineStop(); }

  void start(int width = kWidth, int height = kHeight, float cameraNear = 0.1f) {
    ZeEngineSettings s;
    s.width = width;
    s.height = height;
    s.cameraNear = cameraNear;
    s.windowed = 1;
    ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
    ASSERT_TRUE(zeEngineContext().openGL);
  }
  static video::IImage* frame() { return zeGetFrameBackend()->readFrame(); }
  static video::IVideoDriver* driver() { return zeEngineContext().driver; }
  static scene::ISceneManager* scene() { return zeEngineContext().sceneManager; }

  static scene::IMeshSceneNode* colouredCube(float size, core::vector3df at, video::SColor colour) {
    scene::IMeshSceneNode* cube = scene()->addCubeSceneNode(size, nullptr, -1, at);
    scene()->getMeshManipulator()->setVertexColors(cube->getMesh(), colour);
    cube->setMaterialFlag(video::EMF_LIGHTING, false);
    return cube;
  }

  // An Irrlicht texture whose upper half is `top` and lower half `bottom`.
  static video::ITexture* splitTexture(const char* name, video::SColor top, video::SColor bottom) {
    video::IImage* image = driver()->createImage(video::ECF_A8R8G8B8, core::dimension2du(16, 16));
    for (u32 y = 0; y < 16; ++y)
      for (u32 x = 0; x < 16; ++x) image->setPixel(x, y, y < 8 ? top : bottom);
    video::ITexture* texture = driver()->addTexture(name, image);
    image->drop();
    return texture;
  }
};

const video::SColor red(255, 255, 0, 0), blue(255, 0, 0, 255), green(255, 0, 255, 0), white(255, 255, 255, 255);

}  // namespace

TEST_F(GLFrame, SetupFileOpensA320x240WindowWithA32BitFrame) {
  char pattern[] = "/tmp/zarn-gl-setup-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = std::string(pattern) + "/";
  std::ofstream(dir + "zarn-setup.ini") << "[Setup]\ndisplay = 320 240\nwindowed = yes\nwindowpos = 30 40\n";
  ASSERT_EQ(zeReadSetup("zarn-setup.ini", dir.c_str(), nullptr, false), 0) << zeStartFailureReason();
  std::remove((dir + "zarn-setup.ini").c_str());
  ::rmdir(dir.c_str());
  EXPECT_TRUE(zeEngineContext().openGL);
  EXPECT_EQ(zeScreenWidth(), 320);
  EXPECT_EQ(zeScreenHeight(), 240);
  EXPECT_EQ(zeScreenDepth(), 32);
  EXPECT_FALSE(zeWindowMode());
  // The window sits where the file put it (no window manager moves it).
  const video::SExposedVideoData& data = driver()->getExposedVideoData();
  Display* display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  XWindowAttributes attributes;
  ASSERT_TRUE(XGetWindowAttributes(display, data.OpenGLLinux.X11Window, &attributes));
  EXPECT_EQ(attributes.x, 30);
  EXPECT_EQ(attributes.y, 40);
  EXPECT_EQ(attributes.width, 320);
  // Without a window manager the window never gets focus.
  zeForceWindowActive(1);
  EXPECT_TRUE(zeIsWindowActive());
  zeForceWindowActive(-1);
}

TEST_F(GLFrame, ScreenshotShowsTheBackdropAroundTheCube) {
  start(kWidth, kHeight, 8.0f);
  zeSetBackdropColour(0x113366);
  // A red cube ahead, a nearer green one in front of its centre, a large cube
  // around the camera that back-face culling must hide, and a blue one
  // closer than the near plane, which depth from 0 to 1 must clip away.
  colouredCube(10, {0, 0, 30}, red);
  colouredCube(2, {0, 0, 15}, green);
  colouredCube(200, {0, 0, 0}, white);
  colouredCube(1, {0, 0, 6}, blue);
  zeSync();

  const std::string path = "/tmp/zarn-gl-shot-" + std::to_string(::getpid()) + ".png";
  ASSERT_EQ(zeScreenShot(path.c_str()), 0);
  video::IImage* shot = driver()->createImageFromFile(path.c_str());
  std::remove(path.c_str());
  ASSERT_NE(shot, nullptr);
  ASSERT_EQ(shot->getDimension(), core::dimension2du(kWidth, kHeight));
  const Rgb backdrop{0x11, 0x33, 0x66};
  EXPECT_TRUE(pixelIs(shot, 0, 0, backdrop));
  EXPECT_TRUE(pixelIs(shot, kWidth - 1, 0, backdrop));
  EXPECT_TRUE(pixelIs(shot, 0, kHeight - 1, backdrop));
  EXPECT_TRUE(pixelIs(shot, kWidth - 1, kHeight - 1, backdrop));
  EXPECT_TRUE(pixelIs(shot, kWidth / 2, kHeight / 2, {0, 255, 0}));        // the nearer cube wins the depth test
  EXPECT_TRUE(pixelIs(shot, kWidth / 2 + 30, kHeight / 2, {255, 0, 0}));  // the far cube around it
  shot->drop();
}

TEST_F(GLFrame, RenderTargetRoundTripKeepsTheUpperHalfUp) {
  start();
  CZeGLRegistry* registry = CZeGLRegistry::get();
  ASSERT_NE(registry, nullptr);
  const ZeRenderTargetHandle handle = registry->addRenderTarget("roundtrip", kWidth, kHeight, ZE_FORMAT_A8R8G8B8);
  CZeGLRenderTarget* target = registry->renderTarget(handle);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(registry->findRenderTarget("roundtrip"), handle);
  EXPECT_TRUE(registry->addRenderTarget("roundtrip", 8, 8, ZE_FORMAT_A8R8G8B8).empty());  // names are unique

  ASSERT_TRUE(zeBeginRendering());
  ASSERT_TRUE(registry->setRenderTarget(handle));
  zeGetFrameBackend()->clearFrame(video::SColor(255, 0, 0, 0));
  driver()->draw2DRectangle(red, core::recti(0, 0, kWidth, kHeight / 2));
  driver()->draw2DRectangle(blue, core::recti(0, kHeight / 2, kWidth, kHeight));
  registry->setRenderTarget({});
  zeGetFrameBackend()->clearFrame(video::SColor(255, 0, 0, 0));
  ASSERT_TRUE(zeGLDrawImage2D(*target->colour(), 0, 0, kWidth, kHeight, 0xFFFFFFFF, false));
  zeEndRendering();

  // The render target itself stores the top row first...
  std::vector<unsigned char> pixels;
  ASSERT_TRUE(target->read(&pixels));
  EXPECT_EQ(pixels[0], 255);
  EXPECT_EQ(pixels[2], 0);
  const std::size_t lastRow = static_cast<std::size_t>(kHeight - 1) * kWidth * 4;
  EXPECT_EQ(pixels[lastRow], 0);
  EXPECT_EQ(pixels[lastRow + 2], 255);

  // ...and sampled back into the frame it is still red on top.
  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(pixelIs(image, kWidth / 2, 10, {255, 0, 0}));
  EXPECT_TRUE(pixelIs(image, kWidth / 2, kHeight / 2 - 10, {255, 0, 0}));
  EXPECT_TRUE(pixelIs(image, kWidth / 2, kHeight / 2 + 10, {0, 0, 255}));
  EXPECT_TRUE(pixelIs(image, kWidth / 2, kHeight - 10, {0, 0, 255}));
  image->drop();
  EXPECT_TRUE(registry->remove(handle));
  EXPECT_TRUE(registry->findRenderTarget("roundtrip").empty());

  // The handle is stale now, also once another target takes its slot: a
  // reported miss, and binding it binds the frame instead.
  const ZeRenderTargetHandle next = registry->addRenderTarget("next", 8, 8, ZE_FORMAT_A8R8G8B8);
  ASSERT_FALSE(next.empty());
  EXPECT_NE(next, handle);
  EXPECT_EQ(registry->renderTarget(handle), nullptr);
  EXPECT_FALSE(registry->setRenderTarget(handle));
  EXPECT_NE(registry->renderTarget(next), nullptr);
}

// A target keeps up to four colour attachments, and a draw lands in each.
TEST_F(GLFrame, RenderTargetsDrawIntoEveryColourAttachment) {
  start();
  CZeGLRegistry* registry = CZeGLRegistry::get();
  SZeRenderTargetDesc desc;
  desc.width = 16;
  desc.height = 8;
  desc.colourCount = kZeMaxColourAttachments;  // the last count that is valid
  desc.colourFormats[1] = ZE_FORMAT_A16B16G16R16F;
  const ZeRenderTargetHandle four = registry->addRenderTarget("four", desc);
  CZeGLRenderTarget* target = registry->renderTarget(four);
  ASSERT_NE(target, nullptr);
  EXPECT_EQ(target->colourCount(), kZeMaxColourAttachments);
  EXPECT_EQ(target->colour(1)->format(), ZE_FORMAT_A16B16G16R16F);
  EXPECT_EQ(target->colour(kZeMaxColourAttachments), nullptr);

  ASSERT_TRUE(zeBeginRendering());
  ASSERT_TRUE(registry->setRenderTarget(four));
  zeGetFrameBackend()->clearFrame(video::SColor(255, 0, 0, 255));
  // Irrlicht places 2D by its screen size: the left half of the screen is the target's left half.
  driver()->draw2DRectangle(red, core::recti(0, 0, kWidth / 2, kHeight));
  registry->setRenderTarget({});
  zeEndRendering();
  for (int a = 0; a < kZeMaxColourAttachments; ++a) {
    std::vector<unsigned char> pixels;
    ASSERT_TRUE(target->read(&pixels, a)) << a;
    EXPECT_EQ(pixels[0], 255) << "left half red, attachment " << a;
    EXPECT_EQ(pixels[2], 0) << a;
    EXPECT_EQ(pixels[12 * 4 + 2], 255) << "right half cleared blue, attachment " << a;
  }
  EXPECT_FALSE(target->read(nullptr, kZeMaxColourAttachments));

  desc.colourCount = kZeMaxColourAttachments + 1;  // the first that is not
  EXPECT_TRUE(registry->addRenderTarget("five", desc).empty());
  desc.colourCount = 0;
  EXPECT_TRUE(registry->addRenderTarget("none", desc).empty());
}

TEST_F(GLFrame, LoadedTexturesAndIrrlicht2DLandTheRightWayUp) {
  start();
  video::ITexture* texture = splitTexture("split", red, blue);
  ASSERT_NE(texture, nullptr);
  ASSERT_TRUE(zeBeginRendering());
  zeGetFrameBackend()->clearFrame(video::SColor(255, 0, 0, 0));
  driver()->draw2DImage(texture, core::recti(0, 0, kWidth, kHeight), core::recti(0, 0, 16, 16));
  zeEndRendering();
  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(pixelIs(image, kWidth / 2, 20, {255, 0, 0}));
  EXPECT_TRUE(pixelIs(image, kWidth / 2, kHeight - 20, {0, 0, 255}));
  image->drop();
}

TEST_F(GLFrame, TextDrawnAt10x10LandsNearTheTopLeft) {
  start();
  gui::IGUIStaticText* text = zeEngineContext().gui->addStaticText(L"Zarn", core::recti(10, 10, 200, 40));
  text->setOverrideColor(white);
  zeSync();
  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  int minX = kWidth, minY = kHeight, maxX = -1, maxY = -1;
  for (int y = 0; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x)
      if (image->getPixel(x, y).getLuminance() > 128) {
        minX = std::min(minX, x);
        minY = std::min(minY, y);
        maxX = std::max(maxX, x);
        maxY = std::max(maxY, y);
      }
  image->drop();
  ASSERT_GE(maxX, 0) << "no text drawn";
  EXPECT_GE(minX, 10);
  EXPECT_LE(minX, 16);
  EXPECT_GE(minY, 10);
  EXPECT_LE(minY, 18);
  EXPECT_LE(maxY, 40);
  EXPECT_LE(maxX, 80);
}

TEST_F(GLFrame, GuardKeepsIrrlichtsCachedTextureBindingTrue) {
  start();
  video::ITexture* irrTexture = splitTexture("green", green, green);
  CZeGLTexture* engineTexture =
      CZeGLRegistry::get()->texture(CZeGLRegistry::get()->addTexture("engine-red", 4, 4, ZE_FORMAT_A8R8G8B8));
  ASSERT_NE(engineTexture, nullptr);
  std::vector<unsigned char> redPixels(4 * 4 * 4, 0);
  for (std::size_t i = 0; i < redPixels.size(); i += 4) redPixels[i] = redPixels[i + 3] = 255;
  ASSERT_TRUE(engineTexture->upload(redPixels.data()));

  ASSERT_TRUE(zeBeginRendering());
  zeGetFrameBackend()->clearFrame(video::SColor(255, 0, 0, 0));
  driver()->draw2DImage(irrTexture, core::recti(0, 0, 100, 100), core::recti(0, 0, 16, 16));
  ASSERT_TRUE(zeGLDrawImage2D(*engineTexture, kWidth / 2, 0, kWidth / 2, kHeight / 2, 0xFFFFFFFF, false));
  // Irrlicht believes its texture is still bound and does not bind it again.
  driver()->draw2DImage(irrTexture, core::recti(0, 140, 100, 240), core::recti(0, 0, 16, 16));
  zeEndRendering();

  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(pixelIs(image, 50, 50, {0, 255, 0}));
  EXPECT_TRUE(pixelIs(image, 240, 60, {255, 0, 0}));
  EXPECT_TRUE(pixelIs(image, 50, 190, {0, 255, 0}));
  image->drop();
}

TEST_F(GLFrame, MultisampledFrameIsResolvedBeforeItIsRead) {
  ZeEngineSettings s;
  s.width = kWidth;
  s.height = kHeight;
  s.antialias = 1;
  s.lightPrePass = 0;
  ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
  zeSetBackdropColour(0x113366);
  zeSync();
  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(pixelIs(image, 5, 5, {0x11, 0x33, 0x66}));
  image->drop();
}

TEST_F(GLFrame, StartWithoutTheOpenGLLayerFailsPlainly) {
  zeSetFrameBackend(nullptr);
  ZeEngineSettings s;
  s.width = 64;
  s.height = 48;
  EXPECT_EQ(zeEngineStart(s), -1);
  const char* text = zeGetLastError(nullptr);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "Setup failed: fails to init the OpenGL layer: it is not linked into this program");
  EXPECT_FALSE(zeEngineRunning());
  zeGLInstall();
  start(64, 48);  // and a later start works
}

// Irrlicht clips most 2D drawing on the processor, which the upper-left
// origin leaves right. (Its scaled image draw clips with glScissor, computed
// for a lower-left origin: that one lands mirrored and the engine avoids it.)
TEST_F(GLFrame, ClippedIrrlicht2DDrawsKeepTheirClipAtTheTop) {
  start();
  video::ITexture* texture = splitTexture("white", white, white);
  const core::recti clip(0, 0, kWidth, 60);
  ASSERT_TRUE(zeBeginRendering());
  zeGetFrameBackend()->clearFrame(video::SColor(255, 0, 0, 0));
  driver()->draw2DImage(texture, core::position2di(0, 50), core::recti(0, 0, 16, 16), &clip);
  driver()->draw2DRectangle(white, core::recti(100, 0, 200, 100), &clip);
  zeEndRendering();
  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(pixelIs(image, 8, 55, {255, 255, 255}));
  EXPECT_TRUE(pixelIs(image, 8, 62, {0, 0, 0}));
  EXPECT_TRUE(pixelIs(image, 150, 30, {255, 255, 255}));
  EXPECT_TRUE(pixelIs(image, 150, 70, {0, 0, 0}));
  image->drop();
}

TEST_F(GLFrame, MousePositionIsReadFromTheServerAndClampedToTheClientArea) {
  start();
  const video::SExposedVideoData& data = driver()->getExposedVideoData();
  Display* display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  const Window window = data.OpenGLLinux.X11Window;
  struct Case {
    int x, y, expectedX, expectedY;
  } cases[] = {{100, 50, 100, 50}, {-10, 5, -1, 5}, {400, -3, kWidth, -1}, {319, 300, 319, kHeight}};
  for (const Case& c : cases) {
    XWarpPointer(display, 0, window, 0, 0, 0, 0, c.x, c.y);
    XSync(display, False);
    int x = 0, y = 0;
    zeMousePosition(&x, &y);
    EXPECT_EQ(x, c.expectedX) << c.x << "," << c.y;
    EXPECT_EQ(y, c.expectedY) << c.x << "," << c.y;
  }
}

namespace {
int discarded = 0;
void countDiscard() { ++discarded; }
}  // namespace

TEST_F(GLFrame, HiddenWindowSkipsTheFrameAndShowingItBringsFramesBack) {
  start();
  ZeFrameHooks hooks;
  hooks.discard2DQueue = countDiscard;
  zeSetFrameHooks(hooks);
  const video::SExposedVideoData& data = driver()->getExposedVideoData();
  Display* display = static_cast<Display*>(data.OpenGLLinux.X11Display);
  const Window window = data.OpenGLLinux.X11Window;
  auto mapState = [&] {
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    return attributes.map_state;
  };

  zeHideWindow();
  XSync(display, False);
  EXPECT_EQ(mapState(), IsUnmapped);
  zeDeviceRun();  // the device learns of it from its event queue
  discarded = 0;
  zeSync();
  EXPECT_EQ(discarded, 1);  // no frame: the 2D queue is dropped

  zeShowWindow();
  XSync(display, False);
  EXPECT_EQ(mapState(), IsViewable);
  zeDeviceRun();
  discarded = 0;
  zeSetBackdropColour(0x113366);
  zeSync();
  EXPECT_EQ(discarded, 0);
  video::IImage* image = frame();
  ASSERT_NE(image, nullptr);
  EXPECT_TRUE(pixelIs(image, 1, 1, {0x11, 0x33, 0x66}));
  image->drop();
  zeSetFrameHooks({});
}
