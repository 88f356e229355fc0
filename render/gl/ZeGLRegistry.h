// The engine's GL resources, by name: textures and render targets that the
// engine creates with direct OpenGL calls (Irrlicht never sees them).
// Images are stored top row first, like the textures Irrlicht loads, so a
// shader samples both with the same texture coordinates.
//
// Colour formats use the engine's own numbers (see zeGLColourFormat below).
// Later subsystems add kinds (cube, 3D, mip chains, MRT) here.
#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

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

// A colour texture with a framebuffer and a depth-stencil buffer (its own,
// or none).
class CZeGLRenderTarget {
 public:
  CZeGLRenderTarget(int width, int height, int format, bool withDepth, int samples = 0);
  ~CZeGLRenderTarget();
  CZeGLRenderTarget(const CZeGLRenderTarget&) = delete;
  CZeGLRenderTarget& operator=(const CZeGLRenderTarget&) = delete;

  bool valid() const { return framebuffer_ != 0; }
  unsigned framebuffer() const { return framebuffer_; }
  // The colour texture (nullptr for a multisampled target, which has a
  // renderbuffer instead).
  CZeGLTexture* colour() const { return colour_.get(); }
  int width() const { return width_; }
  int height() const { return height_; }
  int samples() const { return samples_; }
  // 8-bit RGBA pixels of the colour buffer, top row first.
  bool read(std::vector<unsigned char>* rgba) const;

 private:
  unsigned framebuffer_ = 0;
  unsigned colourBuffer_ = 0;  // multisampled colour renderbuffer
  unsigned depthBuffer_ = 0;
  std::unique_ptr<CZeGLTexture> colour_;
  int width_, height_, samples_;
};

class CZeGLRegistry {
 public:
  // The registry of the running OpenGL device, or nullptr.
  static CZeGLRegistry* get();

  // nullptr when the name is taken or the texture cannot be made.
  CZeGLTexture* addTexture(const std::string& name, int width, int height, int format);
  CZeGLRenderTarget* addRenderTarget(const std::string& name, int width, int height, int format,
                                     bool withDepth = true);
  CZeGLTexture* texture(const std::string& name) const;
  CZeGLRenderTarget* renderTarget(const std::string& name) const;
  // Shared handles: a holder (a queued 2D draw) keeps the object alive after
  // remove() or clear() until it lets go. Empty when the name is unknown.
  std::shared_ptr<CZeGLTexture> sharedTexture(const std::string& name) const;
  std::shared_ptr<CZeGLRenderTarget> sharedRenderTarget(const std::string& name) const;
  bool remove(const std::string& name);
  void clear();

  // Makes a render target the draw target (viewport = its size), or the
  // frame's virtual back buffer with nullptr. Only the engine binds
  // framebuffers; Irrlicht draws into whatever is bound.
  void setRenderTarget(CZeGLRenderTarget* target);

 private:
  std::map<std::string, std::shared_ptr<CZeGLTexture>> textures_;
  std::map<std::string, std::shared_ptr<CZeGLRenderTarget>> renderTargets_;
};
