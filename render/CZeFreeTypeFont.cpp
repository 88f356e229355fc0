#include "render/CZeFreeTypeFont.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <string>
#include <vector>

#include "base/zeFile.h"

using namespace irr;

namespace {
int atlasCounter = 0;
// Latin-1 without the control characters.
bool inAtlas(int c) { return (c >= 32 && c < 127) || (c >= 160 && c < 256); }
}  // namespace

CZeFreeTypeFont* CZeFreeTypeFont::create(video::IVideoDriver* driver, const char* file, int pixels) {
  std::string bytes;
  if (!driver || !file || !zeFileReadAll(file, &bytes) || bytes.empty()) return nullptr;
  FT_Library library = nullptr;
  if (FT_Init_FreeType(&library)) return nullptr;
  FT_Face face = nullptr;
  if (FT_New_Memory_Face(library, reinterpret_cast<const FT_Byte*>(bytes.data()), static_cast<FT_Long>(bytes.size()),
                         0, &face) ||
      FT_Set_Pixel_Sizes(face, 0, static_cast<FT_UInt>(pixels))) {
    if (face) FT_Done_Face(face);
    FT_Done_FreeType(library);
    return nullptr;
  }
  auto* font = new CZeFreeTypeFont;
  font->driver_ = driver;
  font->ascender_ = static_cast<int>((face->size->metrics.ascender + 63) >> 6);
  font->lineHeight_ = static_cast<int>((face->size->metrics.height + 63) >> 6);

  // Shelf packing into a square atlas wide enough for the glyphs at this size.
  const int cell = pixels * 2 + 2;
  const int side = core::min_(4096, 16 * cell);
  std::vector<unsigned char> coverage(static_cast<std::size_t>(side) * side, 0);
  int penX = 1, penY = 1, rowHeight = 0;
  for (int c = 0; c < 256; ++c) {
    if (!inAtlas(c) || FT_Load_Char(face, static_cast<FT_ULong>(c), FT_LOAD_RENDER)) continue;
    const FT_GlyphSlot slot = face->glyph;
    const FT_Bitmap& bitmap = slot->bitmap;
    Glyph& g = font->glyphs_[c];
    g.advance = static_cast<int>((slot->advance.x + 32) >> 6);
    g.left = slot->bitmap_left;
    g.top = slot->bitmap_top;
    const int w = static_cast<int>(bitmap.width), h = static_cast<int>(bitmap.rows);
    if (w == 0 || h == 0 || bitmap.pixel_mode != FT_PIXEL_MODE_GRAY) continue;
    if (penX + w + 1 > side) {
      penX = 1;
      penY += rowHeight + 1;
      rowHeight = 0;
    }
    if (penY + h + 1 > side) break;  // the atlas is full: the rest draw blank
    for (int y = 0; y < h; ++y)
      for (int x = 0; x < w; ++x)
        coverage[static_cast<std::size_t>(penY + y) * side + penX + x] = bitmap.buffer[y * bitmap.pitch + x];
    g.source = core::rect<s32>(penX, penY, penX + w, penY + h);
    penX += w + 1;
    rowHeight = core::max_(rowHeight, h);
  }
  FT_Done_Face(face);
  FT_Done_FreeType(library);

  // White glyphs with the coverage as alpha: the draw colour tints them.
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(side, side));
  if (!image) {
    font->drop();
    return nullptr;
  }
  auto* pixelsOut = static_cast<u32*>(image->lock());
  for (std::size_t i = 0; i < coverage.size(); ++i) pixelsOut[i] = (static_cast<u32>(coverage[i]) << 24) | 0x00FFFFFF;
  image->unlock();
  const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
  const std::string name = std::string("zeFontAtlas") + std::to_string(++atlasCounter) + ":" + file;
  font->atlas_ = driver->addTexture(name.c_str(), image);
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
  image->drop();
  if (!font->atlas_) {
    font->drop();
    return nullptr;
  }
  font->atlas_->grab();
  return font;
}

CZeFreeTypeFont::~CZeFreeTypeFont() {
  if (!atlas_) return;
  // The driver holds the atlas by name too; it goes when the font does.
  video::ITexture* atlas = atlas_;
  atlas_ = nullptr;
  driver_->removeTexture(atlas);
  atlas->drop();
}

const CZeFreeTypeFont::Glyph& CZeFreeTypeFont::glyph(wchar_t c) const {
  const int code = static_cast<int>(c);
  return glyphs_[code >= 0 && code < 256 && inAtlas(code) ? code : '?'];
}

core::dimension2d<u32> CZeFreeTypeFont::getDimension(const wchar_t* text) const {
  int width = 0, widest = 0, lines = 1;
  for (const wchar_t* at = text; at && *at; ++at) {
    if (*at == L'\n') {
      widest = core::max_(widest, width);
      width = 0;
      ++lines;
      continue;
    }
    if (*at == L'\r') continue;
    width += glyph(*at).advance + kerningWidth_;
  }
  widest = core::max_(widest, width);
  return core::dimension2d<u32>(widest, lines * (lineHeight_ + kerningHeight_));
}

s32 CZeFreeTypeFont::getCharacterFromPos(const wchar_t* text, s32 pixelX) const {
  int x = 0;
  for (s32 i = 0; text && text[i]; ++i) {
    x += glyph(text[i]).advance + kerningWidth_;
    if (x >= pixelX) return i;
  }
  return -1;
}

void CZeFreeTypeFont::draw(const core::stringw& text, const core::rect<s32>& position, video::SColor color,
                           bool hcenter, bool vcenter, const core::rect<s32>* clip) {
  if (!atlas_) return;
  core::position2d<s32> origin = position.UpperLeftCorner;
  if (hcenter || vcenter) {
    const core::dimension2d<u32> size = getDimension(text.c_str());
    if (hcenter) origin.X += (position.getWidth() - static_cast<s32>(size.Width)) / 2;
    if (vcenter) origin.Y += (position.getHeight() - static_cast<s32>(size.Height)) / 2;
  }
  // One batch per text; the arrays keep their memory between draws.
  static core::array<core::position2d<s32>> positions;
  static core::array<core::rect<s32>> sources;
  positions.set_used(0);
  sources.set_used(0);
  s32 penX = origin.X, lineTop = origin.Y;
  for (u32 i = 0; i < text.size(); ++i) {
    const wchar_t c = text[i];
    if (c == L'\n') {
      penX = origin.X;
      lineTop += lineHeight_ + kerningHeight_;
      continue;
    }
    if (c == L'\r') continue;
    const Glyph& g = glyph(c);
    if (g.source.getWidth() > 0) {
      positions.push_back(core::position2d<s32>(penX + g.left, lineTop + ascender_ - g.top));
      sources.push_back(g.source);
    }
    penX += g.advance + kerningWidth_;
  }
  if (positions.size()) driver_->draw2DImageBatch(atlas_, positions, sources, clip, color, true);
}
