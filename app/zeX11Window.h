// Window commands through Xlib, on the window the OpenGL device exposes.
// Every call does nothing (or answers "no") when the device has no X11 window,
// as with the NULL driver.
#pragma once

#include <irrlicht.h>

#include <vector>

struct ZeDisplayMode;

namespace zeX11 {

bool hasWindow(irr::IrrlichtDevice* device);
void show(irr::IrrlichtDevice* device);      // mapped, raised, not maximised
void hide(irr::IrrlichtDevice* device);
void maximize(irr::IrrlichtDevice* device);
void minimize(irr::IrrlichtDevice* device);
void restore(irr::IrrlichtDevice* device);   // mapped, not maximised
// Moves the window's top-left corner; x = y = -1 centres it on the screen.
void place(irr::IrrlichtDevice* device, int x, int y);
// Cursor position relative to the client area; false without a window.
bool pointer(irr::IrrlichtDevice* device, int* x, int* y);

// Keeps one connection to the X server open for the rest of the process.
// Xvfb resets itself when its last client leaves, and refuses connections
// while it does (measured: a few in thirty quick device restarts failed);
// holding a connection keeps later devices of this process safe, and the
// retries ride out a reset another process's exit began. false without a
// display.
bool holdDisplay();

// The X server's display modes (through RandR when the server has it) and
// the desktop's mode; false when there is no display.
bool displayModes(std::vector<ZeDisplayMode>* modes, ZeDisplayMode* desktop);

}  // namespace zeX11
