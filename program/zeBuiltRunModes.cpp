// What this build of the executable can run. Each subsystem that brings a
// front end or a tool fills its slot here.
#include "app/zeDialogs.h"
#include "app/zeEngine.h"
#include "app/zeEntry.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "lws/zeLwsConvert.h"
#include "demo/zeDemoRun.h"
#include "app/zeSetup.h"
#include "mesh/CZeMeshManipulator.h"
#include "mesh/zeDeviceLog.h"
#include "packaging/zePackagingRunModes.h"
#include "particles/zeCurlNoise.h"
#include "particles/zeFxEmitterSceneSeam.h"
#include "player/zeSceneViewer.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/ze2D.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"
#include "render/zeSurfaceServices.h"
#include "scene/zeCamera.h"
#include "scene/zeObjectViewer.h"
#include "scene/zeSceneSubsystem.h"
#include "script/zeScriptHost.h"
#include "services/zeMusic.h"

namespace {

// Music is engine start's last step; engine stop deletes every music first.
bool startMusic(ZeEngineContext&, char* reason) {
  if (zeMusicStartup() == 0) return true;
  zeFormatText(reason, "fails to create music list");
  return false;
}

void stopMusic(ZeEngineContext&) { zeMusicShutdown(); }

// Once the device exists: mesh and loader code write to the device's log,
// and the default camera gets its ride animator.
bool startDeviceLogAndRideCamera(ZeEngineContext& context, char* reason) {
  zeSetDeviceLogger(context.device->getLogger());
  return zeRideCameraStart(context, reason);
}

void stopDeviceLogAndRideCamera(ZeEngineContext& context) {
  zeRideCameraStop(context);
  CZeMeshManipulator::releaseScratch();
  zeSetDeviceLogger(nullptr);
}

}  // namespace

ZeRunModes zeBuiltRunModes() {
  // The OpenGL layer beneath engine start, and real windows for the boxes
  // and dialogs (each answers non-interactively without a display).
  zeGLInstall();
  zeInstallDialogPresenters();
  zeInstallGPUProgrammingServicesSlot();
  zeInstallImagesAnd2D();
  zeInstallEffectManagerSlot();
  zeInstallSurfaceServices();
  zeInstallMainRenderer();
  zeInstallCurlNoise();
  zeSceneRegister();
  zeInstallFxEmitterSceneSeam(zeEngineEffectCommands);
  zeLwsInstallSceneReader();
  zeSetEngineStep(ZeEngineStep::Device, {startDeviceLogAndRideCamera, stopDeviceLogAndRideCamera});
  zeSetEngineStep(ZeEngineStep::Music, {startMusic, stopMusic});

  ZeRunModes modes;
  modes.readSetup = zeReadSetup;
  modes.engineStop = zeEngineStop;
  modes.showWindow = [] {
    zeShowWindow();
    zeRestoreWindow();
  };
  modes.objectViewer = zeObjectViewer;
  zePackagingRegister(&modes);
  modes.sceneViewer = zeSceneViewer;
  modes.scriptRunner = zeRunScript;
  modes.demoPlayer = zeDemoPlay;
  modes.demoCapture = zeDemoCapture;
  return modes;
}
