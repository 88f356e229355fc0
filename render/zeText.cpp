// Text and fonts of the 2D layer.
#include "render/zeText.h"

#include <algorithm>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "render/CZeFreeTypeFont.h"
#include "render/ze2DQueue.h"

using namespace irr;

namespace {

// Process state: persists across engine starts, as the colours should.
unsigned textRgb = 0x00FFFFFF;
int textAlpha = 255;
gui::IGUIFont* textFont = nullptr;  // nullptr: the built-in font
std::string textFontName;
// TrueType fonts made so far, by the name they were asked for (the GUI
// environment holds them).
std::map<std::string, gui::IGUIFont*> trueTypeFonts;

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

void zeDrawText(gui::IGUIFont* font, int x, int y, unsigned colour, const char* text) {
  font = fontOrBuiltIn(font);
  if (!text[0] || !font) return;
  // Neither centred nor clipped: the rectangle only places the text.
  font->draw(widened(text), core::rect<s32>(x, y, x + 1, y + 1), video::SColor(colour), false, false, nullptr);
}

int zeText(int x, int y, const char* format, ...) {
  char text[kZe2DTextSize];
  va_list args;
  va_start(args, format);
  formatText(text, format, args);
  va_end(args);
  return zeQueueText(textFont, x, y, zeTextDrawColor(), text) == 0 ? 0 : ze2DQueueFull();
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
unsigned zeTextDrawColor() { return (static_cast<unsigned>(textAlpha) << 24) | textRgb; }

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

void zeForgetFonts() {
  textFont = nullptr;
  textFontName.clear();
  trueTypeFonts.clear();
}
