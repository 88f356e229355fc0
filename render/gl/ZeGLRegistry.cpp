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

CZeGLRenderTarget::CZeGLRenderTarget(const SZeRenderTargetDesc& desc)
    : width_(desc.width), height_(desc.height), samples_(desc.samples) {
  build(desc);
}

CZeGLRenderTarget::CZeGLRenderTarget(int width, int height, int format, bool withDepth, int samples)
    : width_(width), height_(height), samples_(samples) {
  SZeRenderTargetDesc desc;
  desc.width = width;
  desc.height = height;
  desc.colourFormats[0] = format;
  desc.withDepth = withDepth;
  desc.samples = samples;
  build(desc);
}

void CZeGLRenderTarget::build(const SZeRenderTargetDesc& desc) {
  if (desc.colourCount < 1 || desc.colourCount > kZeMaxColourAttachments || !sizeOk(width_, height_)) return;
  FormatInfo infos[kZeMaxColourAttachments];
  for (int i = 0; i < desc.colourCount; ++i)
    if (!formatInfo(desc.colourFormats[i], &infos[i])) return;
  CZeGLStateGuard guard;
  glGenFramebuffers(1, &framebuffer_);
  glBindFramebuffer(GL_FRAMEBUFFER, framebuffer_);
  GLenum drawBuffers[kZeMaxColourAttachments];
  for (int i = 0; i < desc.colourCount; ++i) {
    const GLenum attachment = GLenum(GL_COLOR_ATTACHMENT0 + i);
    drawBuffers[i] = attachment;
    if (samples_ > 0) {
      glGenRenderbuffers(1, &colourBuffers_[i]);
      glBindRenderbuffer(GL_RENDERBUFFER, colourBuffers_[i]);
      glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, infos[i].internal, width_, height_);
      glFramebufferRenderbuffer(GL_FRAMEBUFFER, attachment, GL_RENDERBUFFER, colourBuffers_[i]);
    } else {
      colours_[i] = std::make_unique<CZeGLTexture>(width_, height_, desc.colourFormats[i]);
      glFramebufferTexture2D(GL_FRAMEBUFFER, attachment, GL_TEXTURE_2D, colours_[i]->name(), 0);
    }
  }
  colourCount_ = desc.colourCount;
  glDrawBuffers(desc.colourCount, drawBuffers);
  if (desc.withDepth) {
    glGenRenderbuffers(1, &depthBuffer_);
    glBindRenderbuffer(GL_RENDERBUFFER, depthBuffer_);
    if (samples_ > 0)
      glRenderbufferStorageMultisample(GL_RENDERBUFFER, samples_, GL_DEPTH24_STENCIL8, width_, height_);
    else
      glRenderbufferStorage(GL_RENDERBUFFER, GL_DEPTH24_STENCIL8, width_, height_);
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
  for (unsigned buffer : colourBuffers_)
    if (buffer) glDeleteRenderbuffers(1, &buffer);
  if (depthBuffer_) glDeleteRenderbuffers(1, &depthBuffer_);
}

CZeGLTexture* CZeGLRenderTarget::colour(int i) const {
  return i >= 0 && i < colourCount_ ? colours_[i].get() : nullptr;
}

bool CZeGLRenderTarget::read(std::vector<unsigned char>* rgba, int attachment) const {
  if (!framebuffer_ || samples_ > 0 || attachment < 0 || attachment >= colourCount_) return false;
  CZeGLStateGuard guard;
  rgba->resize(static_cast<std::size_t>(width_) * height_ * 4);
  glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer_);
  glReadBuffer(GLenum(GL_COLOR_ATTACHMENT0 + attachment));
  glPixelStorei(GL_PACK_ALIGNMENT, 1);
  // Row 0 in memory is the top of the image.
  glReadPixels(0, 0, width_, height_, GL_RGBA, GL_UNSIGNED_BYTE, rgba->data());
  glReadBuffer(GL_COLOR_ATTACHMENT0);
  return true;
}

// --- Registry -------------------------------------------------------------------------

CZeGLRegistry* CZeGLRegistry::get() { return zeGLFrame().registry(); }

bool CZeGLRegistry::nameFree(const std::string& name) const {
  if (!textureNames_.count(name) && !targetNames_.count(name)) return true;
  zeMessage(ZE_ERROR, "GL registry: the name '%s' is taken", name.c_str());
  return false;
}

ZeTextureHandle CZeGLRegistry::addTexture(const std::string& name, int width, int height, int format) {
  if (!nameFree(name)) return {};
  auto texture = std::make_shared<CZeGLTexture>(width, height, format);
  if (!texture->name()) {
    zeMessage(ZE_ERROR, "GL registry: cannot make texture '%s' (%dx%d, format %d)", name.c_str(), width, height,
              format);
    return {};
  }
  const ZeTextureHandle handle = textures_.add(std::move(texture));
  if (!handle) zeMessage(ZE_ERROR, "GL registry: texture '%s': %s", name.c_str(), textures_.reason());
  else textureNames_[name] = handle;
  return handle;
}

ZeRenderTargetHandle CZeGLRegistry::addRenderTarget(const std::string& name, const SZeRenderTargetDesc& desc) {
  if (!nameFree(name)) return {};
  auto target = std::make_shared<CZeGLRenderTarget>(desc);
  if (!target->valid()) {
    zeMessage(ZE_ERROR, "GL registry: cannot make render target '%s' (%dx%d, %d colour attachments)", name.c_str(),
              desc.width, desc.height, desc.colourCount);
    return {};
  }
  const ZeRenderTargetHandle handle = renderTargets_.add(std::move(target));
  if (!handle) zeMessage(ZE_ERROR, "GL registry: render target '%s': %s", name.c_str(), renderTargets_.reason());
  else targetNames_[name] = handle;
  return handle;
}

ZeRenderTargetHandle CZeGLRegistry::addRenderTarget(const std::string& name, int width, int height, int format,
                                                    bool withDepth) {
  SZeRenderTargetDesc desc;
  desc.width = width;
  desc.height = height;
  desc.colourFormats[0] = format;
  desc.withDepth = withDepth;
  return addRenderTarget(name, desc);
}

CZeGLTexture* CZeGLRegistry::texture(ZeTextureHandle handle) const {
  CZeGLTexture* texture = textures_.find(handle);
  if (!texture && handle) zeMessage(ZE_ERROR, "GL registry: texture %s", textures_.reason());
  return texture;
}

CZeGLRenderTarget* CZeGLRegistry::renderTarget(ZeRenderTargetHandle handle) const {
  CZeGLRenderTarget* target = renderTargets_.find(handle);
  if (!target && handle) zeMessage(ZE_ERROR, "GL registry: render target %s", renderTargets_.reason());
  return target;
}

std::shared_ptr<CZeGLTexture> CZeGLRegistry::sharedTexture(ZeTextureHandle handle) const {
  return texture(handle) ? textures_.shared(handle) : nullptr;
}

std::shared_ptr<CZeGLRenderTarget> CZeGLRegistry::sharedRenderTarget(ZeRenderTargetHandle handle) const {
  return renderTarget(handle) ? renderTargets_.shared(handle) : nullptr;
}

ZeTextureHandle CZeGLRegistry::findTexture(const std::string& name) const {
  auto it = textureNames_.find(name);
  return it == textureNames_.end() ? ZeTextureHandle{} : it->second;
}

ZeRenderTargetHandle CZeGLRegistry::findRenderTarget(const std::string& name) const {
  auto it = targetNames_.find(name);
  return it == targetNames_.end() ? ZeRenderTargetHandle{} : it->second;
}

namespace {
template <typename Names, typename Handle>
void forgetName(Names& names, Handle handle) {
  for (auto it = names.begin(); it != names.end(); ++it)
    if (it->second == handle) {
      names.erase(it);
      return;
    }
}
}  // namespace

bool CZeGLRegistry::remove(ZeTextureHandle handle) {
  if (!textures_.remove(handle)) return false;
  forgetName(textureNames_, handle);
  return true;
}

bool CZeGLRegistry::remove(ZeRenderTargetHandle handle) {
  if (!renderTargets_.remove(handle)) return false;
  forgetName(targetNames_, handle);
  return true;
}

void CZeGLRegistry::clear() {
  textures_.clear();
  renderTargets_.clear();
  textureNames_.clear();
  targetNames_.clear();
}

bool CZeGLRegistry::setRenderTarget(ZeRenderTargetHandle handle) {
  CZeGLRenderTarget* target = handle ? renderTarget(handle) : nullptr;
  if (!target) {
    zeGLFrame().bindFrame();
    return !handle;
  }
  glBindFramebuffer(GL_FRAMEBUFFER, target->framebuffer());
  zeGLSetViewport(0, 0, target->width(), target->height());
  return true;
}
