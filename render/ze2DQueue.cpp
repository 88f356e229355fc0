// The 2D queue and the ink commands that fill it.
//
// Contents: ink · queue · drawing the queue.
#include "render/ze2DQueue.h"

#include <cstdio>
#include <cstring>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "effect/CZeEffectCallback.h"
#include "effect/CZeEffectManager.h"
#include "effect/zeEffectCommands.h"
#include "render/gl/ZeGL2D.h"
#include "render/gl/ZeGL2DEffect.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeImages.h"
#include "render/zeText.h"

using namespace irr;

// --- Ink ---------------------------------------------------------------------------------

namespace {
// Process state: persists across engine starts, as the colours should.
unsigned inkRgb = 0x00FFFFFF;
int inkAlpha = 255;
}  // namespace

void zeInk(int rgb) { inkRgb = static_cast<unsigned>(rgb); }
void zeInkAlpha(int alpha) { inkAlpha = alpha; }
// Only the low 8 bits of the alpha count.
unsigned zeInkColor() { return (static_cast<unsigned>(inkAlpha) << 24) | inkRgb; }

int zeBox(int x1, int y1, int x2, int y2) {
  return zeQueueBox(x1, y1, x2, y2, zeInkColor()) == 0 ? 0 : ze2DQueueFull();
}

int zeLine(int x1, int y1, int x2, int y2) {
  return zeQueueLine(x1, y1, x2, y2, zeInkColor()) == 0 ? 0 : ze2DQueueFull();
}

int zeBoxWithEffect(int x1, int y1, int x2, int y2, int effectId) {
  if (!zeEffectExistsOrReport(effectId, 5)) return -1;
  return zeQueueBoxWithEffect(x1, y1, x2, y2, zeInkColor(), effectId) == 0 ? 0 : ze2DQueueFull();
}

int zeRGB(int r, int g, int b) { return (r & 255) << 16 | (g & 255) << 8 | (b & 255); }

int zeRGBf(float r, float g, float b) {
  return zeRGB(static_cast<int>(r * 255), static_cast<int>(g * 255), static_cast<int>(b * 255));
}

bool zeEffectExistsOrReport(int id, int argIndex) {
  ZeHandleTable<ZeEffectCell>* effects = zeEngineContext().effects.get();
  if (effects && effects->find(id)) return true;
  zeReportArgError(argIndex, "Effect ID %d does not exist. %s", id,
                   effects ? effects->reason() : "the engine is not running");
  return false;
}

// --- Queue -------------------------------------------------------------------------------

namespace {

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

int queueShape(int kind, int x1, int y1, int x2, int y2, unsigned colour, int effectId = 0) {
  Command* c = nextCommand();
  if (!c) return -1;
  c->kind = kind;
  const int words[7] = {x1, y1, x2, y2, static_cast<int>(colour), effectId, 0};
  std::memcpy(c->words, words, sizeof words);
  ++commandCount;
  return 0;
}

// An image command; `effectId` is used by KindImageWithEffect only.
int queueImage(int kind, const ZeImageTexture& texture, const int (&rect)[4], bool useAlpha, unsigned colour,
               int effectId) {
  Command* c = nextCommand();
  if (!c) return -1;
  c->kind = kind;
  c->texture = texture;
  const int words[7] = {rect[0], rect[1], rect[2], rect[3], useAlpha ? 1 : 0, static_cast<int>(colour), effectId};
  std::memcpy(c->words, words, sizeof words);
  ++commandCount;
  return 0;
}

}  // namespace

int ze2DQueueFull() {
  zeReportArgError(-1, "too many 2D draws in one frame");
  return -1;
}

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
  return queueImage(KindImage, texture, {x, y, width, height}, useAlpha, colour, 0);
}

int zeQueueImageWithEffect(const ZeImageTexture& texture, int x, int y, int width, int height, unsigned colour,
                           int effectId) {
  return queueImage(KindImageWithEffect, texture, {x, y, width, height}, false, colour, effectId);
}

int zeQueueLine(int x1, int y1, int x2, int y2, unsigned colour) { return queueShape(KindLine, x1, y1, x2, y2, colour); }
int zeQueueBox(int x1, int y1, int x2, int y2, unsigned colour) { return queueShape(KindBox, x1, y1, x2, y2, colour); }
int zeQueueBoxWithEffect(int x1, int y1, int x2, int y2, unsigned colour, int effectId) {
  return queueShape(KindBoxWithEffect, x1, y1, x2, y2, colour, effectId);
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

// --- Drawing the queue -------------------------------------------------------------------

namespace {

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

void zeExecute2DQueue() {
  video::IVideoDriver* driver = zeEngineContext().driver;
  if (driver) {
    for (int i = 0; i < commandCount; ++i) {
      const Command& c = commands[i];
      const unsigned colour = static_cast<unsigned>(c.words[4]);
      switch (c.kind) {
        case KindText:
          zeDrawText(c.font, c.words[0], c.words[1], static_cast<unsigned>(c.words[2]), texts[c.words[3]]);
          break;
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
