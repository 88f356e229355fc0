#include "mesh/codec/zeMddImport.h"

#include <cstring>
#include <new>

#include "mesh/codec/zeZmdd.h"

namespace {
float floatAt(const unsigned char* p) {
  const uint32_t b = zeReadBE32(p);
  float f;
  std::memcpy(&f, &b, 4);
  return f;
}
}  // namespace

bool zeReadLightWaveMdd(const unsigned char* d, std::size_t size, SZeZmddSource* out, std::string* error) {
  if (size < 8) {
    *error = "shorter than the 8-byte header";
    return false;
  }
  const uint64_t frames = zeReadBE32(d), points = zeReadBE32(d + 4);
  if (frames == 0 || points == 0 || frames > 0x7fffffff || points > 0x7fffffff) {
    *error = "frame count " + std::to_string(frames) + " or point count " + std::to_string(points) + " is not usable";
    return false;
  }
  const uint64_t need = 8 + 4 * frames + 12 * frames * points;
  if (need > size) {
    *error = std::to_string(frames) + " frames of " + std::to_string(points) + " points need " +
             std::to_string(need) + " bytes; the file has " + std::to_string(size);
    return false;
  }
  try {
    out->frames = static_cast<uint32_t>(frames);
    out->points = static_cast<uint32_t>(points);
    out->times.resize(frames);
    for (uint64_t f = 0; f < frames; ++f) out->times[f] = floatAt(d + 8 + 4 * f);
    out->positions.resize(3 * frames * points);
    const unsigned char* p = d + 8 + 4 * frames;
    for (uint64_t i = 0; i < 3 * frames * points; ++i) out->positions[i] = floatAt(p + 4 * i);
    out->base.assign(out->positions.begin(), out->positions.begin() + 3 * points);
  } catch (const std::bad_alloc&) {
    *error = "not enough memory";
    return false;
  }
  return true;
}
