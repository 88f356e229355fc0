// Uncompressed volume DDS files (8-bit luminance, or 32-bit A8R8G8B8) into a
// CZeImage with depth: Irrlicht 1.8 reads no volumes, and the curl-noise
// volume is built from one ("NoiseVolume.dds"). Every other DDS file is
// declined and goes on to the driver's own loaders. Only the top mip level
// is read.
#pragma once

#include <cstddef>

#include <IImageLoader.h>

class CZeImage;

class CZeImageLoaderDDSVolume final : public irr::video::IImageLoader {
 public:
  bool isALoadableFileExtension(const irr::io::path& filename) const override;
  bool isALoadableFileFormat(irr::io::IReadFile* file) const override;
  irr::video::IImage* loadImage(irr::io::IReadFile* file) const override;
};

// The engine format a 128-byte header describes (4 or 3), or 0 when it is
// not an uncompressed volume this loader reads.
int zeDdsVolumeFormat(const unsigned char* header, std::size_t size);
// nullptr (with a warning naming `name` when the data is short) otherwise.
CZeImage* zeDecodeDdsVolume(const unsigned char* bytes, std::size_t size, const char* name);

constexpr unsigned kZeDdsMaxSide = 1024;
