#include "player/zeSceneViewer.h"

#include <cstring>
#include <string>
#include <utility>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFileChooser.h"
#include "app/zeFileMount.h"
#include "app/zeFrame.h"
#include "app/zeLayoutWindow.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "player/zeViewerClock.h"
#include "player/zeViewerShaderWatch.h"
#include "render/ze2D.h"
#include "render/zeLoadingScreen.h"
#include "scene/zeCamera.h"
#include "scene/zeScene.h"
#include "services/zeMusic.h"
#include "services/zeWatch.h"
#include "zf/zfDocument.h"
#include "zf/zfScene.h"
#include "zf/zfWrite.h"

using namespace irr;

namespace {

constexpr int kScene = 1;
constexpr int kMusic = 1;
constexpr int kSceneWatch = 0;
constexpr int kLockWaitMs = 3000;  // the editor's save must end within this
constexpr int kUpdateFailed = 1;
constexpr int kDefaultRideSpeed = 1000;  // cm/s
constexpr float kMoveSpeedPerCm = 0.00001f;  // cm/s to scene units per ms
// Ride option bits (-rideopts).
constexpr int kRideCollision = 1;
constexpr int kRideFalling = 2;  // with collision: gravity and eye height
constexpr int kRideFps = 4;

// Music 1 through the music service.
struct ServiceMusic : IZeViewerMusic {
  bool isLoaded = false;
  bool loaded() const override { return isLoaded; }
  int position() override { return zeGetMusicPosition(kMusic); }
  void pause() override { zePauseMusic(kMusic); }
  void resume() override { zeResumeMusic(kMusic); }
  void playAt(int ms) override {
    zeSetMusicPosition(kMusic, ms);
    zePlayMusic(kMusic);
  }
  void moveTo(int ms) override { zeSetMusicPosition(kMusic, ms); }
};

ZeViewerScene sceneFacts() {
  ZeViewerScene facts;
  facts.firstFrame = zeSceneFrameStart(kScene);
  facts.lastFrame = zeSceneFrameEnd(kScene);
  facts.fps = zeSceneFps(kScene);
  facts.endTimeMs = zeSceneAnimTimeEnd(kScene);
  return facts;
}

int loadProgress(int percent, void*) {
  zeLoadingProgressSimple(percent);
  return 0;
}

void findMusic(ServiceMusic& music) {
  const char* audio = zeSceneAudioFile(kScene);
  if (!audio || !*audio) return;
  const std::string base = zePathFileName(audio, false);
  for (const char* folder : {"../music", "../data"}) {
    const std::string candidate = zePathJoin(folder, base + ".mp3");
    if (!zeFileExists(candidate.c_str())) continue;
    if (zeLoadMusic(candidate.c_str(), kMusic) == 0) {
      zeLog("Loaded Music %s\n", candidate.c_str());
      music.isLoaded = true;
    } else {
      zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to load music %s", candidate.c_str());
    }
    return;
  }
  zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Fail to find %s.mp3 in ../music or ../data", base.c_str());
}

// Keys that act once per press.
struct PressedKeys {
  unsigned char before[256] = {};
  bool pressed(const MyEventReceiver& input, int key) const { return input.keys[key] && !before[key]; }
  void remember(const MyEventReceiver& input) { std::memcpy(before, input.keys, sizeof before); }
};

struct Viewer {
  Viewer(const ViewerOptions& o, IZeSceneViewerHooks* h, std::string file)
      : options(o), hooks(h), sceneFile(std::move(file)) {}
  const ViewerOptions& options;
  IZeSceneViewerHooks* hooks;
  std::string sceneFile;
  ZeViewerState s;
  ServiceMusic music;
  ZeViewerScene facts;
  int updateStatus = 0;
  int screenshotCounter = 0;
  bool screenshotFailed = false;
  bool ride = false;
  int rideSpeed = kDefaultRideSpeed;
  bool cursorHidden = false;
  bool shaderWatches = false;
  int fpsFrames = 0;
  unsigned fpsLastMs = 0;
  char fpsText[64] = "FPS=0.00 (0.00 ms/frm)";

  unsigned now() const {
    unsigned ms = 0;
    return hooks && hooks->clock(&ms) ? ms : zeTimer();
  }
  bool has(int flag) const { return (options.flags & flag) != 0; }
  bool rideOption(int bit) const { return (options.rideOptions & bit) != 0; }

  void enterRide(int nowMs, bool withCollision = true) {
    ride = true;
    // The ride starts where the scene's camera stands now.
    zeAnimateScene(kScene, zeViewerSceneTime(s, nowMs, facts, &music));
    if (rideOption(kRideFps)) {
      zeHideMouse();
      cursorHidden = true;
      zeSetCameraMode(1);
    } else {
      zeSetCameraMode(2);
    }
    if (withCollision) collisionOn();
  }

  void collisionOn() {
    if (!rideOption(kRideCollision)) return;
    const bool falling = rideOption(kRideFalling);
    zeAutomaticCameraCollisionOn(0.2f, falling ? 0.05f : 0.0f, falling ? 0.6f : 0.0f);
  }

  void leaveRide() {
    ride = false;
    if (cursorHidden) zeShowMouse();
    cursorHidden = false;
    if (rideOption(kRideCollision)) zeAutomaticCameraCollisionOff();
    zeSetCameraMode(0);
    s.forceAnimate = true;  // back to the scene's camera at once, even paused
  }

  // In FPS ride the cursor is hidden only while the window has the focus.
  void followFocus() {
    if (!ride || !rideOption(kRideFps)) return;
    const bool active = zeIsWindowActive();
    if (active && !cursorHidden) zeHideMouse();
    if (!active && cursorHidden) zeShowMouse();
    cursorHidden = active;
  }

  void liveUpdate(int nowMs) {
    if (zeFileWatchChanged(kSceneWatch) != 1) return;
    if (zeFileWatchLock(kSceneWatch, kLockWaitMs) != 0) {
      zeLog("Scene takes long time to update... please wait\n");
      updateStatus = -1;
      return;
    }
    const float frame = zeViewerFrameAt(facts, s.sceneTime);
    zeLog("Update Scene...\n");
    const int result = zeReloadScene(sceneFile.c_str(), kScene, has(ZE_VIEWER_NO_SYNC_BAKE) ? 1 : 0);
    zeFileWatchUnlock(kSceneWatch);
    if (result != 0) {
      // The scene table answers -1, which reads as "waiting" here: a failure is 1.
      if (updateStatus <= 0) zeLog("ERROR : UPDATE SCENE FAILED\n");
      updateStatus = kUpdateFailed;
    } else {
      updateStatus = 0;
      facts = sceneFacts();
      if (has(ZE_VIEWER_MUSIC)) s.musicOffset = zeSceneAudioOffset(kScene);
      zeViewerRestoreFrame(s, nowMs, frame, facts, &music);
    }
    zeFileWatchRearm(kSceneWatch);
  }

  void hud() {
    zeInk(0);
    zeInkAlpha(20);
    zeBox(0, 0, 180, 30);
    zeInk(0xFFFFFF);
    zeInkAlpha(255);
    zeText(0, 0, "%s", zeViewerClockText(facts, s.sceneTime).c_str());
    zeText(0, 15, "%s", fpsText);
    if (ride) rideHud();
    if (updateStatus == -1) zeText(0, 30, "Scene takes long time to update... please wait");
    else if (updateStatus != 0)
      zeText(0, 30, "UPDATE SCENE FAILED: the scene has changed too much. Restart the engine.");
  }

  void rideHud() {
    zeText(105, 15, "%s %dcm/s", rideOption(kRideFps) ? "Ride FPS" : "Ride", rideSpeed);
    zeInk(0);
    zeInkAlpha(20);
    zeBox(0, 30, 90, 60);
    zeInk(0xFFFFFF);
    zeInkAlpha(255);
    irr::core::vector3df p;
    if (irr::scene::ICameraSceneNode* camera = zeEngineContext().camera) p = camera->getAbsolutePosition();
    float heading = 0, pitch = 0;
    zeCameraHeadingPitch(&heading, &pitch);
    zeText(0, 30, "X %.3f", p.X);
    zeText(0, 40, "Y %.3f", p.Y);
    zeText(0, 50, "Z %.3f", p.Z);
    zeText(50, 30, "H %.1f", heading);
    zeText(50, 40, "P %.1f", pitch);
    zeText(50, 50, "B %.1f", 0.0);
  }

  void measureFps(unsigned nowMs) {
    if (++fpsFrames < 30) return;
    const unsigned elapsed = nowMs - fpsLastMs;
    if (elapsed > 0)
      std::snprintf(fpsText, sizeof fpsText, "FPS=%.2f (%.2f ms/frm)", 30000.0 / elapsed, elapsed / 30.0);
    fpsFrames = 0;
    fpsLastMs = nowMs;
  }

  void screenshot() {
    const std::string path = zeViewerScreenshotPath("..", &screenshotCounter);
    if (zeScreenShot(path.c_str()) == 0) {
      zeLog("Screenshot %s\n", path.c_str());
      screenshotFailed = false;
    } else if (!screenshotFailed) {
      // Said once; playing goes on.
      zeMessage(ZE_ERROR, "Cannot write the screenshot %s; the viewer plays on without it\n", path.c_str());
      screenshotFailed = true;
    }
  }

  int run();
};

int Viewer::run() {
  MyEventReceiver& input = zeEventReceiver();
  PressedKeys keys;
  keys.remember(input);
  bool rightBefore = input.rightButton != 0;

  facts = sceneFacts();
  if (has(ZE_VIEWER_MUSIC)) {
    findMusic(music);
    s.musicOffset = zeSceneAudioOffset(kScene);
  }
  zePrepareSceneRender(kScene);
  if (has(ZE_VIEWER_SYNC_UPDATE)) {
    zeFileWatchCreate(sceneFile.c_str(), kSceneWatch);
    s.lastSyncValue = input.syncValue;
  }
  zeShowScene(kScene);
  zeViewerStart(s, static_cast<int>(now()), facts, has(ZE_VIEWER_FRAME_START), options.frameStart,
                has(ZE_VIEWER_PAUSED), &music);
  if (has(ZE_VIEWER_RIDE)) enterRide(static_cast<int>(now()), false);
  if (rideOption(kRideCollision)) {
    const int objects = zeSceneTotal(kScene, ZE_SCENE_TOTAL_OBJECTS);
    for (int id = 1; id <= objects; ++id) zeSetObjectCollisionOn(id);
    zeSetCameraJumpSpeed(0.05f);
    if (ride) collisionOn();
  }
  if (options.rideSpeed) rideSpeed = options.rideSpeed;
  zeSetCameraMoveSpeed(rideSpeed * kMoveSpeedPerCm);
  fpsLastMs = now();

  int result = 0;
  for (int frame = 0; zeDeviceRun() && !input.escapeLatched(); ++frame) {
    const int nowMs = static_cast<int>(now());
    if (shaderWatches) zeViewerShaderWatchPoll();
    if (has(ZE_VIEWER_SYNC_UPDATE)) {
      liveUpdate(nowMs);
      zeViewerSyncFrame(s, nowMs, input.syncValue, facts, &music);
    }
    if (!has(ZE_VIEWER_NO_IDLE_INACTIVE) && s.paused && !s.forceAnimate && !zeIsWindowActive() &&
        frame % 10 != 0) {
      // Keys are not taken here, so a press during the idle frames still counts.
      zeSleep(10);
      continue;
    }
    zeViewerSceneTime(s, nowMs, facts, &music);

    ZeViewerKeys step;
    step.returnPressed = keys.pressed(input, KEY_RETURN);
    step.spacePressed = keys.pressed(input, KEY_SPACE);
    // While riding the arrows fly the camera.
    step.forward = (input.keys[KEY_RIGHT] && !ride) || input.keys[KEY_PLUS] || input.keys[KEY_ADD];
    step.backward = (input.keys[KEY_LEFT] && !ride) || input.keys[KEY_MINUS] || input.keys[KEY_SUBTRACT];
    step.shift = input.keys[ZE_KEY_SHIFT_STATE] != 0;
    const bool moved = zeViewerKeys(s, nowMs, step, facts, &music);
    // A debugger watching a still scene sees that the keys moved it.
    if (moved && facts.lastFrame - facts.firstFrame <= 2) zeDebuggerOutput("PLAYSYNC");
    if (ride) {
      rideSpeed = zeViewerRideSpeed(rideSpeed, input.keys[KEY_KEY_1] != 0, input.keys[KEY_KEY_2] != 0);
      zeSetCameraMoveSpeed(rideSpeed * kMoveSpeedPerCm);
    }
    const bool rightNow = input.rightButton != 0;
    if (rightNow && !rightBefore) {
      if (ride) {
        leaveRide();
      } else {
        enterRide(nowMs);
      }
    }
    rightBefore = rightNow;
    followFocus();
    if (keys.pressed(input, KEY_F12)) {
      zeRenderSetDebug(zeRenderDebug() ? 0 : 1);
      zeLog("Renderer debug display %s\n", zeRenderDebug() ? "on" : "off");
    }
    const bool takeShot = keys.pressed(input, KEY_KEY_S);
    keys.remember(input);

    if (!s.paused || s.forceAnimate || s.pausedTime != s.lastAnimatedPausedTime) {
      zeAnimateScene(kScene, s.sceneTime);
      zeAnimateSceneProcessing(kScene, s.sceneTime);
      s.lastAnimatedPausedTime = s.paused ? s.pausedTime : -1;
    }
    s.forceAnimate = false;
    measureFps(static_cast<unsigned>(nowMs));
    if (!takeShot) hud();
    if (zeSync() != 0) {
      result = -1;  // the frame said why
      break;
    }
    if (takeShot) screenshot();
    if (hooks) {
      const SZeViewerFrame shown{s.sceneTime, s.paused, s.loop, updateStatus, ride, rideSpeed};
      if (!hooks->afterFrame(frame, shown)) break;
    }
  }

  if (has(ZE_VIEWER_SYNC_UPDATE)) zeFileWatchDelete(kSceneWatch);
  if (shaderWatches) zeViewerShaderWatchStop();
  if (ride) leaveRide();
  if (rideOption(kRideCollision))
    for (int id = 1, n = zeSceneTotal(kScene, ZE_SCENE_TOTAL_OBJECTS); id <= n; ++id) zeSetObjectCollisionOff(id);
  if (music.isLoaded) {
    zeStopMusic(kMusic);
    zeDeleteMusic(kMusic);
  }
  zeDeleteScene(kScene);
  zeLog("Zarn Engine scene viewer ended\n");
  return result;
}

}  // namespace

int zeConvertSceneToBinary(const char* path) {
  ZF_Document* document = ZF_SceneLoadDocument(path);
  if (!document) {
    zeMessage(ZE_ERROR, "Failed to load scene %s\n", path);
    return -1;
  }
  std::string bytes;
  const bool built = ZF_WriteBinary(ZF_Root(document), &bytes);
  ZF_Free(document);
  const std::string output = std::string(path) + ".bin";
  if (!built || !ZF_WriteFile(output.c_str(), bytes)) {
    zeMessage(ZE_ERROR, "Failed to write the binary scene %s\n", output.c_str());
    return -1;
  }
  zeLog("Binary scene written to %s\n", output.c_str());
  return 0;
}

namespace {

// Following Layout: the window sits on Layout's window (owned by it), or
// above everything when asked or when Layout is not there.
void placeWindow(const ViewerOptions& options) {
  if (!(options.flags & ZE_VIEWER_SYNC_UPDATE) || zeWindowMode()) return;
  irr::IrrlichtDevice* device = zeEngineContext().device;
  if ((options.flags & ZE_VIEWER_NO_LW_CHILD) || zeAttachToLayout(device) != 0) zeMakeWindowTopMost(device);
}

}  // namespace

int zeSceneViewer(const char* path, ViewerOptions* options) {
  ViewerOptions defaults;
  return zeRunSceneViewer(path, options ? *options : defaults, nullptr);
}

int zeRunSceneViewer(const char* path, const ViewerOptions& options, IZeSceneViewerHooks* hooks) {
  zeLog("Zarn Engine scene viewer started\n");
  const bool convert = (options.flags & ZE_VIEWER_CONVERT) != 0;
  if (!path && convert && (options.flags & ZE_VIEWER_BASE)) {
    path = zeChooseFile("Open Zarn scene for binary convert",
                        {{"Zarn Scene (lws.ini)", "*.lws.ini"}, {"All", "*.*"}});
  }
  if (!path || !*path) return -1;
  if (convert) return zeConvertSceneToBinary(path);

  Viewer viewer(options, hooks, zePathFileName(path, true));
  const std::string folder = zePathDirectory(path);
  placeWindow(options);
  if (!zeIsPackaged()) viewer.shaderWatches = zeViewerShaderWatchStart(zeGetBaseDirectory()) > 0;
  if (!folder.empty()) zeSetWorkingDirectory(folder.c_str());
  zeSetLoadSceneCallback(loadProgress, nullptr);
  zeSetSceneLoadReports(true);
  // Objects from identifier 1 up: the collision option counts them from there.
  ZeSceneLoadParams params;
  params.objectBase = 1;
  const int loaded = zeLoadScene(kScene, viewer.sceneFile.c_str(), "", params);
  zeSetLoadSceneCallback(nullptr, nullptr);
  if (loaded != 0) {
    if (loaded != 1) zeMessage(ZE_ERROR | ZE_MSG_SHOW, "Failed to load scene");
    if (zeSceneExist(kScene)) zeDeleteScene(kScene);
    if (viewer.shaderWatches) zeViewerShaderWatchStop();
    return -1;
  }
  return viewer.run();
}
