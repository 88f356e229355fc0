// An engine on OpenGL (Mesa under Xvfb) as the executable installs it, in a
// 64 x 48 window, for tests that draw objects and effects: its base folder
// is a new temporary one (the standard effects linked in from the source
// tree, the shader cache its own), and the frame is read back by pixel.
// Tests define ZARN_DATA_DIR and link zarn_render, zarn_effect and zarn_scene.
#pragma once

#include <gtest/gtest.h>
#include <irrlicht.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/zeEngine.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/ze2D.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"
#include "render/zeSurfaceServices.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeSceneSubsystem.h"

// A square in front of the default camera, wider than the view, in both
// windings (no culling question), with texture coordinates and a normal
// towards the camera.
inline const char* zeTestQuadObj() {
  return "v -30 -30 10\nv 30 -30 10\nv 30 30 10\nv -30 30 10\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 -1\n"
         "f 1/1/1 2/2/1 3/3/1\nf 1/1/1 3/3/1 4/4/1\nf 3/3/1 2/2/1 1/1/1\nf 4/4/1 3/3/1 1/1/1\n";
}

class ZeGLEngineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    zeGLInstall();
    zeInstallMainRenderer();
    zeInstallGPUProgrammingServicesSlot();
    zeInstallEffectManagerSlot();
    zeInstallSurfaceServices();
    zeSceneRegister();
    zeInstallImagesAnd2D();
    zeSetMessageThreshold(ZE_NONE);
    zeDisableMessageBoxes();
  }
  void TearDown() override {
    zeEngineStop();
    zeSetSurfaceServices(nullptr);
    if (!base_.empty()) (void)!std::system(("rm -rf '" + base_ + "'").c_str());
    ::unsetenv("ZARN_DRIVER");
    zeResetMessageState();
  }
  // Starts the engine with "quad.obj" (zeTestQuadObj) in the base folder.
  bool start() {
    char pattern[] = "/tmp/zarn-gl-test-XXXXXX";
    if (!::mkdtemp(pattern)) return false;
    base_ = std::string(pattern) + "/";
    if (::symlink(ZARN_DATA_DIR "/shaders", (base_ + "shaders").c_str()) != 0) return false;
    std::ofstream(base_ + "quad.obj") << zeTestQuadObj();
    ::setenv("ZARN_DRIVER", "opengl", 1);
    ZeEngineSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.windowed = 1;
    settings.vsync = 0;
    settings.baseDirectory = base_.c_str();
    return zeEngineStart(settings) == 0;
  }
  // A pixel of the frame Sync just drew.
  static irr::video::SColor framePixel(int x, int y) {
    irr::video::IImage* image = zeGetFrameBackend()->readFrame();
    if (!image) return irr::video::SColor(0, 1, 2, 3);
    const irr::video::SColor c = image->getPixel(irr::u32(x), irr::u32(y));
    image->drop();
    return c;
  }
  std::string base_;
};

#define ZE_NEED_DISPLAY() \
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display"
