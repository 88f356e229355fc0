#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "app/zeEntry.h"
#include "app/zeFileKinds.h"
#include "app/zePackagingTools.h"
#include "app/zeUsage.h"
#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "support/testZip.h"

namespace {

// What the entry asked of the run modes.
struct Recorded {
  std::vector<std::string> calls;
  std::string path;
  int startPart = -99;
  std::string captureBase;
  float captureFps = 0;
  ViewerOptions viewer{-1, -1, -1, -1};
  DisplayOverrides display;
  bool offeredDialog = false;
  std::string setupDirectory;
  int packagedFlag = -1;
  std::string toolArgs;
};

struct Behaviour {
  int setupResult = 0;
  int frontEndResult = 0;
  bool carriesArchive = false;
  std::vector<std::uint8_t> carriedArchive;
};

ZeRunModes recordingModes(Recorded& r, const Behaviour& b, irr::IrrlichtDevice** device) {
  ZeRunModes m;
  m.readSetup = [&r, &b, device](const char* file, const char* dir, const DisplayOverrides* o, bool dialog) {
    r.calls.push_back(std::string("setup ") + file);
    r.setupDirectory = dir;
    if (o) r.display = *o;
    r.offeredDialog = dialog;
    if (b.setupResult == 0 && device) {
      // As the engine start does: the device's file system takes over the hooks.
      irr::SIrrlichtCreationParameters params;
      params.DriverType = irr::video::EDT_NULL;
      params.LoggingLevel = irr::ELL_NONE;
      *device = irr::createDeviceEx(params);
      zeFilesystemReset((*device)->getFileSystem());
    }
    return b.setupResult;
  };
  m.engineStop = [&r] { r.calls.push_back("stop"); };
  m.objectViewer = [&r, &b](const char* path) {
    r.calls.push_back("object");
    r.path = path;
    return b.frontEndResult;
  };
  m.sceneViewer = [&r, &b](const char* path, ViewerOptions* options) {
    r.calls.push_back("scene");
    r.path = path ? path : "(none)";
    r.viewer = *options;
    return b.frontEndResult;
  };
  m.demoPlayer = [&r, &b](const char* path, int startPart) {
    r.calls.push_back("demo");
    r.path = path;
    r.startPart = startPart;
    return b.frontEndResult;
  };
  m.demoCapture = [&r, &b](const char* path, int startPart, const char* base, float fps) {
    r.calls.push_back("capture");
    r.path = path;
    r.startPart = startPart;
    r.captureBase = base;
    r.captureFps = fps;
    return b.frontEndResult;
  };
  m.scriptRunner = [&r, &b](const char* path, int packaged) {
    r.calls.push_back("script");
    r.path = path;
    r.packagedFlag = packaged;
    return b.frontEndResult;
  };
  m.packagingTool = [&r, &b](const char* tool, const char* out, const char* src) {
    r.calls.push_back(std::string("tool ") + tool);
    r.toolArgs = std::string(out) + "|" + (src ? src : "(none)");
    return b.frontEndResult;
  };
  m.carriesArchive = [&b] { return b.carriesArchive; };
  m.loadCarriedArchive = [&b](std::vector<std::uint8_t>* archive) {
    *archive = b.carriedArchive;
    return !archive->empty();
  };
  m.chooseFile = [&r](const char* title, const ZeFileFilters& filters) -> const char* {
    r.calls.push_back(std::string("chooser ") + title + " (" + std::to_string(filters.size()) + " filters)");
    return nullptr;
  };
  return m;
}

struct RunResult {
  int exitCode;
  std::string out;
};

RunResult run(std::vector<const char*> args, Recorded& r, const Behaviour& b = {}) {
  args.insert(args.begin(), "/opt/zarn/bin/zarn");
  std::vector<char*> argv;
  for (const char* a : args) argv.push_back(const_cast<char*>(a));
  argv.push_back(nullptr);
  irr::IrrlichtDevice* device = nullptr;
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  const int code = zeRunEntry(static_cast<int>(args.size()), argv.data(), recordingModes(r, b, &device));
  ::testing::internal::GetCapturedStderr();
  RunResult result{code, ::testing::internal::GetCapturedStdout()};
  zeSetMessageThreshold(ZE_NONE);
  zeFilesystemReset(nullptr);
  if (device) device->drop();
  zeResetMessageState();
  return result;
}

std::string joined(const std::vector<std::string>& calls) {
  std::string s;
  for (const auto& c : calls) s += (s.empty() ? "" : ", ") + c;
  return s;
}

TEST(Entry, CommandLinesChooseTheRightModeAndValues) {
  struct Case {
    std::vector<const char*> args;
    std::string calls;
    std::string path;
    int exitCode;
  } cases[] = {
      {{"-cap", "out", "-capfps", "25", "film.demo.ini"}, "setup zarn-setup.ini, capture, stop", "film.demo.ini", 0},
      {{"-cap", "out", "film.demo.ini"}, "setup zarn-setup.ini, capture, stop", "film.demo.ini", 0},
      {{"film.demo.ini", "-cap", "out"}, "setup zarn-setup.ini, capture, stop", "film.demo.ini", 0},
      {{"film.demo.ini.old"}, "setup zarn-setup.ini, demo, stop", "film.demo.ini.old", 0},
      {{"SCENE.ZSCN"}, "setup zarn-setup.ini, scene, stop", "SCENE.ZSCN", 0},
      {{"a.lws.ini"}, "setup zarn-setup.ini, scene, stop", "a.lws.ini", 0},
      {{"A.LWS.INI"}, "", "", -1},
      {{"Shot.LWS"}, "setup zarn-setup.ini, scene, stop", "Shot.LWS", 0},
      {{"notes.txt"}, "", "", -1},
      {{"noextension"}, "", "", -1},
      {{"-windowpos", "10", "20", "x.zscn"}, "", "", -1},
      {{"-demoexe", "a.zscn", "b", "c"}, "setup zarn-setup.ini, scene, stop", "a.zscn", 0},
      {{"-demoexe", "out", "src.demo.ini"}, "tool -demoexe", "", 0},
      {{"-dirlistdat", "out", "list.txt"}, "tool -dirlistdat", "", 0},
      {{"-exersc", "out"}, "tool -exersc", "", 0},
      {{"-binary"}, "scene", "(none)", 0},
      {{"-binary", "s.lws.ini", "ignored"}, "scene", "s.lws.ini", 0},
      {{"model.obj"}, "setup zarn-setup.ini, object, stop", "model.obj", 0},
      {{"run.zlua"}, "script", "run.zlua", 0},
      {{"x.zscn", "-framestart"}, "setup zarn-setup.ini, scene, stop", "x.zscn", 0},
      {{"-unknown", "x.x", "y.zscn"}, "setup zarn-setup.ini, object, stop", "x.x", 0},
      {{}, "chooser Open Zarn file (7 filters)", "", -1},
  };
  for (const Case& c : cases) {
    Recorded r;
    std::string label;
    for (const char* a : c.args) label += std::string(a) + " ";
    const RunResult result = run(c.args, r);
    EXPECT_EQ(joined(r.calls), c.calls) << label;
    EXPECT_EQ(result.exitCode, c.exitCode) << label;
    if (!c.path.empty()) {
      EXPECT_EQ(r.path, c.path) << label;
    }
  }
}

// Every supported file kind and packaging tool comes from one table: the
// chooser offers every kind, each selects its mode, and the usage names each.
TEST(Entry, OneTableOfFileKindsAndOneOfPackagingTools) {
  const ZeFileFilters& filters = zeSupportedFileFilters();
  ASSERT_GE(filters.size(), 2u);
  EXPECT_EQ(filters.front().first, "All supported");
  const std::string usage = zeUsageText();
  for (int i = 0; i < kZeFileKindCount; ++i) {
    const SZeFileKind& kind = kZeFileKinds[i];
    EXPECT_NE(filters.front().second.find(std::string("*") + kind.ending), std::string::npos) << kind.ending;
    EXPECT_NE(usage.find(kind.ending), std::string::npos) << kind.ending;
    EXPECT_EQ(zeRunModeForFile(std::string("name") + kind.ending, false), kind.mode) << kind.ending;
  }
  for (const char* wanted : {"*.obj", "*.lwo", "*.zarn", "*.lws.ini", "*.lws"})
    EXPECT_NE(filters.front().second.find(wanted), std::string::npos) << wanted;
  for (int i = 0; i < kZePackagingToolCount; ++i) {
    EXPECT_NE(usage.find(kZePackagingTools[i].option), std::string::npos) << kZePackagingTools[i].option;
    EXPECT_EQ(zeFindPackagingTool(kZePackagingTools[i].option), &kZePackagingTools[i]);
  }
  EXPECT_EQ(zeFindPackagingTool("-demoexec"), nullptr);
}

TEST(Entry, CaptureRateAndBaseName) {
  struct Case {
    std::vector<const char*> args;
    float fps;
  } cases[] = {
      {{"-cap", "out", "-capfps", "25", "film.demo.ini"}, 25.0f},
      {{"-cap", "out", "film.demo.ini"}, 30.0f},
      {{"-capfps", "0", "-cap", "out", "film.demo.ini"}, 30.0f},
      {{"film.demo.ini", "-cap", "out", "-capfps"}, 30.0f},  // value missing: ignored
  };
  for (const Case& c : cases) {
    Recorded r;
    run(c.args, r);
    EXPECT_EQ(r.captureBase, "out");
    EXPECT_FLOAT_EQ(r.captureFps, c.fps);
    EXPECT_EQ(r.startPart, -1);
  }
}

TEST(Entry, OptionsReachTheSetupReaderAndTheViewer) {
  Recorded r;
  run({"-display", "800x600", "-windowed", "1", "-windowpos", "10,20", "-vsync", "0", "-stereo", "2", "-paused",
       "-ride", "-nomusic", "-syncupdate", "-nosyncbake", "-nolwchild", "-noidleinactive", "-ridespeed", "5",
       "-rideopts", "3", "-framestart", "42", "s.zscn"},
      r);
  EXPECT_EQ(r.display.width, 800);
  EXPECT_EQ(r.display.height, 600);
  EXPECT_EQ(r.display.windowed, 1);
  EXPECT_EQ(r.display.windowX, 10);
  EXPECT_EQ(r.display.windowY, 20);
  EXPECT_EQ(r.display.vsync, 0);
  EXPECT_EQ(r.display.stereo, 2);
  EXPECT_EQ(r.display.depth, -1);
  EXPECT_FALSE(r.offeredDialog);
  EXPECT_EQ(r.setupDirectory, "/opt/zarn/bin/");
  EXPECT_EQ(r.viewer.flags, ZE_VIEWER_BASE | ZE_VIEWER_PAUSED | ZE_VIEWER_RIDE | ZE_VIEWER_SYNC_UPDATE |
                                ZE_VIEWER_NO_SYNC_BAKE | ZE_VIEWER_NO_LW_CHILD | ZE_VIEWER_NO_IDLE_INACTIVE |
                                ZE_VIEWER_FRAME_START);
  EXPECT_EQ(r.viewer.frameStart, 42);
  EXPECT_EQ(r.viewer.rideSpeed, 5);
  EXPECT_EQ(r.viewer.rideOptions, 3);

  Recorded demo;
  run({"-startpart", " -3", "-display", "800", "d.demo.ini"}, demo);
  EXPECT_EQ(demo.startPart, -3);
  EXPECT_TRUE(demo.offeredDialog);
  EXPECT_EQ(demo.display.width, -1);  // "800" does not match WxH

  Recorded conversion;
  run({"-binary"}, conversion);
  EXPECT_EQ(conversion.viewer.flags, ZE_VIEWER_BASE | ZE_VIEWER_CONVERT | ZE_VIEWER_MUSIC);
}

TEST(Entry, FailuresExitNonZeroAndStillStopTheEngine) {
  Behaviour failingSetup;
  failingSetup.setupResult = -1;
  Recorded r1;
  EXPECT_EQ(run({"x.zscn"}, r1, failingSetup).exitCode, -1);
  EXPECT_EQ(joined(r1.calls), "setup zarn-setup.ini");

  Behaviour failingFrontEnd;
  failingFrontEnd.frontEndResult = -1;
  Recorded r2;
  EXPECT_EQ(run({"x.zscn"}, r2, failingFrontEnd).exitCode, -1);
  EXPECT_EQ(joined(r2.calls), "setup zarn-setup.ini, scene, stop");

  Recorded r3;
  const RunResult unsupported = run({"notes.txt"}, r3);
  EXPECT_EQ(unsupported.out, "ERROR : File format of 'notes.txt' is not supported\n\n");
}

TEST(Entry, UnbuiltModesSaySo) {
  ZeRunModes empty;
  char program[] = "zarn";
  char file[] = "film.demo.ini";
  char* argv[] = {program, file, nullptr};
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(zeRunEntry(2, argv, empty), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "WARN : The demo player: not built yet\n\n");
  zeResetMessageState();

  // No window opens for a front end that is not there.
  Recorded r;
  Behaviour b;
  ZeRunModes withoutViewer = recordingModes(r, b, nullptr);
  withoutViewer.sceneViewer = nullptr;
  char scene[] = "x.zscn";
  char* sceneArgv[] = {program, scene, nullptr};
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(zeRunEntry(2, sceneArgv, withoutViewer), -1);
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "WARN : The scene viewer: not built yet\n\n");
  EXPECT_EQ(joined(r.calls), "");
  zeResetMessageState();
}

TEST(Entry, PackagedProductionPlaysWhatTheArchiveCarries) {
  struct Case {
    const char* file;
    std::vector<const char*> args;
    std::string calls;
  } cases[] = {
      {"zarn.zscn", {"-display", "800x600", "-paused", "-startpart", "2"}, "setup zarn-setup.ini, scene, stop"},
      {"zarn.demo.ini", {}, "setup zarn-setup.ini, demo, stop"},
      {"zarn.demo.ini", {"-cap", "shot", "-capfps", "60"}, "setup zarn-setup.ini, capture, stop"},
      {"Main.lua", {}, "setup zarn-setup.ini, script, stop"},
      {"other.txt", {}, "setup zarn-setup.ini, stop"},
  };
  for (const Case& c : cases) {
    Behaviour b;
    b.carriesArchive = true;
    b.carriedArchive = zeTestZip({{c.file, "x"}});
    Recorded r;
    EXPECT_EQ(run(c.args, r, b).exitCode, 0) << c.file;
    EXPECT_EQ(joined(r.calls), c.calls) << c.file;
    EXPECT_EQ(r.setupDirectory, "/");
    EXPECT_EQ(r.display.width, -1) << "overrides are not read in a packaged run";
    EXPECT_TRUE(r.offeredDialog);
    const std::string frontEnd = r.calls.size() > 1 ? r.calls[1] : "";
    if (frontEnd == "scene") {
      EXPECT_EQ(r.viewer.flags, 0);
    }
    if (frontEnd == "capture") {
      EXPECT_EQ(r.captureBase, "shot");
      EXPECT_FLOAT_EQ(r.captureFps, 60.0f);
      EXPECT_EQ(r.startPart, -1);
    }
    if (frontEnd == "script") {
      EXPECT_EQ(r.packagedFlag, 1);
    }
  }

  Behaviour unreadable;
  unreadable.carriesArchive = true;
  Recorded r;
  const RunResult result = run({}, r, unreadable);
  EXPECT_EQ(result.exitCode, -1);
  EXPECT_EQ(result.out, "ERROR : Failed to load resources from executable\n\n");
}

TEST(Entry, TheExecutableRefusesUnknownFiles) {
  for (const char* name : {"notes.txt", "noextension"}) {
    const std::string command = std::string(ZARN_EXECUTABLE) + " " + name + " 2>/dev/null";
    FILE* pipe = popen(command.c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string out;
    char buffer[256];
    while (std::fgets(buffer, sizeof buffer, pipe)) out += buffer;
    const int status = pclose(pipe);
    EXPECT_EQ(out, std::string("ERROR : File format of '") + name + "' is not supported\n\n");
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << name;
  }
}

}  // namespace
