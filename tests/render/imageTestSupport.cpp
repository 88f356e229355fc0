#include "imageTestSupport.h"

#include <png.h>

#include <cstring>

namespace {
void appendBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<unsigned char>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}
void noFlush(png_structp) {}
}  // namespace

std::vector<unsigned char> zeTestPng(int width, int height, int bitDepth, int colourType,
                                     const std::vector<uint16_t>& samples) {
  std::vector<unsigned char> out;
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png_create_info_struct(png);
  png_set_write_fn(png, &out, appendBytes, noFlush);
  png_set_IHDR(png, info, width, height, bitDepth, colourType, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT,
               PNG_FILTER_TYPE_DEFAULT);
  png_write_info(png, info);
  const int channels = colourType == PNG_COLOR_TYPE_RGB ? 3 : 1;
  const int bytesPerSample = bitDepth / 8;
  std::vector<unsigned char> row(static_cast<std::size_t>(width) * channels * bytesPerSample);
  for (int y = 0; y < height; ++y) {
    for (int i = 0; i < width * channels; ++i) {
      const uint16_t v = samples[static_cast<std::size_t>(y) * width * channels + i];
      if (bytesPerSample == 2) {
        row[i * 2] = static_cast<unsigned char>(v >> 8);
        row[i * 2 + 1] = static_cast<unsigned char>(v & 255);
      } else {
        row[i] = static_cast<unsigned char>(v);
      }
    }
    png_write_row(png, row.data());
  }
  png_write_end(png, nullptr);
  png_destroy_write_struct(&png, &info);
  return out;
}

std::vector<unsigned char> zeTestHdr(const std::string& resolution, const std::vector<unsigned char>& data) {
  const std::string head = "#?RADIANCE\n# made by hand\nFORMAT=32-bit_rle_rgbe\n\n" + resolution + "\n";
  std::vector<unsigned char> out(head.begin(), head.end());
  out.insert(out.end(), data.begin(), data.end());
  return out;
}

std::vector<unsigned char> zeTestDdsVolume(int width, int height, int depth, int bits,
                                           const std::vector<unsigned char>& voxels) {
  std::vector<unsigned char> out(128, 0);
  auto put = [&](std::size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = static_cast<unsigned char>(v >> (8 * i));
  };
  std::memcpy(out.data(), "DDS ", 4);
  put(4, 124);
  put(8, 0x1 | 0x2 | 0x4 | 0x1000 | 0x800000);  // caps, height, width, pixel format, depth
  put(12, height);
  put(16, width);
  put(20, width * bits / 8);
  put(24, depth);
  put(76, 32);
  put(80, bits == 8 ? 0x20000 : 0x41);  // luminance, or RGB with alpha
  put(88, bits);
  if (bits == 32) {
    put(92, 0x00FF0000);
    put(96, 0x0000FF00);
    put(100, 0x000000FF);
    put(104, 0xFF000000);
  } else {
    put(92, 0xFF);
  }
  put(108, 0x1000 | 0x8);  // texture, complex
  put(112, 0x200000);      // volume
  out.insert(out.end(), voxels.begin(), voxels.end());
  return out;
}
