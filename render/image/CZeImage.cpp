#include "render/image/CZeImage.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace irr;

// --- Half floats -------------------------------------------------------------------

uint16_t zeFloatToHalf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  const uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
  const int exponent = static_cast<int>((bits >> 23) & 255u);
  uint32_t mantissa = bits & 0x7FFFFFu;
  if (exponent == 255) return sign | 0x7C00u | static_cast<uint16_t>(mantissa >> 13);  // inf, NaN
  if (exponent > 142) return sign | 0x7C00u;                                          // too large: inf
  if (exponent >= 113) return sign | static_cast<uint16_t>(((exponent - 112) << 10) | (mantissa >> 13));
  if (exponent >= 102) {
    mantissa |= 0x800000u;  // the implicit one, shifted into a denormal
    return sign | static_cast<uint16_t>(mantissa >> (126 - exponent));
  }
  return sign;
}

float zeHalfToFloat(uint16_t half) {
  const uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
  const int exponent = (half >> 10) & 31;
  uint32_t mantissa = half & 0x3FFu;
  uint32_t bits;
  if (exponent == 31) {
    bits = sign | 0x7F800000u | (mantissa << 13);
  } else if (exponent > 0) {
    bits = sign | (static_cast<uint32_t>(exponent + 112) << 23) | (mantissa << 13);
  } else if (mantissa == 0) {
    bits = sign;
  } else {
    int shift = 0;
    while (!(mantissa & 0x400u)) {
      mantissa <<= 1;
      ++shift;
    }
    bits = sign | (static_cast<uint32_t>(113 - shift) << 23) | ((mantissa & 0x3FFu) << 13);
  }
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// --- Image -----------------------------------------------------------------------

int CZeImage::bytesPerPixelOf(int format) {
  switch (format) {
    case 3: return 4;
    case 4: return 1;
    case 5: return 2;
    case 13: return 8;
    default: return 0;
  }
}

CZeImage::CZeImage(int format, unsigned width, unsigned height, unsigned depth)
    : format_(format), bytesPerPixel_(bytesPerPixelOf(format)), depth_(depth), size_(width, height) {}

CZeImage* CZeImage::create(int format, unsigned width, unsigned height, unsigned depth) {
  const int bpp = bytesPerPixelOf(format);
  if (!bpp || !width || !height || !depth) return nullptr;
  const unsigned long long bytes = 1ull * width * height * depth * bpp;
  if (bytes > (1ull << 30)) return nullptr;
  CZeImage* image = new (std::nothrow) CZeImage(format, width, height, depth);
  if (!image) return nullptr;
  try {
    image->pixels_.assign(static_cast<std::size_t>(bytes), 0);
  } catch (const std::bad_alloc&) {
    image->drop();
    return nullptr;
  }
  return image;
}

video::ECOLOR_FORMAT CZeImage::getColorFormat() const {
  switch (format_) {
    case 3: return video::ECF_A8R8G8B8;
    case 13: return video::ECF_A16B16G16R16F;
    default: return video::ECF_UNKNOWN;  // no Irrlicht 1.8 format for luminance
  }
}

namespace {
u32 toByte(float value) {
  if (!(value > 0.0f)) return 0;
  return value >= 1.0f ? 255u : static_cast<u32>(value * 255.0f + 0.5f);
}
}  // namespace

video::SColor CZeImage::getPixel(u32 x, u32 y) const {
  if (x >= size_.Width || y >= size_.Height) return video::SColor(0);
  const unsigned char* p = pixels_.data() + (static_cast<std::size_t>(y) * size_.Width + x) * bytesPerPixel_;
  switch (format_) {
    case 3: {
      u32 value;
      std::memcpy(&value, p, 4);
      return video::SColor(value);
    }
    case 4: return video::SColor(255, p[0], p[0], p[0]);
    case 5: {
      uint16_t value;
      std::memcpy(&value, p, 2);
      return video::SColor(255, value >> 8, value >> 8, value >> 8);
    }
    case 13: {
      uint16_t h[4];
      std::memcpy(h, p, 8);
      return video::SColor(toByte(zeHalfToFloat(h[3])), toByte(zeHalfToFloat(h[0])), toByte(zeHalfToFloat(h[1])),
                           toByte(zeHalfToFloat(h[2])));
    }
    default: return video::SColor(0);
  }
}

void CZeImage::setPixel(u32 x, u32 y, const video::SColor& color, bool blend) {
  if (x >= size_.Width || y >= size_.Height) return;
  unsigned char* p = pixels_.data() + (static_cast<std::size_t>(y) * size_.Width + x) * bytesPerPixel_;
  switch (format_) {
    case 3: {
      const u32 value = color.color;
      std::memcpy(p, &value, 4);
      break;
    }
    case 4: p[0] = static_cast<unsigned char>(color.getLuminance()); break;
    case 5: {
      const uint16_t value = static_cast<uint16_t>(color.getLuminance() * 257);
      std::memcpy(p, &value, 2);
      break;
    }
    case 13: {
      const uint16_t h[4] = {zeFloatToHalf(color.getRed() / 255.0f), zeFloatToHalf(color.getGreen() / 255.0f),
                             zeFloatToHalf(color.getBlue() / 255.0f), zeFloatToHalf(color.getAlpha() / 255.0f)};
      std::memcpy(p, h, 8);
      break;
    }
    default: break;
  }
}

// Copies go pixel by pixel through SColor: the targets are Irrlicht's 8-bit
// images, so precision is lost either way; only the first slice of a volume.
void CZeImage::copyToScaling(void* target, u32 width, u32 height, video::ECOLOR_FORMAT format, u32 pitch) {
  if (!target || !width || !height || format != video::ECF_A8R8G8B8) return;
  if (!pitch) pitch = width * 4;
  for (u32 y = 0; y < height; ++y) {
    auto* row = reinterpret_cast<u32*>(static_cast<unsigned char*>(target) + static_cast<std::size_t>(y) * pitch);
    for (u32 x = 0; x < width; ++x)
      row[x] = getPixel(static_cast<u32>(1ull * x * size_.Width / width), static_cast<u32>(1ull * y * size_.Height / height)).color;
  }
}

void CZeImage::copyToScaling(video::IImage* target) {
  if (!target) return;
  const core::dimension2du to = target->getDimension();
  if (!to.Width || !to.Height) return;
  for (u32 y = 0; y < to.Height; ++y)
    for (u32 x = 0; x < to.Width; ++x)
      target->setPixel(x, y, getPixel(static_cast<u32>(1ull * x * size_.Width / to.Width),
                                      static_cast<u32>(1ull * y * size_.Height / to.Height)));
}

void CZeImage::copyTo(video::IImage* target, const core::position2d<s32>& pos) {
  copyTo(target, pos, core::rect<s32>(0, 0, size_.Width, size_.Height), nullptr);
}

void CZeImage::copyTo(video::IImage* target, const core::position2d<s32>& pos, const core::rect<s32>& sourceRect,
                      const core::rect<s32>* clipRect) {
  if (!target) return;
  // Same format and size: the bytes as they are (a texture made from this image).
  if (pos.X == 0 && pos.Y == 0 && !clipRect && target->getColorFormat() == getColorFormat() &&
      getColorFormat() != video::ECF_UNKNOWN && target->getDimension() == size_ &&
      sourceRect == core::rect<s32>(0, 0, size_.Width, size_.Height) &&
      target->getImageDataSizeInBytes() >= getPitch() * size_.Height) {
    std::memcpy(target->lock(), pixels_.data(), static_cast<std::size_t>(getPitch()) * size_.Height);
    target->unlock();
    return;
  }
  const core::dimension2du to = target->getDimension();
  for (s32 y = std::max(sourceRect.UpperLeftCorner.Y, 0); y < sourceRect.LowerRightCorner.Y; ++y) {
    for (s32 x = std::max(sourceRect.UpperLeftCorner.X, 0); x < sourceRect.LowerRightCorner.X; ++x) {
      const s32 tx = pos.X + x - sourceRect.UpperLeftCorner.X;
      const s32 ty = pos.Y + y - sourceRect.UpperLeftCorner.Y;
      if (tx < 0 || ty < 0 || tx >= static_cast<s32>(to.Width) || ty >= static_cast<s32>(to.Height)) continue;
      if (clipRect && !clipRect->isPointInside(core::position2d<s32>(tx, ty))) continue;
      target->setPixel(tx, ty, getPixel(x, y));
    }
  }
}

void CZeImage::copyToWithAlpha(video::IImage* target, const core::position2d<s32>& pos,
                               const core::rect<s32>& sourceRect, const video::SColor&,
                               const core::rect<s32>* clipRect) {
  copyTo(target, pos, sourceRect, clipRect);
}

void CZeImage::copyToScalingBoxFilter(video::IImage* target, s32, bool) { copyToScaling(target); }

void CZeImage::fill(const video::SColor& color) {
  for (u32 y = 0; y < size_.Height; ++y)
    for (u32 x = 0; x < size_.Width; ++x) setPixel(x, y, color);
  // Further slices of a volume repeat the first.
  const std::size_t slice = static_cast<std::size_t>(getPitch()) * size_.Height;
  for (unsigned z = 1; z < depth_; ++z) std::memcpy(pixels_.data() + z * slice, pixels_.data(), slice);
}
