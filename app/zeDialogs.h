// The engine's own small windows: message box, open-file dialog and
// display-mode dialog, drawn with Irrlicht's GUI on a software-rendered
// device of their own (so they never touch the engine's OpenGL context).
#pragma once

#include <irrlicht.h>

#include <string>

#include "app/zeFileChooser.h"

struct ZeDisplayMode;

// Installs the message-box, file-chooser and display-mode presenters. Each
// falls back to the non-interactive answer (standard error, "cancel")
// without a display.
void zeInstallDialogPresenters();

void zeShowMessageBoxWindow(const char* caption, const char* text);
bool zeShowFileChooserWindow(const char* title, const ZeFileFilters& filters, std::string* chosen);
bool zeShowScreenModeDialog(ZeDisplayMode* mode, bool* fullScreen);

// Element ids inside the dialogs.
enum ZeDialogElement {
  ZE_DIALOG_OK = 1,  // "Start" in the display-mode dialog, "OK" in the message box
  ZE_DIALOG_MODES = 1008,
  ZE_DIALOG_FULL_SCREEN = 1011,
  ZE_DIALOG_WINDOWED = 1012,
  ZE_DIALOG_WARNING = 1014,
  ZE_DIALOG_MESSAGE = 1015,  // the message box's text
  ZE_DIALOG_FILE = 1100,
};

// Called once per drawn dialog frame (tests drive the dialogs through it).
using ZeDialogProbe = void (*)(irr::IrrlichtDevice* device, int frame);
void zeSetDialogProbe(ZeDialogProbe probe);
