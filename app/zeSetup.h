// The setup file "zarn-setup.ini", the display-mode dialog and the merge of
// both with the command-line overrides into engine settings.
#pragma once

#include <string>
#include <vector>

#include "app/zeCommandLine.h"
#include "app/zeDisplayModes.h"
#include "app/zeEngine.h"

// The display values of the setup, in the overrides' field order plus
// `centered`; -1 means unset.
struct ZeDisplayValues : DisplayOverrides {
  int centered = -1;
};

// The merged setup: the engine settings and where their values came from.
struct ZeSetup {
  ZeEngineSettings settings;
  bool fromFile = false;    // the setup file was read
  bool fromDialog = false;  // the display-mode dialog was confirmed
};

// Merges setup file, dialog (when offered and there is no file) and overrides.
// 0, or -1 when the dialog was cancelled. `appDirectory` (may be nullptr)
// becomes the base directory and must outlive the settings.
int zeBuildSetup(const char* setupFile, const char* appDirectory, const DisplayOverrides* overrides,
                 bool offerDialog, ZeSetup* setup);
// zeBuildSetup, then engine start. 0 or -1.
int zeReadSetup(const char* setupFile, const char* appDirectory, const DisplayOverrides* overrides,
                bool offerDialog);

// --- Display-mode dialog -------------------------------------------------------
// The dialog itself is asked through app/zeDisplayModes.h.

// 0 when confirmed (values filled and kept for zeScreenModeOption), else -1.
int zeScreenModeDialog(ZeDisplayValues* values);
// A field of the last confirmed dialog by name (any case): "width", "height",
// "windowed", "bpp", "vsync", "fps", "antialias", "shaders", "stereo",
// "centered". 0 before any dialog; -1 for an unknown name.
int zeScreenModeOption(const char* name);
