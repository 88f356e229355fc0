// A packaged production on OpenGL (Mesa under Xvfb): the engine's standard
// effects start from the payload's shaders folder, and the script draws.
#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "packagingFixture.h"

namespace {

using namespace zetest;

TEST(PackagedGL, AProductionStartsItsEffectsFromThePayloadAndDraws) {
  if (!std::getenv("DISPLAY")) GTEST_SKIP() << "no OpenGL display";
  TempFolder t;
  const std::string production = t / "production";
  fs::create_directories(production);
  fs::copy(ZARN_DATA_DIR "/shaders", production + "/shaders", fs::copy_options::recursive);
  fs::copy_file(ZARN_EXAMPLES "/object/example.x", production + "/example.x");
  fs::copy_file(ZARN_EXAMPLES "/object/example.png", production + "/example.png");
  writeFile(production + "/zarn-setup.ini", "[Setup]\ndisplay = 64 48 32\nwindowed = 1\n");
  writeFile(production + "/main.lua",
            "ze.Setup(64, 48, 32, true)\n"
            "ze.LoadObject('example.x', 1)\n"
            "ze.Sync()\n"
            "print('drew with', ze.ObjectExist(1))\n");
  ASSERT_EQ(runIn(t.path(), std::string(ZARN_EXECUTABLE) + " -direxe film production").exitCode, 0);

  // From another folder only the payload holds the shaders.
  fs::create_directories(t / "elsewhere");
  const ProgramRun run = runIn(t / "elsewhere", "timeout 60 " + (t / "film"), "opengl");
  EXPECT_FALSE(contains(run.out, "Setup failed")) << run.out;
  EXPECT_TRUE(contains(run.out, "drew with\ttrue")) << run.out;
  EXPECT_EQ(run.exitCode, 0) << run.out;
}

}  // namespace
