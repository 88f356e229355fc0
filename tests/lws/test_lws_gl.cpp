// `zarn scene.lws` end to end: the viewer shows the scene's two LightWave
// objects through its moving camera, and two frames place them where the
// camera's envelope says.
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
#include <string>
#include <thread>
#include <vector>

#include "app/zeX11FindWindow.h"
#include "support/programWindow.h"

namespace {

using namespace zetest;

constexpr int kWidth = 160, kHeight = 120;

using Shot = ViewerShot;

// The paused viewer at `frame`, read back from the X server, then Escape.
Shot viewAt(const std::string& scene, int frame) {
  return viewPausedAt(ZARN_EXECUTABLE, scene, frame, kWidth, kHeight);
}

// Pixels below the HUD where one channel (shift 16 red, 8 green) clearly leads:
// their count and mean column.
struct Blob {
  int count = 0;
  double x = -1;
};
Blob blob(const Shot& s, int shift) {
  Blob b;
  double sum = 0;
  for (int y = 30; y < kHeight; ++y)
    for (int x = 0; x < kWidth; ++x) {
      const unsigned long p = s.pixels[static_cast<size_t>(y * kWidth + x)];
      const int lead = static_cast<int>((p >> shift) & 0xFF);
      const int other = static_cast<int>(std::max((p >> (shift == 16 ? 8 : 16)) & 0xFF, p & 0xFF));
      if (lead > 90 && lead > 2 * other) {
        ++b.count;
        sum += x;
      }
    }
  if (b.count) b.x = sum / b.count;
  return b;
}

}  // namespace

TEST(ZarnLws, TheViewerShowsBothObjectsThroughTheMovingCamera) {
  char folder[] = "/tmp/zarn-lws-gl-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  ASSERT_EQ(std::system(("cp -r data/Scenes data/Objects " + std::string(folder)).c_str()), 0);
  const std::string scene = std::string(folder) + "/Scenes/two_boxes.lws";

  const Shot first = viewAt(scene, 0);
  const Shot last = viewAt(scene, 30);
  std::system(("rm -rf " + std::string(folder)).c_str());
  ASSERT_EQ(first.pixels.size(), static_cast<size_t>(kWidth * kHeight)) << "no window titled Zarn";
  ASSERT_EQ(last.pixels.size(), static_cast<size_t>(kWidth * kHeight));
  EXPECT_EQ(first.exitCode, 0);
  EXPECT_EQ(last.exitCode, 0);

  // Frame 0: camera at x 0, six metres back; red box at -1.5, green at +1.5,
  // so they sit symmetrically about the middle column, 3 m apart.
  const Blob red0 = blob(first, 16), green0 = blob(first, 8);
  EXPECT_GT(red0.count, 150);
  EXPECT_GT(green0.count, 150);
  EXPECT_LT(red0.x, 80);
  EXPECT_NEAR(red0.x + green0.x, 160, 6);
  // Frame 30: the camera's linear key has carried it 2.5 m to the right, so
  // the green box moves left by 2.5/3 of the boxes' distance at frame 0 and
  // the red one leaves the picture (its side face may linger at the edge).
  const double pixelsPerMetre = (green0.x - red0.x) / 3.0;
  const Blob red30 = blob(last, 16), green30 = blob(last, 8);
  EXPECT_LT(red30.count, red0.count / 3);
  EXPECT_GT(green30.count, 150);
  EXPECT_NEAR(green30.x, green0.x - 2.5 * pixelsPerMetre, 8);
}

TEST(ZarnLws, BinaryConversionWritesTheConvertedSceneBesideIt) {
  char folder[] = "/tmp/zarn-lws-bin-XXXXXX";
  ASSERT_NE(mkdtemp(folder), nullptr);
  ASSERT_EQ(std::system(("cp -r data/Scenes data/Objects " + std::string(folder)).c_str()), 0);
  const std::string scene = std::string(folder) + "/Scenes/two_boxes.lws";
  const std::string command = std::string(ZARN_EXECUTABLE) + " -binary " + scene + " > /dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0);
  FILE* in = std::fopen((scene + ".bin").c_str(), "rb");
  ASSERT_NE(in, nullptr);
  std::string bytes;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, in)) > 0;) bytes.append(buffer, n);
  std::fclose(in);
  std::system(("rm -rf " + std::string(folder)).c_str());
  EXPECT_EQ(bytes.compare(0, 4, "FORM"), 0);
  EXPECT_NE(bytes.find("../Objects/green_box.lwo"), std::string::npos);
}
