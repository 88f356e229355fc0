// Per-frame services every front end uses: render one frame, the clock, the
// window, the mouse, screenshots and shader hot reload. Named after the script
// commands that expose them.
#pragma once

#include <irrlicht.h>

// Later subsystems plug into the frame here. Empty hooks are skipped; the
// default renderer clears to the backdrop colour and draws the scene graph.
struct ZeFrameHooks {
  // The current renderer draws the scene (clear colour = backdrop).
  void (*renderScene)(irr::video::SColor clearColour) = nullptr;
  // Execute and empty the frame's 2D queue; discard it without drawing.
  void (*execute2DQueue)() = nullptr;
  void (*discard2DQueue)() = nullptr;
  // A frame was completed (the last-frame record).
  void (*frameCompleted)() = nullptr;
  // Recompile the shaders that depend on one of the changed files.
  void (*recompileShaders)(int count, const char* const* paths) = nullptr;
  // Draws the scene graph for the default renderer and render-to-image
  // (empty: Irrlicht's scene manager draws it all).
  void (*drawSceneGraph)() = nullptr;
};
void zeSetFrameHooks(const ZeFrameHooks& hooks);
const ZeFrameHooks& zeGetFrameHooks();
// The scene graph drawn through the drawSceneGraph hook, or by Irrlicht.
void zeDrawSceneGraph();

// The backdrop colour (0xRRGGBB; the low 24 bits are used).
void zeSetBackdropColour(unsigned colour);
unsigned zeGetBackdropColour();

// Renders one frame (Sync).
void zeSync();
// The frame's begin and end, shared with the render-to-image calls. Begin
// returns false (and discards the 2D queue) when the driver refuses.
bool zeBeginRendering();
void zeEndRendering();
bool zeInsideFrame();
// Render-to-image bookkeeping: clears the device-lost flag before the first
// render-to-texture, and marks that one happened.
void zeNoteRenderToTextureStart();
void zeNoteRenderToTextureDone();
// The device-lost flag (never set on OpenGL; the path is kept for tests).
void zeSetDeviceLost(bool lost);

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

// Engine start and stop: outside a frame, no render-to-texture yet, clock restarted.
void zeFrameStateReset();
