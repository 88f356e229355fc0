#include "scene/zeObjectViewer.h"

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "scene/zeCamera.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"

using namespace irr;

namespace {

constexpr int kObject = 1;
constexpr int kLight = 1;
constexpr unsigned kBackdrop = 0x113366;
constexpr float kDegreesPerPixel = 0.5f;
constexpr float kFramesPerSecond = 30.0f;

struct ViewerState {
  float size = 20.0f;
  float distance = 0.0f;
  float yaw = 0.0f;
  float pitch = 0.0f;
  bool dragging = false;
  s32 dragX = 0;
  s32 dragY = 0;
  f32 wheel = 0.0f;
  int frames = 1;
  unsigned startMs = 0;
};

void placeCamera(float distance) {
  zePositionCamera(0, 0, distance);
}

void turn(ViewerState& s, const MyEventReceiver& input) {
  bool changed = false;
  if (input.leftButton) {
    if (s.dragging) {
      const s32 dx = input.mouseX - s.dragX, dy = input.mouseY - s.dragY;
      if (dx || dy) {
        s.yaw -= kDegreesPerPixel * dx;
        s.pitch -= kDegreesPerPixel * dy;
        changed = true;
      }
    }
    s.dragging = true;
    s.dragX = input.mouseX;
    s.dragY = input.mouseY;
  } else {
    s.dragging = false;
  }
  if (input.keys[KEY_LEFT]) {
    s.yaw += 1.0f;
    changed = true;
  }
  if (input.keys[KEY_RIGHT]) {
    s.yaw -= 1.0f;
    changed = true;
  }
  if (changed) zeRotateObject(kObject, s.pitch, s.yaw, 0.0f);
}

void zoom(ViewerState& s, const MyEventReceiver& input) {
  const float before = s.distance;
  s.distance += (input.wheel - s.wheel) * s.size / 20.0f;
  s.wheel = input.wheel;
  if (input.keys[KEY_UP]) s.distance -= s.size / 40.0f;
  if (input.keys[KEY_DOWN]) s.distance += s.size / 40.0f;
  if (s.distance != before) placeCamera(s.distance);
}

void animate(const ViewerState& s) {
  if (s.frames < 2) return;
  // The animation loops at 30 frames per second.
  const unsigned periodMs = static_cast<unsigned>(s.frames) * 1000u / 30u;
  if (periodMs == 0) return;
  const unsigned intoLoopMs = (zeTimer() - s.startMs) % periodMs;
  zeSetObjectFrame(kObject, intoLoopMs * kFramesPerSecond / 1000.0f);
}

}  // namespace

int zeObjectViewer(const char* path) { return zeRunObjectViewer(path, nullptr); }

int zeRunObjectViewer(const char* path, IZeObjectViewerHooks* hooks) {
  zeLoadObject(kObject, path);
  if (!zeObjectExist(kObject)) {
    zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Failed to load object %s\n", path ? path : "");
    return -1;
  }
  ViewerState s;
  s.size = zeGetObjectRadius(kObject);
  if (s.size == 0.0f) s.size = 20.0f;
  s.distance = -1.5f * s.size;

  zeMakeLight(kLight);
  zeSetDirectionalLight(kLight, 0, 0, 1);
  zeColorBackdrop(kBackdrop);
  zeRotateObject(kObject, 0, 0, 0);
  placeCamera(s.distance);

  MyEventReceiver& input = zeEventReceiver();
  s.dragX = input.mouseX;
  s.dragY = input.mouseY;
  s.wheel = input.wheel;
  s.frames = zeTotalObjectFrames(kObject);
  s.startMs = zeTimer();

  int result = 0;
  for (int frame = 0; zeDeviceRun() && !input.escapeLatched(); ++frame) {
    turn(s, input);
    zoom(s, input);
    animate(s);
    if (zeSync() != 0) {
      result = -1;  // the frame said why
      break;
    }
    if (!zeIsWindowActive()) zeSleep(20);
    if (hooks && !hooks->afterFrame(frame)) break;
  }
  zeDeleteObject(kObject);
  return result;
}
