// The example scene on OpenGL (Mesa under Xvfb), with the services the
// executable installs: rendered at two times, its red cube is where its
// position channel puts it, and no longer where it was; its column's surface
// colour has turned from yellow to orange and its banner shows its image.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"
#include "render/zeSurfaceServices.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeObject.h"
#include "scene/zeScene.h"
#include "scene/zeSceneSubsystem.h"

using namespace irr;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kMover = 4;  // objectBase 1: floor, two pillars, then the cube
constexpr int kBender = 6;
constexpr int kBanner = 7;

bool red(video::IImage* image, const core::position2di& at) {
  const video::SColor c = image->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y));
  // The lights tint the cube; red stays well above the other two.
  return c.getRed() > 150 && c.getRed() > c.getGreen() + 80 && c.getRed() > c.getBlue() + 60;
}

struct Shot {
  video::IImage* image = nullptr;
  core::position2di mover, bender, banner;  // where their centres project
};

core::position2di projected(int object, const core::vector3df& offset = core::vector3df(0, 0, 0)) {
  return zeEngineContext().sceneManager->getSceneCollisionManager()->getScreenCoordinatesFrom3DPosition(
      zeObjectNode(object)->getAbsolutePosition() + offset, zeEngineContext().camera);
}

Shot render(int timeMs) {
  Shot shot;
  zeAnimateScene(1, timeMs);
  zeSync();
  shot.image = zeGetFrameBackend()->readFrame();
  shot.mover = projected(kMover);
  shot.bender = projected(kBender, core::vector3df(0, 1, 0));  // the column stands on its origin
  shot.banner = projected(kBanner);
  return shot;
}

}  // namespace

TEST(SceneGL, TheExampleSceneShowsItsMovingCubeWhereItsChannelsPutIt) {
  const char* folder = "../../examples/scene";
  if (::access((std::string(folder) + "/example.zscn").c_str(), R_OK) != 0) GTEST_SKIP() << "no example scene";
  zeResetMessageState();
  zeDisableMessageBoxes();
  zeGLInstall();
  zeInstallMainRenderer();
  zeInstallGPUProgrammingServicesSlot();
  zeInstallEffectManagerSlot();
  zeInstallSurfaceServices();
  zeSceneRegister();
  // The standard effects from the source tree; the shader cache in a folder of the test's own.
  char base[] = "/tmp/zarn-scene-gl-XXXXXX";
  ASSERT_NE(::mkdtemp(base), nullptr);
  const std::string baseFolder = std::string(base) + "/";
  ASSERT_EQ(::symlink(ZARN_DATA_DIR "/shaders", (baseFolder + "shaders").c_str()), 0);
  ZeEngineSettings s;
  s.width = kWidth;
  s.height = kHeight;
  s.windowed = 1;
  s.baseDirectory = baseFolder.c_str();
  ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
  ASSERT_TRUE(zeEngineContext().openGL);
  zeSetWorkingDirectory(folder);
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(zeLoadScene(1, "example.zscn", "example", params), 0);
  ASSERT_EQ(zeObjectExist(kMover), 1);
  zeShowScene(1);

  Shot start = render(0);
  Shot end = render(4000);
  ASSERT_NE(start.image, nullptr);
  ASSERT_NE(end.image, nullptr);
  if (const char* keep = std::getenv("ZARN_KEEP_SHOTS")) {
    zeEngineContext().driver->writeImageToFile(start.image, (std::string(keep) + "/scene-start.png").c_str());
    zeEngineContext().driver->writeImageToFile(end.image, (std::string(keep) + "/scene-end.png").c_str());
  }
  // The path runs from x = -3 to x = 3: left of the centre, then right of it.
  EXPECT_LT(start.mover.X, kWidth / 2 - 10);
  EXPECT_GT(end.mover.X, kWidth / 2 + 10);
  for (const Shot* shot : {&start, &end}) {
    ASSERT_GE(shot->mover.X, 0);
    ASSERT_LT(shot->mover.X, kWidth);
    ASSERT_GE(shot->mover.Y, 0);
    ASSERT_LT(shot->mover.Y, kHeight);
  }
  const video::SColor seen = start.image->getPixel(start.mover.X, start.mover.Y);
  EXPECT_TRUE(red(start.image, start.mover)) << start.mover.X << "," << start.mover.Y << " " << seen.getRed() << ","
                                              << seen.getGreen() << "," << seen.getBlue();
  EXPECT_TRUE(red(end.image, end.mover)) << end.mover.X << "," << end.mover.Y;
  EXPECT_FALSE(red(end.image, start.mover));
  EXPECT_FALSE(red(start.image, end.mover));
  // The backdrop is the scene's zenith colour (0x113366) in the top corners.
  const video::SColor corner = start.image->getPixel(0, 0);
  EXPECT_NEAR(corner.getRed(), 0x11, 3);
  EXPECT_NEAR(corner.getBlue(), 0x66, 3);
  // The column's surface colour: yellow (green near red) at the start, orange at the end.
  const video::SColor yellow = start.image->getPixel(start.bender.X, start.bender.Y);
  const video::SColor orange = end.image->getPixel(end.bender.X, end.bender.Y);
  EXPECT_GT(yellow.getGreen(), orange.getGreen() + 40) << yellow.getGreen() << " " << orange.getGreen();
  EXPECT_GT(orange.getRed(), orange.getGreen() + 60) << orange.getRed() << " " << orange.getGreen();
  // The banner's image (orange and cream checks): warm, not the white of its material.
  int warm = 0;
  for (int dx = -4; dx <= 4; ++dx) {
    const video::SColor c = start.image->getPixel(start.banner.X + dx, start.banner.Y);
    if (c.getRed() > c.getBlue() + 40) ++warm;
  }
  EXPECT_GT(warm, 4);

  start.image->drop();
  end.image->drop();
  zeDeleteScene(1);
  zeEngineStop();
  zeSetSurfaceServices(nullptr);
  (void)!std::system(("rm -rf '" + std::string(base) + "'").c_str());
}
