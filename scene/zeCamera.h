// The camera command layer: the default camera's ride animator (fixed pose,
// ride modes, speeds) and the camera's collision against a set of objects.
// Each command has the script command of the same role; failures go through
// the message channel and return -1.
#pragma once

#include "scene/IZeSceneNodeAnimatorCamera.h"

struct ZeEngineContext;

// Engine start (device step): puts the ride animator on the default camera,
// fixed mode, rotate speed 100, move speed 0.01, jump speed 0, default keys.
bool zeRideCameraStart(ZeEngineContext& context, char* reason);
// Engine stop: the collision set and the animator go before the device.
void zeRideCameraStop(ZeEngineContext& context);
// nullptr while no engine runs (or a start went without the animator).
IZeSceneNodeAnimatorCamera* zeRideCamera();

// 1 FPS ride, 2 orbit ride, anything else fixed.
int zeSetCameraMode(int mode);
// The fixed pose (rotation in degrees about X, Y, Z). Without the animator
// they place the camera node directly.
int zePositionCamera(float x, float y, float z);
int zeRotateCamera(float x, float y, float z);
int zeSetCameraMoveSpeed(float unitsPerMs);
int zeSetCameraJumpSpeed(float speed);

// Replaces any earlier collision on the camera: an ellipsoid of `radius` in
// all three axes, gravity (0, -gravity, 0), raised by `eyeOffset`, against
// the collision set.
int zeAutomaticCameraCollisionOn(float radius, float gravity, float eyeOffset);
int zeAutomaticCameraCollisionOff();
bool zeCameraCollisionActive();

// The collision set: objects the camera collides with.
int zeSetObjectCollisionOn(int objectId);
int zeSetObjectCollisionOff(int objectId);  // not in the set: nothing to do, 0
int zeCameraCollisionSetSize();
// The object layer calls this when an object goes (silent).
void zeCameraForgetObject(int objectId);

// Heading and pitch of the active camera in degrees, each in (-180, 180].
void zeCameraHeadingPitch(float* heading, float* pitch);
