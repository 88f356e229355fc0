// The engine's own image: the pixel formats Irrlicht 1.8's image class lacks
// (half floats, 16-bit luminance) and volumes. It is an Irrlicht IImage, so
// the driver's loader chain can hand it around, but its pixels are meant for
// the engine's GL registry (zeGLUploadImage), which uploads them unchanged.
// Irrlicht code that still gets one (a texture made by the driver from an
// .hdr file) sees 8-bit colours through getPixel/copyTo, clamped.
//
// Formats are the engine's numbers: 3 = A8R8G8B8 (Irrlicht's byte order),
// 4 = 8-bit luminance, 5 = 16-bit luminance (native u16), 13 = four halves in
// the order R, G, B, A.
#pragma once

#include <cstdint>
#include <vector>

#include <IImage.h>

// IEEE binary16 from single precision by truncating the mantissa.
uint16_t zeFloatToHalf(float value);
float zeHalfToFloat(uint16_t half);

class CZeImage final : public irr::video::IImage {
 public:
  // nullptr for an unknown format, a zero size, more than 2^30 bytes, or
  // when memory runs out. Pixels start zeroed.
  static CZeImage* create(int format, unsigned width, unsigned height, unsigned depth = 1);
  static int bytesPerPixelOf(int format);  // 0 for an unknown format

  int zeFormat() const { return format_; }
  unsigned width() const { return size_.Width; }
  unsigned height() const { return size_.Height; }
  unsigned depth() const { return depth_; }
  unsigned char* data() { return pixels_.data(); }
  const unsigned char* data() const { return pixels_.data(); }

  // irr::video::IImage
  void* lock() override { return pixels_.data(); }
  void unlock() override {}
  const irr::core::dimension2d<irr::u32>& getDimension() const override { return size_; }
  irr::u32 getBitsPerPixel() const override { return bytesPerPixel_ * 8; }
  irr::u32 getBytesPerPixel() const override { return bytesPerPixel_; }
  irr::u32 getImageDataSizeInBytes() const override { return static_cast<irr::u32>(pixels_.size()); }
  irr::u32 getImageDataSizeInPixels() const override { return size_.Width * size_.Height * depth_; }
  irr::video::SColor getPixel(irr::u32 x, irr::u32 y) const override;
  void setPixel(irr::u32 x, irr::u32 y, const irr::video::SColor& color, bool blend = false) override;
  irr::video::ECOLOR_FORMAT getColorFormat() const override;
  irr::u32 getRedMask() const override { return format_ == 3 ? 0x00FF0000 : 0; }
  irr::u32 getGreenMask() const override { return format_ == 3 ? 0x0000FF00 : 0; }
  irr::u32 getBlueMask() const override { return format_ == 3 ? 0x000000FF : 0; }
  irr::u32 getAlphaMask() const override { return format_ == 3 ? 0xFF000000 : 0; }
  irr::u32 getPitch() const override { return size_.Width * bytesPerPixel_; }
  void copyToScaling(void* target, irr::u32 width, irr::u32 height, irr::video::ECOLOR_FORMAT format,
                     irr::u32 pitch) override;
  void copyToScaling(irr::video::IImage* target) override;
  void copyTo(irr::video::IImage* target, const irr::core::position2d<irr::s32>& pos) override;
  void copyTo(irr::video::IImage* target, const irr::core::position2d<irr::s32>& pos,
              const irr::core::rect<irr::s32>& sourceRect, const irr::core::rect<irr::s32>* clipRect) override;
  void copyToWithAlpha(irr::video::IImage* target, const irr::core::position2d<irr::s32>& pos,
                       const irr::core::rect<irr::s32>& sourceRect, const irr::video::SColor& color,
                       const irr::core::rect<irr::s32>* clipRect) override;
  void copyToScalingBoxFilter(irr::video::IImage* target, irr::s32 bias, bool blend) override;
  void fill(const irr::video::SColor& color) override;

 private:
  CZeImage(int format, unsigned width, unsigned height, unsigned depth);

  int format_;
  unsigned bytesPerPixel_;
  unsigned depth_;
  irr::core::dimension2d<irr::u32> size_;
  std::vector<unsigned char> pixels_;
};
