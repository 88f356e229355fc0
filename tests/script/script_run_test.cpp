// The real program runs scripts headless: exit status and message of a
// failing script, the working-directory rule, the examples, and a packaged
// production's main.lua.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "scriptFixture.h"
#include "support/programRun.h"

namespace {

namespace fs = std::filesystem;

using namespace zetest;

// Headless and bounded in time.
ProgramRun runIn(const std::string& folder, const std::string& commandLine) {
  return runProgram(folder, "ZARN_DRIVER=null ZARN_NONINTERACTIVE=1 ZARN_FRAMES=5", "timeout 60 " + commandLine);
}

const std::string zarn = ZARN_EXECUTABLE;

TEST(ScriptRun, AScriptErrorExitsNonZeroWithItsMessageAndStopsTheEngine) {
  const std::string dir = scriptTempDirectory();
  writeScriptFile(dir + "/fail.lua", "ze.Setup(64, 48, 32, true)\nze.PositionObject(9, 0, 0, 0)\n");
  ProgramRun run = runIn("/tmp", zarn + " " + dir + "/fail.lua");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(contains(run.out, "fail.lua:2: bad argument #1 to 'PositionObject' (Object ID 9 does not exist.")) << run.out;

  writeScriptFile(dir + "/syntax.lua", "ze.Setup(\n");
  run = runIn("/tmp", zarn + " " + dir + "/syntax.lua");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(contains(run.out, "syntax.lua:2:")) << run.out;

  // Relative names start in the script's own directory; a clean end exits 0.
  writeScriptFile(dir + "/data.txt", "x");
  writeScriptFile(dir + "/ok.lua", "ze.Setup(64, 48, 32, true)\nprint('found', ze.FileExist('data.txt'), ze.FileExist('fail.lua'))\n");
  run = runIn("/tmp", zarn + " " + dir + "/ok.lua");
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_TRUE(contains(run.out, "found\ttrue\ttrue")) << run.out;
}

TEST(ScriptRun, EveryExampleScriptRunsHeadless) {
  for (const char* name : {"turning.lua", "music.lua", "scene.lua"}) {
    const ProgramRun run = runIn("/tmp", zarn + " " ZARN_EXAMPLES "/scripts/" + name);
    EXPECT_EQ(run.exitCode, 0) << name << "\n" << run.out;
  }
  const ProgramRun scene = runIn("/tmp", zarn + " " ZARN_EXAMPLES "/scripts/scene.lua");
  EXPECT_TRUE(contains(scene.out, "loaded\t7\tobjects\t2\tlights")) << scene.out;
}

TEST(ScriptRun, APackagedMainLuaRunsFromThePayloadAndItsErrorsNameMem) {
  const std::string dir = scriptTempDirectory();
  fs::create_directories(dir + "/prod");
  fs::create_directories(dir + "/elsewhere");
  fs::copy_file(ZARN_EXAMPLES "/object/example.x", dir + "/prod/example.x");
  writeScriptFile(dir + "/prod/zarn-setup.ini", "[Setup]\ndisplay = 64 48 32\nwindowed = 1\n");
  writeScriptFile(dir + "/prod/main.lua",
                  "ze.LoadObject('example.x', 1)\nprint('radius', ze.GetObjectRadius(1) > 0)\nze.Sync()\n");
  ASSERT_EQ(runIn(dir, zarn + " -direxe film prod").exitCode, 0);
  ProgramRun run = runIn(dir + "/elsewhere", dir + "/film");
  EXPECT_EQ(run.exitCode, 0) << run.out;
  EXPECT_TRUE(contains(run.out, "radius\ttrue")) << run.out;

  writeScriptFile(dir + "/prod/main.lua", "ze.Sync()\nerror('broken production')\n");
  ASSERT_EQ(runIn(dir, zarn + " -direxe broken prod").exitCode, 0);
  run = runIn(dir + "/elsewhere", dir + "/broken");
  EXPECT_NE(run.exitCode, 0);
  EXPECT_TRUE(contains(run.out, "[string \"mem\"]:2: broken production")) << run.out;
}

// The leak checker preloaded into the real program on the NULL driver: the
// commands' error paths, caught and uncaught, leave nothing behind.
TEST(ScriptRun, ErrorPathsOfTheRealProgramLeakNothing) {
  if (std::string(ZARN_LSAN).empty()) GTEST_SKIP() << "no LeakSanitizer runtime";
  const std::string dir = scriptTempDirectory();
  writeScriptFile(dir + "/errors.lua", R"(
ze.Setup(64, 48, 32, true)
ze.SetDir(")" ZARN_EXAMPLES R"(/scene")
local failures = 0
for k = 1, 20 do
  for _, f in ipairs({
    function() ze.PositionObject(k, 0, 0, 0) end,
    function() ze.PlayMusic(k) end,
    function() ze.SetEffectConstantFloatN(1, "c", 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17) end,
    function() ze.SetObjectMorph(1, {1, 2}, {1}) end,
    function() ze.Text(0, 0, setmetatable({}, {__tostring = function() error("in tostring") end})) end,
    function() ze.PathFilename("a", 3) end,
    function() ze.LoadObject("missing.x", 1) end,
    function() ze.LoadImage("missing.png", 1) end,
    function() ze.LoadEffect("missing.hlsl", 1) end,
    function()
      ze.SetLoadSceneCallback(function() error("in callback") end)
      ze.LoadScene("example.zscn", 1, 100, 100, 0, 0, 0, 0, 0, false, "a")
    end,
  }) do
    if not pcall(f) then failures = failures + 1 end
  end
end
print("failures", failures)
error("the end")
)");
  const ProgramRun run = runIn(dir, "env LD_PRELOAD=" ZARN_LSAN " " + zarn + " errors.lua");
  EXPECT_TRUE(contains(run.out, "failures\t200")) << run.out;
  EXPECT_TRUE(contains(run.out, "errors.lua:25: the end")) << run.out;
  EXPECT_FALSE(contains(run.out, "LeakSanitizer")) << run.out;
  EXPECT_NE(run.exitCode, 23) << run.out;
}

}  // namespace
