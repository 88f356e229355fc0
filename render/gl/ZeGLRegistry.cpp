#include "render/gl/ZeGLRegistry.h"

#include "render/gl/ZeGLFrame.h"
#include "render/gl/ZeGLStateGuard.h"
#include "render/gl/ZeGLPixelCentre.h"
#include "render/gl/zeGLInternal.h"

namespace {

struct FormatInfo {
  GLenum internal, format, type;
};

// Engine colour format numbers to GL, by name.
bool formatInfo(int format, FormatInfo* info) {
  switch (format) {
    case ZE_FORMAT_A8R8G8B8: *info = {GL_RGBA8, GL_RGBA, GL_UNSIGNED_BYTE}; return true;
    case ZE_FORMAT_L8: *info = {GL_R8, GL_RED, GL_UNSIGNED_BYTE}; return true;
    case ZE_FORMAT_L16: *info = {GL_R16, GL_RED, GL_UNSIGNED_SHORT}; return true;
    case ZE_FORMAT_G16R16F: *info = {GL_RG16F, GL_RG, GL_HALF_FLOAT}; return true;
    case ZE_FORMAT_A16B16G16R16F: *info = {GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT}; return true;
    case ZE_FORMAT_R32F: *info = {GL_R32F, GL_RED, GL_FLOAT}; return true;
    case ZE_FORMAT_A32B32G32R32F: *info = {GL_RGBA32F, GL_RGBA, GL_FLOAT}; return true;
    default: return false;
  }
}

bool sizeOk(int width, int height) {
  GLint largest = 0;
  glGetIntegerv(GL_MAX_TEXTURE_SIZE, &largest);
  return width > 0 && height > 0 && width <= largest && height <= largest;
}

}  // namespace

// --- Textures ----------------------------------------------------------------------

CZeGLTexture::CZeGLTexture(int width, int height, int format) : width_(width), height_(height), format_(format) {
  FormatInfo info;
  if (!formatInfo(format, &info) || !sizeOk(width, height)) return;
  CZeGLStateGuard guard;
  glGenTextures(1, &name_);
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, name_);
  glTexImage2D(GL_TEXTURE_2D, 0, info.internal, width, height, 0, info.format, info.type, nullptr);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MIN_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAG_FILTER, GL_LINEAR);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_S, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_WRAP_T, GL_CLAMP_TO_EDGE);
  glTexParameteri(GL_TEXTURE_2D, GL_TEXTURE_MAX_LEVEL, 0);
}

CZeGLTexture::~CZeGLTexture() {
  if (name_) glDeleteTextures(1, &name_);
}

bool CZeGLTexture::upload(const unsigned char* rgba) {
  if (!name_ || format_ != ZE_FORMAT_A8R8G8B8 || !rgba) return false;
  CZeGLStateGuard guard;
  glActiveTexture(GL_TEXTURE0);
  glBindTexture(GL_TEXTURE_2D, name_);
  glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
  glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
  // Row 0 of the data is the top row: it lands at t = 0, where the engine's
  // texture coordinates put the top.
  glTexSubImage2D(GL_TEXTURE_2D, 0, 0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba);
  return true;
}

// --- Render targets ------------------------------------------------------------------

CZeGLRenderTarget::CZeGLRenderTarget(int width, int height, int format, bool withDepth, int samples)
    : width_(width), height_(height), samples_(samples) {
  FormatInfo info;
  if (!formatInfo(format, &info) || !sizeOk(width, height)) return;
  CZeGLStateGuard guard;
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  if (samples > 0) {
    glGenRenderbuffers(1, &colourBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, colourBuffer_);
    glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, info.internal, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, colourBuffer_);
  } else {
    colour_ = std::make_unique<CZeGLTexture>(width, height, format);
    glFramebufferTexture2D(GL_FRAMEBUFFER, GL_COLOR_ATTACHMENT0, GL_TEXTURE_2D, colour_->name(), 0);
  }
  if (withDepth) {
    glGenRenderbuffers(1, &depthBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    if (samples > 0)
      glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples, GL_DEPTH24_STENCIL8, width, height);
    else
      glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width, height);
    glFramebufferRenderbuffer(GL_FRAMEBUFFER, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, depthBuffer_);
  }
  glBindRenderbuffer(GL_RENDERBUFFER, 0);
  if (glCheckFramebufferStatus(GL_FRAMEBUFFER) != GL_FRAMEBUFFER_COMPLETE) {
    glDeleteFramebuffers(1, &framebuffer_);
    framebuffer_ = 0;
  }
}

CZeGLRenderTarget::~CZeGLRenderTarget() {
  if (framebuffer_) glDeleteFramebuffers(1, &framebuffer_);
  if (colourBuffer_) glDeleteRenderbuffers(1, &colourBuffer_);
  if (depthBuffer_) glDeleteRenderbuffers(1, &depthBuffer_);
}

bool CZeGLRenderTarget::read(std::vector<unsigned char>* rgba) const {
  if (!framebuffer_ || samples_ > 0) return false;
  CZeGLStateGuard guard;
  rgba->resize(static_cast<std::size_t>(width_) * height_ * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // Row 0 in memory is the top of the image.
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
  return true;
}

// --- Registry -------------------------------------------------------------------------

CZeGLRegistry* CZeGLRegistry::get() { return zeGLFrame().registry(); }

CZeGLTexture* CZeGLRegistry::addTexture(const std::string& name, int width, int height, int format) {
  if (textures_.count(name) || renderTargets_.count(name)) return nullptr;
  auto texture = std::make_unique<CZeGLTexture>(width, height, format);
  if (!texture->name()) return nullptr;
  return (textures_[name] = std::move(texture)).get();
}

CZeGLRenderTarget* CZeGLRegistry::addRenderTarget(const std::string& name, int width, int height, int format,
                                                  bool withDepth) {
  if (textures_.count(name) || renderTargets_.count(name)) return nullptr;
  auto target = std::make_unique<CZeGLRenderTarget>(width, height, format, withDepth);
  if (!target->valid()) return nullptr;
  return (renderTargets_[name] = std::move(target)).get();
}

CZeGLTexture* CZeGLRegistry::texture(const std::string& name) const {
  auto it = textures_.find(name);
  return it == textures_.end() ? nullptr : it->second.get();
}

CZeGLRenderTarget* CZeGLRegistry::renderTarget(const std::string& name) const {
  auto it = renderTargets_.find(name);
  return it == renderTargets_.end() ? nullptr : it->second.get();
}

std::shared_ptr<CZeGLTexture> CZeGLRegistry::sharedTexture(const std::string& name) const {
  auto it = textures_.find(name);
  return it == textures_.end() ? nullptr : it->second;
}

std::shared_ptr<CZeGLRenderTarget> CZeGLRegistry::sharedRenderTarget(const std::string& name) const {
  auto it = renderTargets_.find(name);
  return it == renderTargets_.end() ? nullptr : it->second;
}

bool CZeGLRegistry::remove(const std::string& name) {
  return textures_.erase(name) + renderTargets_.erase(name) > 0;
}

void CZeGLRegistry::clear() {
  textures_.clear();
  renderTargets_.clear();
}

void CZeGLRegistry::setRenderTarget(CZeGLRenderTarget* target) {
  if (!target) {
    zeGLFrame().bindFrame();
    return;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer());
  zeGLSetViewport(0, 0, target->width(), target->height());
}
