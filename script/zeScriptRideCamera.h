// The ride camera as the script commands reach it: a table of slots the
// player's ride-camera animator fills. An empty slot makes its command raise
// "the function is not implemented".
#pragma once

struct ZeRideCameraSlots {
  void (*setMode)(int mode) = nullptr;  // 1 FPS ride, 2 orbit ride, other fixed
  void (*setMoveSpeed)(float speed) = nullptr;
  void (*setJumpSpeed)(float speed) = nullptr;
  void (*position)(float x, float y, float z) = nullptr;  // fixed position of mode 2
  void (*rotate)(float x, float y, float z) = nullptr;    // fixed rotation of mode 2, degrees
  void (*collisionOn)(float radius, float gravity, float eyeOffset) = nullptr;
  void (*collisionOff)() = nullptr;
  // Object identifiers; a slot reports an unknown object as the object layer does.
  void (*objectCollisionOn)(int object) = nullptr;
  void (*objectCollisionOff)(int object) = nullptr;
};

void zeSetRideCameraSlots(const ZeRideCameraSlots& slots);
const ZeRideCameraSlots& zeRideCameraSlots();
