// What this build of the executable can run. Each subsystem that brings a
// front end or a tool fills its slot here.
#include "app/zeEntry.h"
#include "scene/zeObjectViewer.h"
#include "scene/zeSceneSubsystem.h"

ZeRunModes zeBuiltRunModes() {
  ZeRunModes modes;
  zeSceneRegister();
  modes.objectViewer = zeObjectViewer;
  return modes;
}
