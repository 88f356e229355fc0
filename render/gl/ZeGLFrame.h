// The OpenGL frame: the layer that keeps Direct3D's conventions on OpenGL.
//
// - Depth: clip-space z from 0 to 1, so Irrlicht's left-handed projections
//   and depth written by shaders mean what they mean on Direct3D.
// - Images top row first: the clip origin is the upper left, so row 0 of every
//   framebuffer is the top of the picture. The frame is rendered into a
//   virtual back buffer and presented to the window with a vertical flip.
//   Irrlicht's own 3D, 2D and GUI drawing lands the right way up unchanged,
//   because its 2D projection maps y = 0 to clip +1, the top row.
//   Facing is unaffected: GL computes front faces so that an upper-left
//   origin culls the same triangles as a lower-left one.
//   Exception: Irrlicht's partial viewports (setViewPort) and the clip of its
//   scaled draw2DImage (the one clip it does with glScissor) are computed for
//   a lower-left origin and land mirrored; engine code sets viewports and
//   scissors through this layer. Text, rectangles, unscaled images and the
//   GUI clip on the processor and land right.
#pragma once

#include "app/zeFrameBackend.h"

#include <memory>

class CZeGLRegistry;
class CZeGLRenderTarget;

class CZeGLFrame final : public IZeFrameBackend {
 public:
  CZeGLFrame();
  ~CZeGLFrame() override;

  bool attach(irr::IrrlichtDevice* device, int samples, bool vsync, char* reason) override;
  void detach() override;
  void beginFrame() override;
  bool bindTarget(ZeRenderTargetHandle target, int* width, int* height) override;
  void clearFrame(irr::video::SColor colour) override;
  void endFrame() override;
  irr::video::IImage* readFrame() override;
  int frameBits() const override { return 32; }

  // The registry while a device is attached, else nullptr.
  CZeGLRegistry* registry() const { return registry_.get(); }
  // Makes the virtual back buffer the draw target again.
  void bindFrame();
  // The single-sample back buffer (what is presented and read back).
  CZeGLRenderTarget* backBuffer() const { return backBuffer_.get(); }

 private:
  bool makeBuffers(int width, int height);

  irr::IrrlichtDevice* device_ = nullptr;
  int samples_ = 0;
  std::unique_ptr<CZeGLRegistry> registry_;
  std::unique_ptr<CZeGLRenderTarget> backBuffer_;
  std::unique_ptr<CZeGLRenderTarget> multisampled_;  // drawn into when multisampling
};

CZeGLFrame& zeGLFrame();
