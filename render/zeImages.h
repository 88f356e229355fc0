// Images by identifier: loaded files and renderable images (render targets a
// frame can be rendered into), their textures, and the commands that paste
// them into the 2D queue. The script commands of the same names call these.
#pragma once

#include <memory>

#include <irrlicht.h>

#include "base/ZeHandlePool.h"

class CZeGLTexture;
class CZeGLRenderTarget;
class CZeImageLoaderHDR;
class CZeImageLoaderPNG;

// What an image draws from: a driver texture (grabbed), an engine texture
// from the GL registry (half-float and 16-bit images) or an engine render
// target (renderable images). Copies share it: a queued draw holds one, so
// the texture outlives an image deleted before the frame ends.
class ZeImageTexture {
 public:
  ZeImageTexture() = default;
  explicit ZeImageTexture(irr::video::ITexture* texture);
  explicit ZeImageTexture(std::shared_ptr<CZeGLTexture> texture);
  ZeImageTexture(std::shared_ptr<CZeGLRenderTarget> target, ZeRenderTargetHandle handle);
  ZeImageTexture(const ZeImageTexture& other);
  ZeImageTexture& operator=(const ZeImageTexture& other);
  ~ZeImageTexture();

  bool empty() const { return !driverTexture_ && !engineTexture_ && !target_; }
  irr::video::ITexture* driverTexture() const { return driverTexture_; }
  // The engine texture (a render target's colour texture for renderable images).
  const CZeGLTexture* engineTexture() const;
  CZeGLRenderTarget* renderTarget() const { return target_.get(); }
  // The registry handle a frame renders into (renderable images only).
  ZeRenderTargetHandle renderTargetHandle() const { return targetHandle_; }
  int width() const;
  int height() const;
  void reset();

 private:
  irr::video::ITexture* driverTexture_ = nullptr;
  std::shared_ptr<CZeGLTexture> engineTexture_;
  std::shared_ptr<CZeGLRenderTarget> target_;
  ZeRenderTargetHandle targetHandle_;
};

int zeLoadImage(const char* file, int id);       // 0 or -1
int zeMakeImage(int width, int height, int id);  // 0 or -1; a render target
void zeSetImageColor(int rgb);
void zeSetImageAlpha(int alpha);
int zePasteImage(int id, int x, int y, int useAlpha);
int zePasteImageStretch(int id, int x, int y, int width, int height, int useAlpha);
int zePasteImageWithEffect(int id, int x, int y, int width, int height, int effectId);
bool zeImageExist(int id);
int zeDeleteImage(int id);
int zeImageWidth(int id);
int zeImageHeight(int id);
// The image's texture, or an empty one (unknown identifier, no message).
ZeImageTexture zeGetImageTexture(int id);
// The image's texture; false, reported at `argIndex` ("Image ID %d does not
// exist. %s"), for an unknown identifier.
bool zeFindImage(int id, int argIndex, ZeImageTexture* texture);
// The image colour as queued: (alpha << 24) | RGB, in 32 bits.
unsigned zeImageDrawColor();

// --- For the 2D layer's wiring (render/ze2D.cpp) ---------------------------------------
// The loaders the driver holds, asked directly for engine-format files
// (nullptr, nullptr when they go).
void zeSetImageLoaders(CZeImageLoaderHDR* hdr, CZeImageLoaderPNG* png);
// Frees every image record (engine stop).
void zeDeleteAllImages();
