// The executable end to end: `zarn <scene> -paused -framestart N` in a window
// of its own, its pixels read back from the X server.
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/keysym.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "app/zeX11FindWindow.h"
#include "support/programWindow.h"
#include "viewerFiles.h"

namespace {

using namespace zetest;

constexpr int kWidth = 160, kHeight = 120;

using Picture = std::vector<unsigned long>;

// One run of the viewer: the pictures taken after `settle`, between which
// `between` runs; ends it with Escape and gives its exit code.
struct ViewerRun {
  std::vector<Picture> pictures;
  int exitCode = -2;
};

// The viewer's window during a run, for `between` to look at.
Window viewerWindow = 0;

ViewerRun view(const std::vector<std::string>& arguments, int pictures, void (*between)(const std::string&),
         const std::string& scene) {
  ViewerRun run;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return run;
  const pid_t child = fork();
  if (child == 0) {
    setenv("ZARN_NONINTERACTIVE", "1", 1);
    std::vector<char*> argv{const_cast<char*>(ZARN_EXECUTABLE)};
    for (const std::string& a : arguments) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(ZARN_EXECUTABLE, argv.data());
    _exit(127);
  }
  Window window = 0;
  for (int i = 0; i < 200 && !window; ++i) {
    window = zeX11FindWindow(display, DefaultRootWindow(display), "Zarn");
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  viewerWindow = window;
  if (!window) {
    run.exitCode = waitExit(child, 0);
    XCloseDisplay(display);
    return run;
  }
  for (int p = 0; p < pictures; ++p) {
    if (p > 0 && between) between(scene);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    run.pictures.push_back(windowPixels(display, window, kWidth, kHeight));
  }
  pressKey(display, window, XK_Escape);
  run.exitCode = waitExit(child, 10);
  XCloseDisplay(display);
  return run;
}

std::vector<std::string> pausedAt(const std::string& scene, int frame) {
  return {"-display", "160x120", "-windowed", "1", "-userlog", scene, "-paused", "-framestart", std::to_string(frame)};
}

int channel(unsigned long pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

// Pixels below the HUD (rows 30 on) that differ by more than 40 in a channel.
int changedBelowHud(const Picture& a, const Picture& b) {
  int changed = 0;
  for (int i = 30 * kWidth; i < kWidth * kHeight; ++i)
    for (int shift : {0, 8, 16})
      if (std::abs(channel(a[i], shift) - channel(b[i], shift)) > 40) {
        ++changed;
        break;
      }
  return changed;
}

class ZarnScene : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = copyExampleScene();
    scene_ = folder_ + "/example.zscn";
  }
  void TearDown() override { removeFolder(folder_); }
  std::string folder_, scene_;
};

}  // namespace

TEST_F(ZarnScene, TwoFramesShowTheMovingObjectAtTwoPlacesWithTheHudAbove) {
  const ViewerRun first = view(pausedAt(scene_, 0), 1, nullptr, scene_);
  const ViewerRun last = view(pausedAt(scene_, 100), 1, nullptr, scene_);
  ASSERT_EQ(first.pictures.size(), 1u) << "no window titled Zarn";
  ASSERT_EQ(last.pictures.size(), 1u);
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(last.exitCode, 0);
  EXPECT_GT(changedBelowHud(first.pictures[0], last.pictures[0]), 50) << "the object moved";

  // The HUD: white text over the top-left corner, none further down.
  auto white = [](const Picture& p, int y0, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = 0; x < 120; ++x) count += p[y * kWidth + x] == 0xFFFFFFul;
    return count;
  };
  EXPECT_GT(white(first.pictures[0], 0, 28), 40);
  EXPECT_GT(white(last.pictures[0], 0, 28), 40);
}

TEST_F(ZarnScene, ASavedLightColourChangesThePictureWhileItPlaysOn) {
  auto save = [](const std::string& scene) { writeFile(scene, withoutRedLight(readFile(scene))); };
  std::vector<std::string> arguments = pausedAt(scene_, 50);
  arguments.push_back("-syncupdate");
  const ViewerRun run = view(arguments, 2, save, scene_);
  ASSERT_EQ(run.pictures.size(), 2u) << "no window titled Zarn";
  EXPECT_EQ(run.exitCode, 0);
  long redBefore = 0, redAfter = 0;
  for (int i = 30 * kWidth; i < kWidth * kHeight; ++i) {
    redBefore += channel(run.pictures[0][i], 16);
    redAfter += channel(run.pictures[1][i], 16);
  }
  EXPECT_LT(redAfter, redBefore * 9 / 10) << "less red once the lights lost theirs";
}

TEST_F(ZarnScene, ZarnSyncMovesTheFrame) {
  auto sync = [](const std::string&) {
    const std::string command = std::string(ZARN_SYNC) + " 100";
    if (std::system(command.c_str()) != 0) ADD_FAILURE() << "zarn-sync failed";
  };
  std::vector<std::string> arguments = pausedAt(scene_, 0);
  arguments.push_back("-syncupdate");
  const ViewerRun run = view(arguments, 2, sync, scene_);
  ASSERT_EQ(run.pictures.size(), 2u) << "no window titled Zarn";
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_GT(changedBelowHud(run.pictures[0], run.pictures[1]), 50) << "frame 100 is shown";
  const std::string outside = std::string(ZARN_SYNC) + " 12x > /dev/null 2>&1";
  EXPECT_NE(std::system(outside.c_str()), 0) << "not a frame number";
}

TEST_F(ZarnScene, ABrokenSceneExitsNonZeroAndBinaryConversionWritesBesideIt) {
  writeFile(folder_ + "/broken.zscn", "this is no scene\n");
  const std::string command = std::string("ZARN_NONINTERACTIVE=1 timeout 60 ") + ZARN_EXECUTABLE +
                              " -display 160x120 -windowed 1 -userlog " + folder_ + "/broken.zscn 2>&1";
  FILE* out = popen(command.c_str(), "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buffer[256];
  while (std::fgets(buffer, sizeof buffer, out)) text += buffer;
  const int status = pclose(out);
  EXPECT_NE(WEXITSTATUS(status), 0);
  EXPECT_NE(text.find("Failed to load scene"), std::string::npos) << text;

  const std::string convert = std::string(ZARN_EXECUTABLE) + " -binary " + scene_ + " > /dev/null";
  EXPECT_EQ(std::system(convert.c_str()), 0);
  EXPECT_EQ(::access((scene_ + ".bin").c_str(), R_OK), 0);
  const std::string broken = std::string(ZARN_EXECUTABLE) + " -binary " + folder_ + "/broken.zscn > /dev/null";
  EXPECT_NE(std::system(broken.c_str()), 0);
}

// Following Layout: the viewer's window is owned by the window whose title
// names Layout, or asks to stay above the others with -nolwchild.
TEST_F(ZarnScene, FollowingLayoutTheWindowIsOwnedByLayoutOrKeptAbove) {
  Display* display = XOpenDisplay(nullptr);
  ASSERT_NE(display, nullptr);
  auto topLevel = [display](const char* title) {
    Window w = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 40, 30, 0, 0, 0);
    XStoreName(display, w, title);
    XMapWindow(display, w);
    return w;
  };
  // A shell showing the program's name is not Layout; the next window is.
  const Window decoy = topLevel("LightWave NewTek Layout.exe - shell");
  const Window layout = topLevel("LightWave 3D 2020 - NewTek - Layout [scene]");
  XSync(display, False);

  static Window owner = 0;
  static bool above = false;
  auto look = [](const std::string&) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    Window w = 0;
    owner = XGetTransientForHint(d, viewerWindow, &w) ? w : 0;
    Atom type;
    int format;
    unsigned long count = 0, after;
    unsigned char* data = nullptr;
    above = false;
    const Atom state = XInternAtom(d, "_NET_WM_STATE", False), aboveAtom = XInternAtom(d, "_NET_WM_STATE_ABOVE", False);
    if (XGetWindowProperty(d, viewerWindow, state, 0, 16, False, AnyPropertyType, &type, &format, &count, &after,
                           &data) == Success && data) {
      for (unsigned long i = 0; i < count; ++i) above = above || reinterpret_cast<Atom*>(data)[i] == aboveAtom;
      XFree(data);
    }
    XCloseDisplay(d);
  };
  std::vector<std::string> arguments = pausedAt(scene_, 0);
  arguments.push_back("-syncupdate");
  ViewerRun run = view(arguments, 2, look, scene_);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(owner, layout);
  EXPECT_FALSE(above);

  arguments.push_back("-nolwchild");
  run = view(arguments, 2, look, scene_);
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(owner, 0ul);
  EXPECT_TRUE(above);

  XDestroyWindow(display, decoy);
  XDestroyWindow(display, layout);
  XCloseDisplay(display);
}

// -ride: the ride's HUD lines over their own box under the clock, and the up
// arrow flies the camera forward while the scene stays paused.
TEST_F(ZarnScene, RideShowsItsHudAndTheUpArrowFliesTheCamera) {
  auto fly = [](const std::string&) {
    Display* d = XOpenDisplay(nullptr);
    if (!d) return;
    // No window manager under Xvfb gives the window the focus the ride needs.
    XSetInputFocus(d, viewerWindow, RevertToParent, CurrentTime);
    sendKey(d, viewerWindow, XK_Up, true);
    XCloseDisplay(d);
  };
  std::vector<std::string> arguments = pausedAt(scene_, 50);
  arguments.push_back("-ride");
  const ViewerRun run = view(arguments, 2, fly, scene_);
  ASSERT_EQ(run.pictures.size(), 2u) << "no window titled Zarn";
  EXPECT_EQ(run.exitCode, 0);
  const ViewerRun still = view(pausedAt(scene_, 50), 1, nullptr, scene_);
  ASSERT_EQ(still.pictures.size(), 1u);

  auto whiteIn = [](const Picture& p, int x0, int x1, int y0, int y1) {
    int count = 0;
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x) count += p[y * kWidth + x] == 0xFFFFFFul;
    return count;
  };
  EXPECT_GT(whiteIn(run.pictures[0], 0, 90, 30, 60), 40) << "position and angles under the clock";
  EXPECT_EQ(whiteIn(still.pictures[0], 0, 90, 30, 60), 0);
  int moved = 0;
  for (int i = 60 * kWidth; i < kWidth * kHeight; ++i)
    for (int shift : {0, 8, 16})
      if (std::abs(channel(run.pictures[0][i], shift) - channel(run.pictures[1][i], shift)) > 40) {
        ++moved;
        break;
      }
  EXPECT_GT(moved, 50) << "the camera flew on while the scene stayed paused";
}
