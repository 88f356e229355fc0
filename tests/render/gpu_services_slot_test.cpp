// The engine manager's shader services: built at engine start over the real
// OpenGL backend, or with no backend on the NULL driver.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <string>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/zeGPUServicesSlot.h"

namespace {

class GPUServicesSlot : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/zarn-slot-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    base_ = std::string(pattern) + "/";
    zeGLInstall();
    zeInstallMainRenderer();
    zeInstallGPUProgrammingServicesSlot();
    zeSetMessageThreshold(ZE_NONE);
    zeDisableMessageBoxes();
  }
  void TearDown() override {
    zeEngineStop();
    ::unsetenv("ZARN_DRIVER");
    std::system(("rm -rf '" + base_ + "'").c_str());
    zeResetMessageState();
  }
  CZeGPUProgrammingServices* start(const char* driver) {
    ::setenv("ZARN_DRIVER", driver, 1);
    ZeEngineSettings settings;
    settings.width = 64;
    settings.height = 48;
    settings.windowed = 1;
    settings.vsync = 0;
    settings.baseDirectory = base_.c_str();
    if (zeEngineStart(settings) != 0) return nullptr;
    return zeEngineContext().manager->getGPUProgrammingServices();
  }
  int createBasic(CZeGPUProgrammingServices* services, std::string* error) {
    const std::string file = std::string(ZARN_SHADER_CORPUS) + "/basic.hlsl";
    return services->createMaterialFromFiles(file.c_str(), "vs_main", 3, file.c_str(), "ps_main", 7, nullptr, 0, 0,
                                             nullptr, error);
  }
  std::string base_;
};

TEST_F(GPUServicesSlot, NullDriverHasServicesButNoGpu) {
  CZeGPUProgrammingServices* services = start("null");
  ASSERT_NE(services, nullptr);
  std::string error;
  EXPECT_EQ(createBasic(services, &error), -1);
  EXPECT_NE(error.find("ZeGPU: failed to get gpu"), std::string::npos) << error;
}

TEST_F(GPUServicesSlot, OpenGLCompilesIntoTheBaseDirectorysCache) {
  CZeGPUProgrammingServices* services = start("opengl");
  ASSERT_NE(services, nullptr);
  std::string error;
  EXPECT_GE(createBasic(services, &error), 0) << error;
  struct stat info;
  EXPECT_EQ(::stat((base_ + "shadersCache").c_str(), &info), 0);
  EXPECT_TRUE(S_ISDIR(info.st_mode));
}

}  // namespace
