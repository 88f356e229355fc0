// The real program runs scripts headless: exit status and message of a
// failing script, the working-directory rule, the examples, and a packaged
// production's main.lua.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "scriptFixture.h"

namespace {

namespace fs = std::filesystem;

struct ProgramRun {
  int exitCode;
  std::string out;
};

// Headless, bounded in time, standard output and error together.
ProgramRun runIn(const std::string& folder, const std::string& commandLine) {
  const std::string command = "cd '" + folder + "' && ZARN_DRIVER=null ZARN_NONINTERACTIVE=1 ZARN_FRAMES=5 timeout 60 " +
                              commandLine + " 2>&1";
  FILE* pipe = ::popen(command.c_str(), "r");
  ProgramRun run{-1, ""};
  if (!pipe) return run;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe)) run.out += buffer;
  const int status = ::pclose(pipe);
  run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

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
  EXPECT_TRUE(contains(scene.out, "loaded\t4\tobjects\t2\tlights")) << scene.out;
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

}  // namespace
