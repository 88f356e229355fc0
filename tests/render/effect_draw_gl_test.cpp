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
#include "render/gl/zeGLInstall.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSubsystem.h"

using namespace irr;

namespace {

// A square in front of the default camera, both windings (no culling
// question), wider than the view.
const char* const kQuad =
    "v -30 -30 10\nv 30 -30 10\nv 30 30 10\nv -30 30 10\n"
    "f 1 2 3\nf 1 3 4\nf 3 2 1\nf 4 3 1\n";

const char* const kEffect = R"(/*
[ZARN_BEGIN]
// float4x4 WVP : WorldViewProjection : vertex
// float4 Tint : 0.2, 0.6, 0.4, 1 : pixel
[ZARN_END]
*/
float4x4 WVP;
float4 Tint;
float4 vs_main(float4 pos : POSITION) : POSITION { return mul(WVP, pos); }
float4 ps_main() : COLOR { return Tint; }
)";

class EffectDraw : public ::testing::Test {
 protected:
  void SetUp() override {
    zeGLInstall();
    zeInstallGPUProgrammingServicesSlot();
    zeInstallEffectManagerSlot();
    zeSceneRegister();
    zeSetMessageThreshold(ZE_NONE);
    zeDisableMessageBoxes();
  }
  void TearDown() override {
    zeEngineStop();
    if (!base_.empty()) (void)!std::system(("rm -rf '" + base_ + "'").c_str());
    ::unsetenv("ZARN_DRIVER");
    zeResetMessageState();
  }
  bool start() {
    char pattern[] = "/tmp/zarn-fxdraw-XXXXXX";
    if (!::mkdtemp(pattern)) return false;
    base_ = std::string(pattern) + "/";
    if (::symlink(ZARN_DATA_DIR "/shaders", (base_ + "shaders").c_str()) != 0) return false;
    std::ofstream(base_ + "quad.obj") << kQuad;
    std::ofstream(base_ + "tint.hlsl") << kEffect;
    ::setenv("ZARN_DRIVER", "opengl", 1);
    ZeEngineSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.windowed = 1;
    settings.vsync = 0;
    settings.baseDirectory = base_.c_str();
    return zeEngineStart(settings) == 0;
  }
  // The centre pixel of the frame Sync just drew, as 0xRRGGBB.
  static unsigned centre() {
    video::IImage* image = zeGetFrameBackend()->readFrame();
    if (!image) return 0xDEAD;
    const video::SColor c = image->getPixel(32, 24);
    image->drop();
    return (c.getRed() << 16) | (c.getGreen() << 8) | c.getBlue();
  }
  static bool near(unsigned got, unsigned want) {
    for (int shift : {0, 8, 16})
      if (std::abs(int((got >> shift) & 255) - int((want >> shift) & 255)) > 2) return false;
    return true;
  }
  std::string base_;
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
  ASSERT_TRUE(zeSetEffectConstantFloats(commands, 3, "Tint", (const float[]){1, 0.5f, 0, 1}, 4));
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

}  // namespace
