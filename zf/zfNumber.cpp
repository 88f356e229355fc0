// Number tokens of the text form.
#include "zf/zfNumber.h"

#include "base/zeNumber.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

inline bool isDigit(char c) { return unsigned(c - '0') < 10u; }
inline bool isTokenEnd(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; }

// Sign, digits (their value, saturated past 2^32 + 1) and a dropped fraction.
// False when [p, end) is anything else.
bool readInteger(const char* p, const char* end, bool* negative, uint64_t* magnitude) {
  const char* s = p;
  *negative = false;
  if (s < end && (*s == '-' || *s == '+')) *negative = *s++ == '-';
  if (s == end || !isDigit(*s)) return false;
  uint64_t value = 0;
  while (s < end && isDigit(*s)) {
    value = value * 10 + uint64_t(*s++ - '0');
    if (value > 0x100000000ull) value = 0x100000001ull;
  }
  if (s < end && *s == '.') {
    ++s;
    while (s < end && isDigit(*s)) ++s;
  }
  *magnitude = value;
  return s == end;
}

}  // namespace

bool zfParseFloatToken(const char* p, const char* end, float* value, const char** tokenEnd) {
  *value = 0.0f;
  const char* e = zeParseFloat(p, end, value);
  const bool whole = e > p && (e == end || isTokenEnd(*e));
  while (e < end && !isTokenEnd(*e)) ++e;
  *tokenEnd = e;
  return whole;
}

float zfReadFloat(const char* p, const char* end) {
  float value;
  const char* tokenEnd;
  return zfParseFloatToken(p, end, &value, &tokenEnd) ? value : 0.0f;
}

ZfNumberRead zfReadI4(const char* p, const char* end, int32_t* value) {
  bool negative;
  uint64_t magnitude;
  if (!readInteger(p, end, &negative, &magnitude)) return ZF_NUMBER_BAD;
  if (magnitude > (negative ? 0x80000000ull : 0x7FFFFFFFull)) return ZF_NUMBER_RANGE;
  *value = int32_t(uint32_t(negative ? uint64_t(0) - magnitude : magnitude));
  return ZF_NUMBER_OK;
}

ZfNumberRead zfReadU4(const char* p, const char* end, uint32_t* value) {
  bool negative;
  uint64_t magnitude;
  if (!readInteger(p, end, &negative, &magnitude)) return ZF_NUMBER_BAD;
  if (magnitude > 0xFFFFFFFFull || (negative && magnitude != 0)) return ZF_NUMBER_RANGE;
  *value = uint32_t(magnitude);
  return ZF_NUMBER_OK;
}

ZfNumberRead zfReadCount(const char* p, const char* end, uint32_t* value) {
  if (p == end) return ZF_NUMBER_BAD;
  uint64_t count = 0;
  for (const char* s = p; s < end; ++s) {
    if (!isDigit(*s)) return ZF_NUMBER_BAD;
    count = count * 10 + uint64_t(*s - '0');
    if (count > 0xFFFFFFFFull) count = 0x100000000ull;
  }
  if (count > 0xFFFFFFFFull) return ZF_NUMBER_RANGE;
  *value = uint32_t(count);
  return ZF_NUMBER_OK;
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
