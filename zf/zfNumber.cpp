// Number tokens of the text form.
#include "zf/zfNumber.h"

#include "base/zeNumber.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

inline bool isDigit(char c) { return unsigned(c - '0') < 10u; }
inline bool isTokenEnd(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; }

// Sign and up to 18 digits, the common case of integer tokens. False when the
// token needs the C library's overflow rules.
bool readSmallInteger(const char* p, const char* end, bool* negative, uint64_t* magnitude) {
  const char* s = p;
  *negative = false;
  if (s < end && (*s == '-' || *s == '+')) *negative = *s++ == '-';
  uint64_t value = 0;
  int digits = 0;
  while (s < end && isDigit(*s)) {
    if (++digits > 18) return false;
    value = value * 10 + uint64_t(*s++ - '0');
  }
  *magnitude = value;
  return true;
}

}  // namespace

float zfReadFloat(const char* p, const char* end) {
  float value = 0.0f;
  zeParseFloat(p, end, &value);
  return value;
}

const char* zfParseFloatToken(const char* p, const char* end, float* value) {
  *value = 0.0f;
  const char* e = zeParseFloat(p, end, value);
  while (e < end && !isTokenEnd(*e)) ++e;
  return e;
}

int32_t zfReadI4(const char* p, const char* end) {
  bool negative;
  uint64_t magnitude;
  if (readSmallInteger(p, end, &negative, &magnitude)) {
    const uint64_t bits = negative ? uint64_t(0) - magnitude : magnitude;
    return int32_t(uint32_t(bits));
  }
  return int32_t(uint32_t(std::strtol(p, nullptr, 10)));
}

uint32_t zfReadU4(const char* p, const char* end) { return uint32_t(zfReadCount(p, end)); }

uint64_t zfReadCount(const char* p, const char* end) {
  bool negative;
  uint64_t magnitude;
  if (readSmallInteger(p, end, &negative, &magnitude)) return negative ? uint64_t(0) - magnitude : magnitude;
  return std::strtoul(p, nullptr, 10);
}

int zfFormatFloat(float value, char* buffer) {
  if (std::isnan(value)) {
    // The plain quiet NaN is "nan"; any other keeps its payload, so a text
    // round trip gives the same bits.
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    const char* sign = bits >> 31 ? "-" : "";
    const uint32_t payload = bits & 0x7FFFFFu;
    if (payload == 0x400000u) return std::snprintf(buffer, 32, "%snan", sign);
    return std::snprintf(buffer, 32, "%snan(0x%x)", sign, payload);
  }
  // The shortest form that a correctly rounded parse reads back exactly.
  const std::to_chars_result shortest = std::to_chars(buffer, buffer + 31, value);
  *shortest.ptr = '\0';
  return int(shortest.ptr - buffer);
}
