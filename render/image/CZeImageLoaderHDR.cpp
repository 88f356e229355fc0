#include "render/image/CZeImageLoaderHDR.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <IReadFile.h>
#include <coreutil.h>

#include "mesh/zeDeviceLog.h"
#include "render/image/CZeImage.h"
#include "render/image/zeReadAll.h"

using namespace irr;

namespace {

constexpr char kSignature[] = "#?RADIANCE";

// Reads one line (without its '\n') from a memory cursor; false at the end of
// the data when nothing is left, like fgets.
bool readLine(const unsigned char*& at, const unsigned char* end, std::string* line) {
  if (at >= end) return false;
  line->clear();
  while (at < end && *at != '\n') line->push_back(static_cast<char>(*at++));
  if (at < end) ++at;  // the '\n'
  return true;
}

void rleError(const char* text) { zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR: readRLE error '%s' ", text); }

// Decodes H scanlines of W RGBE pixels, calling `row` with each decoded
// scanline (W * 4 bytes). A run or literal passing the end of its scanline and
// a flat run with no pixel before it fail the decode, like a short read.
template <typename RowSink>
bool decodeScanlines(const unsigned char* at, const unsigned char* end, unsigned width, unsigned height,
                     RowSink&& row) {
  std::vector<unsigned char> line(static_cast<std::size_t>(width) * 4);
  unsigned char previous[4];
  bool havePrevious = false;
  for (unsigned y = 0; y < height; ++y) {
    if (end - at < 4) {
      rleError("read_hdr(): unexpected EOF reading data\n");
      return false;
    }
    unsigned char* out = line.data();
    if (at[0] == 2 && at[1] == 2 && at[2] < 128) {
      // Adaptive run-length form: each component on its own, r, g, b, e.
      at += 4;
      for (int component = 0; component < 4; ++component) {
        unsigned x = 0;
        while (x < width) {
          if (at >= end) {
            rleError("read_hdr(): unexpected EOF reading data\n");
            return false;
          }
          unsigned count = *at++;
          if (count > 128) {
            count -= 128;
            if (at >= end) {
              rleError("read_hdr(): unexpected EOF reading data\n");
              return false;
            }
            if (count > width - x) {
              rleError("read_hdr(): run passes the end of the scanline\n");
              return false;
            }
            const unsigned char value = *at++;
            for (unsigned i = 0; i < count; ++i) out[(x + i) * 4 + component] = value;
          } else {
            if (count > width - x) {
              rleError("read_hdr(): literal passes the end of the scanline\n");
              return false;
            }
            if (static_cast<std::size_t>(end - at) < count) {
              rleError("read_hdr(): unexpected EOF reading data\n");
              return false;
            }
            for (unsigned i = 0; i < count; ++i) out[(x + i) * 4 + component] = at[i];
            at += count;
          }
          x += count;
        }
      }
      std::memcpy(previous, out + (width - 1) * 4, 4);
      havePrevious = true;
    } else {
      // Flat form: plain pixels, (1, 1, 1, n) repeating the last pixel n times.
      unsigned x = 0;
      while (x < width) {
        if (end - at < 4) {
          rleError("read_hdr(): unexpected EOF reading data\n");
          return false;
        }
        if (at[0] == 1 && at[1] == 1 && at[2] == 1) {
          const unsigned count = at[3];
          if (!havePrevious) {
            rleError("read_hdr(): run at the first pixel has no pixel to repeat\n");
            return false;
          }
          if (count > width - x) {
            rleError("read_hdr(): run passes the end of the scanline\n");
            return false;
          }
          for (unsigned i = 0; i < count; ++i) std::memcpy(out + (x + i) * 4, previous, 4);
          x += count;
        } else {
          std::memcpy(previous, at, 4);
          havePrevious = true;
          std::memcpy(out + x * 4, at, 4);
          ++x;
        }
        at += 4;
      }
    }
    row(y, out);
  }
  return true;
}

// 2^(e - 136) for every exponent byte; 0 for exponent 0 (black).
struct ExponentTable {
  float scale[256];
  ExponentTable() {
    scale[0] = 0.0f;
    for (int e = 1; e < 256; ++e) scale[e] = std::ldexp(1.0f, e - 136);
  }
};

}  // namespace

CZeImage* zeDecodeRadiance(const unsigned char* bytes, std::size_t size, const char* name) {
  if (size < 10) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: wrong size", name);
    return nullptr;
  }
  if (std::memcmp(bytes, kSignature, 10) != 0) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: wrong signature", name);
    return nullptr;
  }
  const unsigned char* at = bytes + 10;
  const unsigned char* end = bytes + size;
  std::string line;
  if (!readLine(at, end, &line)) zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: wrong signature end", name);
  // Header lines up to the empty one; their contents are not used.
  for (;;) {
    if (!readLine(at, end, &line)) {
      zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: comments issue", name);
      return nullptr;
    }
    if (line.empty() || line == "\r") break;
  }
  if (!readLine(at, end, &line)) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: fail dimension read", name);
    return nullptr;
  }
  unsigned height = 0, width = 0;
  if (std::sscanf(line.c_str(), "%*s %u %*s %u", &height, &width) < 2) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: fail scan dimension", name);
    return nullptr;
  }
  if (!width || !height) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: zero dimension", name);
    return nullptr;
  }
  // Every scanline needs at least one 4-byte packet per 255 pixels (a flat
  // run's longest reach), so the file bounds the image before anything is
  // allocated.
  const unsigned long long minimumBytes = 4ull * height * ((width + 254ull) / 255ull);
  if (width > kZeHdrMaxSide || height > kZeHdrMaxSide || 1ull * width * height > kZeHdrMaxPixels ||
      minimumBytes > static_cast<unsigned long long>(end - at)) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: dimension %ux%u does not fit the file", name, width, height);
    return nullptr;
  }
  CZeImage* image = CZeImage::create(13, width, height);
  if (!image) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: failed create image", name);
    return nullptr;
  }
  static const ExponentTable table;
  const std::size_t pitch = image->getPitch();
  unsigned char* pixels = image->data();
  const uint16_t one = zeFloatToHalf(1.0f);
  const bool decoded = decodeScanlines(at, end, width, height, [&](unsigned y, const unsigned char* rgbe) {
    auto* out = reinterpret_cast<uint16_t*>(pixels + y * pitch);
    for (unsigned x = 0; x < width; ++x, rgbe += 4, out += 4) {
      const float f = table.scale[rgbe[3]];
      if (f == 0.0f) {
        out[0] = out[1] = out[2] = 0;
      } else {
        out[0] = zeFloatToHalf((rgbe[0] + 0.5f) * f);
        out[1] = zeFloatToHalf((rgbe[1] + 0.5f) * f);
        out[2] = zeFloatToHalf((rgbe[2] + 0.5f) * f);
      }
      out[3] = one;
    }
  });
  if (!decoded) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: failed read data", name);
    image->drop();
    return nullptr;
  }
  return image;
}

bool CZeImageLoaderHDR::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "hdr", "rgbe");
}

bool CZeImageLoaderHDR::isALoadableFileFormat(io::IReadFile* file) const {
  if (!file) return false;
  char head[10];
  file->seek(0);
  return file->read(head, 10) == 10 && std::memcmp(head, kSignature, 10) == 0;
}

video::IImage* CZeImageLoaderHDR::loadImage(io::IReadFile* file) const {
  if (!file) return nullptr;
  std::vector<unsigned char> bytes;
  const core::stringc name = file->getFileName();
  if (!zeReadWholeFile(file, &bytes)) {
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderHDR %s: wrong size", name.c_str());
    return nullptr;
  }
  return zeDecodeRadiance(bytes.data(), bytes.size(), name.c_str());
}
