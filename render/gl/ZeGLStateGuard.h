// Irrlicht caches GL state (bound textures, program, blend, depth, culling,
// masks) and only sends what it believes changed. Engine GL code runs inside
// one CZeGLStateGuard, which puts that state back on exit, so Irrlicht's view
// of the state stays true.
//
// Two kinds of state, treated differently to keep a guard cheap:
// - what Irrlicht's driver may have changed since the last guard (program,
//   array buffer, 2D textures on Irrlicht's units, viewport, scissor, blend,
//   depth, culling, masks, pixel alignment, framebuffers): read back on entry,
//   restored on exit;
// - what only the engine sets (vertex arrays, sampler objects, cube maps,
//   2D textures on the engine's upper units, sRGB writes, row length): it rests
//   at the values of the engine's shadow record between guards, so the guard
//   restores it from there without asking the driver. Engine code that draws
//   sets such state before each draw and may leave it changed; the guard puts
//   it back to rest.
//
// The framebuffer binding is restored too unless the guard is told to keep it:
// switching the draw target is the one change that must outlive the guard.
#pragma once

class CZeGLStateGuard {
 public:
  enum Framebuffer { RestoreFramebuffer, KeepFramebuffer };
  explicit CZeGLStateGuard(Framebuffer framebuffer = RestoreFramebuffer);
  ~CZeGLStateGuard();
  CZeGLStateGuard(const CZeGLStateGuard&) = delete;
  CZeGLStateGuard& operator=(const CZeGLStateGuard&) = delete;

  // Texture units the engine uses; the first kIrrlichtUnits are also Irrlicht's.
  static constexpr int kUnits = 12;
  static constexpr int kIrrlichtUnits = 4;
  // Capabilities read back (Irrlicht sets them).
  static constexpr int kCapabilities = 7;

 private:
  bool restoreFramebuffer_;
  int drawFramebuffer_ = 0, readFramebuffer_ = 0;
  int program_, activeTexture_, arrayBuffer_;
  int textures2D_[kIrrlichtUnits];
  int viewport_[4], scissorBox_[4];
  unsigned char enabled_[kCapabilities];
  int blendSrcRGB_, blendDstRGB_, blendSrcAlpha_, blendDstAlpha_, blendEqRGB_, blendEqAlpha_;
  int depthFunc_, cullMode_, frontFace_;
  unsigned char depthMask_;
  unsigned char colourMask_[4];
  int stencilMask_;
  int packAlignment_, unpackAlignment_;
};
