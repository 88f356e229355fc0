#include "render/image/CZeImageLoaderPNG.h"

#include <csetjmp>
#include <cstring>
#include <vector>

#include <png.h>
#include <coreutil.h>

#include "mesh/zeDeviceLog.h"
#include "render/image/CZeImage.h"
#include "render/image/zeReadAll.h"

using namespace irr;

namespace {

constexpr unsigned char kPngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct MemoryReader {
  const unsigned char* at;
  std::size_t left;
};

void readFromMemory(png_structp png, png_bytep out, png_size_t count) {
  auto* reader = static_cast<MemoryReader*>(png_get_io_ptr(png));
  if (count > reader->left) png_error(png, "short read");
  std::memcpy(out, reader->at, count);
  reader->at += count;
  reader->left -= count;
}

// Decoding failures give none without a message.
void silentError(png_structp png, png_const_charp) { longjmp(png_jmpbuf(png), 1); }
void silentWarning(png_structp, png_const_charp) {}

}  // namespace

bool zeIsGrey16Png(const unsigned char* bytes, std::size_t size) {
  return size >= 29 && std::memcmp(bytes, kPngSignature, 8) == 0 && std::memcmp(bytes + 12, "IHDR", 4) == 0 &&
         bytes[24] == 16 && bytes[25] == 0;
}

CZeImage* zeDecodeGrey16Png(const unsigned char* bytes, std::size_t size, const char* name) {
  if (!zeIsGrey16Png(bytes, size)) return nullptr;
  png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, silentError, silentWarning);
  if (!png) return nullptr;
  png_infop info = png_create_info_struct(png);
  if (!info) {
    png_destroy_read_struct(&png, nullptr, nullptr);
    return nullptr;
  }
  MemoryReader reader{bytes, size};
  // Everything that must be freed after a longjmp lives outside this frame's
  // locals that change after setjmp (volatile would be needed otherwise).
  CZeImage* volatile image = nullptr;
  std::vector<png_bytep> rows;
  if (setjmp(png_jmpbuf(png))) {
    png_destroy_read_struct(&png, &info, nullptr);
    if (image) image->drop();
    return nullptr;
  }
  png_set_read_fn(png, &reader, readFromMemory);
  png_set_user_limits(png, kZePngMaxSide, kZePngMaxSide);
  png_set_chunk_malloc_max(png, 8u << 20);
  png_read_info(png, info);
  png_uint_32 width = 0, height = 0;
  int bitDepth = 0, colourType = 0, interlace = 0;
  png_get_IHDR(png, info, &width, &height, &bitDepth, &colourType, &interlace, nullptr, nullptr);
  if (bitDepth != 16 || colourType != PNG_COLOR_TYPE_GRAY) {
    png_destroy_read_struct(&png, &info, nullptr);
    return nullptr;
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  CZeImage* made = CZeImage::create(5, width, height);
  if (!made) {
    png_destroy_read_struct(&png, &info, nullptr);
    zeDeviceLog(ELL_WARNING, "CZeImageLoaderPNG %s: failed create image", name);
    return nullptr;
  }
  image = made;
  // libpng writes the samples big-endian; they are swapped to native below.
  rows.resize(height);
  for (png_uint_32 y = 0; y < height; ++y) rows[y] = made->data() + static_cast<std::size_t>(y) * made->getPitch();
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  png_destroy_read_struct(&png, &info, nullptr);
  unsigned char* p = made->data();
  const std::size_t samples = static_cast<std::size_t>(width) * height;
  for (std::size_t i = 0; i < samples; ++i, p += 2) {
    const uint16_t value = static_cast<uint16_t>(p[0] << 8 | p[1]);
    std::memcpy(p, &value, 2);
  }
  return made;
}

bool CZeImageLoaderPNG::isALoadableFileExtension(const io::path& filename) const {
  return core::hasFileExtension(filename, "png");
}

bool CZeImageLoaderPNG::isALoadableFileFormat(io::IReadFile* file) const {
  if (!file) return false;
  unsigned char head[29];
  file->seek(0);
  return file->read(head, 29) == 29 && zeIsGrey16Png(head, 29);
}

video::IImage* CZeImageLoaderPNG::loadImage(io::IReadFile* file) const {
  if (!isALoadableFileFormat(file)) return nullptr;
  std::vector<unsigned char> bytes;
  if (!zeReadWholeFile(file, &bytes)) return nullptr;
  const core::stringc name = file->getFileName();
  return zeDecodeGrey16Png(bytes.data(), bytes.size(), name.c_str());
}
