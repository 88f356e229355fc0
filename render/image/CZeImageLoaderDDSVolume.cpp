#include "render/image/CZeImageLoaderDDSVolume.h"

#include <cstring>
#include <vector>

#include <coreutil.h>

#include "mesh/zeDeviceLog.h"
#include "render/image/CZeImage.h"
#include "render/image/zeReadAll.h"

using namespace irr;

namespace {

constexpr std::size_t kHeaderSize = 128;  // "DDS " and the 124-byte header
constexpr uint32_t kCaps2Volume = 0x200000;
constexpr uint32_t kPixelAlpha = 0x2, kPixelRgb = 0x40, kPixelLuminance = 0x20000, kPixelFourCC = 0x4;

uint32_t word(const unsigned char* at) {
  return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 | static_cast<uint32_t>(at[2]) << 16 |
         static_cast<uint32_t>(at[3]) << 24;
}

}  // namespace

int zeDdsVolumeFormat(const unsigned char* h, std::size_t size) {
  if (size < kHeaderSize || std::memcmp(h, "DDS ", 4) != 0 || word(h + 4) != 124 || word(h + 76) != 32) return 0;
  if (!(word(h + 112) & kCaps2Volume)) return 0;
  const uint32_t flags = word(h + 80), bits = word(h + 88);
  if (flags & kPixelFourCC) return 0;
  if (bits == 8 && (flags & (kPixelLuminance | kPixelAlpha | kPixelRgb))) return 4;
  if (bits == 32 && (flags & kPixelRgb) && word(h + 92) == 0x00FF0000 && word(h + 96) == 0x0000FF00 &&
      word(h + 100) == 0x000000FF)
    return 3;
  return 0;
}

CZeImage* zeDecodeDdsVolume(const unsigned char* bytes, std::size_t size, const char* name) {
  const int format = zeDdsVolumeFormat(bytes, size);
  if (!format) return nullptr;
  const uint32_t height = word(bytes + 12), width = word(bytes + 16), depth = word(bytes + 24);
  if (!width || !height || !depth || width > kZeDdsMaxSide || height > kZeDdsMaxSide || depth > kZeDdsMaxSide) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderDDSVolume %s: bad size %ux%ux%u", name, width, height, depth);
    return nullptr;
  }
  const unsigned long long bytesNeeded = 1ull * width * height * depth * CZeImage::bytesPerPixelOf(format);
  if (bytesNeeded > size - kHeaderSize) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderDDSVolume %s: file too short for %ux%ux%u", name, width, height, depth);
    return nullptr;
  }
  CZeImage* image = CZeImage::create(format, width, height, depth);
  if (!image) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderDDSVolume %s: failed create image", name);
    return nullptr;
  }
  // Slices one after the other, rows top first, no padding: the image's own layout.
  std::memcpy(image->data(), bytes + kHeaderSize, static_cast<std::size_t>(bytesNeeded));
  return image;
}

bool CZeImageLoaderDDSVolume::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "dds");
}

bool CZeImageLoaderDDSVolume::isALoadableFileFormat(io::IReadFile* file) const {
  if (!file) return false;
  unsigned char header[kHeaderSize];
  file->seek(0);
  return file->read(header, kHeaderSize) == static_cast<s32>(kHeaderSize) && zeDdsVolumeFormat(header, kHeaderSize);
}

video::IImage* CZeImageLoaderDDSVolume::loadImage(io::IReadFile* file) const {
  if (!isALoadableFileFormat(file)) return nullptr;
  std::vector<unsigned char> bytes;
  if (!zeReadWholeFile(file, &bytes)) return nullptr;
  const core::stringc name = file->getFileName();
  return zeDecodeDdsVolume(bytes.data(), bytes.size(), name.c_str());
}
