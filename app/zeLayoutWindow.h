// Keeping the viewer's window beside LightWave Layout: owned by Layout's
// window (WM_TRANSIENT_FOR, so it stays above Layout and follows its
// minimising), or above every other window (_NET_WM_STATE_ABOVE).
#pragma once

#include <X11/Xlib.h>

#include <irrlicht.h>

// The first top-level window whose title (first 79 characters) holds
// "LightWave", "NewTek" and "Layout" and not ".exe" (a file browser or a
// shell showing the program's name is not Layout), or 0.
Window zeX11FindLayoutWindow(Display* display);
// Whether a title names Layout's window (exposed for tests).
bool zeIsLayoutTitle(const char* title);

// Makes `owner` the owner of `window`. Always succeeds on a live window.
void zeX11SetOwner(Display* display, Window window, Window owner);
// Asks for the above state: the property is written for a window manager
// that reads it when mapping, and the state request is sent to a running one.
void zeX11SetAbove(Display* display, Window window);

// On the device's window: 0, or -1 without a device window or without Layout.
int zeAttachToLayout(irr::IrrlichtDevice* device);
int zeMakeWindowTopMost(irr::IrrlichtDevice* device);
