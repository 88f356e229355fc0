// The real `zarn` plays a scene exported from Blender: at two frames the red
// cube covers the pixels Blender's own camera projection gives for it
// (its projected corners' bounds, within 2 pixels at 320x240).
#include <gtest/gtest.h>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <string>
#include <thread>
#include <vector>

#include "app/zeX11FindWindow.h"
#include "blenderScenes.h"
#include "support/programWindow.h"

using namespace zeblender;

namespace {

constexpr int kWidth = 320, kHeight = 240;

struct Shot {
  std::vector<unsigned long> pixels;
  int exitCode = -2;
};

// `zarn scene -paused -framestart frame` in a 320x240 window; its pixels after it settled.
Shot play(const std::string& scene, int frame) {
  Shot shot;
  Display* display = XOpenDisplay(nullptr);
  if (!display) return shot;
  const std::string start = std::to_string(frame);
  const pid_t child = fork();
  if (child == 0) {
    setenv("ZARN_NONINTERACTIVE", "1", 1);
    execl(ZARN_EXECUTABLE, ZARN_EXECUTABLE, "-display", "320x240", "-windowed", "1", scene.c_str(), "-paused",
          "-framestart", start.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  Window window = 0;
  for (int i = 0; i < 200 && !window; ++i) {
    window = zeX11FindWindow(display, DefaultRootWindow(display), "Zarn");
    if (!window) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  if (window) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    shot.pixels = zetest::windowPixels(display, window, kWidth, kHeight);
    zetest::pressKey(display, window, XK_Escape);
  }
  shot.exitCode = zetest::waitExit(child, 10);
  XCloseDisplay(display);
  return shot;
}

TEST(BlenderZarn, TheCubeIsWhereBlendersCameraSeesIt) {
  const std::string folder = makeFolder();
  std::string log;
  ASSERT_TRUE(makeScene(folder, "main", &log)) << log;
  const BlenderRun run = exportScene(folder + "/main.blend", folder + "/scene.zscn");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  Reference reference;
  ASSERT_TRUE(reference.load(folder + "/reference.txt"));

  for (int frame : {13, 37}) {
    SCOPED_TRACE(frame);
    const Shot shot = play(folder + "/scene.zscn", frame);
    ASSERT_EQ(shot.pixels.size(), size_t(kWidth * kHeight)) << "no window titled Zarn";
    EXPECT_EQ(shot.exitCode, 0);
    // The cube glows pure red on a black backdrop; nothing else in view is red.
    int left = kWidth, top = kHeight, right = -1, bottom = -1;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x) {
        const unsigned long p = shot.pixels[size_t(y) * kWidth + size_t(x)];
        const int r = int((p >> 16) & 0xFF), g = int((p >> 8) & 0xFF), b = int(p & 0xFF);
        if (r > 128 && g < 64 && b < 64) {
          left = std::min(left, x), right = std::max(right, x);
          top = std::min(top, y), bottom = std::max(bottom, y);
        }
      }
    ASSERT_GE(right, 0) << "no red pixel";
    // Pixel i covers [i, i + 1): compare the pixels' centres with the projected bounds.
    const std::vector<double>& box = reference.get("box " + std::to_string(frame));
    ASSERT_EQ(box.size(), 4u);
    EXPECT_NEAR(left + 0.5, box[0], 2.0);
    EXPECT_NEAR(top + 0.5, box[1], 2.0);
    EXPECT_NEAR(right + 0.5, box[2], 2.0);
    EXPECT_NEAR(bottom + 0.5, box[3], 2.0);
  }
  removeFolder(folder);
}

}  // namespace
