// The object viewer on OpenGL (Mesa under Xvfb): its first frame shows the
// object centred on the 0x113366 backdrop, and holding the right arrow key
// turns it, which changes the picture.
#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "scene/zeObject.h"
#include "scene/zeObjectViewer.h"
#include "scene/zeSceneSubsystem.h"

using namespace irr;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;
constexpr int kTurnFrames = 30;

struct Rgb {
  int r, g, b;
};

Rgb pixel(video::IImage* image, int x, int y) {
  const video::SColor c = image->getPixel(x, y);
  return {static_cast<int>(c.getRed()), static_cast<int>(c.getGreen()), static_cast<int>(c.getBlue())};
}

int distance(const Rgb& a, const Rgb& b) { return std::abs(a.r - b.r) + std::abs(a.g - b.g) + std::abs(a.b - b.b); }

const Rgb kBackdrop{0x11, 0x33, 0x66};

// The first frame and the frame after holding the right arrow key.
struct Frames {
  video::IImage* first = nullptr;
  video::IImage* turned = nullptr;
  float yaw = 0;
};

void postRightArrow(bool down) {
  SEvent event{};
  event.EventType = EET_KEY_INPUT_EVENT;
  event.KeyInput.Key = KEY_RIGHT;
  event.KeyInput.PressedDown = down;
  zeEngineContext().device->postEventFromUser(event);
}

struct Capture : IZeObjectViewerHooks {
  Frames& frames;
  explicit Capture(Frames& f) : frames(f) {}
  bool afterFrame(int frame) override;
};

bool Capture::afterFrame(int frame) {
  if (frame == 0) {
    frames.first = zeGetFrameBackend()->readFrame();
    postRightArrow(true);
  }
  if (frame == kTurnFrames) {
    postRightArrow(false);
    frames.turned = zeGetFrameBackend()->readFrame();
    frames.yaw = zeObjectNode(1)->getRotation().Y;
    return false;
  }
  return true;
}

class ViewerGL : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeGLInstall();
    zeInstallMainRenderer();
    zeSceneRegister();
    zeEventReceiver().reset();
    ZeEngineSettings s;
    s.width = kWidth;
    s.height = kHeight;
    s.windowed = 1;
    ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
    ASSERT_TRUE(zeEngineContext().openGL);
    zeForceWindowActive(1);  // no window manager gives focus under Xvfb
  }
  void TearDown() override {
    zeForceWindowActive(-1);
    zeEngineStop();
  }

  Frames run(const char* path) {
    Frames frames;
    Capture hooks(frames);
    EXPECT_EQ(zeRunObjectViewer(path, &hooks), 0);
    return frames;
  }

  // Backdrop in the corners, the object in the centre, and a turned picture
  // that differs from the first.
  void expectCentredAndTurned(Frames& frames, const Rgb* centreColour) {
    ASSERT_NE(frames.first, nullptr);
    ASSERT_NE(frames.turned, nullptr);
    ASSERT_EQ(frames.first->getDimension(), core::dimension2du(kWidth, kHeight));
    for (const auto& corner : {std::pair<int, int>{0, 0}, {kWidth - 1, 0}, {0, kHeight - 1}, {kWidth - 1, kHeight - 1}}) {
      EXPECT_LE(distance(pixel(frames.first, corner.first, corner.second), kBackdrop), 6)
          << "corner " << corner.first << "," << corner.second;
    }
    const Rgb centre = pixel(frames.first, kWidth / 2, kHeight / 2);
    EXPECT_GT(distance(centre, kBackdrop), 60) << "the centre shows the backdrop";
    if (centreColour) {
      EXPECT_LE(distance(centre, *centreColour), 12)
          << "centre " << centre.r << "," << centre.g << "," << centre.b;
    }

    EXPECT_EQ(frames.yaw, -static_cast<float>(kTurnFrames));
    int changed = 0;
    for (int y = 0; y < kHeight; ++y)
      for (int x = 0; x < kWidth; ++x)
        if (distance(pixel(frames.first, x, y), pixel(frames.turned, x, y)) > 24) ++changed;
    EXPECT_GT(changed, kWidth * kHeight / 50) << "turning changed only " << changed << " pixels";
    frames.first->drop();
    frames.turned->drop();
  }
};

}  // namespace

TEST_F(ViewerGL, GeneratedCubeIsCentredOnTheBackdropAndTurnsWithTheRightArrow) {
  char pattern[] = "/tmp/zarn-viewer-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  // A cube of side 2 with outward normals and one orange material: lit head-on
  // by the viewer's light, its front face shows the material's colour.
  std::ofstream(dir + "/cube.mtl") << "newmtl orange\nKa 0 0 0\nKd 0.8 0.4 0.1\nKs 0 0 0\nNs 0\n";
  std::ofstream(dir + "/cube.obj")
      << "mtllib cube.mtl\nusemtl orange\n"
         "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
         "vn 0 0 -1\nvn 0 0 1\nvn 0 -1 0\nvn 0 1 0\nvn -1 0 0\nvn 1 0 0\n"
         "f 1//1 4//1 3//1\nf 1//1 3//1 2//1\nf 5//2 6//2 7//2\nf 5//2 7//2 8//2\n"
         "f 1//3 2//3 6//3\nf 1//3 6//3 5//3\nf 4//4 8//4 7//4\nf 4//4 7//4 3//4\n"
         "f 1//5 5//5 8//5\nf 1//5 8//5 4//5\nf 2//6 3//6 7//6\nf 2//6 7//6 6//6\n";
  Frames frames = run((dir + "/cube.obj").c_str());
  const Rgb orange{204, 102, 25};
  expectCentredAndTurned(frames, &orange);
}

TEST_F(ViewerGL, ExampleObjectIsCentredOnTheBackdropAndTurnsWithTheRightArrow) {
  const char* example = "../../examples/object/example.x";
  if (::access(example, R_OK) != 0) GTEST_SKIP() << "no example object in this tree";
  Frames frames = run(example);
  expectCentredAndTurned(frames, nullptr);
}
