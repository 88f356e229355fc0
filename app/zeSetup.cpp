// Contents: dialog result store · dialog · setup file · merge and engine start.
#include "app/zeSetup.h"

#include <strings.h>

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zePath.h"
#include "app/zeFileChooser.h"
#include "app/zeIni.h"

namespace {

// The last confirmed dialog; all zero before any.
ZeDisplayValues dialogResult{{0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 0};

}  // namespace

// --- Dialog ------------------------------------------------------------------------

int zeScreenModeDialog(ZeDisplayValues* values) {
  ZeDisplayMode mode;
  bool fullScreen = true;
  if (!zeAskScreenMode(&mode, &fullScreen)) return -1;
  ZeDisplayValues chosen;
  chosen.width = mode.width;
  chosen.height = mode.height;
  chosen.depth = mode.bits;
  chosen.windowed = fullScreen ? 0 : 1;
  chosen.vsync = 1;
  chosen.centered = 0;
  dialogResult = chosen;
  if (values) *values = chosen;
  return 0;
}

int zeScreenModeOption(const char* name) {
  if (!name) return -1;
  const struct {
    const char* name;
    int ZeDisplayValues::*field;
  } options[] = {
      {"width", &ZeDisplayValues::width},       {"height", &ZeDisplayValues::height},
      {"windowed", &ZeDisplayValues::windowed}, {"bpp", &ZeDisplayValues::depth},
      {"vsync", &ZeDisplayValues::vsync},       {"fps", &ZeDisplayValues::fps},
      {"antialias", &ZeDisplayValues::antialias}, {"shaders", &ZeDisplayValues::shaders},
      {"stereo", &ZeDisplayValues::stereo},     {"centered", &ZeDisplayValues::centered},
  };
  for (const auto& option : options)
    if (strcasecmp(name, option.name) == 0) return dialogResult.*option.field;
  return -1;
}

// --- Setup file --------------------------------------------------------------------

namespace {

struct FileValues {
  ZeDisplayValues display;
  int hideMouse = -1;
  int lightPrePass = -1;
  float cameraNear = 0.1f;
  float cameraFar = 1000.0f;
};

// "1", "yes" or "y" run windowed; any other text full screen; absent windowed.
int windowedValue(const char* text) {
  if (!text) return 1;
  if (std::strcmp(text, "1") == 0 || strcasecmp(text, "yes") == 0 || strcasecmp(text, "y") == 0) return 1;
  return 0;
}

// A packaged run mounts its archive before the engine's device exists, yet
// reads its setup from it: a NULL device lends its file system meanwhile.
class ArchiveFileSystem {
 public:
  ArchiveFileSystem() {
    if (!zeIsPackaged() || zeEngineContext().device) return;
    irr::SIrrlichtCreationParameters p;
    p.DriverType = irr::video::EDT_NULL;
    p.LoggingLevel = irr::ELL_NONE;
    device_ = irr::createDeviceEx(p);
    if (device_) zeFilesystemReset(device_->getFileSystem());
  }
  ~ArchiveFileSystem() {
    if (!device_) return;
    zeFilesystemDetach();  // the mount is remembered for the engine's device
    device_->drop();
  }

 private:
  irr::IrrlichtDevice* device_ = nullptr;
};

bool readSetupFile(const char* name, FileValues* out) {
  ArchiveFileSystem archive;
  dictionary* ini = zeIniLoad(zeFindKnownFile(name));
  if (!ini) return false;
  ZeDisplayValues& d = out->display;
  if (const char* display = iniparser_getstring(ini, "Setup:display", nullptr))
    std::sscanf(display, "%d %d %d", &d.width, &d.height, &d.depth);
  d.windowed = windowedValue(iniparser_getstring(ini, "Setup:windowed", nullptr));
  if (const char* position = iniparser_getstring(ini, "Setup:windowpos", nullptr))
    std::sscanf(position, "%d %d", &d.windowX, &d.windowY);
  d.vsync = iniparser_getint(ini, "Setup:vsync", -1);
  out->hideMouse = iniparser_getint(ini, "Setup:hide_mouse", -1);
  d.fps = iniparser_getint(ini, "Setup:fps", -1);
  d.antialias = iniparser_getint(ini, "Setup:antialias", -1);
  out->lightPrePass = iniparser_getint(ini, "Setup:lightprepass", -1);
  d.shaders = iniparser_getint(ini, "Setup:shaders", -1);
  if (const char* range = iniparser_getstring(ini, "Setup:camerarange", nullptr))
    std::sscanf(range, "%f %f", &out->cameraNear, &out->cameraFar);
  d.stereo = iniparser_getint(ini, "Setup:stereo", -1);
  iniparser_freedict(ini);
  return true;
}

void applyOverride(int given, int* value) {
  if (given != -1) *value = given;
}

}  // namespace

// --- Merge and engine start --------------------------------------------------------

int zeBuildSetup(const char* setupFile, const char* appDirectory, const DisplayOverrides* overrides,
                 bool offerDialog, ZeSetup* setup) {
  *setup = ZeSetup();
  FileValues values;
  if (appDirectory) zeSetBaseDirectory(appDirectory);

  setup->fromFile = setupFile && readSetupFile(setupFile, &values);
  if (!setup->fromFile && offerDialog) {
    ZeDisplayValues chosen;
    if (zeScreenModeDialog(&chosen) != 0) {
      // A user who cancelled knows why; a run that could not ask is told.
      if (!zeCanAskScreenMode())
        zeReportError("No display settings: \"%s\" was not found and the display-mode dialog cannot be shown here",
                      zePathFileName(setupFile ? setupFile : "", true).c_str());
      return -1;
    }
    values.display = chosen;
    values.display.vsync = 1;
    values.hideMouse = chosen.windowed == 0 ? 1 : 0;
    setup->fromDialog = true;
  }

  ZeDisplayValues& d = values.display;
  if (overrides) {
    applyOverride(overrides->width, &d.width);
    applyOverride(overrides->height, &d.height);
    applyOverride(overrides->windowed, &d.windowed);
    applyOverride(overrides->windowX, &d.windowX);
    applyOverride(overrides->windowY, &d.windowY);
    applyOverride(overrides->depth, &d.depth);
    applyOverride(overrides->vsync, &d.vsync);
    applyOverride(overrides->fps, &d.fps);
    applyOverride(overrides->antialias, &d.antialias);
    applyOverride(overrides->shaders, &d.shaders);
    applyOverride(overrides->stereo, &d.stereo);
  }

  ZeEngineSettings& s = setup->settings;
  s.baseDirectory = appDirectory;
  s.cameraNear = values.cameraNear;
  s.cameraFar = values.cameraFar;
  s.width = d.width;
  s.height = d.height;
  s.depth = d.depth;
  s.windowed = d.windowed;
  s.windowX = d.windowX;
  s.windowY = d.windowY;
  s.vsync = d.vsync;
  s.fps = d.fps;
  s.antialias = d.antialias;
  s.lightPrePass = values.lightPrePass;
  s.hideMouse = values.hideMouse;
  s.shaders = d.shaders;
  s.stereo = d.stereo;
  return 0;
}

int zeReadSetup(const char* setupFile, const char* appDirectory, const DisplayOverrides* overrides,
                bool offerDialog) {
  ZeSetup setup;
  if (zeBuildSetup(setupFile, appDirectory, overrides, offerDialog, &setup) != 0) return -1;
  return zeEngineStart(setup.settings) == 0 ? 0 : -1;
}
