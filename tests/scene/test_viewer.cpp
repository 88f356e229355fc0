// The object viewer's loop on the NULL driver: its set-up, the arrow keys, the
// wheel and the 30 frames-per-second animation. Pixels are checked in the GL test.
#include <cmath>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "sceneFixture.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeObjectViewer.h"

using namespace irr;

namespace {

// The viewer's frames reach `f(frame)`.
template <typename F>
struct AfterFrame : IZeObjectViewerHooks {
  explicit AfterFrame(F call) : f(std::move(call)) {}
  bool afterFrame(int frame) override { return f(frame); }
  F f;
};

void postKey(EKEY_CODE key, bool down) {
  SEvent event{};
  event.EventType = EET_KEY_INPUT_EVENT;
  event.KeyInput.Key = key;
  event.KeyInput.PressedDown = down;
  zeEngineContext().device->postEventFromUser(event);
}

void postWheel(float steps) {
  SEvent event{};
  event.EventType = EET_MOUSE_INPUT_EVENT;
  event.MouseInput.Event = EMIE_MOUSE_WHEEL;
  event.MouseInput.Wheel = steps;
  zeEngineContext().device->postEventFromUser(event);
}

void postMouse(EMOUSE_INPUT_EVENT kind, int x, int y) {
  SEvent event{};
  event.EventType = EET_MOUSE_INPUT_EVENT;
  event.MouseInput.Event = kind;
  event.MouseInput.X = x;
  event.MouseInput.Y = y;
  zeEngineContext().device->postEventFromUser(event);
}

struct Observed {
  float cameraZ[8] = {};
  float yaw[8] = {};
  float frameNr[8] = {};
  float pitch[8] = {};
  unsigned backdrop = 0;
  bool directional = false;
};

void record(int frame, Observed& seen) {
  seen.cameraZ[frame] = zeEngineContext().camera->getPosition().Z;
  scene::ISceneNode* node = zeObjectNode(1);
  seen.yaw[frame] = node->getRotation().Y;
  seen.pitch[frame] = node->getRotation().X;
  if (node->getType() == scene::ESNT_ANIMATED_MESH)
    seen.frameNr[frame] = static_cast<scene::IAnimatedMeshSceneNode*>(node)->getFrameNr();
}

// Right arrow held after the first frame and let go after the fourth; two
// wheel steps after the fifth.
bool observe(int frame, Observed& seen) {
  record(frame, seen);
  if (frame == 0) {
    seen.backdrop = zeGetBackdropColour();
    seen.directional = zeLightNode(1) && zeLightNode(1)->getLightType() == video::ELT_DIRECTIONAL;
    postKey(KEY_RIGHT, true);
  }
  if (frame == 3) postKey(KEY_RIGHT, false);
  if (frame == 4) postWheel(2);
  return frame < 7;
}

}  // namespace

TEST_F(SceneTest, ViewerTurnsWithTheArrowKeysAndZoomsWithTheWheel) {
  zeEventReceiver().reset();
  cacheStatic("viewer.gen");
  Observed seen;
  AfterFrame hooks([&](int frame) { return observe(frame, seen); });
  ASSERT_EQ(zeRunObjectViewer("viewer.gen", &hooks), 0);

  const float size = std::sqrt(12.0f) / 2;  // radius of the cube of side 2
  EXPECT_EQ(seen.backdrop, 0x113366u);
  EXPECT_TRUE(seen.directional);
  EXPECT_NEAR(seen.cameraZ[0], -1.5f * size, 1e-5);
  EXPECT_EQ(seen.yaw[0], 0.0f);
  EXPECT_EQ(seen.yaw[1], -1.0f);  // one degree per frame while right is held
  EXPECT_EQ(seen.yaw[3], -3.0f);
  EXPECT_EQ(seen.yaw[5], -3.0f);  // released
  EXPECT_NEAR(seen.cameraZ[5], -1.5f * size + 2 * size / 20, 1e-5);  // two wheel steps
  EXPECT_EQ(zeObjectExist(1), 0);  // the viewer deletes its object
}

namespace {

// A drag with the left button turns by half a degree per pixel; the up arrow
// moves the camera back by a fortieth of the size per frame.
bool drag(int frame, Observed& seen) {
  record(frame, seen);
  switch (frame) {
    case 0: postMouse(EMIE_LMOUSE_PRESSED_DOWN, 10, 10); break;  // the drag starts here
    case 1: postMouse(EMIE_MOUSE_MOVED, 30, 16); break;          // 20 px right, 6 px down
    case 2: postMouse(EMIE_LMOUSE_LEFT_UP, 30, 16); break;
    case 3:
      postMouse(EMIE_MOUSE_MOVED, 90, 90);  // no button: no turn
      postKey(KEY_UP, true);
      break;
    case 5: postKey(KEY_UP, false); break;
  }
  return frame < 7;
}

}  // namespace

TEST_F(SceneTest, ViewerTurnsWithALeftButtonDragAndMovesWithTheUpArrow) {
  zeEventReceiver().reset();
  cacheStatic("drag.gen");
  Observed seen;
  AfterFrame hooks([&](int frame) { return drag(frame, seen); });
  ASSERT_EQ(zeRunObjectViewer("drag.gen", &hooks), 0);
  EXPECT_EQ(seen.yaw[1], 0.0f);  // the press only starts the drag
  EXPECT_EQ(seen.yaw[2], -10.0f);
  EXPECT_EQ(seen.pitch[2], -3.0f);
  EXPECT_EQ(seen.yaw[6], -10.0f);
  EXPECT_EQ(seen.pitch[6], -3.0f);
  const float size = std::sqrt(12.0f) / 2;
  EXPECT_NEAR(seen.cameraZ[5], -1.5f * size - 2 * size / 40, 1e-5);  // up held for two frames
  EXPECT_NEAR(seen.cameraZ[6], seen.cameraZ[5], 1e-6);
}

TEST_F(SceneTest, ViewerAnimatesObjectsWithFrames) {
  zeEventReceiver().reset();
  cacheAnimated("walk.gen", 5);
  Observed seen;
  AfterFrame hooks([&](int frame) {
    zeSleep(15);
    return observe(frame, seen);
  });
  ASSERT_EQ(zeRunObjectViewer("walk.gen", &hooks), 0);
  // 5 frames loop in 166 ms; 8 frames of at least 15 ms each move the
  // animation on, and it stays inside the loop.
  int changes = 0;
  for (int i = 0; i < 8; ++i) {
    EXPECT_GE(seen.frameNr[i], 0.0f);
    EXPECT_LT(seen.frameNr[i], 5.0f);
    if (i > 0 && seen.frameNr[i] != seen.frameNr[i - 1]) ++changes;
  }
  EXPECT_GE(changes, 4);
}

TEST_F(SceneTest, ViewerRefusesAnObjectItCannotLoad) {
  EXPECT_EQ(zeObjectViewer("missing/thing.x"), -1);
  ASSERT_FALSE(shownBoxes.empty());
  EXPECT_EQ(shownBoxes.back(), "Failed to load object missing/thing.x\n");
}
