// The effect and resource managers' slots: built at engine start; the
// standard effects are made from the base directory's shaders/ on OpenGL
// (their absence fails the start), not on the NULL driver; the command layer
// works over the engine's effect table; every frame gets a new stamp.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "effect/CZeEffectManager.h"
#include "effect/CZeResourceManager.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"

namespace {

class EffectManagerSlot : public ::testing::Test {
 protected:
  void SetUp() override {
    zeGLInstall();
    zeInstallMainRenderer();
    zeInstallGPUProgrammingServicesSlot();
    zeInstallEffectManagerSlot();
    zeSetMessageThreshold(ZE_NONE);
    zeDisableMessageBoxes();
  }
  void TearDown() override {
    zeEngineStop();
    if (!base_.empty()) (void)!std::system(("rm -rf '" + base_ + "'").c_str());
    ::unsetenv("ZARN_DRIVER");
    zeResetMessageState();
  }
  // A base directory of its own whose shaders/ is the engine's (the shader
  // cache is written beside it, never into the sources).
  const char* baseWithShaders() {
    char pattern[] = "/tmp/zarn-fxslot-XXXXXX";
    if (!::mkdtemp(pattern)) return "";
    base_ = std::string(pattern) + "/";
    if (::symlink(ZARN_DATA_DIR "/shaders", (base_ + "shaders").c_str()) != 0) return "";
    return base_.c_str();
  }
  std::string base_;
  int start(const char* driver, const char* base) {
    ::setenv("ZARN_DRIVER", driver, 1);
    ZeEngineSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.windowed = 1;
    settings.vsync = 0;
    settings.baseDirectory = base;
    return zeEngineStart(settings);
  }
};

TEST_F(EffectManagerSlot, OpenGLMakesTheStandardEffectsAndTheTableWorks) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  ASSERT_EQ(start("opengl", baseWithShaders()), 0) << zeStartFailureReason();
  CZeManager* manager = zeEngineContext().manager;
  ASSERT_NE(manager->getEffectManager(), nullptr);
  CZeResourceManager* resources = manager->getResourceManager();
  ASSERT_NE(resources, nullptr);
  EXPECT_NE(resources->cubeMapToLatLong(), nullptr);
  for (int i = 0; i < 3; ++i) EXPECT_NE(resources->reflectionFilter(i), nullptr) << i;
  EXPECT_NE(resources->sphericalHarmonics(), nullptr);

  SZeEffectCommandEnv commands = zeEngineEffectCommands();
  ASSERT_EQ(zeLoadEffect(commands, (base_ + "shaders/ReflectionMapFilter.hlsl").c_str(), 5), 0);
  EXPECT_EQ(zeSetEffectConstantFloat(commands, 5, "Roughness", 0.25f), 0);
  EXPECT_EQ(manager->getEffectManager()->cachedDefinitions(), 5u);  // the plain filter was cached at start

  const uint32_t frame = manager->getEffectManager()->bindEnvironment().frame;
  zeSync();
  EXPECT_NE(manager->getEffectManager()->bindEnvironment().frame, frame);
  // Stopping releases the table's effect with the manager (no leak, no crash).
}

TEST_F(EffectManagerSlot, MissingStandardShadersFailTheOpenGLStart) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  EXPECT_EQ(start("opengl", "/nonexistent-zarn-base/"), -1);
  EXPECT_NE(std::string(zeStartFailureReason()).find("fails to init cubemaptolatlong.hlsl"), std::string::npos)
      << zeStartFailureReason();
}

TEST_F(EffectManagerSlot, TheNullDriverStartsWithoutThem) {
  ASSERT_EQ(start("null", "/nonexistent-zarn-base/"), 0) << zeStartFailureReason();
  CZeManager* manager = zeEngineContext().manager;
  ASSERT_NE(manager->getEffectManager(), nullptr);
  EXPECT_EQ(manager->getResourceManager()->cubeMapToLatLong(), nullptr);
}

}  // namespace
