// Per-frame services every front end uses: render one frame, the clock, the
// window, the mouse, screenshots and shader hot reload. Named after the script
// commands that expose them.
#pragma once

#include <irrlicht.h>

#include "base/ZeHandlePool.h"

// Later subsystems plug into the frame here; empty hooks are skipped. Who
// draws the scene is the current renderer (app/IZeRenderer.h).
struct ZeFrameHooks {
  // Execute and empty the frame's 2D queue; discard it without drawing.
  void (*execute2DQueue)() = nullptr;
  void (*discard2DQueue)() = nullptr;
  // A frame was completed (the last-frame record).
  void (*frameCompleted)() = nullptr;
  // Recompile the shaders that depend on one of the changed files.
  void (*recompileShaders)(int count, const char* const* paths) = nullptr;
};
void zeSetFrameHooks(const ZeFrameHooks& hooks);
const ZeFrameHooks& zeGetFrameHooks();

// The backdrop colour (0xRRGGBB; the low 24 bits are used). Engine start sets it to black.
void zeSetBackdropColour(unsigned colour);
unsigned zeGetBackdropColour();

// Renders one frame (Sync): the current renderer, the GUI and the 2D queue
// into the frame, presented. 0, or -1 when the run cannot go on (the device
// was lost after a render into an image; reported): the front end stops.
// A minimised window skips the frame (0).
int zeSync();
// Renders one frame into a render target with the same frame body (the
// current renderer, the GUI, the 2D queue, at the target's size), clearing
// it first when asked; begins a frame when none is open and leaves it open
// (the next Sync ends it). false when the frame cannot begin or the target is
// gone (reported).
bool zeRenderFrameInto(ZeRenderTargetHandle target, bool clear);
// The frame's begin and end. Begin returns false (and discards the 2D queue)
// when the driver refuses.
bool zeBeginRendering();
void zeEndRendering();
bool zeInsideFrame();
// The device-lost flag (never set on OpenGL; the path is kept for tests),
// and the mark that a render into an image happened (zeRenderFrameInto sets
// it; tests without a render target set it themselves).
void zeSetDeviceLost(bool lost);
void zeNoteRenderToTextureDone();

unsigned zeTimer();       // ms since the first call (the first call returns 0)
void zeSleep(int milliseconds);
bool zeDeviceRun();       // true while the device's window is open

void zeShowWindow();      // normal state, raised
void zeHideWindow();
void zeMaximizeWindow();
void zeMinimizeWindow();
void zeRestoreWindow();
bool zeIsWindowActive();
// Under Xvfb without a window manager no window ever gets focus: tests that
// need an active window force it (-1 goes back to asking the device).
void zeForceWindowActive(int active);
bool zeWindowMode();      // true in full screen
int zeScreenWidth();
int zeScreenHeight();
int zeScreenDepth();
// 0 or -1; the frame the engine rendered, written in the format of the extension.
int zeScreenShot(const char* path);
void zeShowMouse();
void zeHideMouse();
// Mouse position relative to the client area: -1 left of or above it, edge+1
// beyond the right or bottom edge.
void zeMousePosition(int* x, int* y);
// Clamp used for the cursor position (exposed for tests).
int zeClampToClient(int value, int size);

// The renderer's debug display (RenderSetDebug, F12 in the scene viewer):
// renderers that have one read the flag every frame.
void zeRenderSetDebug(int on);
int zeRenderDebug();

// Recompiles the shaders that depend on the changed files.
void zeShaderHotReload(int count, const char* const* paths);
