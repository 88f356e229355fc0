// Helpers of the ZF tests: documents from strings, hand-made binary images
// and the log lines a call writes.
#pragma once

#include "zf/zfDocument.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <memory>
#include <string>

struct ZfDocumentDeleter {
  void operator()(ZF_Document* document) const { ZF_Free(document); }
};
using ZfDocumentPtr = std::unique_ptr<ZF_Document, ZfDocumentDeleter>;

inline ZfDocumentPtr zfLoadString(const std::string& bytes) {
  return ZfDocumentPtr(ZF_LoadMemory(bytes.data(), bytes.size()));
}

// Loads `bytes` and returns what the load wrote on the log.
inline std::string zfLoadLog(const std::string& bytes, ZfDocumentPtr* document = nullptr) {
  testing::internal::CaptureStdout();
  ZfDocumentPtr loaded = zfLoadString(bytes);
  std::string log = testing::internal::GetCapturedStdout();
  if (document) *document = std::move(loaded);
  return log;
}

// Big-endian pieces of the binary form.
inline std::string zfWord(uint32_t value) {
  const char bytes[4] = {char(value >> 24), char(value >> 16), char(value >> 8), char(value)};
  return std::string(bytes, 4);
}
inline std::string zfFloatWord(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, 4);
  return zfWord(bits);
}
// A name as stored: NUL-terminated, padded with NULs to a multiple of 4.
inline std::string zfName(const std::string& name) {
  return name + std::string(name.size() / 4 * 4 + 4 - name.size(), '\0');
}
inline std::string zfChunk(const char* id, const std::string& payload) {
  return std::string(id, 4) + zfWord(uint32_t(payload.size())) + payload;
}
inline std::string zfForm(const std::string& chunks) {
  return "FORM" + zfWord(uint32_t(chunks.size() + 4)) + "ZRNF" + chunks;
}
