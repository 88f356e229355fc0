// The engine's 2D layer: images by identifier, the per-frame 2D queue, the
// current ink, image and text colours, fonts, faders and colour helpers.
// The script commands of the same names call these.
//
// Contents: image textures · images · drawing · text · faders · queue ·
// lifecycle.
#pragma once

#include <memory>

#include <irrlicht.h>

class CZeGLTexture;
class CZeGLRenderTarget;

// --- Image textures ------------------------------------------------------------------
// What an image draws from: a driver texture (grabbed), an engine texture
// from the GL registry (half-float and 16-bit images) or an engine render
// target (renderable images). Copies share it: a queued draw holds one, so
// the texture outlives an image deleted before the frame ends.
class ZeImageTexture {
 public:
  ZeImageTexture() = default;
  explicit ZeImageTexture(irr::video::ITexture* texture);
  explicit ZeImageTexture(std::shared_ptr<CZeGLTexture> texture);
  explicit ZeImageTexture(std::shared_ptr<CZeGLRenderTarget> target);
  ZeImageTexture(const ZeImageTexture& other);
  ZeImageTexture& operator=(const ZeImageTexture& other);
  ~ZeImageTexture();

  bool empty() const { return !driverTexture_ && !engineTexture_ && !target_; }
  irr::video::ITexture* driverTexture() const { return driverTexture_; }
  // The engine texture (a render target's colour texture for renderable images).
  const CZeGLTexture* engineTexture() const;
  CZeGLRenderTarget* renderTarget() const { return target_.get(); }
  int width() const;
  int height() const;
  void reset();

 private:
  irr::video::ITexture* driverTexture_ = nullptr;
  std::shared_ptr<CZeGLTexture> engineTexture_;
  std::shared_ptr<CZeGLRenderTarget> target_;
};

// --- Images ------------------------------------------------------------------------
int zeLoadImage(const char* file, int id);             // 0 or -1
int zeMakeImage(int width, int height, int id);        // 0 or -1; a render target
int zeRenderToImage(int id, int clear);                // 0 or -1
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

// --- Drawing -----------------------------------------------------------------------
void zeInk(int rgb);
void zeInkAlpha(int alpha);
int zeBox(int x1, int y1, int x2, int y2);
int zeLine(int x1, int y1, int x2, int y2);
int zeBoxWithEffect(int x1, int y1, int x2, int y2, int effectId);
int zeRGB(int r, int g, int b);
int zeRGBf(float r, float g, float b);
// The draw colours as queued: (alpha << 24) | RGB, in 32 bits.
unsigned zeInkColour();
unsigned zeImageDrawColour();
unsigned zeTextDrawColour();

// --- Text --------------------------------------------------------------------------
int zeText(int x, int y, const char* format, ...) __attribute__((format(printf, 3, 4)));
// nullptr: the built-in font. A name ending ".ttf" or ".otf", optionally
// followed by ":<pixels>" (16 when absent), is a TrueType/OpenType font.
int zeSetTextFont(const char* name);
void zeSetTextColor(int rgb);
void zeSetTextAlpha(int alpha);
int zeTextColor();
int zeTextAlpha();
const char* zeTextFont();  // nullptr while the built-in font is used
int zeTextWidth(const char* format, ...) __attribute__((format(printf, 1, 2)));
int zeTextHeight(const char* format, ...) __attribute__((format(printf, 1, 2)));

// --- Faders ------------------------------------------------------------------------
void zeFadeIn(int durationMs, unsigned colour);
void zeFadeOut(int durationMs, unsigned colour);
void zeStopFade();

// --- Queue -------------------------------------------------------------------------
constexpr int kZe2DMaxDraws = 1024;
constexpr int kZe2DMaxTexts = 64;
constexpr int kZe2DTextSize = 512;
// Each appends one command; -1 when the queue is full.
int zeQueueText(irr::gui::IGUIFont* font, int x, int y, unsigned colour, const char* text);
int zeQueueImage(const ZeImageTexture& texture, int x, int y, int width, int height, bool useAlpha,
                 unsigned colour);
int zeQueueLine(int x1, int y1, int x2, int y2, unsigned colour);
int zeQueueBox(int x1, int y1, int x2, int y2, unsigned colour);
int zeQueueBoxWithEffect(int x1, int y1, int x2, int y2, unsigned colour, int effectId);
int zeQueueImageWithEffect(const ZeImageTexture& texture, int x, int y, int width, int height, unsigned colour,
                           int effectId);
void zeExecute2DQueue();  // draws every command in order, then empties the queue
void zeClear2DQueue();    // empties it without drawing
int ze2DQueueCount();
int ze2DQueueTextCount();
// A queued command's kind (1 text, 2 image, 3 line, 4 box, 5 box with effect,
// 6 image with effect) and words 1-7;
// false past the end. For tests and overlays that inspect the frame.
bool ze2DQueuedCommand(int index, int* kind, int words[7]);

// --- Lifecycle ---------------------------------------------------------------------
// Engine stop: frees every image record, the queue, the fader and the fonts
// (they belong to the GUI environment that goes away); the colours and
// alphas persist.
void ze2DShutdown();
// Puts the image loaders, the 2D queue and the curl-noise volume into engine
// start and Sync.
void zeInstallImagesAnd2D();
