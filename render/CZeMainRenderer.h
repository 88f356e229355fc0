// The main renderer until the renderer manager exists: it draws what a frame
// of the scene manager drew, from the frame's draw list. Each frame it
// animates the scene once, gathers the active camera's view
// (render/zeDrawList.h), and lets the scene manager's own draw run the
// passes over a hidden root: the scene manager then walks nothing itself,
// draws only Irrlicht's own nodes that the list hands it, empties its
// deletion queue, and calls the engine at each pass (its light-manager
// hooks), where the list's lights and items are executed (render/gl/).
#pragma once

#include "app/IZeRenderer.h"
#include "render/zeDrawList.h"

// Makes the engine start this renderer as its main renderer.
void zeInstallMainRenderer();

// The list of the last frame (for tests and overlays that inspect it).
const ZeDrawList* zeMainRendererList();
