// What this build of the executable can run. Each subsystem that brings a
// front end or a tool fills its slot here.
#include "app/zeDialogs.h"
#include "app/zeEngine.h"
#include "app/zeEntry.h"
#include "app/zeFrame.h"
#include "app/zeSetup.h"
#include "render/gl/zeGLInstall.h"
#include "scene/zeObjectViewer.h"
#include "scene/zeSceneSubsystem.h"

ZeRunModes zeBuiltRunModes() {
  // The OpenGL layer beneath engine start, and real windows for the boxes
  // and dialogs (each answers non-interactively without a display).
  zeGLInstall();
  zeInstallDialogPresenters();

  ZeRunModes modes;
  modes.readSetup = zeReadSetup;
  modes.engineStop = zeEngineStop;
  modes.showWindow = [] {
    zeShowWindow();
    zeRestoreWindow();
  };
  zeSceneRegister();
  modes.objectViewer = zeObjectViewer;
  return modes;
}
