// Display modes: the list the display-mode dialog offers (from what the X
// server reports), and the one way setup asks for a mode. The dialog window
// (app/zeDialogs) installs itself as the presenter; tests install their own.
#pragma once

#include <string>
#include <vector>

struct ZeDisplayMode {
  int width = 0;
  int height = 0;
  int bits = 0;
  int refresh = 0;
};

// The modes the dialog lists: 24-bit visuals count as 32 bits, modes under
// 32 bits are dropped, duplicates (refresh rate ignored) kept once, at most
// 200, sorted by width, height, bits, refresh.
std::vector<ZeDisplayMode> zeListDisplayModes(const std::vector<ZeDisplayMode>& system);
// "%4d x %4d", with " (recommended)" for 1280 x 720 x 32.
std::string zeDisplayModeLabel(const ZeDisplayMode& mode);
// The entry selected when the dialog opens: the recommended mode, else the
// desktop's, else -1.
int zeInitialDisplayMode(const std::vector<ZeDisplayMode>& modes, const ZeDisplayMode& desktop);

// Shows the dialog and answers with the chosen mode and whether "Full screen"
// was checked; false when closed without "Start".
using ZeScreenModePresenter = bool (*)(ZeDisplayMode* mode, bool* fullScreen);
// nullptr: no dialog, every question is answered "cancel". A presenter that
// needs a display (the dialog window) cannot ask without one.
void zeSetScreenModePresenter(ZeScreenModePresenter presenter, bool needsDisplay = false);
// Whether a question can be asked at all (a "cancel" then is the user's).
bool zeCanAskScreenMode();
// Asks the presenter; false without one.
bool zeAskScreenMode(ZeDisplayMode* mode, bool* fullScreen);
