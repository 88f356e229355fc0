// 16-bit greyscale PNG files into 16-bit luminance images (engine format 5,
// CZeImage) for height and data maps an 8-bit loader would truncate. Every
// other PNG is declined and goes on to the driver's own loader.
#pragma once

#include <cstddef>

#include <IImageLoader.h>

class CZeImage;

class CZeImageLoaderPNG final : public irr::video::IImageLoader {
 public:
  bool isALoadableFileExtension(const irr::io::path& filename) const override;
  // The signature, "IHDR", bit depth 16 and colour type 0 (grey).
  bool isALoadableFileFormat(irr::io::IReadFile* file) const override;
  irr::video::IImage* loadImage(irr::io::IReadFile* file) const override;
};

// The header test and the decoder on a whole file in memory.
bool zeIsGrey16Png(const unsigned char* bytes, std::size_t size);
// nullptr when the data does not decode (no message) or the image cannot be
// made (a warning naming `name`).
CZeImage* zeDecodeGrey16Png(const unsigned char* bytes, std::size_t size, const char* name);

constexpr unsigned kZePngMaxSide = 16384;
