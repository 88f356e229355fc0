// Who draws a frame: one renderer interface, and one registration of the
// current renderer with the main renderer behind it. The frame (Sync),
// render-to-image and scenes that bring their own renderer all go through it.
//
// Engine start makes the main renderer with the factory a subsystem
// registered (zeSetMainRendererFactory); the current renderer is the main one
// unless a scene shows its own (zeSetCurrentRenderer). Without a factory the
// engine does not start ("fails to init render: no renderer is linked into
// this program"), as it does without its OpenGL layer.
#pragma once

#include <irrlicht.h>

#include "base/ZeHandlePool.h"

struct ZeEngineContext;

// One frame as the frame body hands it to the renderer.
struct SZeRenderFrame {
  // Where the frame goes: a render target, or empty for the frame's back
  // buffer. It is bound when render() is called and must be bound again
  // when render() returns: the GUI and the 2D queue draw over it.
  ZeRenderTargetHandle target;
  // Clear colour, depth and stencil to `clearColour` first (a render into an
  // image may keep what the image holds).
  bool clear = true;
  irr::video::SColor clearColour{0xFF000000};
};

// A preprocessor macro a renderer adds to a material's effect.
struct SZeRendererMacro {
  const char* name = nullptr;
  const char* definition = nullptr;
};

class IZeRenderer : public virtual irr::IReferenceCounted {
 public:
  // Draws one frame of the current scene; false when it could not.
  virtual bool render(const SZeRenderFrame& frame) = 0;
  // The surface effect file and the macros a material of `materialType` is
  // compiled with for this renderer. `*count` is the capacity of `macros` in
  // and the number written out. A renderer without its own surface shaders
  // gives no file and no macros.
  virtual bool getMaterialEffect(const char** effectFile, SZeRendererMacro* macros, int* count, int materialType) {
    *effectFile = "";
    *count = 0;
    return true;
  }
};

// Makes the main renderer at engine start (after the engine manager); nullptr
// with the reason written (at most 1023 characters) on failure.
using ZeMainRendererFactory = IZeRenderer* (*)(ZeEngineContext& context, char* reason);
void zeSetMainRendererFactory(ZeMainRendererFactory factory);

// The renderer that draws the frame: the current one, else the main one;
// nullptr while the engine is stopped.
IZeRenderer* zeCurrentRenderer();
IZeRenderer* zeMainRenderer();
// Makes `renderer` current (grabbed while it is); nullptr makes the main
// renderer current again.
void zeSetCurrentRenderer(IZeRenderer* renderer);

// Engine start and stop (app/zeEngine.cpp): the main renderer from the
// factory, and releasing both.
bool zeStartMainRenderer(ZeEngineContext& context, char* reason);
void zeStopRenderers();
