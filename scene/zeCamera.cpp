#include "scene/zeCamera.h"

#include <map>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "scene/CZeSceneNodeAnimatorCamera.h"
#include "scene/zeObject.h"
#include "scene/zeSceneInternal.h"

using namespace irr;

namespace {

CZeSceneNodeAnimatorCamera* ride = nullptr;
scene::ISceneNodeAnimatorCollisionResponse* collision = nullptr;
scene::IMetaTriangleSelector* collisionSet = nullptr;
// Object id -> its selector in the set (the set does not say whose it is).
std::map<int, scene::ITriangleSelector*> members;

IZeSceneNodeAnimatorCamera* animator(const char* command) {
  if (!ride) zeReportError("%s: the ride camera does not exist (engine not started)", command);
  return ride;
}

float wrap180(float degrees) {
  while (degrees > 180.0f) degrees -= 360.0f;
  while (degrees <= -180.0f) degrees += 360.0f;
  return degrees;
}

}  // namespace

bool zeRideCameraStart(ZeEngineContext& context, char* reason) {
  if (!context.camera || !context.device) {
    zeFormatText(reason, "fails to create the ride camera: no camera");
    return false;
  }
  ride = new CZeSceneNodeAnimatorCamera(context.device->getCursorControl(), [] { return zeIsWindowActive(); });
  context.camera->addAnimator(ride);
  context.rideAnimator = ride;
  return true;
}

void zeRideCameraStop(ZeEngineContext& context) {
  zeAutomaticCameraCollisionOff();
  for (auto& m : members) m.second->drop();
  members.clear();
  if (collisionSet) collisionSet->drop();
  collisionSet = nullptr;
  if (ride) {
    if (context.camera) context.camera->removeAnimator(ride);
    ride->drop();
  }
  ride = nullptr;
  context.rideAnimator = nullptr;
}

IZeSceneNodeAnimatorCamera* zeRideCamera() { return ride; }

int zeSetCameraMode(int mode) {
  IZeSceneNodeAnimatorCamera* a = animator("SetCameraMode");
  if (!a) return -1;
  a->setMode(mode == 1 ? IZeSceneNodeAnimatorCamera::MODE_FPS
                       : mode == 2 ? IZeSceneNodeAnimatorCamera::MODE_ORBIT : IZeSceneNodeAnimatorCamera::MODE_FIXED);
  return 0;
}

int zePositionCamera(float x, float y, float z) {
  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  if (!camera) return -1;
  if (!ride) {
    camera->setPosition(core::vector3df(x, y, z));
    camera->updateAbsolutePosition();
    return 0;
  }
  ride->setFixedPosition(core::vector3df(x, y, z));
  // Placed now too, so what reads the camera before the next frame sees it.
  if (ride->getMode() == IZeSceneNodeAnimatorCamera::MODE_FIXED) ride->placeFixed(camera);
  return 0;
}

int zeRotateCamera(float x, float y, float z) {
  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  if (!camera) return -1;
  if (!ride) {
    camera->bindTargetAndRotation(true);
    camera->updateAbsolutePosition();
    camera->setRotation(core::vector3df(x, y, z));
    return 0;
  }
  ride->setFixedRotation(core::vector3df(x, y, z));
  if (ride->getMode() == IZeSceneNodeAnimatorCamera::MODE_FIXED) ride->placeFixed(camera);
  return 0;
}

int zeSetCameraMoveSpeed(float unitsPerMs) {
  IZeSceneNodeAnimatorCamera* a = animator("SetCameraMoveSpeed");
  if (!a) return -1;
  a->setMoveSpeed(unitsPerMs);
  return 0;
}

int zeSetCameraJumpSpeed(float speed) {
  IZeSceneNodeAnimatorCamera* a = animator("SetCameraJumpSpeed");
  if (!a) return -1;
  a->setJumpSpeed(speed);
  return 0;
}

namespace {

scene::IMetaTriangleSelector* theSet() {
  if (!collisionSet && zeEngineContext().sceneManager)
    collisionSet = zeEngineContext().sceneManager->createMetaTriangleSelector();
  return collisionSet;
}

}  // namespace

int zeAutomaticCameraCollisionOn(float radius, float gravity, float eyeOffset) {
  ZeEngineContext& context = zeEngineContext();
  scene::IMetaTriangleSelector* set = theSet();
  if (!context.camera || !set) {
    zeReportError("AutomaticCameraCollisionOn: no camera (engine not started)");
    return -1;
  }
  zeAutomaticCameraCollisionOff();
  collision = context.sceneManager->createCollisionResponseAnimator(
      set, context.camera, core::vector3df(radius, radius, radius), core::vector3df(0, -gravity, 0),
      core::vector3df(0, eyeOffset, 0), 0.0005f);
  if (!collision) {
    zeReportError("AutomaticCameraCollisionOn: the collision animator cannot be made");
    return -1;
  }
  context.camera->addAnimator(collision);
  return 0;
}

int zeAutomaticCameraCollisionOff() {
  if (!collision) return 0;
  if (scene::ICameraSceneNode* camera = zeEngineContext().camera) camera->removeAnimator(collision);
  collision->drop();
  collision = nullptr;
  return 0;
}

bool zeCameraCollisionActive() { return collision != nullptr; }

int zeSetObjectCollisionOn(int objectId) {
  scene::ISceneNode* node = zeObjectNode(objectId);
  if (!node) {
    zeReportArgError(1, "Object ID %d does not exist. %s", objectId, zeTableMissReason(zeEngineContext().objects.get()));
    return -1;
  }
  if (members.count(objectId)) return 0;
  scene::IMesh* mesh = zeGetObjectMesh(objectId);
  scene::IMetaTriangleSelector* set = theSet();
  if (!mesh || !set) return -1;
  // Kept in the node's own space: the selector follows the node when it moves.
  scene::ITriangleSelector* selector = zeEngineContext().sceneManager->createTriangleSelector(mesh, node);
  if (!selector) return -1;
  set->addTriangleSelector(selector);
  members[objectId] = selector;
  return 0;
}

int zeSetObjectCollisionOff(int objectId) {
  zeCameraForgetObject(objectId);
  return 0;
}

int zeCameraCollisionSetSize() { return static_cast<int>(members.size()); }

void zeCameraForgetObject(int objectId) {
  auto it = members.find(objectId);
  if (it == members.end()) return;
  // The selector keeps a plain pointer to the node: it must leave before the node.
  if (collisionSet) collisionSet->removeTriangleSelector(it->second);
  it->second->drop();
  members.erase(it);
}

void zeCameraHeadingPitch(float* heading, float* pitch) {
  *heading = *pitch = 0.0f;
  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  if (!camera) return;
  const core::vector3df angles = (camera->getTarget() - camera->getAbsolutePosition()).getHorizontalAngle();
  *heading = wrap180(angles.Y);
  *pitch = wrap180(angles.X);
}
