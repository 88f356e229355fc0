// The ride camera animator with a scripted clock, keys and cursor: the fixed
// pose, the 60 Hz step, speed, damping, ramp, pitch limits, the key map,
// focus, and collision against the objects of the collision set.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "sceneFixture.h"
#include "scene/CZeSceneNodeAnimatorCamera.h"
#include "scene/zeCamera.h"
#include "scene/zeObject.h"

using namespace irr;

namespace {

class FakeCursor : public gui::ICursorControl {
 public:
  core::position2d<f32> relative{0.5f, 0.5f};
  core::position2d<s32> pixels{0, 0};
  void setVisible(bool) override {}
  bool isVisible() const override { return true; }
  void setPosition(const core::position2d<f32>& p) override { relative = p; }
  void setPosition(f32 x, f32 y) override { relative = core::position2d<f32>(x, y); }
  void setPosition(const core::position2d<s32>&) override {}
  void setPosition(s32, s32) override {}
  const core::position2d<s32>& getPosition() override { return pixels; }
  core::position2d<f32> getRelativePosition() override { return relative; }
  void setReferenceRect(core::rect<s32>*) override {}
};

SEvent keyEvent(EKEY_CODE key, bool down) {
  SEvent e{};
  e.EventType = EET_KEY_INPUT_EVENT;
  e.KeyInput.Key = key;
  e.KeyInput.PressedDown = down;
  return e;
}

SEvent mouseEvent(EMOUSE_INPUT_EVENT what) {
  SEvent e{};
  e.EventType = EET_MOUSE_INPUT_EVENT;
  e.MouseInput.Event = what;
  return e;
}

class RideCameraTest : public ::testing::Test {
 protected:
  void SetUp() override {
    SIrrlichtCreationParameters p;
    p.DriverType = video::EDT_NULL;
    p.LoggingLevel = ELL_NONE;
    device = createDeviceEx(p);
    ASSERT_NE(device, nullptr);
    camera = device->getSceneManager()->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0),
                                                           core::vector3df(0, 0, 100));
    cursor = new FakeCursor;
    ride = new CZeSceneNodeAnimatorCamera(cursor, [this] { return focused; });
    camera->addAnimator(ride);
  }
  void TearDown() override {
    ride->drop();
    cursor->drop();
    device->drop();
  }

  // Animates from `from` to `to` (inclusive) every `frameMs`.
  void run(u32 from, u32 to, u32 frameMs = 16) {
    for (u32 t = from; t <= to; t += frameMs) ride->animateNode(camera, t);
  }
  // A ride mode entered at time 0 with the camera where it stands.
  void startRide(int mode) {
    ride->setMode(mode);
    ride->animateNode(camera, 0);
  }
  core::vector3df position() const { return camera->getPosition(); }
  core::vector3df view() const { return (camera->getTarget() - camera->getAbsolutePosition()).normalize(); }

  IrrlichtDevice* device = nullptr;
  scene::ICameraSceneNode* camera = nullptr;
  FakeCursor* cursor = nullptr;
  CZeSceneNodeAnimatorCamera* ride = nullptr;
  bool focused = true;
};

bool near(const core::vector3df& a, const core::vector3df& b, float tolerance = 1e-3f) {
  return a.getDistanceFrom(b) < tolerance;
}

TEST_F(RideCameraTest, FixedModePlacesTheCameraAtThePoseWithItsBank) {
  struct Case {
    core::vector3df rotation, view, up;
  } cases[] = {
      {{0, 0, 0}, {0, 0, 1}, {0, 1, 0}},
      {{0, 90, 0}, {1, 0, 0}, {0, 1, 0}},                       // heading turns right
      {{45, 0, 0}, {0, -0.70711f, 0.70711f}, {0, 0.70711f, 0.70711f}},  // pitch looks down
  };
  for (const Case& c : cases) {
    ride->setFixedPosition(core::vector3df(1, 2, 3));
    ride->setFixedRotation(c.rotation);
    ride->animateNode(camera, 0);
    EXPECT_TRUE(near(camera->getAbsolutePosition(), core::vector3df(1, 2, 3)));
    EXPECT_TRUE(near(view(), c.view)) << c.rotation.X << " " << c.rotation.Y;
    EXPECT_TRUE(near(core::vector3df(camera->getUpVector()).normalize(), c.up)) << c.rotation.X << " " << c.rotation.Y;
  }
  // Bank turns the up vector about the view.
  ride->setFixedRotation(core::vector3df(0, 0, 90));
  ride->animateNode(camera, 0);
  EXPECT_TRUE(near(view(), core::vector3df(0, 0, 1)));
  EXPECT_NEAR(camera->getUpVector().Y, 0.0f, 1e-4f);
  // Keys do nothing in the fixed mode.
  ride->OnEvent(keyEvent(KEY_UP, true));
  run(0, 500);
  EXPECT_TRUE(near(position(), core::vector3df(1, 2, 3)));
}

TEST_F(RideCameraTest, KeysMoveAlongTheViewAndTheSide) {
  struct Case {
    float heading;
    EKEY_CODE key;
    core::vector3df direction;
  } cases[] = {
      {0, KEY_UP, {0, 0, 1}},     {0, KEY_DOWN, {0, 0, -1}}, {0, KEY_LEFT, {-1, 0, 0}},
      {0, KEY_RIGHT, {1, 0, 0}},  {90, KEY_UP, {1, 0, 0}},   {90, KEY_LEFT, {0, 0, 1}},
  };
  for (const Case& c : cases) {
    ride->setMode(IZeSceneNodeAnimatorCamera::MODE_FIXED);
    ride->setFixedPosition(core::vector3df(0, 0, 0));
    ride->setFixedRotation(core::vector3df(0, c.heading, 0));
    ride->animateNode(camera, 0);
    startRide(IZeSceneNodeAnimatorCamera::MODE_ORBIT);
    ride->OnEvent(keyEvent(c.key, true));
    run(16, 500);
    ride->OnEvent(keyEvent(c.key, false));
    const core::vector3df moved = position();
    EXPECT_GT(moved.getLength(), 1.0f) << c.heading << " key " << c.key;
    EXPECT_TRUE(near(core::vector3df(moved).normalize(), c.direction, 1e-3f)) << c.heading << " key " << c.key;
  }
}

// The step runs at 60 Hz or slower, whatever the frame rate: at 100, 60,
// 30, 20 and 10 frames a second the full speed is the move speed (units per
// millisecond), and the first second covers about the same ground.
TEST_F(RideCameraTest, SpeedDoesNotDependOnTheFrameRate) {
  const u32 frames[] = {16, 10, 33, 50, 100};
  float reference = 0;
  for (u32 frameMs : frames) {
    ride->setMode(IZeSceneNodeAnimatorCamera::MODE_FIXED);
    ride->setFixedPosition(core::vector3df(0, 0, 0));
    ride->setFixedRotation(core::vector3df(0, 0, 0));
    ride->animateNode(camera, 0);
    startRide(IZeSceneNodeAnimatorCamera::MODE_FPS);
    ride->setMoveSpeed(0.01f);
    ride->OnEvent(keyEvent(KEY_UP, true));
    run(frameMs, 1000, frameMs);
    const float firstSecond = position().Z;
    run(1000 + frameMs, 2000, frameMs);
    const float atTwo = position().Z;
    run(2000 + frameMs, 3000, frameMs);
    ride->OnEvent(keyEvent(KEY_UP, false));
    EXPECT_NEAR(position().Z - atTwo, 10.0f, 0.2f) << frameMs << " ms frames";
    if (frameMs == 16) reference = firstSecond;
    EXPECT_NEAR(firstSecond, reference, 0.15f * reference) << frameMs << " ms frames";
  }
}

TEST_F(RideCameraTest, RampDampingAndTheSixteenMillisecondGate) {
  startRide(IZeSceneNodeAnimatorCamera::MODE_ORBIT);
  ride->setMoveSpeed(0.01f);
  ride->OnEvent(keyEvent(KEY_UP, true));
  ride->animateNode(camera, 10);  // under 16 ms: no step
  EXPECT_EQ(position().Z, 0.0f);
  run(16, 100);
  // The first 100 ms climb the ramp: well under full speed (1 unit).
  const float ramped = position().Z;
  EXPECT_GT(ramped, 0.0f);
  EXPECT_LT(ramped, 0.5f);
  run(112, 1000);
  ride->OnEvent(keyEvent(KEY_UP, false));
  const float released = position().Z;
  run(1016, 3000);
  // It glides on (damping) and comes to rest.
  const float glide = position().Z - released;
  EXPECT_GT(glide, 0.3f);
  EXPECT_LT(glide, 1.5f);
  const float rest = position().Z;
  run(3016, 3500);
  EXPECT_NEAR(position().Z, rest, 1e-4f);
}

TEST_F(RideCameraTest, PitchLimits) {
  const float cases[][2] = {{0, 0},     {45, 45},   {88, 88},   {89, 88},    {176, 88},  {177, 272},
                            {271, 272}, {272, 272}, {300, 300}, {-10, 350}, {448, 88}};
  for (const auto& c : cases) EXPECT_FLOAT_EQ(CZeSceneNodeAnimatorCamera::limitPitch(c[0]), c[1]) << c[0];

  // Looking down with the mouse stops at 88 degrees.
  startRide(IZeSceneNodeAnimatorCamera::MODE_FPS);
  for (u32 t = 16; t < 2000; t += 16) {
    cursor->relative = core::position2d<f32>(0.5f, 1.0f);
    ride->OnEvent(mouseEvent(EMIE_MOUSE_MOVED));
    ride->animateNode(camera, t);
  }
  EXPECT_FLOAT_EQ(ride->rideRotation().X, 88.0f);
  EXPECT_LT(view().Y, -0.99f);
}

TEST_F(RideCameraTest, MouseLookPerMode) {
  // FPS: the cursor's distance from the centre turns the camera, which puts
  // the cursor back to the centre. 0.1 x speed 100 x (1 - 0.7) = 3 degrees.
  startRide(IZeSceneNodeAnimatorCamera::MODE_FPS);
  cursor->relative = core::position2d<f32>(0.6f, 0.5f);
  ride->OnEvent(mouseEvent(EMIE_MOUSE_MOVED));
  ride->animateNode(camera, 16);
  EXPECT_NEAR(ride->rideRotation().Y, 3.0f, 1e-3f);
  EXPECT_FLOAT_EQ(cursor->relative.X, 0.5f);
  EXPECT_GT(view().X, 0.0f);  // turned right

  // Orbit: nothing without the left button; the first step of a hold only
  // centres; then the movement between steps turns.
  ride->setMode(IZeSceneNodeAnimatorCamera::MODE_FIXED);
  ride->animateNode(camera, 20);
  startRide(IZeSceneNodeAnimatorCamera::MODE_ORBIT);
  const float heading = ride->rideRotation().Y;
  cursor->relative = core::position2d<f32>(0.8f, 0.5f);
  ride->OnEvent(mouseEvent(EMIE_MOUSE_MOVED));
  run(16, 200);
  EXPECT_FLOAT_EQ(ride->rideRotation().Y, heading);
  ride->OnEvent(mouseEvent(EMIE_LMOUSE_PRESSED_DOWN));
  ride->animateNode(camera, 216);
  EXPECT_FLOAT_EQ(ride->rideRotation().Y, heading);
  EXPECT_FLOAT_EQ(cursor->relative.X, 0.5f);
  cursor->relative = core::position2d<f32>(0.6f, 0.5f);
  ride->OnEvent(mouseEvent(EMIE_MOUSE_MOVED));
  ride->animateNode(camera, 232);
  EXPECT_NEAR(ride->rideRotation().Y, heading + 3.0f, 1e-3f);
}

TEST_F(RideCameraTest, LosingFocusReleasesTheKeysAndAnotherActiveCameraStopsTheRide) {
  startRide(IZeSceneNodeAnimatorCamera::MODE_ORBIT);
  ride->OnEvent(keyEvent(KEY_UP, true));
  focused = false;  // the key-up goes to another window
  run(16, 500);
  EXPECT_EQ(position().Z, 0.0f);
  focused = true;
  run(516, 1000);
  EXPECT_EQ(position().Z, 0.0f);

  ride->OnEvent(keyEvent(KEY_UP, true));
  scene::ICameraSceneNode* other = device->getSceneManager()->addCameraSceneNode(nullptr, {}, {0, 0, 1}, -1, true);
  run(1016, 1500);
  EXPECT_EQ(position().Z, 0.0f);
  device->getSceneManager()->setActiveCamera(camera);
  other->remove();
  run(1516, 2000);
  EXPECT_GT(position().Z, 0.0f);
}

TEST_F(RideCameraTest, AKeyMapReplacesTheArrows) {
  const SCamKeyMap map[] = {{ZE_CAM_FORWARD, KEY_KEY_W}};
  ride->setKeyMap(map, 1);
  startRide(IZeSceneNodeAnimatorCamera::MODE_ORBIT);
  ride->OnEvent(keyEvent(KEY_UP, true));
  run(16, 300);
  EXPECT_EQ(position().Z, 0.0f);
  ride->OnEvent(keyEvent(KEY_KEY_W, true));
  run(316, 600);
  EXPECT_GT(position().Z, 0.0f);
}

// The commands on a started engine: the animator sits on the default camera,
// the scene's camera poses go through it, and collision stops the ride at an
// object of the set until the object is deleted.
class RideCameraEngineTest : public SceneTest {
 protected:
  void SetUp() override {
    zeSetEngineStep(ZeEngineStep::Device, {zeRideCameraStart, zeRideCameraStop});
    SceneTest::SetUp();
    zeForceWindowActive(1);
  }
  void TearDown() override {
    zeForceWindowActive(-1);
    SceneTest::TearDown();
    zeSetEngineStep(ZeEngineStep::Device, {});
  }
};

TEST_F(RideCameraEngineTest, CommandsModesAndCollision) {
  IZeSceneNodeAnimatorCamera* ride = zeRideCamera();
  ASSERT_NE(ride, nullptr);
  EXPECT_EQ(ride->getMode(), IZeSceneNodeAnimatorCamera::MODE_FIXED);
  const int modes[][2] = {{1, 3}, {2, 4}, {0, 2}, {3, 2}, {-1, 2}};
  for (const auto& m : modes) {
    EXPECT_EQ(zeSetCameraMode(m[0]), 0);
    EXPECT_EQ(ride->getMode(), m[1]) << m[0];
  }

  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  EXPECT_EQ(zePositionCamera(0, 0, -2), 0);
  EXPECT_EQ(zeRotateCamera(0, 0, 0), 0);
  EXPECT_TRUE(near(camera->getAbsolutePosition(), core::vector3df(0, 0, -2)));

  cacheStatic("wall.x");  // a cube of side 2 at the origin
  ASSERT_EQ(zeLoadObject(1, "wall.x"), 0);
  zePositionObject(1, 0, 0, 5);
  zeEngineContext().sceneManager->getRootSceneNode()->OnAnimate(0);
  EXPECT_EQ(zeSetObjectCollisionOn(1), 0);
  EXPECT_EQ(zeSetObjectCollisionOn(1), 0);
  EXPECT_EQ(zeCameraCollisionSetSize(), 1);
  EXPECT_EQ(zeSetObjectCollisionOn(7), -1);
  EXPECT_EQ(zeAutomaticCameraCollisionOn(0.2f, 0.0f, 0.0f), 0);

  zeSetCameraMode(2);
  zeSetCameraMoveSpeed(0.01f);
  SEvent up = keyEvent(KEY_UP, true);
  camera->OnEvent(up);
  for (u32 t = 0; t <= 3000; t += 16) camera->OnAnimate(t);
  // Stopped at the wall's face (z = 4) less the ellipsoid's radius.
  EXPECT_GT(camera->getAbsolutePosition().Z, 3.0f);
  EXPECT_LT(camera->getAbsolutePosition().Z, 3.85f);

  // Deleting the object takes it out of the set: the ride goes through.
  zeDeleteObject(1);
  EXPECT_EQ(zeCameraCollisionSetSize(), 0);
  for (u32 t = 3016; t <= 5000; t += 16) camera->OnAnimate(t);
  EXPECT_GT(camera->getAbsolutePosition().Z, 8.0f);
  EXPECT_EQ(zeAutomaticCameraCollisionOff(), 0);
  EXPECT_FALSE(zeCameraCollisionActive());
}

}  // namespace
