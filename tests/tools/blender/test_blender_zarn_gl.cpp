// The real `zarn` plays a scene exported from Blender: at two frames the red
// cube covers the pixels Blender's own camera projection gives for it
// (its projected corners' bounds, within 2 pixels at 320x240), shaded by
// its exported surface.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "blenderScenes.h"
#include "support/programWindow.h"

using namespace zeblender;

namespace {

constexpr int kWidth = 320, kHeight = 240;

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
    const zetest::ViewerShot shot =
        zetest::viewPausedAt(ZARN_EXECUTABLE, folder + "/scene.zscn", frame, kWidth, kHeight);
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
    // The exported surface (full red emission: luminosity 1) shades it red;
    // its specular (0.4) may add a faint white highlight.
    const unsigned long centre = shot.pixels[size_t((top + bottom) / 2) * kWidth + size_t((left + right) / 2)];
    EXPECT_GE(int((centre >> 16) & 0xFF), 250);
    EXPECT_LE(int((centre >> 8) & 0xFF), 8);
    EXPECT_LE(int(centre & 0xFF), 8);
  }
  removeFolder(folder);
}

}  // namespace
