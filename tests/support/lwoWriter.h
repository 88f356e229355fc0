// Writes LightWave objects (LWO2) for the tests: big-endian numbers, chunks
// and sub-chunks, and a surface written from its parts.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

namespace lwo {

inline std::string be32(uint32_t v) {
  const char b[4] = {static_cast<char>(v >> 24), static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                     static_cast<char>(v)};
  return std::string(b, 4);
}
inline std::string be16(uint32_t v) { return std::string{static_cast<char>(v >> 8), static_cast<char>(v)}; }
inline std::string f4(float f) {
  uint32_t bits;
  std::memcpy(&bits, &f, 4);
  return be32(bits);
}
// A zero-ended string padded to an even length.
inline std::string s0(const std::string& s) {
  std::string out = s + '\0';
  if (out.size() & 1) out += '\0';
  return out;
}
// A chunk (4-byte size) and a sub-chunk (2-byte size), padded to even.
inline std::string chunk(const char* id, const std::string& body) {
  std::string out = std::string(id, 4) + be32(static_cast<uint32_t>(body.size())) + body;
  if (body.size() & 1) out += '\0';
  return out;
}
inline std::string sub(const char* id, const std::string& body) {
  std::string out = std::string(id, 4) + be16(static_cast<uint32_t>(body.size())) + body;
  if (body.size() & 1) out += '\0';
  return out;
}
inline std::string form(const std::string& chunks) {
  return "FORM" + be32(static_cast<uint32_t>(chunks.size() + 4)) + "LWO2" + chunks;
}

// "<value> <envelope 0>" of a surface's scalar sub-chunk.
inline std::string scalar(const char* id, float v) { return sub(id, f4(v) + be16(0)); }
inline std::string colour(float r, float g, float b) { return sub("COLR", f4(r) + f4(g) + f4(b) + be16(0)); }

// An image-map block on a channel ("COLR", "BUMP", ...): its projection
// (5 UV, 0 planar, 1 cylindrical, 2 spherical), axis, image and UV map.
inline std::string imageBlock(const char* channel, uint32_t clip, uint32_t projection = 5, uint32_t axis = 2,
                              const std::string& uvMap = "", const std::string& textureMap = "") {
  std::string header = sub("IMAP", s0("\x80") + sub("CHAN", channel) + sub("ENAB", be16(1)));
  std::string body = header + (textureMap.empty() ? "" : sub("TMAP", textureMap)) + sub("PROJ", be16(projection)) +
                     sub("AXIS", be16(axis)) + sub("IMAG", be16(clip));
  if (!uvMap.empty()) body += sub("VMAP", s0(uvMap));
  return sub("BLOK", body);
}

inline std::string surface(const std::string& name, const std::string& subChunks) {
  return chunk("SURF", s0(name) + s0("") + subChunks);
}
inline std::string clip(uint32_t index, const std::string& file) { return chunk("CLIP", be32(index) + sub("STIL", s0(file))); }

// One layer of points and polygons (corner lists), all tagged with tag 0.
inline std::string layer(const std::vector<std::vector<float>>& points,
                         const std::vector<std::vector<uint32_t>>& polygons) {
  std::string p;
  for (const auto& v : points) p += f4(v[0]) + f4(v[1]) + f4(v[2]);
  std::string faces = "FACE", tags = "SURF";
  for (uint32_t i = 0; i < polygons.size(); ++i) {
    faces += be16(static_cast<uint32_t>(polygons[i].size()));
    for (uint32_t c : polygons[i]) faces += be16(c);
    tags += be16(i) + be16(0);
  }
  return chunk("LAYR", be16(0) + be16(0) + f4(0) + f4(0) + f4(0) + s0("")) + chunk("PNTS", p) +
         chunk("POLS", faces) + chunk("PTAG", tags);
}

}  // namespace lwo
