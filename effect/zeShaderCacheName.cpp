#include "effect/zeShaderCacheName.h"

#include <algorithm>
#include <cstdint>

#include "base/zeMessage.h"
#include "base/zePath.h"

void zeSortShaderMacros(std::vector<SZeShaderMacro>* macros) {
  std::sort(macros->begin(), macros->end(), [](const SZeShaderMacro& a, const SZeShaderMacro& b) {
    return a.name != b.name ? a.name < b.name : a.definition < b.definition;
  });
}

std::string zeShaderMacroText(const std::vector<SZeShaderMacro>& macros) {
  std::string text;
  for (const SZeShaderMacro& m : macros) text += m.name + " " + m.definition + "~";
  return text;
}

void zeShaderMacroHash(const std::string& bytes, unsigned char out[20]) {
  const uint32_t c[5] = {0x5BD1E995u, 0x19D699A5u, 0xB11924E1u, 0x16118B03u, 0x53C93455u};
  const uint32_t n = uint32_t(bytes.size());
  const uint32_t h0 = 0u ^ n;
  uint32_t h[5] = {h0, h0 ^ 0x19D699A5u, h0 ^ 0xB11924E1u, h0 ^ 0x16118B03u, h0 ^ 0x53C93455u};
  const unsigned char* p = reinterpret_cast<const unsigned char*>(bytes.data());
  size_t left = bytes.size();
  while (left >= 4) {
    uint32_t k = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    k *= 0x5BD1E995u;
    k ^= k >> 24;
    k *= 0x5BD1E995u;
    h[0] = (h[0] * c[0]) ^ k ^ h[1];
    h[1] = (h[1] * c[1]) ^ k ^ h[2];
    h[2] = (h[2] * c[2]) ^ k ^ h[3];
    h[3] = (h[3] * c[3]) ^ k ^ h[4];
    h[4] = (h[4] * c[4]) ^ k ^ h[0];
    p += 4;
    left -= 4;
  }
  if (left > 0) {
    for (int i = 0; i < 5; ++i) {
      if (left == 3) h[i] ^= uint32_t(p[2]) << 16;
      if (left >= 2) h[i] ^= uint32_t(p[1]) << 8;
      h[i] ^= p[0];
      h[i] *= c[i];
    }
  }
  for (int i = 0; i < 5; ++i) {
    h[i] = (h[i] ^ (h[i] >> 13)) * c[i];
    h[i] ^= h[i] >> 15;
  }
  const uint32_t words[5] = {h[0] ^ h[1] ^ h[2] ^ h[3] ^ h[4], h[1] ^ h[0], h[2] ^ h[0], h[3] ^ h[0], h[4] ^ h[0]};
  for (int i = 0; i < 5; ++i)
    for (int b = 0; b < 4; ++b) out[i * 4 + b] = static_cast<unsigned char>(words[i] >> (8 * b));
}

bool zeShaderBase32(const unsigned char* bytes, size_t size, std::string* out) {
  static const char alphabet[] = "123456789ABCDEFGHJKMNPQRSTUVWXYZ";
  if (size % 5 != 0) return false;
  out->clear();
  for (size_t g = 0; g < size; g += 5) {
    uint64_t v = 0;
    for (int i = 0; i < 5; ++i) v = (v << 8) | bytes[g + size_t(i)];
    for (int i = 7; i >= 0; --i) out->push_back(alphabet[(v >> (5 * i)) & 31]);
  }
  return true;
}

std::string zeShaderMacroCode(const std::string& macroText) {
  unsigned char hash[20];
  zeShaderMacroHash(macroText, hash);
  std::string code;
  if (!zeShaderBase32(hash, sizeof hash, &code)) {
    zeMessage(ZE_ERROR, "ZeGPU: Failed to encode base32");
    return std::string(32, 'X');
  }
  return code;
}

std::string zeShaderCacheFileName(const std::string& sourceFile, const std::string& entry, bool vertex,
                                  const std::string& macroText) {
  // The last folder's name ("." when none) and the file's name without its extension.
  const std::string folder = zePathDirectory(sourceFile);
  const std::string d = folder.empty() ? "." : zePathFileName(folder.substr(0, folder.size() - 1), true);
  return d + "!" + zePathFileName(sourceFile, false) + "!" + entry + "!" + zeShaderMacroCode(macroText) + (vertex ? ".vso" : ".pso");
}
