// Number tokens of the text form.
#include "zf/zfNumber.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

inline bool isDigit(char c) { return unsigned(c - '0') < 10u; }

float slowFloat(const char* p) { return float(std::strtod(p, nullptr)); }

constexpr uint64_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};

inline bool isTokenEnd(char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\0'; }

// Eight bytes at s with '0' taken off each: digits become 0..9.
inline uint64_t loadDigits(const char* s) {
  uint64_t bytes;
  std::memcpy(&bytes, s, sizeof bytes);
  return bytes ^ 0x3030303030303030ull;
}

// How many of the eight bytes lead with a digit (0 to 8). A byte is a digit
// when it is at most 9; adding 0x76 sets the high bit of any larger one
// (the low seven bits are added alone, so no carry crosses bytes).
inline int leadingDigits(uint64_t x) {
  const uint64_t nonDigit = (((x & 0x7F7F7F7F7F7F7F7Full) + 0x7676767676767676ull) | x) & 0x8080808080808080ull;
  return nonDigit ? __builtin_ctzll(nonDigit) >> 3 : 8;
}

// Value of the first n (1 to 8) digits: shifted so that they end the word,
// then combined in pairs, fours and eights by multiplication.
inline uint64_t digitsValue(uint64_t x, int n) {
  x <<= 8 * (8 - n);
  x = x * 10 + (x >> 8);
  return (((x & 0x000000FF000000FFull) * (100 + (1000000ull << 32))) +
          (((x >> 16) & 0x000000FF000000FFull) * (1 + (10000ull << 32)))) >>
         32;
}

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
  // A decimal with at most 19 significant digits and a power of ten within
  // 10^22 converts exactly in one double operation, which is what strtod
  // would return; the float is then rounded from that double, as atof's
  // caller would.
  const char* s = p;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  uint64_t mantissa = 0;
  int digits = 0;
  int exponent = 0;
  bool any = false;
  while (s < end && *s == '0') {
    ++s;
    any = true;
  }
  while (s < end && isDigit(*s)) {
    if (++digits > 19) return slowFloat(p);
    mantissa = mantissa * 10 + uint64_t(*s++ - '0');
    any = true;
  }
  if (s < end && *s == '.') {
    ++s;
    if (digits == 0) {
      while (s < end && *s == '0') {
        ++s;
        --exponent;
        any = true;
      }
    }
    while (s < end && isDigit(*s)) {
      if (++digits > 19) return slowFloat(p);
      mantissa = mantissa * 10 + uint64_t(*s++ - '0');
      --exponent;
      any = true;
    }
  }
  if (!any) return slowFloat(p);
  if (s < end && (*s == 'e' || *s == 'E')) {
    const char* q = s + 1;
    bool negativeExponent = false;
    if (q < end && (*q == '-' || *q == '+')) negativeExponent = *q++ == '-';
    if (q >= end || !isDigit(*q)) return slowFloat(p);
    int value = 0;
    while (q < end && isDigit(*q)) {
      if (value < 100000) value = value * 10 + (*q - '0');
      ++q;
    }
    exponent += negativeExponent ? -value : value;
    s = q;
  }
  if (s != end) return slowFloat(p);
  if (mantissa == 0) return negative ? -0.0f : 0.0f;
  if (mantissa > (uint64_t(1) << 53) || exponent < -22 || exponent > 22) return slowFloat(p);
  double value = double(mantissa);
  value = exponent < 0 ? value / kExactPow10[-exponent] : value * kExactPow10[exponent];
  return float(negative ? -value : value);
}

const char* zfParseFloatToken(const char* p, float* value) {
  // The same exact fast path as zfReadFloat, taking digits eight at a time.
  const char* s = p;
  bool negative = false;
  if (*s == '-' || *s == '+') negative = *s++ == '-';
  uint64_t mantissa = 0;
  int digits = 0;
  int exponent = 0;
  for (;;) {
    const uint64_t x = loadDigits(s);
    const int n = leadingDigits(x);
    if (n == 0) break;
    mantissa = mantissa * kPow10Int[n] + digitsValue(x, n);
    digits += n;
    s += n;
    if (n < 8 || digits > 19) break;
  }
  if (*s == '.') {
    ++s;
    for (;;) {
      const uint64_t x = loadDigits(s);
      const int n = leadingDigits(x);
      if (n == 0) break;
      mantissa = mantissa * kPow10Int[n] + digitsValue(x, n);
      digits += n;
      exponent -= n;
      s += n;
      if (n < 8 || digits > 19) break;
    }
  }
  if (digits > 0 && digits <= 19) {
    bool exact = true;
    if (*s == 'e' || *s == 'E') {
      const char* q = s + 1;
      bool negativeExponent = false;
      if (*q == '-' || *q == '+') negativeExponent = *q++ == '-';
      if (isDigit(*q)) {
        int power = 0;
        while (isDigit(*q)) {
          if (power < 100000) power = power * 10 + (*q - '0');
          ++q;
        }
        exponent += negativeExponent ? -power : power;
        s = q;
      } else {
        exact = false;
      }
    }
    if (exact && isTokenEnd(*s)) {
      if (mantissa == 0) {
        *value = negative ? -0.0f : 0.0f;
        return s;
      }
      if (mantissa <= (uint64_t(1) << 53) && exponent >= -22 && exponent <= 22) {
        double result = double(mantissa);
        result = exponent < 0 ? result / kExactPow10[-exponent] : result * kExactPow10[exponent];
        *value = float(negative ? -result : result);
        return s;
      }
    }
  }
  const char* end = p;
  while (!isTokenEnd(*end)) ++end;
  *value = slowFloat(p);
  return end;
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
    const char* text = std::signbit(value) ? "-nan" : "nan";
    std::strcpy(buffer, text);
    return int(std::strlen(text));
  }
  // The shortest form reads back through a correctly rounded float parse;
  // ours goes through a double first, so check, and fall back to the
  // 17-digit form of the double, which holds the float exactly.
  const std::to_chars_result shortest = std::to_chars(buffer, buffer + 31, value);
  *shortest.ptr = '\0';
  float back = zfReadFloat(buffer, shortest.ptr);
  if (std::memcmp(&back, &value, sizeof value) == 0) return int(shortest.ptr - buffer);
  return std::snprintf(buffer, 32, "%.17g", double(value));
}
