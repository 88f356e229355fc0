// The loading screen shown while a demo or scene loads: the plain bar, the
// image "loading.png" above it, or the loading shader (the built-in one on
// OpenGL). Each call draws and presents one whole frame.
#pragma once

#include <irrlicht.h>

void zeLoadingStart();
void zeLoadingProgress(int percent);
void zeLoadingEnd();
// The scene viewer's load callback: the plain bar and "<percent>%" at (10, 10).
void zeLoadingProgressSimple(int percent);

// The plain bar's three rectangles on a W x H screen at `percent`, with a
// loading image of height imageHeight above it (-1: none).
struct SZeLoadingBar {
  irr::core::rect<irr::s32> white, black, fill;
};
SZeLoadingBar zeLoadingBarRects(int width, int height, int percent, int imageHeight);

// Whether the next frames use the loading shader (set by zeLoadingStart).
bool zeLoadingHasShader();
// Engine stop: forgets the image and the shader.
void zeLoadingShutdown();
