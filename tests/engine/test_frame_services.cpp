// Frame services on the NULL driver: the begin/end state machine and its
// warnings, frame hooks, clock, screen values, mouse clamps, screenshot
// failure, shader hot reload and the device-lost exit.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/IZeRenderer.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"

namespace {

// Reads what the message channel wrote to its log file during a test.
class LogCapture {
 public:
  LogCapture() : path_("/tmp/zarn-frame-log-" + std::to_string(::getpid())) {
    std::remove(path_.c_str());
    setenv("ZARN_LOG_FILE", path_.c_str(), 1);
  }
  ~LogCapture() {
    unsetenv("ZARN_LOG_FILE");
    std::remove(path_.c_str());
  }
  std::string text() const {
    std::ifstream in(path_);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
  }

 private:
  std::string path_;
};

std::string calls;

// The main renderer notes each frame it is asked for, with its clear colour.
class RecordingRenderer : public IZeRenderer {
 public:
  bool render(const SZeRenderFrame& frame) override {
    calls += "render(" + std::to_string(frame.clearColour.color & 0xFFFFFF) + (frame.clear ? "" : ", no clear") + ")";
    return true;
  }
};
IZeRenderer* makeRecordingRenderer(ZeEngineContext&, char*) { return new RecordingRenderer; }

class FrameServices : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeSetFrameHooks({});
    zeSetMainRendererFactory(makeRecordingRenderer);
    ASSERT_EQ(zeEngineStart(ZeEngineSettings()), 0);
  }
  void TearDown() override {
    zeEngineStop();
    zeSetFrameHooks({});
  }
};

void queueHook() { calls += "2d "; }
void discardHook() { calls += "discard "; }
void completedHook() { calls += "done "; }

}  // namespace

TEST_F(FrameServices, SyncRunsTheFrameStepsInOrderEveryTime) {
  calls.clear();
  zeSetFrameHooks({queueHook, discardHook, completedHook, nullptr});
  zeSetBackdropColour(0xFF113366);  // only the low 24 bits count
  zeSync();
  zeSync();
  EXPECT_EQ(calls, "render(1127270)2d done render(1127270)2d done ");
  EXPECT_FALSE(zeInsideFrame());
}

TEST_F(FrameServices, EndingWithoutABeginWarnsAndBeginTwiceKeepsOneFrame) {
  LogCapture log;
  zeEndRendering();
  EXPECT_NE(log.text().find("WARN : endRendering called while not in Rendering"), std::string::npos);

  ASSERT_TRUE(zeBeginRendering());
  ASSERT_TRUE(zeBeginRendering());  // already inside: no second begin
  EXPECT_TRUE(zeInsideFrame());
  zeEndRendering();
  EXPECT_FALSE(zeInsideFrame());
  const std::string before = log.text();
  zeEndRendering();
  EXPECT_GT(log.text().size(), before.size());
}

TEST_F(FrameServices, ScreenValuesComeFromTheDriver) {
  EXPECT_EQ(zeScreenWidth(), 640);
  EXPECT_EQ(zeScreenHeight(), 480);
  EXPECT_EQ(zeScreenDepth(), 16);  // the NULL driver's frame is A1R5G5B5
  EXPECT_FALSE(zeWindowMode());
  // The NULL driver has no window: the window commands do nothing.
  zeShowWindow();
  zeHideWindow();
  zeMaximizeWindow();
  zeMinimizeWindow();
  zeRestoreWindow();
  zeForceWindowActive(1);
  EXPECT_TRUE(zeIsWindowActive());
  zeForceWindowActive(0);
  EXPECT_FALSE(zeIsWindowActive());
  zeForceWindowActive(-1);
}

TEST_F(FrameServices, TimerStartsAtZeroAndAdvances) {
  const unsigned first = zeTimer();
  zeSleep(20);
  const unsigned later = zeTimer();
  EXPECT_LE(first, 5u);  // the first call is 0 unless another test ran before in this process
  EXPECT_GE(later - first, 15u);
}

TEST_F(FrameServices, MousePositionIsClampedToTheClientArea) {
  struct Case {
    int value, size, expected;
  } cases[] = {{-5, 640, -1}, {-1, 640, -1}, {0, 640, 0}, {639, 640, 639}, {640, 640, 640}, {2000, 640, 640}};
  for (const Case& c : cases) EXPECT_EQ(zeClampToClient(c.value, c.size), c.expected) << c.value;

  // Without a window the receiver's last position is used.
  irr::SEvent e{};
  e.EventType = irr::EET_MOUSE_INPUT_EVENT;
  e.MouseInput.Event = irr::EMIE_MOUSE_MOVED;
  e.MouseInput.X = 12;
  e.MouseInput.Y = 34;
  zeEngineContext().device->postEventFromUser(e);
  int x = 0, y = 0;
  zeMousePosition(&x, &y);
  EXPECT_EQ(x, 12);
  EXPECT_EQ(y, 34);
}

TEST_F(FrameServices, ScreenShotWithoutAFrameToReadFailsWithArgumentOne) {
  EXPECT_EQ(zeScreenShot("/tmp/zarn-never-written.png"), -1);
  int value = 0;
  const char* text = zeGetLastError(&value);
  ASSERT_NE(text, nullptr);
  EXPECT_STREQ(text, "failed to grab the screen\n");
  EXPECT_EQ(value, 1);
}

namespace {
std::string recompiled;
void recompileHook(int count, const char* const* paths) {
  for (int i = 0; i < count; ++i) recompiled += std::string(paths[i]) + ";";
}
}  // namespace

TEST_F(FrameServices, ShaderHotReloadNormalisesPathsAndLogsAroundTheRecompile) {
  recompiled.clear();
  ZeFrameHooks hooks;
  hooks.recompileShaders = recompileHook;
  zeSetFrameHooks(hooks);
  LogCapture log;
  zeShaderHotReload(0, nullptr);
  EXPECT_EQ(log.text(), "");
  const char* paths[] = {"shaders\\Lpp.hlsl", "shadersPP/Dof.hlsl"};
  zeShaderHotReload(2, paths);
  EXPECT_EQ(recompiled, "shaders/Lpp.hlsl;shadersPP/Dof.hlsl;");
  EXPECT_EQ(log.text(),
            "INFO : detected file change shaders/Lpp.hlsl\n"
            "INFO : detected file change shadersPP/Dof.hlsl\n"
            "INFO : updating shaders...\n"
            "INFO : updating shaders done\n");
}

TEST_F(FrameServices, LostDeviceAfterRenderToTextureFailsTheFrameAndSaysWhy) {
  // Before any render-to-texture a lost device does not end the run.
  calls.clear();
  zeSetDeviceLost(true);
  EXPECT_EQ(zeSync(), 0);
  EXPECT_EQ(calls, "render(0)");
  zeNoteRenderToTextureDone();
  zeSetDeviceLost(true);
  calls.clear();
  EXPECT_EQ(zeSync(), -1);
  EXPECT_EQ(calls, "");  // nothing drawn, and the process goes on for its front end to end
  int value = 0;
  const char* text = zeGetLastError(&value);
  EXPECT_STREQ(text ? text : "", "Graphic Device lost, cannot re-create rendered textures, exiting");
  EXPECT_EQ(value, -1);
  EXPECT_TRUE(zeEngineRunning());
}
