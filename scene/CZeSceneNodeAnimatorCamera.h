// The ride camera animator. Fixed mode places the camera at the pose the
// scene gives; the two ride modes integrate mouse look and key movement at a
// fixed 60 Hz rate, with damping and an acceleration ramp, so the ride feels
// the same at any frame rate.
#pragma once

#include <functional>

#include "scene/IZeSceneNodeAnimatorCamera.h"

class CZeSceneNodeAnimatorCamera : public IZeSceneNodeAnimatorCamera {
 public:
  // `cursor` may be null (no mouse look). `focused` answers whether the
  // window has the input focus; null means always.
  CZeSceneNodeAnimatorCamera(irr::gui::ICursorControl* cursor, std::function<bool()> focused,
                             irr::f32 rotateSpeed = 100.0f, irr::f32 moveSpeed = 0.01f, irr::f32 jumpSpeed = 0.0f,
                             const SCamKeyMap* keyMap = nullptr, irr::u32 keyMapSize = 0,
                             bool noVerticalMovement = false, bool invertMouse = false);
  ~CZeSceneNodeAnimatorCamera() override;

  void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override;
  bool OnEvent(const irr::SEvent& event) override;
  bool isEventReceiverEnabled() const override { return true; }
  irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
    return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(ZE_ANIMATOR_CAMERA);
  }
  irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                              irr::scene::ISceneManager* newManager = nullptr) override;

  void setMode(int mode) override;
  int getMode() const override { return mode_; }
  void setMoveSpeed(irr::f32 speed) override { moveSpeed_ = speed; }
  irr::f32 getMoveSpeed() const override { return moveSpeed_; }
  void setRotateSpeed(irr::f32 speed) override { rotateSpeed_ = speed; }
  irr::f32 getRotateSpeed() const override { return rotateSpeed_; }
  void setJumpSpeed(irr::f32 speed) override { jumpSpeed_ = speed; }
  irr::f32 getJumpSpeed() const override { return jumpSpeed_; }
  void setFixedPosition(const irr::core::vector3df& position) override;
  void setFixedRotation(const irr::core::vector3df& degrees) override;
  const irr::core::vector3df& getFixedPosition() const override { return fixedPosition_; }
  const irr::core::vector3df& getFixedRotation() const override { return fixedRotation_; }
  void placeFixed(irr::scene::ICameraSceneNode* camera) override;
  void setKeyMap(const SCamKeyMap* map, irr::u32 count) override;
  void setVerticalMovement(bool allow) override { noVerticalMovement_ = !allow; }
  void setInvertMouse(bool invert) override { verticalFactor_ = invert ? -1.0f : 1.0f; }

  // The ride's own pitch and heading (degrees, pitch within the limits).
  const irr::core::vector3df& rideRotation() const { return rotation_; }

  static constexpr float kMaxPitch = 88.0f;
  static constexpr float kMoveDamping = 0.85f;
  static constexpr float kRotateDamping = 0.7f;
  static constexpr float kAccelerationMs = 100.0f;
  static constexpr double kStepMs = 1000.0 / 60.0;

  // The pitch limit on a pitch taken in 0..360 (exposed for tests).
  static float limitPitch(float pitch);

 private:
  void reset(irr::scene::ICameraSceneNode* camera, irr::u32 timeMs);
  void step(irr::scene::ICameraSceneNode* camera, double now);
  void mouseLook(irr::core::vector2df* change);
  irr::core::vector2df readCursor() const;
  void centreCursor();

  irr::gui::ICursorControl* cursor_;
  std::function<bool()> focused_;
  irr::f32 rotateSpeed_, moveSpeed_, jumpSpeed_;
  float verticalFactor_ = 1.0f;
  bool noVerticalMovement_ = false;
  SCamKeyMap keyMap_[8];
  irr::u32 keyMapSize_ = 0;
  bool actions_[ZE_CAM_ACTION_COUNT] = {};
  bool leftButton_ = false;
  bool leftHeld_ = false;  // the hold's first step has centred the cursor
  bool hadFocus_ = true;
  irr::core::vector2df cursorNow_{0.5f, 0.5f}, cursorBefore_{0.5f, 0.5f};

  int mode_ = MODE_FIXED;
  bool resetPending_ = true;
  double lastStep_ = 0;
  double moveStart_ = 0;  // when the movement keys were first held
  bool moving_ = false;
  irr::core::vector2df rotationVelocity_;  // (pitch, heading)
  irr::core::vector3df moveVelocity_;
  irr::core::vector3df rotation_;  // (pitch, heading, 0)
  irr::core::vector3df fixedPosition_, fixedRotation_;
};
