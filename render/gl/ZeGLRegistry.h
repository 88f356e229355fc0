// The engine's GL resources: textures and render targets that the engine
// creates with direct OpenGL calls (Irrlicht never sees them). They are kept
// in generation-counted pools (base/ZeHandlePool.h) and found by handle; a
// stale handle is a reported error. Names are for people and files (an image
// loaded once under its file name, a target a scene declares): a name is
// looked up once and the handle kept.
//
// Images are stored top row first, like the textures Irrlicht loads, so a
// shader samples both with the same texture coordinates.
//
// Colour formats use the engine's own numbers (see ZeColourFormat below).
// Later subsystems add kinds (cube, 3D, mip chains) here.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/ZeHandlePool.h"

// Engine colour format numbers.
enum ZeColourFormat {
  ZE_FORMAT_A8R8G8B8 = 3,
  ZE_FORMAT_L8 = 4,
  ZE_FORMAT_L16 = 5,
  ZE_FORMAT_G16R16F = 12,
  ZE_FORMAT_A16B16G16R16F = 13,
  ZE_FORMAT_R32F = 14,
  ZE_FORMAT_A32B32G32R32F = 16,
};

// A 2D texture owned by the engine. Deleted with its owner.
class CZeGLTexture {
 public:
  // An invalid texture (name() == 0) when the format is unknown or the size is bad.
  CZeGLTexture(int width, int height, int format);
  ~CZeGLTexture();
  CZeGLTexture(const CZeGLTexture&) = delete;
  CZeGLTexture& operator=(const CZeGLTexture&) = delete;

  unsigned name() const { return name_; }
  int width() const { return width_; }
  int height() const { return height_; }
  int format() const { return format_; }
  // Replaces the pixels: 8-bit RGBA, top row first. false when not RGBA8.
  bool upload(const unsigned char* rgba);

 private:
  unsigned name_ = 0;
  int width_, height_, format_;
};

// Colour attachments of one target: as many as Direct3D 9 draws at once.
constexpr int kZeMaxColourAttachments = 4;

struct SZeRenderTargetDesc {
  int width = 0, height = 0;
  int colourCount = 1;  // 1..kZeMaxColourAttachments
  int colourFormats[kZeMaxColourAttachments] = {ZE_FORMAT_A8R8G8B8, ZE_FORMAT_A8R8G8B8, ZE_FORMAT_A8R8G8B8,
                                                ZE_FORMAT_A8R8G8B8};
  bool withDepth = true;  // its own depth-stencil buffer
  int samples = 0;        // multisampled: renderbuffers instead of textures
};

// Colour textures (renderbuffers when multisampled) with a framebuffer and a
// depth-stencil buffer (its own, or none). Every attachment is drawn to.
class CZeGLRenderTarget {
 public:
  explicit CZeGLRenderTarget(const SZeRenderTargetDesc& desc);
  // One colour attachment.
  CZeGLRenderTarget(int width, int height, int format, bool withDepth, int samples = 0);
  ~CZeGLRenderTarget();
  CZeGLRenderTarget(const CZeGLRenderTarget&) = delete;
  CZeGLRenderTarget& operator=(const CZeGLRenderTarget&) = delete;

  bool valid() const { return framebuffer_ != 0; }
  unsigned framebuffer() const { return framebuffer_; }
  int colourCount() const { return colourCount_; }
  // Colour attachment i's texture (nullptr for a multisampled target, which
  // has renderbuffers instead, and for i out of range).
  CZeGLTexture* colour(int i = 0) const;
  int width() const { return width_; }
  int height() const { return height_; }
  int samples() const { return samples_; }
  // 8-bit RGBA pixels of colour attachment i, top row first.
  bool read(std::vector<unsigned char>* rgba, int attachment = 0) const;

 private:
  void build(const SZeRenderTargetDesc& desc);

  unsigned framebuffer_ = 0;
  unsigned colourBuffers_[kZeMaxColourAttachments] = {};  // multisampled colour renderbuffers
  unsigned depthBuffer_ = 0;
  std::unique_ptr<CZeGLTexture> colours_[kZeMaxColourAttachments];
  int colourCount_ = 0;
  int width_, height_, samples_;
};

class CZeGLRegistry {
 public:
  // The registry of the running OpenGL device, or nullptr.
  static CZeGLRegistry* get();

  // The empty handle, reported, when the name is taken (by either kind) or
  // the object cannot be made.
  ZeTextureHandle addTexture(const std::string& name, int width, int height, int format);
  ZeRenderTargetHandle addRenderTarget(const std::string& name, const SZeRenderTargetDesc& desc);
  ZeRenderTargetHandle addRenderTarget(const std::string& name, int width, int height, int format,
                                       bool withDepth = true);

  // The object of a live handle; nullptr for the empty handle, and for a
  // stale one with an error message.
  CZeGLTexture* texture(ZeTextureHandle handle) const;
  CZeGLRenderTarget* renderTarget(ZeRenderTargetHandle handle) const;
  // Shared ownership: a holder (a queued 2D draw) keeps the object alive
  // after remove() or clear() until it lets go.
  std::shared_ptr<CZeGLTexture> sharedTexture(ZeTextureHandle handle) const;
  std::shared_ptr<CZeGLRenderTarget> sharedRenderTarget(ZeRenderTargetHandle handle) const;

  // By name, once (no message when the name is unknown).
  ZeTextureHandle findTexture(const std::string& name) const;
  ZeRenderTargetHandle findRenderTarget(const std::string& name) const;

  // The handle goes stale and the name is free again.
  bool remove(ZeTextureHandle handle);
  bool remove(ZeRenderTargetHandle handle);
  void clear();

  // Makes a render target the draw target (viewport = its size), or the
  // frame's virtual back buffer with the empty handle. Only the engine binds
  // framebuffers; Irrlicht draws into whatever is bound. false (reported)
  // for a stale handle; the frame is then bound.
  bool setRenderTarget(ZeRenderTargetHandle target);

 private:
  bool nameFree(const std::string& name) const;

  ZeHandlePool<CZeGLTexture, ZeTextureTag> textures_;
  ZeHandlePool<CZeGLRenderTarget, ZeRenderTargetTag> renderTargets_;
  std::map<std::string, ZeTextureHandle> textureNames_;
  std::map<std::string, ZeRenderTargetHandle> targetNames_;
};
