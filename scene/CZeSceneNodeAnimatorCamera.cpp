#include "scene/CZeSceneNodeAnimatorCamera.h"

#include <cmath>
#include <utility>

using namespace irr;

namespace {

const SCamKeyMap kDefaultKeys[] = {{ZE_CAM_FORWARD, KEY_UP},
                                   {ZE_CAM_BACKWARD, KEY_DOWN},
                                   {ZE_CAM_STRAFE_LEFT, KEY_LEFT},
                                   {ZE_CAM_STRAFE_RIGHT, KEY_RIGHT},
                                   {ZE_CAM_JUMP, KEY_RCONTROL}};

core::vector3df rotated(const core::vector3df& degrees, core::vector3df v) {
  core::matrix4 m;
  m.setRotationDegrees(degrees);
  m.rotateVect(v);
  return v;
}

float wrap360(float degrees) {
  float a = std::fmod(degrees, 360.0f);
  return a < 0.0f ? a + 360.0f : a;
}

}  // namespace

CZeSceneNodeAnimatorCamera::CZeSceneNodeAnimatorCamera(gui::ICursorControl* cursor, std::function<bool()> focused,
                                                       f32 rotateSpeed, f32 moveSpeed, f32 jumpSpeed,
                                                       const SCamKeyMap* keyMap, u32 keyMapSize,
                                                       bool noVerticalMovement, bool invertMouse)
    : cursor_(cursor),
      focused_(std::move(focused)),
      rotateSpeed_(rotateSpeed),
      moveSpeed_(moveSpeed),
      jumpSpeed_(jumpSpeed),
      verticalFactor_(invertMouse ? -1.0f : 1.0f),
      noVerticalMovement_(noVerticalMovement) {
  if (cursor_) cursor_->grab();
  setKeyMap(keyMap, keyMapSize);
}

CZeSceneNodeAnimatorCamera::~CZeSceneNodeAnimatorCamera() {
  if (cursor_) cursor_->drop();
}

scene::ISceneNodeAnimator* CZeSceneNodeAnimatorCamera::createClone(scene::ISceneNode*, scene::ISceneManager*) {
  auto* clone = new CZeSceneNodeAnimatorCamera(cursor_, focused_, rotateSpeed_, moveSpeed_, jumpSpeed_, keyMap_,
                                               keyMapSize_, noVerticalMovement_, verticalFactor_ < 0.0f);
  clone->mode_ = mode_;
  clone->fixedPosition_ = fixedPosition_;
  clone->fixedRotation_ = fixedRotation_;
  return clone;
}

void CZeSceneNodeAnimatorCamera::setKeyMap(const SCamKeyMap* map, u32 count) {
  if (!map || count == 0) {
    map = kDefaultKeys;
    count = sizeof kDefaultKeys / sizeof kDefaultKeys[0];
  }
  const u32 room = sizeof keyMap_ / sizeof keyMap_[0];
  keyMapSize_ = count < room ? count : room;
  for (u32 i = 0; i < keyMapSize_; ++i) keyMap_[i] = map[i];
  for (bool& a : actions_) a = false;
}

void CZeSceneNodeAnimatorCamera::setMode(int mode) {
  const int m = (mode == MODE_FPS || mode == MODE_ORBIT) ? mode : MODE_FIXED;
  if (m == mode_) return;
  mode_ = m;
  resetPending_ = true;
}

// Only the fixed mode starts over when its pose changes: the scene keeps
// setting it while the user rides, and a reset there would hold the
// acceleration ramp at zero.
void CZeSceneNodeAnimatorCamera::setFixedPosition(const core::vector3df& position) {
  fixedPosition_ = position;
  if (mode_ == MODE_FIXED) resetPending_ = true;
}

void CZeSceneNodeAnimatorCamera::setFixedRotation(const core::vector3df& degrees) {
  fixedRotation_ = degrees;
  if (mode_ == MODE_FIXED) resetPending_ = true;
}

void CZeSceneNodeAnimatorCamera::placeFixed(scene::ICameraSceneNode* camera) {
  if (!camera) return;
  camera->setPosition(fixedPosition_);
  camera->updateAbsolutePosition();
  camera->setUpVector(rotated(fixedRotation_, core::vector3df(0, 1, 0)));
  camera->setTarget(camera->getAbsolutePosition() + rotated(fixedRotation_, core::vector3df(0, 0, 1)));
}

float CZeSceneNodeAnimatorCamera::limitPitch(float pitch) {
  const float p = wrap360(pitch);
  if (p > 2.0f * kMaxPitch && p < 360.0f - kMaxPitch) return 360.0f - kMaxPitch;
  if (p > kMaxPitch && p <= 2.0f * kMaxPitch) return kMaxPitch;
  return p;
}

bool CZeSceneNodeAnimatorCamera::OnEvent(const SEvent& event) {
  if (event.EventType == EET_MOUSE_INPUT_EVENT) {
    switch (event.MouseInput.Event) {
      case EMIE_LMOUSE_PRESSED_DOWN: leftButton_ = true; break;
      case EMIE_LMOUSE_LEFT_UP: leftButton_ = false; break;
      case EMIE_MOUSE_MOVED: cursorNow_ = readCursor(); break;
      default: break;
    }
  } else if (event.EventType == EET_KEY_INPUT_EVENT) {
    for (u32 i = 0; i < keyMapSize_; ++i)
      if (keyMap_[i].key == event.KeyInput.Key) actions_[keyMap_[i].action] = event.KeyInput.PressedDown;
  }
  // Never consumed: the viewer reads the same keys.
  return false;
}

core::vector2df CZeSceneNodeAnimatorCamera::readCursor() const {
  if (!cursor_) return core::vector2df(0.5f, 0.5f);
  const core::position2d<f32> p = cursor_->getRelativePosition();
  return core::vector2df(p.X, p.Y);
}

void CZeSceneNodeAnimatorCamera::centreCursor() {
  if (cursor_) cursor_->setPosition(0.5f, 0.5f);
  cursorNow_ = cursorBefore_ = core::vector2df(0.5f, 0.5f);
}

void CZeSceneNodeAnimatorCamera::reset(scene::ICameraSceneNode* camera, u32 timeMs) {
  lastStep_ = moveStart_ = timeMs;
  rotationVelocity_ = core::vector2df(0, 0);
  moveVelocity_ = core::vector3df(0, 0, 0);
  // The ride goes on from wherever the camera looks now, upright.
  camera->updateAbsolutePosition();
  rotation_ = (camera->getTarget() - camera->getAbsolutePosition()).getHorizontalAngle();
  rotation_.X = limitPitch(rotation_.X);
  rotation_.Z = 0;
  camera->setUpVector(core::vector3df(0, 1, 0));
  if (mode_ == MODE_FPS) centreCursor();
  cursorNow_ = cursorBefore_ = readCursor();
  leftHeld_ = false;
  resetPending_ = false;
}

void CZeSceneNodeAnimatorCamera::animateNode(scene::ISceneNode* node, u32 timeMs) {
  if (!node || node->getType() != scene::ESNT_CAMERA) return;
  auto* camera = static_cast<scene::ICameraSceneNode*>(node);
  if (mode_ == MODE_FIXED) {
    placeFixed(camera);
    resetPending_ = false;
    return;
  }
  if (resetPending_) {
    reset(camera, timeMs);
    return;
  }
  const double now = timeMs;
  if (focused_ && !focused_()) {
    // Keys released while away would otherwise stay held.
    for (bool& a : actions_) a = false;
    leftButton_ = leftHeld_ = false;
    hadFocus_ = false;
    lastStep_ = now;
    return;
  }
  if (!hadFocus_) {
    hadFocus_ = true;
    cursorNow_ = cursorBefore_ = readCursor();
  }
  scene::ISceneManager* manager = camera->getSceneManager();
  if (!camera->isInputReceiverEnabled() || (manager && manager->getActiveCamera() != camera)) {
    lastStep_ = now;
    return;
  }
  if (now - lastStep_ < 16.0) return;
  // Whole steps up to one step before now (a step that ends exactly there
  // counts, whatever the rounding), then the rest up to now.
  for (double t = lastStep_ + kStepMs; t <= now - kStepMs + 1e-6; t += kStepMs) step(camera, t);
  step(camera, now);
}

void CZeSceneNodeAnimatorCamera::mouseLook(core::vector2df* change) {
  if (mode_ == MODE_FPS) {
    change->X = (cursorNow_.Y - 0.5f) * rotateSpeed_ * verticalFactor_;
    change->Y = (cursorNow_.X - 0.5f) * rotateSpeed_;
    centreCursor();
    return;
  }
  if (!leftButton_) {
    leftHeld_ = false;
    return;
  }
  if (leftHeld_) {
    change->X = (cursorNow_.Y - cursorBefore_.Y) * rotateSpeed_;
    change->Y = (cursorNow_.X - cursorBefore_.X) * rotateSpeed_ * verticalFactor_;
  }
  leftHeld_ = true;
  centreCursor();
}

void CZeSceneNodeAnimatorCamera::step(scene::ICameraSceneNode* camera, double now) {
  const double dt = now - lastStep_;
  lastStep_ = now;
  const bool carry = dt / kStepMs > 0.5;  // at least half a 60 Hz frame passed

  core::vector2df change(0, 0);
  mouseLook(&change);
  rotationVelocity_ = (carry ? rotationVelocity_ * kRotateDamping : core::vector2df(0, 0)) + change;
  rotation_.X = limitPitch(rotation_.X + (1.0f - kRotateDamping) * rotationVelocity_.X);
  rotation_.Y = wrap360(rotation_.Y + (1.0f - kRotateDamping) * rotationVelocity_.Y);

  core::vector3df view = rotated(core::vector3df(rotation_.X, rotation_.Y, 0), core::vector3df(0, 0, 1));
  view.normalize();
  core::vector3df move = noVerticalMovement_ ? rotated(core::vector3df(0, rotation_.Y, 0), core::vector3df(0, 0, 1))
                                             : view;
  move.normalize();
  core::vector3df side = view.crossProduct(camera->getUpVector());
  if (noVerticalMovement_) side.Y = 0;
  side.normalize();

  const bool held = actions_[ZE_CAM_FORWARD] || actions_[ZE_CAM_BACKWARD] || actions_[ZE_CAM_STRAFE_LEFT] ||
                    actions_[ZE_CAM_STRAFE_RIGHT];
  if (!held) moveStart_ = now;
  double ramp = (now - moveStart_) / kAccelerationMs;
  if (ramp > 1.0) ramp = 1.0;
  const f32 scale = static_cast<f32>(dt * moveSpeed_ * (1.0 - kMoveDamping) * ramp);
  moveVelocity_ = carry ? moveVelocity_ * kMoveDamping : core::vector3df(0, 0, 0);
  if (actions_[ZE_CAM_FORWARD]) moveVelocity_ += move * scale;
  if (actions_[ZE_CAM_BACKWARD]) moveVelocity_ -= move * scale;
  if (actions_[ZE_CAM_STRAFE_LEFT]) moveVelocity_ += side * scale;
  if (actions_[ZE_CAM_STRAFE_RIGHT]) moveVelocity_ -= side * scale;
  camera->setPosition(camera->getPosition() + moveVelocity_);
  camera->updateAbsolutePosition();

  if (actions_[ZE_CAM_JUMP]) {
    for (scene::ISceneNodeAnimator* a : camera->getAnimators()) {
      if (a->getType() != scene::ESNAT_COLLISION_RESPONSE) continue;
      auto* response = static_cast<scene::ISceneNodeAnimatorCollisionResponse*>(a);
      if (!response->isFalling()) response->jump(jumpSpeed_);
    }
  }
  camera->setTarget(camera->getAbsolutePosition() + view);
}
