// Irrlicht caches GL state (bound textures, program, blend, depth, culling,
// masks) and only sends what it believes changed. Engine GL code runs inside
// one ZeGLStateGuard, which puts back every piece of that state on exit, so
// Irrlicht's view of the state stays true.
//
// The framebuffer binding is restored too unless the guard is told to keep it:
// switching the draw target is the one change that must outlive the guard
// (Irrlicht never caches it while the engine owns the framebuffers).
#pragma once

class ZeGLStateGuard {
 public:
  enum Framebuffer { RestoreFramebuffer, KeepFramebuffer };
  explicit ZeGLStateGuard(Framebuffer framebuffer = RestoreFramebuffer);
  ~ZeGLStateGuard();
  ZeGLStateGuard(const ZeGLStateGuard&) = delete;
  ZeGLStateGuard& operator=(const ZeGLStateGuard&) = delete;

  // Texture units whose 2D and cube bindings are saved.
  static constexpr int kUnits = 12;

 private:
  bool restoreFramebuffer_;
  int drawFramebuffer_, readFramebuffer_;
  int program_, activeTexture_, vertexArray_, arrayBuffer_;
  int textures2D_[kUnits], texturesCube_[kUnits], samplers_[kUnits];
  int viewport_[4], scissorBox_[4];
  unsigned char enabled_[8];
  int blendSrcRGB_, blendDstRGB_, blendSrcAlpha_, blendDstAlpha_, blendEqRGB_, blendEqAlpha_;
  int depthFunc_, cullMode_, frontFace_;
  unsigned char depthMask_;
  unsigned char colourMask_[4];
  int stencilMask_;
  int packAlignment_, unpackAlignment_, unpackRowLength_;
};
