// Images by identifier.
//
// Contents: image textures · image table · loading and making · pasting ·
// queries.
#include "render/zeImages.h"

#include <string>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "render/gl/ZeGL2D.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderHDR.h"
#include "render/image/CZeImageLoaderPNG.h"
#include "render/ze2DQueue.h"

using namespace irr;

// --- Image textures ------------------------------------------------------------------

ZeImageTexture::ZeImageTexture(video::ITexture* texture) : driverTexture_(texture) {
  if (driverTexture_) driverTexture_->grab();
}
ZeImageTexture::ZeImageTexture(std::shared_ptr<CZeGLTexture> texture) : engineTexture_(std::move(texture)) {}
ZeImageTexture::ZeImageTexture(std::shared_ptr<CZeGLRenderTarget> target, ZeRenderTargetHandle handle)
    : target_(std::move(target)), targetHandle_(handle) {}

ZeImageTexture::ZeImageTexture(const ZeImageTexture& other)
    : driverTexture_(other.driverTexture_),
      engineTexture_(other.engineTexture_),
      target_(other.target_),
      targetHandle_(other.targetHandle_) {
  if (driverTexture_) driverTexture_->grab();
}

ZeImageTexture& ZeImageTexture::operator=(const ZeImageTexture& other) {
  if (this == &other) return *this;
  if (other.driverTexture_) other.driverTexture_->grab();
  if (driverTexture_) driverTexture_->drop();
  driverTexture_ = other.driverTexture_;
  engineTexture_ = other.engineTexture_;
  target_ = other.target_;
  targetHandle_ = other.targetHandle_;
  return *this;
}

ZeImageTexture::~ZeImageTexture() { reset(); }

void ZeImageTexture::reset() {
  if (driverTexture_) driverTexture_->drop();
  driverTexture_ = nullptr;
  engineTexture_.reset();
  target_.reset();
  targetHandle_ = {};
}

const CZeGLTexture* ZeImageTexture::engineTexture() const {
  if (engineTexture_) return engineTexture_.get();
  return target_ ? target_->colour() : nullptr;
}

int ZeImageTexture::width() const {
  if (driverTexture_) return static_cast<int>(driverTexture_->getOriginalSize().Width);
  if (engineTexture_) return engineTexture_->width();
  return target_ ? target_->width() : 0;
}

int ZeImageTexture::height() const {
  if (driverTexture_) return static_cast<int>(driverTexture_->getOriginalSize().Height);
  if (engineTexture_) return engineTexture_->height();
  return target_ ? target_->height() : 0;
}

// --- Image table -----------------------------------------------------------------------

// The image table's entry (declared by the engine context, defined here).
struct ZeImageCell {
  ZeImageTexture texture;
};

namespace {

// Process state: persists across engine starts, as the colours should.
unsigned imageRgb = 0x00FFFFFF;
int imageAlpha = 255;

// The image loaders as the driver holds them (for loading engine-format files
// without the driver turning them into 8-bit textures).
CZeImageLoaderHDR* hdrLoader = nullptr;
CZeImageLoaderPNG* pngLoader = nullptr;

ZeHandleTable<ZeImageCell>* imageTable() { return zeEngineContext().images.get(); }

ZeImageCell* findImage(int id) { return imageTable() ? imageTable()->find(id) : nullptr; }

const char* imageMissReason() { return imageTable() ? imageTable()->reason() : "the engine is not running"; }

ZeImageCell* imageOrReport(int id, int argIndex) {
  ZeImageCell* record = findImage(id);
  if (!record) zeReportArgError(argIndex, "Image ID %d does not exist. %s", id, imageMissReason());
  return record;
}

// Reserves the identifier with an empty record; nullptr (reported) when taken
// or out of range.
ZeImageCell* reserveImage(int id) {
  auto* record = new ZeImageCell;
  if (!imageTable() || !imageTable()->add(id, record)) {
    delete record;
    zeReportArgError(2, "invalid Image ID %d : %s", id, imageTable() ? imageTable()->reason() : "no engine");
    return nullptr;
  }
  return record;
}

void freeImage(int id) {
  if (imageTable()) delete imageTable()->remove(id);
}

}  // namespace

void zeSetImageLoaders(CZeImageLoaderHDR* hdr, CZeImageLoaderPNG* png) {
  hdrLoader = hdr;
  pngLoader = png;
}

void zeDeleteAllImages() {
  if (ZeHandleTable<ZeImageCell>* table = imageTable()) table->forEach([](int id, ZeImageCell*) { freeImage(id); });
}

// --- Loading and making -------------------------------------------------------------------

namespace {

// Half-float and 16-bit images, which the driver's textures cannot hold, go
// to the GL registry under the file's name (loaded once, like the driver's
// texture cache). Empty for every other file.
ZeImageTexture loadEngineImage(const char* file) {
  ZeEngineContext& ctx = zeEngineContext();
  CZeGLRegistry* registry = ctx.openGL ? CZeGLRegistry::get() : nullptr;
  if (!registry || !hdrLoader || !pngLoader) return ZeImageTexture();
  if (const ZeTextureHandle known = registry->findTexture(file))
    return ZeImageTexture(registry->sharedTexture(known));
  const io::path name(file);
  const bool hdr = hdrLoader->isALoadableFileExtension(name);
  if (!hdr && !pngLoader->isALoadableFileExtension(name)) return ZeImageTexture();
  io::IReadFile* in = ctx.device->getFileSystem()->createAndOpenFile(name);
  if (!in) return ZeImageTexture();
  video::IImage* image = nullptr;
  if (hdr ? hdrLoader->isALoadableFileFormat(in) : pngLoader->isALoadableFileFormat(in)) {
    in->seek(0);
    image = hdr ? hdrLoader->loadImage(in) : pngLoader->loadImage(in);
  }
  in->drop();
  ZeImageTexture result;
  if (auto* engineImage = dynamic_cast<CZeImage*>(image)) {
    if (const ZeTextureHandle uploaded = zeGLUploadImage(file, *engineImage))
      result = ZeImageTexture(registry->sharedTexture(uploaded));
  }
  if (image) image->drop();
  return result;
}

}  // namespace

int zeLoadImage(const char* file, int id) {
  ZeImageCell* record = reserveImage(id);
  if (!record) return -1;
  ZeImageTexture texture = file ? loadEngineImage(file) : ZeImageTexture();
  // A Radiance file the engine loader refused is not tried again by the driver
  // (its loader chain would only repeat the same loader and its warnings).
  const bool radiance = file && hdrLoader && zeEngineContext().openGL && hdrLoader->isALoadableFileExtension(file);
  if (texture.empty() && file && !radiance) {
    video::IVideoDriver* driver = zeEngineContext().driver;
    if (video::ITexture* loaded = driver ? driver->getTexture(file) : nullptr) texture = ZeImageTexture(loaded);
  }
  if (texture.empty()) {
    freeImage(id);
    zeReportArgError(1, "Failed to load image '%s'", file ? file : "");
    return -1;
  }
  record->texture = texture;
  return 0;
}

int zeMakeImage(int width, int height, int id) {
  ZeImageCell* record = reserveImage(id);
  if (!record) return -1;
  ZeEngineContext& ctx = zeEngineContext();
  CZeGLRegistry* registry = ctx.openGL ? CZeGLRegistry::get() : nullptr;
  if (registry && width > 0 && height > 0) {
    const std::string name = "zeRtImage" + std::to_string(id);
    // An image deleted earlier left its target behind; a new one replaces it
    // (draws still queued hold the old one).
    registry->remove(registry->findRenderTarget(name));
    const ZeRenderTargetHandle handle = registry->addRenderTarget(name, width, height, ZE_FORMAT_A8R8G8B8);
    if (handle) {
      record->texture = ZeImageTexture(registry->sharedRenderTarget(handle), handle);
      return 0;
    }
  }
  freeImage(id);
  zeReportArgError(1, "Failed to make image");
  return -1;
}

// --- Pasting ------------------------------------------------------------------------------

void zeSetImageColor(int rgb) { imageRgb = static_cast<unsigned>(rgb); }
void zeSetImageAlpha(int alpha) { imageAlpha = alpha; }
// Only the low 8 bits of the alpha count.
unsigned zeImageDrawColor() { return (static_cast<unsigned>(imageAlpha) << 24) | imageRgb; }

int zePasteImage(int id, int x, int y, int useAlpha) { return zePasteImageStretch(id, x, y, -1, -1, useAlpha); }

int zePasteImageStretch(int id, int x, int y, int width, int height, int useAlpha) {
  ZeImageCell* record = imageOrReport(id, 1);
  if (!record) return -1;
  if (zeQueueImage(record->texture, x, y, width, height, useAlpha != 0, zeImageDrawColor()) != 0)
    return ze2DQueueFull();
  return 0;
}

int zePasteImageWithEffect(int id, int x, int y, int width, int height, int effectId) {
  ZeImageCell* record = imageOrReport(id, 1);
  if (!record || !zeEffectExistsOrReport(effectId, 6)) return -1;
  if (zeQueueImageWithEffect(record->texture, x, y, width, height, zeImageDrawColor(), effectId) != 0)
    return ze2DQueueFull();
  return 0;
}

// --- Queries ------------------------------------------------------------------------------

bool zeImageExist(int id) { return findImage(id) != nullptr; }

int zeDeleteImage(int id) {
  if (!imageOrReport(id, 1)) return -1;
  // The texture stays in the driver (or the registry); queued draws hold their own reference.
  freeImage(id);
  return 0;
}

int zeImageWidth(int id) {
  ZeImageCell* record = imageOrReport(id, 1);
  return record ? record->texture.width() : 0;
}

int zeImageHeight(int id) {
  ZeImageCell* record = imageOrReport(id, 1);
  return record ? record->texture.height() : 0;
}

ZeImageTexture zeGetImageTexture(int id) {
  ZeImageCell* record = findImage(id);
  return record ? record->texture : ZeImageTexture();
}

bool zeFindImage(int id, int argIndex, ZeImageTexture* texture) {
  ZeImageCell* record = imageOrReport(id, argIndex);
  if (record) *texture = record->texture;
  return record != nullptr;
}
