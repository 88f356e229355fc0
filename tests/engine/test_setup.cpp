// The setup file, the display-mode dialog's list and answers, and the merge
// with the command-line overrides.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "app/zeSetup.h"

#include "support/countingRenderer.h"
#include "support/testZip.h"

namespace {

class Setup : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeSetScreenModePresenter(nullptr);
    installCountingMainRenderer();
    char pattern[] = "/tmp/zarn-setup-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    dir_ = pattern;
    dir_ += "/";
  }
  void TearDown() override {
    zeEngineStop();
    std::remove(file().c_str());
    ::rmdir(dir_.c_str());
  }
  std::string file() const { return dir_ + "zarn-setup.ini"; }
  void write(const std::string& text) const { std::ofstream(file()) << text; }
  std::string dir_;
};

DisplayOverrides noOverrides() { return DisplayOverrides(); }

// Confirms a 1280 x 720 mode, in full screen or not.
bool confirmFullScreen(ZeDisplayMode* mode, bool* fullScreen) {
  *mode = {1280, 720, 32, 60};
  *fullScreen = true;
  return true;
}
bool confirmWindowed(ZeDisplayMode* mode, bool* fullScreen) {
  *mode = {1024, 768, 32, 60};
  *fullScreen = false;
  return true;
}
bool cancel(ZeDisplayMode*, bool*) { return false; }

}  // namespace

TEST_F(Setup, FileValuesAndOverridesMergeIntoEngineSettings) {
  struct Case {
    const char* what;
    const char* ini;  // nullptr: no setup file
    DisplayOverrides overrides;
    int width, height, depth, windowed;
    bool fullScreen;  // what engine start makes of it
  };
  DisplayOverrides display800 = noOverrides();
  display800.width = 800;
  display800.height = 600;
  const Case cases[] = {
      {"windowed YES", "[Setup]\nwindowed = YES\n", noOverrides(), -1, -1, -1, 1, false},
      {"windowed y", "[Setup]\nwindowed = y\n", noOverrides(), -1, -1, -1, 1, false},
      {"windowed 1", "[Setup]\nwindowed = 1\n", noOverrides(), -1, -1, -1, 1, false},
      {"windowed true", "[Setup]\nwindowed = true\n", noOverrides(), -1, -1, -1, 0, true},
      {"windowed 0", "[Setup]\nwindowed = 0\n", noOverrides(), -1, -1, -1, 0, true},
      {"windowed absent", "[Setup]\nvsync = 0\n", noOverrides(), -1, -1, -1, 1, false},
      {"display 1024 768", "[Setup]\ndisplay = 1024 768\n", noOverrides(), 1024, 768, -1, 1, false},
      {"-display over the file", "[Setup]\ndisplay = 1920 1080 32\n", display800, 800, 600, 32, 1, false},
      {"no file, no dialog", nullptr, noOverrides(), -1, -1, -1, -1, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::remove(file().c_str());
    if (c.ini) write(c.ini);
    ZeSetup setup;
    ASSERT_EQ(zeBuildSetup(file().c_str(), dir_.c_str(), &c.overrides, false, &setup), 0);
    EXPECT_EQ(setup.fromFile, c.ini != nullptr);
    EXPECT_EQ(setup.settings.width, c.width);
    EXPECT_EQ(setup.settings.height, c.height);
    EXPECT_EQ(setup.settings.depth, c.depth);
    EXPECT_EQ(setup.settings.windowed, c.windowed);
    const irr::SIrrlichtCreationParameters p = zeCreationParameters(setup.settings, nullptr);
    EXPECT_EQ(p.Fullscreen, c.fullScreen);
    EXPECT_EQ(p.Bits, c.depth == -1 ? 32 : c.depth);
    EXPECT_STREQ(setup.settings.baseDirectory, dir_.c_str());
  }
}

TEST_F(Setup, EveryKeyOfTheFileIsRead) {
  write(
      "[Setup]\n"
      "display = 800 600 16\nwindowed = no\nwindowpos = 10 20\nvsync = 0\nhide_mouse = 1\nfps = 50\n"
      "antialias = 1\nlightprepass = 0\nshaders = 3\ncamerarange = 0.5 250\nstereo = 2\n");
  ZeSetup setup;
  ASSERT_EQ(zeBuildSetup(file().c_str(), nullptr, nullptr, true, &setup), 0);
  const ZeEngineSettings& s = setup.settings;
  EXPECT_EQ(s.width, 800);
  EXPECT_EQ(s.height, 600);
  EXPECT_EQ(s.depth, 16);
  EXPECT_EQ(s.windowed, 0);
  EXPECT_EQ(s.windowX, 10);
  EXPECT_EQ(s.windowY, 20);
  EXPECT_EQ(s.vsync, 0);
  EXPECT_EQ(s.hideMouse, 1);
  EXPECT_EQ(s.fps, 50);
  EXPECT_EQ(s.antialias, 1);
  EXPECT_EQ(s.lightPrePass, 0);
  EXPECT_EQ(s.shaders, 3);
  EXPECT_FLOAT_EQ(s.cameraNear, 0.5f);
  EXPECT_FLOAT_EQ(s.cameraFar, 250.f);
  EXPECT_EQ(s.stereo, 2);
  EXPECT_EQ(s.baseDirectory, nullptr);
  EXPECT_FALSE(setup.fromDialog);  // a file exists: no dialog even when offered
}

TEST_F(Setup, WithoutAFileTheOfferedDialogDecides) {
  struct Case {
    const char* what;
    ZeScreenModePresenter presenter;
    int result, width, windowed, hideMouse, vsync;
  } cases[] = {
      {"full screen hides the mouse", confirmFullScreen, 0, 1280, 0, 1, 1},
      {"a window keeps it", confirmWindowed, 0, 1024, 1, 0, 1},
      {"cancel ends the run", cancel, -1, 0, 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zeSetScreenModePresenter(c.presenter);
    ZeSetup setup;
    ASSERT_EQ(zeBuildSetup(file().c_str(), nullptr, nullptr, true, &setup), c.result);
    if (c.result != 0) continue;
    EXPECT_TRUE(setup.fromDialog);
    EXPECT_EQ(setup.settings.width, c.width);
    EXPECT_EQ(setup.settings.depth, 32);
    EXPECT_EQ(setup.settings.windowed, c.windowed);
    EXPECT_EQ(setup.settings.hideMouse, c.hideMouse);
    EXPECT_EQ(setup.settings.vsync, c.vsync);
    EXPECT_EQ(setup.settings.lightPrePass, -1);
  }
}

TEST_F(Setup, WithoutADisplayTheDialogAnswersCancel) {
  // ZARN_NONINTERACTIVE=1 in the headless suite. Nobody saw a dialog: the run
  // says why it ends.
  ::testing::internal::CaptureStdout();
  EXPECT_EQ(zeReadSetup(file().c_str(), nullptr, nullptr, true), -1);
  const std::string out = ::testing::internal::GetCapturedStdout();
  EXPECT_FALSE(zeEngineRunning());
  EXPECT_NE(out.find("No display settings: \"zarn-setup.ini\" was not found"), std::string::npos) << out;
}

TEST_F(Setup, ScreenModeOptionAnswersFromTheLastConfirmedDialog) {
  EXPECT_EQ(zeScreenModeOption("bpp"), 0);  // before any dialog
  EXPECT_EQ(zeScreenModeOption("width"), 0);
  zeSetScreenModePresenter(confirmWindowed);
  ZeDisplayValues values;
  ASSERT_EQ(zeScreenModeDialog(&values), 0);
  struct Case {
    const char* name;
    int expected;
  } cases[] = {{"BPP", 32},      {"width", 1024},   {"Height", 768}, {"windowed", 1}, {"vsync", 1},
               {"fps", -1},      {"antialias", -1}, {"shaders", -1}, {"stereo", -1},  {"CENTERED", 0},
               {"depth", -1},    {nullptr, -1}};
  for (const Case& c : cases) EXPECT_EQ(zeScreenModeOption(c.name), c.expected) << (c.name ? c.name : "(none)");
  zeSetScreenModePresenter(cancel);
  EXPECT_EQ(zeScreenModeDialog(&values), -1);
  EXPECT_EQ(zeScreenModeOption("width"), 1024);  // a cancelled dialog keeps the last answer
}

TEST_F(Setup, DisplayModeListKeepsDistinct32BitModesSorted) {
  const std::vector<ZeDisplayMode> system = {
      {1920, 1080, 24, 60}, {800, 600, 16, 60},  {1280, 720, 24, 60}, {1280, 720, 32, 75},
      {1024, 768, 32, 60},  {1920, 1080, 32, 50}, {640, 480, 8, 60},
  };
  const std::vector<ZeDisplayMode> modes = zeListDisplayModes(system);
  ASSERT_EQ(modes.size(), 3u);
  EXPECT_EQ(modes[0].width, 1024);
  EXPECT_EQ(modes[1].width, 1280);
  EXPECT_EQ(modes[1].bits, 32);  // the 24-bit visual counts as 32
  EXPECT_EQ(modes[2].width, 1920);
  EXPECT_EQ(zeDisplayModeLabel(modes[0]), "1024 x  768");
  EXPECT_EQ(zeDisplayModeLabel(modes[1]), "1280 x  720 (recommended)");
  EXPECT_EQ(zeInitialDisplayMode(modes, {1920, 1080, 24, 0}), 1);  // recommended first

  const std::vector<ZeDisplayMode> noRecommended = zeListDisplayModes({{1024, 768, 24, 60}, {1920, 1080, 24, 60}});
  EXPECT_EQ(zeInitialDisplayMode(noRecommended, {1920, 1080, 24, 0}), 1);  // the desktop's
  EXPECT_EQ(zeInitialDisplayMode(noRecommended, {800, 600, 24, 0}), -1);

  std::vector<ZeDisplayMode> many;
  for (int i = 0; i < 300; ++i) many.push_back({640 + i, 480, 32, 60});
  EXPECT_EQ(zeListDisplayModes(many).size(), 200u);
}

TEST_F(Setup, ReadSetupStartsTheEngineWithTheMergedValues) {
  write("[Setup]\ndisplay = 320 240\nwindowed = yes\ncamerarange = 1 50\n");
  ASSERT_EQ(zeReadSetup(file().c_str(), dir_.c_str(), nullptr, false), 0);
  ASSERT_TRUE(zeEngineRunning());
  EXPECT_EQ(zeEngineContext().width, 320);
  EXPECT_EQ(zeEngineContext().height, 240);
  EXPECT_FLOAT_EQ(zeEngineContext().camera->getFarValue(), 50.f);
  EXPECT_STREQ(zeGetBaseDirectory(), dir_.c_str());
}

TEST_F(Setup, SetupFileIsReadThroughTheFileHooks) {
  // Found by the file search in the application directory, not the working one.
  write("[Setup]\ndisplay = 400 300\n");
  ZeSetup setup;
  ASSERT_EQ(zeBuildSetup("zarn-setup.ini", dir_.c_str(), nullptr, false, &setup), 0);
  EXPECT_TRUE(setup.fromFile);
  EXPECT_EQ(setup.settings.width, 400);
  // A file that is no ini at all is simply no setup.
  std::ofstream(file(), std::ios::binary) << std::string("\0\x01\x02[", 4);
  ASSERT_EQ(zeBuildSetup(file().c_str(), nullptr, nullptr, false, &setup), 0);
  EXPECT_EQ(setup.settings.width, -1);
}

TEST_F(Setup, SetupFileIsLookedForInTheWorkingDirectoryThenBesideTheProgram) {
  // The order the README states: the working directory first (a project's own
  // setup), then the standard folders, then the program's directory.
  char pattern[] = "/tmp/zarn-cwd-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string workDir = pattern;
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(workDir.c_str()), 0);
  write("[Setup]\ndisplay = 400 300\n");  // beside the program
  ZeSetup setup;
  ASSERT_EQ(zeBuildSetup("zarn-setup.ini", dir_.c_str(), nullptr, false, &setup), 0);
  EXPECT_EQ(setup.settings.width, 400);
  std::ofstream(workDir + "/zarn-setup.ini") << "[Setup]\ndisplay = 500 200\n";
  ASSERT_EQ(zeBuildSetup("zarn-setup.ini", dir_.c_str(), nullptr, false, &setup), 0);
  EXPECT_EQ(setup.settings.width, 500);
  std::remove((workDir + "/zarn-setup.ini").c_str());
  ASSERT_EQ(::chdir(previous), 0);
  ::rmdir(workDir.c_str());
}

TEST_F(Setup, ASyntaxErrorNamesTheSetupFile) {
  write("[Setup]\ndisplay = 400 300\nthis line is no key\n");
  testing::internal::CaptureStdout();
  ZeSetup setup;
  ASSERT_EQ(zeBuildSetup(file().c_str(), nullptr, nullptr, false, &setup), 0);
  const std::string log = testing::internal::GetCapturedStdout();
  EXPECT_FALSE(setup.fromFile);
  EXPECT_NE(log.find("WARN : iniparser: syntax error in " + file() + " (3):"), std::string::npos) << log;
  EXPECT_EQ(log.find("/proc/self/fd"), std::string::npos) << log;
}

// --- Packaged runs -----------------------------------------------------------------

TEST_F(Setup, PackagedRunReadsItsSetupFromTheMountedArchive) {
  const std::string archive = dir_ + "demo.dat";
  const std::vector<std::uint8_t> bytes = zeTestZip({{"zarn-setup.ini", "[Setup]\ndisplay = 321 241\n"}});
  std::ofstream(archive, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  ASSERT_EQ(zeMountArchiveFile(archive.c_str()), 0);  // no device yet: remembered
  ZeSetup setup;
  ASSERT_EQ(zeBuildSetup("zarn-setup.ini", "/", nullptr, true, &setup), 0);
  EXPECT_TRUE(setup.fromFile);
  EXPECT_EQ(setup.settings.width, 321);
  EXPECT_TRUE(zeIsPackaged());  // the mount outlives the borrowed file system

  ASSERT_EQ(zeReadSetup("zarn-setup.ini", "/", nullptr, true), 0);
  EXPECT_EQ(zeEngineContext().width, 321);
  EXPECT_EQ(zeFileExists("zarn-setup.ini"), 1);  // read through the engine's device now
  zeEngineStop();
  zeFilesystemReset(nullptr);
  std::remove(archive.c_str());
}
