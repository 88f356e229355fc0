// The narrow seam between the engine shell and the graphics layer beneath it.
//
// The shell (app/) knows nothing about OpenGL. The OpenGL layer (render/gl/)
// implements this interface and installs itself with zeSetFrameBackend()
// (render/gl/zeGLInstall.h); the executable and the GL tests do that once at
// start. Engine start on the OpenGL driver fails plainly when no backend is
// installed, rather than render with the wrong conventions.
#pragma once

#include <irrlicht.h>

#include "base/ZeHandlePool.h"

class IZeFrameBackend {
 public:
  virtual ~IZeFrameBackend() = default;
  // The device and its OpenGL context exist. `samples` is the frame's
  // multisampling (0 for none); `vsync` asks for presents in step with the
  // display. false, with the reason written (at most 1023 characters), when
  // the layer cannot work on this context.
  virtual bool attach(irr::IrrlichtDevice* device, int samples, bool vsync, char* reason) = 0;
  // The device is about to be dropped: release every GL object.
  virtual void detach() = 0;
  // After the driver's beginScene: make the virtual back buffer the target.
  virtual void beginFrame() = 0;
  // Makes `target` the draw target (the empty handle: the virtual back
  // buffer) and gives its size in pixels. false, reported, for a handle that
  // names no render target; the back buffer is then bound.
  virtual bool bindTarget(ZeRenderTargetHandle target, int* width, int* height) = 0;
  // Clears the bound target's colour, depth and stencil.
  virtual void clearFrame(irr::video::SColor colour) = 0;
  // Before the driver's endScene: present the frame (flipped to the window).
  virtual void endFrame() = 0;
  // The last frame the engine rendered, top row first, 24-bit colour, or
  // nullptr. The caller drops the image.
  virtual irr::video::IImage* readFrame() = 0;
  // Bits per pixel of the frame the engine renders into.
  virtual int frameBits() const = 0;
};

void zeSetFrameBackend(IZeFrameBackend* backend);
IZeFrameBackend* zeGetFrameBackend();
