// TrueType and OpenType fonts through FreeType, behind Irrlicht's font
// interface: the glyphs of Latin-1 are rendered once into an atlas texture
// at a fixed pixel size, and text draws as the driver's 2D images. Other
// characters draw as '?'.
#pragma once

#include <irrlicht.h>

class CZeFreeTypeFont final : public irr::gui::IGUIFont {
 public:
  // The font file read through the engine's file hooks; nullptr (no message)
  // when it cannot be read or FreeType refuses it.
  static CZeFreeTypeFont* create(irr::video::IVideoDriver* driver, const char* file, int pixels);
  ~CZeFreeTypeFont() override;

  // The rectangle's top-left corner is the top of the line box (ascender);
  // centring uses the rectangle, clipping the clip rectangle.
  void draw(const irr::core::stringw& text, const irr::core::rect<irr::s32>& position, irr::video::SColor color,
            bool hcenter = false, bool vcenter = false, const irr::core::rect<irr::s32>* clip = 0) override;
  irr::core::dimension2d<irr::u32> getDimension(const wchar_t* text) const override;
  irr::s32 getCharacterFromPos(const wchar_t* text, irr::s32 pixel_x) const override;
  irr::gui::EGUI_FONT_TYPE getType() const override { return irr::gui::EGFT_CUSTOM; }
  void setKerningWidth(irr::s32 kerning) override { kerningWidth_ = kerning; }
  void setKerningHeight(irr::s32 kerning) override { kerningHeight_ = kerning; }
  irr::s32 getKerningWidth(const wchar_t* thisLetter = 0, const wchar_t* previousLetter = 0) const override {
    return kerningWidth_;
  }
  irr::s32 getKerningHeight() const override { return kerningHeight_; }
  void setInvisibleCharacters(const wchar_t* s) override {}

  int lineHeight() const { return lineHeight_; }
  int ascender() const { return ascender_; }

 private:
  struct Glyph {
    irr::core::rect<irr::s32> source;  // in the atlas; empty for blanks
    int left = 0, top = 0;              // bitmap offset from the pen and the baseline
    int advance = 0;
  };
  CZeFreeTypeFont() = default;
  const Glyph& glyph(wchar_t c) const;

  irr::video::IVideoDriver* driver_ = nullptr;
  irr::video::ITexture* atlas_ = nullptr;
  Glyph glyphs_[256];
  int lineHeight_ = 0, ascender_ = 0;
  irr::s32 kerningWidth_ = 0, kerningHeight_ = 0;
};
