// The default camera's animator: a fixed camera placed by the scene (or a
// script), or a ride camera the user flies with the mouse and the keys.
#pragma once

#include <irrlicht.h>

// What a key does for the ride camera.
enum EZeCamAction { ZE_CAM_FORWARD = 0, ZE_CAM_BACKWARD, ZE_CAM_STRAFE_LEFT, ZE_CAM_STRAFE_RIGHT, ZE_CAM_JUMP, ZE_CAM_ACTION_COUNT };

struct SCamKeyMap {
  EZeCamAction action;
  irr::EKEY_CODE key;
};

// Animator type number of the ride camera (beside Irrlicht's own types).
constexpr int ZE_ANIMATOR_CAMERA = 10001;

class IZeSceneNodeAnimatorCamera : public irr::scene::ISceneNodeAnimator {
 public:
  // 2 fixed, 3 FPS ride (mouse look), 4 orbit ride (look while the left
  // button is held). Any other value is fixed.
  enum { MODE_FIXED = 2, MODE_FPS = 3, MODE_ORBIT = 4 };
  virtual void setMode(int mode) = 0;
  virtual int getMode() const = 0;

  // Units per millisecond at full speed.
  virtual void setMoveSpeed(irr::f32 speed) = 0;
  virtual irr::f32 getMoveSpeed() const = 0;
  // Degrees per unit of relative cursor movement.
  virtual void setRotateSpeed(irr::f32 speed) = 0;
  virtual irr::f32 getRotateSpeed() const = 0;
  // Given to the camera's collision response animators on the jump key.
  virtual void setJumpSpeed(irr::f32 speed) = 0;
  virtual irr::f32 getJumpSpeed() const = 0;

  // The pose of the fixed mode (rotation in degrees about X, Y and Z).
  virtual void setFixedPosition(const irr::core::vector3df& position) = 0;
  virtual void setFixedRotation(const irr::core::vector3df& degrees) = 0;
  virtual const irr::core::vector3df& getFixedPosition() const = 0;
  virtual const irr::core::vector3df& getFixedRotation() const = 0;
  // Puts the camera at the fixed pose now (the fixed mode also does it on
  // every animation).
  virtual void placeFixed(irr::scene::ICameraSceneNode* camera) = 0;

  // Replaces the key map; an empty map restores the arrows and right control.
  virtual void setKeyMap(const SCamKeyMap* map, irr::u32 count) = 0;
  virtual void setVerticalMovement(bool allow) = 0;
  virtual void setInvertMouse(bool invert) = 0;
};
