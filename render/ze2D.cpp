// The 2D layer.
//
// Contents: image textures · current state · queue · images · drawing ·
// text and fonts · faders · lifecycle and wiring.
#include "render/ze2D.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "render/CZeFreeTypeFont.h"
#include "effect/CZeEffectCallback.h"
#include "effect/CZeEffectManager.h"
#include "effect/zeEffectCommands.h"
#include "render/gl/ZeGL2D.h"
#include "render/gl/ZeGL2DEffect.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderDDSVolume.h"
#include "render/image/CZeImageLoaderHDR.h"
#include "render/image/CZeImageLoaderPNG.h"
#include "render/image/zeCurlNoise.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeLoadingScreen.h"

using namespace irr;

// --- Image textures ------------------------------------------------------------------

ZeImageTexture::ZeImageTexture(video::ITexture* texture) : driverTexture_(texture) {
  if (driverTexture_) driverTexture_->grab();
}
ZeImageTexture::ZeImageTexture(std::shared_ptr<CZeGLTexture> texture) : engineTexture_(std::move(texture)) {}
ZeImageTexture::ZeImageTexture(std::shared_ptr<CZeGLRenderTarget> target) : target_(std::move(target)) {}

ZeImageTexture::ZeImageTexture(const ZeImageTexture& other)
    : driverTexture_(other.driverTexture_), engineTexture_(other.engineTexture_), target_(other.target_) {
  if (driverTexture_) driverTexture_->grab();
}

ZeImageTexture& ZeImageTexture::operator=(const ZeImageTexture& other) {
  if (this == &other) return *this;
  if (other.driverTexture_) other.driverTexture_->grab();
  if (driverTexture_) driverTexture_->drop();
  driverTexture_ = other.driverTexture_;
  engineTexture_ = other.engineTexture_;
  target_ = other.target_;
  return *this;
}

ZeImageTexture::~ZeImageTexture() { reset(); }

void ZeImageTexture::reset() {
  if (driverTexture_) driverTexture_->drop();
  driverTexture_ = nullptr;
  engineTexture_.reset();
  target_.reset();
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

// --- Current state -------------------------------------------------------------------

// The image table's entry (declared by the engine context, defined here).
struct ZeImageCell {
  ZeImageTexture texture;
};

namespace {

// Process state: persists across engine starts, as the colours should.
unsigned imageRgb = 0x00FFFFFF;
int imageAlpha = 255;
unsigned inkRgb = 0x00FFFFFF;
int inkAlpha = 255;
unsigned textRgb = 0x00FFFFFF;
int textAlpha = 255;
gui::IGUIFont* textFont = nullptr;  // nullptr: the built-in font
std::string textFontName;
gui::IGUIInOutFader* fader = nullptr;  // grabbed
// TrueType fonts made so far, by the name they were asked for (the GUI
// environment holds them).
std::map<std::string, gui::IGUIFont*> trueTypeFonts;

// The image loaders as the driver holds them (for loading engine-format files
// without the driver turning them into 8-bit textures).
CZeImageLoaderHDR* hdrLoader = nullptr;
CZeImageLoaderPNG* pngLoader = nullptr;

// Draw colours in 32 bits: only the low 8 bits of the image and ink alphas count.
unsigned drawColour(int alpha, unsigned rgb) { return (static_cast<unsigned>(alpha) << 24) | rgb; }

// --- Queue -----------------------------------------------------------------------------

enum Kind { KindText = 1, KindImage = 2, KindLine = 3, KindBox = 4, KindBoxWithEffect = 5, KindImageWithEffect = 6 };

struct Command {
  int kind;
  int words[7];
  ZeImageTexture texture;  // images: keeps the texture alive until the queue has run
  gui::IGUIFont* font;     // texts: the GUI environment's (lives as long as the device)
};

Command commands[kZe2DMaxDraws];
char texts[kZe2DMaxTexts][kZe2DTextSize];
int commandCount = 0;
int textCount = 0;

Command* nextCommand() { return commandCount < kZe2DMaxDraws ? &commands[commandCount] : nullptr; }

int tooMany() {
  zeReportArgError(-1, "too many 2D draws in one frame");
  return -1;
}

ZeHandleTable<ZeImageCell>* imageTable() { return zeEngineContext().images.get(); }

ZeImageCell* findImage(int id) { return imageTable() ? imageTable()->find(id) : nullptr; }

const char* imageMissReason() { return imageTable() ? imageTable()->reason() : "the engine is not running"; }

ZeImageCell* imageOrReport(int id, int argIndex) {
  ZeImageCell* record = findImage(id);
  if (!record) zeReportArgError(argIndex, "Image ID %d does not exist. %s", id, imageMissReason());
  return record;
}

bool effectExistsOrReport(int id, int argIndex) {
  ZeHandleTable<ZeEffectCell>* effects = zeEngineContext().effects.get();
  if (effects && effects->find(id)) return true;
  zeReportArgError(argIndex, "Effect ID %d does not exist. %s", id,
                   effects ? effects->reason() : "the engine is not running");
  return false;
}

}  // namespace

int zeQueueText(gui::IGUIFont* font, int x, int y, unsigned colour, const char* text) {
  Command* c = nextCommand();
  if (!c || textCount >= kZe2DMaxTexts) return -1;
  c->kind = KindText;
  c->font = font;
  c->words[0] = x;
  c->words[1] = y;
  c->words[2] = static_cast<int>(colour);
  c->words[3] = textCount;
  std::snprintf(texts[textCount], kZe2DTextSize, "%s", text ? text : "");
  ++textCount;
  ++commandCount;
  return 0;
}

int zeQueueImage(const ZeImageTexture& texture, int x, int y, int width, int height, bool useAlpha,
                 unsigned colour) {
  Command* c = nextCommand();
  if (!c) return -1;
  c->kind = KindImage;
  c->texture = texture;
  const int words[7] = {x, y, width, height, useAlpha ? 1 : 0, static_cast<int>(colour), 0};
  std::memcpy(c->words, words, sizeof words);
  ++commandCount;
  return 0;
}

int zeQueueImageWithEffect(const ZeImageTexture& texture, int x, int y, int width, int height, unsigned colour,
                           int effectId) {
  Command* c = nextCommand();
  if (!c) return -1;
  c->kind = KindImageWithEffect;
  c->texture = texture;
  const int words[7] = {x, y, width, height, 0, static_cast<int>(colour), effectId};
  std::memcpy(c->words, words, sizeof words);
  ++commandCount;
  return 0;
}

namespace {
int queueShape(int kind, int x1, int y1, int x2, int y2, unsigned colour, int effectId = 0) {
  Command* c = nextCommand();
  if (!c) return -1;
  c->kind = kind;
  const int words[7] = {x1, y1, x2, y2, static_cast<int>(colour), effectId, 0};
  std::memcpy(c->words, words, sizeof words);
  ++commandCount;
  return 0;
}

// Widens the bytes one to one (Latin-1) into a reused wide string.
const core::stringw& widened(const char* text) {
  static wchar_t buffer[kZe2DTextSize + 1];
  static core::stringw wide;
  int n = 0;
  for (; text[n] && n < kZe2DTextSize; ++n) buffer[n] = static_cast<unsigned char>(text[n]);
  buffer[n] = 0;
  wide = buffer;
  return wide;
}

gui::IGUIFont* fontOrBuiltIn(gui::IGUIFont* font) { return font ? font : zeEngineContext().font; }

void drawImage(video::IVideoDriver* driver, const Command& c) {
  const int x = c.words[0], y = c.words[1], w = c.words[2], h = c.words[3];
  const bool useAlpha = c.words[4] != 0;
  const unsigned colour = static_cast<unsigned>(c.words[5]);
  const bool stretched = w >= 0 && h >= 0;
  if (video::ITexture* texture = c.texture.driverTexture()) {
    const core::dimension2du size = texture->getOriginalSize();
    const core::rect<s32> source(0, 0, size.Width, size.Height);
    if (stretched) {
      const video::SColor colours[4] = {colour, colour, colour, colour};
      video::SMaterial& material = driver->getMaterial2D();
      material.TextureLayer[0].BilinearFilter = true;
      material.AntiAliasing = 15;
      driver->enableMaterial2D(true);
      driver->draw2DImage(texture, core::rect<s32>(x, y, x + w, y + h), source, nullptr, colours, useAlpha);
      driver->enableMaterial2D(false);
    } else {
      driver->draw2DImage(texture, core::position2d<s32>(x, y), source, nullptr, video::SColor(colour), useAlpha);
    }
    return;
  }
  if (const CZeGLTexture* texture = c.texture.engineTexture()) {
    const int dw = stretched ? w : texture->width();
    const int dh = stretched ? h : texture->height();
    zeGLDrawImage2D(*texture, x, y, dw, dh, colour, useAlpha);
  }
}

// Unknown effects (deleted since queuing) draw nothing; so does the NULL driver.
void drawWithEffect(const Command& c) {
  if (!zeEngineContext().openGL) return;
  SZeEffectCommandEnv effects = zeEngineEffectCommands();
  CZeEffect* effect = zeEffectOf(effects, c.kind == KindBoxWithEffect ? c.words[5] : c.words[6]);
  CZeEffectManager* manager = zeEffectManager();
  auto* callback = manager ? dynamic_cast<CZeEffectCallback*>(manager->defaultCallback()) : nullptr;
  if (!effect || !callback) return;
  if (c.kind == KindBoxWithEffect) {
    const float rectangle[4] = {float(c.words[0]), float(c.words[1]), float(c.words[2] - c.words[0]),
                                float(c.words[3] - c.words[1])};
    zeGLDraw2DWithEffect(effect, callback, rectangle, static_cast<unsigned>(c.words[4]), nullptr);
    return;
  }
  const bool sized = c.words[2] >= 0 && c.words[3] >= 0;
  const float rectangle[4] = {float(c.words[0]), float(c.words[1]), float(sized ? c.words[2] : c.texture.width()),
                              float(sized ? c.words[3] : c.texture.height())};
  zeGLDraw2DWithEffect(effect, callback, rectangle, static_cast<unsigned>(c.words[5]), &c.texture);
}

}  // namespace

int zeQueueLine(int x1, int y1, int x2, int y2, unsigned colour) { return queueShape(KindLine, x1, y1, x2, y2, colour); }
int zeQueueBox(int x1, int y1, int x2, int y2, unsigned colour) { return queueShape(KindBox, x1, y1, x2, y2, colour); }
int zeQueueBoxWithEffect(int x1, int y1, int x2, int y2, unsigned colour, int effectId) {
  return queueShape(KindBoxWithEffect, x1, y1, x2, y2, colour, effectId);
}

void zeExecute2DQueue() {
  video::IVideoDriver* driver = zeEngineContext().driver;
  if (driver) {
    for (int i = 0; i < commandCount; ++i) {
      const Command& c = commands[i];
      const unsigned colour = static_cast<unsigned>(c.words[4]);
      switch (c.kind) {
        case KindText: {
          const char* text = texts[c.words[3]];
          gui::IGUIFont* font = fontOrBuiltIn(c.font);
          if (!text[0] || !font) break;
          // Neither centred nor clipped: the rectangle only places the text.
          font->draw(widened(text), core::rect<s32>(c.words[0], c.words[1], c.words[0] + 1, c.words[1] + 1),
                     video::SColor(static_cast<unsigned>(c.words[2])), false, false, nullptr);
          break;
        }
        case KindImage: drawImage(driver, c); break;
        case KindBoxWithEffect:
        case KindImageWithEffect: drawWithEffect(c); break;
        case KindLine:
          driver->draw2DLine(core::position2d<s32>(c.words[0], c.words[1]),
                             core::position2d<s32>(c.words[2], c.words[3]), video::SColor(colour));
          break;
        case KindBox: {
          if (!zeEngineContext().openGL) {
            driver->draw2DRectangle(video::SColor(colour),
                                    core::rect<s32>(c.words[0], c.words[1], c.words[2], c.words[3]));
            break;
          }
          // A run of boxes goes out in one draw (the driver draws one at a time).
          static SZeGLBox run[kZe2DMaxDraws];
          int count = 0;
          for (; i < commandCount && commands[i].kind == KindBox; ++i) {
            const int* w = commands[i].words;
            run[count++] = {w[0], w[1], w[2], w[3], static_cast<unsigned>(w[4])};
          }
          --i;  // the loop's own step moves past the run
          zeGLDrawBoxes(run, count);
          break;
        }
        default: break;
      }
    }
  }
  zeClear2DQueue();
}

void zeClear2DQueue() {
  // Drops the texture references the draws held.
  for (int i = 0; i < commandCount; ++i) commands[i].texture.reset();
  commandCount = 0;
  textCount = 0;
}

int ze2DQueueCount() { return commandCount; }
int ze2DQueueTextCount() { return textCount; }

bool ze2DQueuedCommand(int index, int* kind, int words[7]) {
  if (index < 0 || index >= commandCount) return false;
  *kind = commands[index].kind;
  std::memcpy(words, commands[index].words, sizeof commands[index].words);
  return true;
}

// --- Images ----------------------------------------------------------------------------

namespace {

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

// Half-float and 16-bit images, which the driver's textures cannot hold, go
// to the GL registry under the file's name (loaded once, like the driver's
// texture cache). Empty for every other file.
ZeImageTexture loadEngineImage(const char* file) {
  ZeEngineContext& ctx = zeEngineContext();
  CZeGLRegistry* registry = ctx.openGL ? CZeGLRegistry::get() : nullptr;
  if (!registry || !hdrLoader || !pngLoader) return ZeImageTexture();
  if (auto known = registry->sharedTexture(file)) return ZeImageTexture(known);
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
    if (zeGLUploadImage(file, *engineImage)) result = ZeImageTexture(registry->sharedTexture(file));
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
  std::shared_ptr<CZeGLRenderTarget> target;
  if (registry && width > 0 && height > 0) {
    const std::string name = "zeRtImage" + std::to_string(id);
    // An image deleted earlier left its target behind; a new one replaces it
    // (draws still queued hold the old one).
    registry->remove(name);
    if (registry->addRenderTarget(name, width, height, ZE_FORMAT_A8R8G8B8)) target = registry->sharedRenderTarget(name);
  }
  if (!target) {
    freeImage(id);
    zeReportArgError(1, "Failed to make image");
    return -1;
  }
  record->texture = ZeImageTexture(target);
  return 0;
}

int zeRenderToImage(int id, int clear) {
  ZeImageCell* record = imageOrReport(id, 1);
  if (!record) return -1;
  CZeGLRenderTarget* target = record->texture.renderTarget();
  if (!target) {
    zeReportArgError(1, "Image ID %d is not renderable", id);
    return -1;
  }
  ZeEngineContext& ctx = zeEngineContext();
  if (ctx.device->isWindowMinimized()) {
    zeClear2DQueue();
    ctx.device->yield();
    return 0;
  }
  zeNoteRenderToTextureStart();
  if (!zeBeginRendering()) {
    zeClear2DQueue();
    return -1;
  }
  CZeGLRegistry* registry = CZeGLRegistry::get();
  registry->setRenderTarget(target);
  // Irrlicht places 2D and projections by its screen size: for the frame
  // body it is the image's size.
  const core::dimension2du screen = ctx.driver->getScreenSize();
  ctx.driver->OnResize(core::dimension2du(target->width(), target->height()));
  const video::SColor backdrop(0xFF000000 | zeGetBackdropColour());
  if (clear && zeGetFrameBackend()) zeGetFrameBackend()->clearFrame(backdrop);
  if (zeGetFrameHooks().renderScene)
    zeGetFrameHooks().renderScene(backdrop);
  else
    zeDrawSceneGraph();
  ctx.gui->drawAll();
  zeExecute2DQueue();
  ctx.driver->OnResize(screen);
  registry->setRenderTarget(nullptr);
  zeNoteRenderToTextureDone();
  return 0;
}

void zeSetImageColor(int rgb) { imageRgb = static_cast<unsigned>(rgb); }
void zeSetImageAlpha(int alpha) { imageAlpha = alpha; }

int zePasteImage(int id, int x, int y, int useAlpha) { return zePasteImageStretch(id, x, y, -1, -1, useAlpha); }

int zePasteImageStretch(int id, int x, int y, int width, int height, int useAlpha) {
  ZeImageCell* record = imageOrReport(id, 1);
  if (!record) return -1;
  if (zeQueueImage(record->texture, x, y, width, height, useAlpha != 0, zeImageDrawColour()) != 0) return tooMany();
  return 0;
}

int zePasteImageWithEffect(int id, int x, int y, int width, int height, int effectId) {
  ZeImageCell* record = imageOrReport(id, 1);
  if (!record || !effectExistsOrReport(effectId, 6)) return -1;
  if (zeQueueImageWithEffect(record->texture, x, y, width, height, zeImageDrawColour(), effectId) != 0)
    return tooMany();
  return 0;
}

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

// --- Drawing ---------------------------------------------------------------------------

void zeInk(int rgb) { inkRgb = static_cast<unsigned>(rgb); }
void zeInkAlpha(int alpha) { inkAlpha = alpha; }
unsigned zeInkColour() { return drawColour(inkAlpha, inkRgb); }
unsigned zeImageDrawColour() { return drawColour(imageAlpha, imageRgb); }
unsigned zeTextDrawColour() { return drawColour(textAlpha, textRgb); }

int zeBox(int x1, int y1, int x2, int y2) {
  return zeQueueBox(x1, y1, x2, y2, zeInkColour()) == 0 ? 0 : tooMany();
}

int zeLine(int x1, int y1, int x2, int y2) {
  return zeQueueLine(x1, y1, x2, y2, zeInkColour()) == 0 ? 0 : tooMany();
}

int zeBoxWithEffect(int x1, int y1, int x2, int y2, int effectId) {
  if (!effectExistsOrReport(effectId, 5)) return -1;
  return zeQueueBoxWithEffect(x1, y1, x2, y2, zeInkColour(), effectId) == 0 ? 0 : tooMany();
}

int zeRGB(int r, int g, int b) { return (r & 255) << 16 | (g & 255) << 8 | (b & 255); }

int zeRGBf(float r, float g, float b) {
  return zeRGB(static_cast<int>(r * 255), static_cast<int>(g * 255), static_cast<int>(b * 255));
}

// --- Text and fonts ---------------------------------------------------------------------

namespace {
void formatText(char* buffer, const char* format, va_list args) {
  std::vsnprintf(buffer, kZe2DTextSize, format ? format : "", args);
}

core::dimension2du measure(const char* format, va_list args) {
  char text[kZe2DTextSize];
  formatText(text, format, args);
  gui::IGUIFont* font = fontOrBuiltIn(textFont);
  if (!font) return core::dimension2du(0, 0);
  return font->getDimension(widened(text).c_str());
}

// "name.ttf" or "name.ttf:24": the file and the pixel size; false for other names.
bool trueTypeName(const std::string& name, std::string* file, int* pixels) {
  std::string lower = name;
  for (char& ch : lower) ch = static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  for (const char* ext : {".ttf", ".otf"}) {
    const std::size_t at = lower.rfind(ext);
    if (at == std::string::npos) continue;
    const std::string rest = name.substr(at + 4);
    if (rest.empty()) {
      *pixels = 16;
    } else if (rest[0] == ':' && std::sscanf(rest.c_str() + 1, "%d", pixels) == 1 && *pixels > 0 && *pixels <= 512) {
    } else {
      continue;
    }
    *file = name.substr(0, at + 4);
    return true;
  }
  return false;
}

gui::IGUIFont* loadFont(const char* name) {
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.gui) return nullptr;
  std::string file;
  int pixels = 0;
  if (!trueTypeName(name, &file, &pixels)) return ctx.gui->getFont(name);
  auto known = trueTypeFonts.find(name);
  if (known != trueTypeFonts.end()) return known->second;
  CZeFreeTypeFont* font = CZeFreeTypeFont::create(ctx.driver, file.c_str(), pixels);
  if (!font) return nullptr;
  ctx.gui->addFont(name, font);  // the GUI environment keeps it
  font->drop();
  trueTypeFonts[name] = font;
  return font;
}
}  // namespace

int zeText(int x, int y, const char* format, ...) {
  char text[kZe2DTextSize];
  va_list args;
  va_start(args, format);
  formatText(text, format, args);
  va_end(args);
  return zeQueueText(textFont, x, y, zeTextDrawColour(), text) == 0 ? 0 : tooMany();
}

int zeSetTextFont(const char* name) {
  if (!name) {
    textFont = nullptr;
    textFontName.clear();
    return 0;
  }
  gui::IGUIFont* font = loadFont(name);
  if (!font) {
    zeReportArgError(1, "The font '%s' cannot be loaded", name);
    return -1;
  }
  textFont = font;
  textFontName.assign(name, std::min<std::size_t>(std::strlen(name), 1023));
  return 0;
}

void zeSetTextColor(int rgb) { textRgb = static_cast<unsigned>(rgb) & 0xFFFFFF; }
void zeSetTextAlpha(int alpha) { textAlpha = alpha < 0 ? 0 : (alpha > 255 ? 255 : alpha); }
int zeTextColor() { return static_cast<int>(textRgb); }
int zeTextAlpha() { return textAlpha; }
const char* zeTextFont() { return textFont ? textFontName.c_str() : nullptr; }

int zeTextWidth(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const core::dimension2du size = measure(format, args);
  va_end(args);
  return static_cast<int>(size.Width);
}

int zeTextHeight(const char* format, ...) {
  va_list args;
  va_start(args, format);
  const core::dimension2du size = measure(format, args);
  va_end(args);
  return static_cast<int>(size.Height);
}

// --- Faders -----------------------------------------------------------------------------

namespace {
void startFade(int durationMs, unsigned colour, bool in) {
  zeStopFade();
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.gui || !ctx.driver) return;
  const core::dimension2du screen = ctx.driver->getScreenSize();
  const core::rect<s32> whole(0, 0, screen.Width, screen.Height);
  fader = ctx.gui->addInOutFader(&whole);
  if (!fader) return;
  fader->grab();
  fader->setColor(video::SColor(colour));
  const u32 duration = durationMs > 0 ? static_cast<u32>(durationMs) : 0;
  if (in)
    fader->fadeIn(duration);
  else
    fader->fadeOut(duration);
}
}  // namespace

void zeFadeIn(int durationMs, unsigned colour) { startFade(durationMs, colour, true); }
void zeFadeOut(int durationMs, unsigned colour) { startFade(durationMs, colour, false); }

void zeStopFade() {
  if (!fader) return;
  fader->remove();
  fader->drop();
  fader = nullptr;
}

// --- Lifecycle and wiring ---------------------------------------------------------------

void ze2DShutdown() {
  zeClear2DQueue();
  if (ZeHandleTable<ZeImageCell>* table = imageTable()) table->forEach([](int id, ZeImageCell*) { freeImage(id); });
  zeStopFade();
  textFont = nullptr;
  textFontName.clear();
  trueTypeFonts.clear();
  zeLoadingShutdown();
}

namespace {

bool createImageLoaders(CZeManager& manager) {
  video::IVideoDriver* driver = zeEngineContext().driver;
  hdrLoader = new CZeImageLoaderHDR;
  pngLoader = new CZeImageLoaderPNG;
  auto* volumeLoader = new CZeImageLoaderDDSVolume;
  // The driver asks the loaders added last first, and owns them.
  driver->addExternalImageLoader(volumeLoader);
  driver->addExternalImageLoader(hdrLoader);
  driver->addExternalImageLoader(pngLoader);
  volumeLoader->drop();
  hdrLoader->drop();
  pngLoader->drop();
  // The driver owns the loaders: the manager keeps no pointer to them.
  return true;
}

void destroyImageLoaders(CZeManager& manager) {
  ze2DShutdown();
  hdrLoader = nullptr;
  pngLoader = nullptr;
}

std::string basePath(const char* name) {
  std::string base = zeGetBaseDirectory();
  if (!base.empty() && base.back() != '/') base += '/';
  return base + name;
}

// The curl-noise volume: the cache when there is one, else the noise image
// (then saved as the cache).
bool startCurlNoise(ZeEngineContext& ctx, char* reason) {
  const std::string cache = basePath("curlNoise3D.cache");
  if (zeFileExists(cache.c_str())) {
    if (loadCurlNoiseCache(cache.c_str())) return true;
    zeFormatText(reason, "fails to init curl noise from file cache");
    return false;
  }
  if (!zeFileExists("NoiseVolume.dds")) {
    // Nothing to build from: the volume stays empty (particles see no swirl).
    zeMessage(ZE_INFO, "curl noise: no %s and no NoiseVolume.dds, the volume stays empty", cache.c_str());
    return true;
  }
  if (!loadCurlNoiseFromImage(ctx.driver, "NoiseVolume.dds")) {
    zeFormatText(reason, "fails to init curl noise");
    return false;
  }
  if (!zeIsPackaged() && !saveCurlNoiseCache(cache.c_str())) zeMessage(ZE_ERROR, "failed to save %s", cache.c_str());
  return true;
}

void stopCurlNoise(ZeEngineContext&) { releaseCurlNoise(); }

}  // namespace

void zeInstallImagesAnd2D() {
  zeSetManagerSlot(ZeManagerSlot::ImageLoaders, {createImageLoaders, destroyImageLoaders});
  ZeFrameHooks hooks = zeGetFrameHooks();
  hooks.execute2DQueue = zeExecute2DQueue;
  hooks.discard2DQueue = zeClear2DQueue;
  zeSetFrameHooks(hooks);
  zeSetEngineStep(ZeEngineStep::CurlNoise, {startCurlNoise, stopCurlNoise});
}
