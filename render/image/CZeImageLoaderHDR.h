// Radiance RGBE files (.hdr, .rgbe) into half-float images (engine format 13,
// CZeImage). Registered with the driver ahead of its own loaders.
#pragma once

#include <cstddef>

#include <IImageLoader.h>

class CZeImage;

class CZeImageLoaderHDR final : public irr::video::IImageLoader {
 public:
  bool isALoadableFileExtension(const irr::io::path& filename) const override;
  bool isALoadableFileFormat(irr::io::IReadFile* file) const override;
  // A CZeImage, or nullptr with a warning on the device log.
  irr::video::IImage* loadImage(irr::io::IReadFile* file) const override;
};

// The decoder behind loadImage, on a whole file in memory (`name` is used in
// messages only).
CZeImage* zeDecodeRadiance(const unsigned char* bytes, std::size_t size, const char* name);

// Largest width or height accepted, and largest pixel count.
constexpr unsigned kZeHdrMaxSide = 32768;
constexpr unsigned long long kZeHdrMaxPixels = 1ull << 26;
