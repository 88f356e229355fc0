// Decimal numbers in text. Every spelling is rounded by the standard
// library's std::from_chars, which is correctly rounded, except the common
// short decimals, which an exact path in front of it takes (GCC 12's
// from_chars costs about 30 ns a number, which would halve the speed of a
// text load). This file also adds what from_chars leaves out: a leading '+',
// NaN payloads, and values that round to an infinity or to zero, which it
// reports without a value.
#include "base/zeNumber.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

inline char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// True when [p, end) begins with `word` (lower case), in any case.
bool startsWithWord(const char* p, const char* end, const char* word) {
  const std::size_t length = std::strlen(word);
  if (std::size_t(end - p) < length) return false;
  for (std::size_t i = 0; i < length; ++i) {
    if (lower(p[i]) != word[i]) return false;
  }
  return true;
}

inline float fromBits(uint32_t bits) {
  float value;
  std::memcpy(&value, &bits, sizeof value);
  return value;
}

// "inf", "infinity", "nan" and "nan(payload)" after the sign.
const char* parseSpecial(const char* p, const char* end, bool negative, float* value) {
  const uint32_t sign = negative ? 0x80000000u : 0u;
  if (startsWithWord(p, end, "inf")) {
    *value = fromBits(sign | 0x7F800000u);
    return p + (startsWithWord(p, end, "infinity") ? 8 : 3);
  }
  if (!startsWithWord(p, end, "nan")) return nullptr;
  uint32_t payload = 0x400000u;  // the plain quiet NaN
  const char* after = p + 3;
  if (after < end && *after == '(') {
    const char* close = static_cast<const char*>(std::memchr(after, ')', std::size_t(end - after)));
    if (close) {
      // The payload is a hexadecimal (0x...) or decimal number; its low 23
      // bits become the significand. None at all, or none left, keeps the
      // plain quiet NaN.
      const char* digits = after + 1;
      int base = 10;
      if (close - digits > 2 && digits[0] == '0' && lower(digits[1]) == 'x') {
        digits += 2;
        base = 16;
      }
      uint64_t number = 0;
      const std::from_chars_result read = std::from_chars(digits, close, number, base);
      if (read.ec == std::errc() && read.ptr == close && (number & 0x7FFFFFu) != 0) payload = uint32_t(number & 0x7FFFFFu);
      after = close + 1;
    }
  }
  *value = fromBits(sign | 0x7F800000u | payload);
  return after;
}

inline bool isDigit(char c) { return unsigned(c - '0') < 10u; }

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

constexpr uint64_t kPow10Int[] = {1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000};
// Powers of ten that a double holds exactly.
constexpr double kExactPow10[] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,  1e8,  1e9,  1e10, 1e11,
                                  1e12, 1e13, 1e14, 1e15, 1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

// Adds the digits at s to *mantissa (eight at a time while eight bytes are
// left) and returns where they end; *count gets their number. Stops adding
// once more than 19 digits are in, where the caller gives up anyway.
__attribute__((always_inline)) inline const char* scanDigits(const char* s, const char* end, uint64_t* mantissa,
                                                              int* count) {
  int n = 0;
  while (end - s >= 8) {
    const uint64_t x = loadDigits(s);
    const int lead = leadingDigits(x);
    if (lead == 0) break;
    if (n + lead <= 19) *mantissa = *mantissa * kPow10Int[lead] + digitsValue(x, lead);
    n += lead;
    s += lead;
    if (lead < 8) {
      *count = n;
      return s;
    }
  }
  while (s < end && isDigit(*s)) {
    if (++n <= 19) *mantissa = *mantissa * 10 + uint64_t(*s - '0');
    ++s;
  }
  *count = n;
  return s;
}

// The exact path: a decimal of at most 19 significant digits and a power of
// ten within 10^22 is one correctly rounded double operation away (both
// operands are exact doubles). Rounding that double to a float is then the
// correct float too, unless the double landed exactly on the midpoint
// between two floats, where the true value may lie on either side: those,
// and anything outside the normal float range, go to from_chars. Returns
// the end of the number, or null when it is not taken here.
const char* parseShortDecimal(const char* s, const char* end, bool negative, float* value) {
  uint64_t mantissa = 0;
  int digits = 0, fractionDigits = 0;
  const char* q = scanDigits(s, end, &mantissa, &digits);
  if (q < end && *q == '.') q = scanDigits(q + 1, end, &mantissa, &fractionDigits);
  if (digits + fractionDigits == 0 || digits + fractionDigits > 19) return nullptr;
  int exponent = -fractionDigits;
  if (q < end && (*q == 'e' || *q == 'E')) {
    const char* e = q + 1;
    bool negativeExponent = false;
    if (e < end && (*e == '-' || *e == '+')) negativeExponent = *e++ == '-';
    if (e < end && isDigit(*e)) {
      int power = 0;
      while (e < end && isDigit(*e)) {
        if (power < 100000) power = power * 10 + (*e - '0');
        ++e;
      }
      exponent += negativeExponent ? -power : power;
      q = e;
    }
  }
  if (mantissa == 0) {
    *value = negative ? -0.0f : 0.0f;
    return q;
  }
  if (mantissa > (uint64_t(1) << 53) || exponent < -22 || exponent > 22) return nullptr;
  const double exact = exponent < 0 ? double(mantissa) / kExactPow10[-exponent] : double(mantissa) * kExactPow10[exponent];
  if (!(exact >= 0x1p-126 && exact < 0x1.fffffep127)) return nullptr;
  uint64_t bits;
  std::memcpy(&bits, &exact, sizeof bits);
  if ((bits & 0x1FFFFFFFull) == 0x10000000ull) return nullptr;  // on a float midpoint
  *value = float(negative ? -exact : exact);
  return q;
}

}  // namespace

const char* zeParseFloat(const char* p, const char* end, float* value) {
  const char* s = p;
  bool negative = false;
  if (s < end && (*s == '-' || *s == '+')) negative = *s++ == '-';
  if (s >= end || *s == '-' || *s == '+') return p;  // from_chars would take a second sign
  const bool hex = end - s > 1 && s[0] == '0' && lower(s[1]) == 'x';
  if (!hex && (isDigit(*s) || *s == '.')) {
    if (const char* q = parseShortDecimal(s, end, negative, value)) return q;
  }
  if (const char* special = parseSpecial(s, end, negative, value)) return special;

  std::chars_format format = std::chars_format::general;
  const char* digits = s;
  if (end - s > 2 && s[0] == '0' && lower(s[1]) == 'x' && (std::isxdigit(static_cast<unsigned char>(s[2])) || s[2] == '.')) {
    format = std::chars_format::hex;
    digits = s + 2;
  }
  float magnitude = 0.0f;
  const std::from_chars_result read = std::from_chars(digits, end, magnitude, format);
  if (read.ptr == digits) return p;
  if (read.ec == std::errc::result_out_of_range) {
    // Rounds to an infinity or below the smallest denormal (or, in this
    // library, just past the largest float): the C library rounds such a
    // value as IEEE says. Rare enough for a copy.
    const std::string copy(digits - (format == std::chars_format::hex ? 2 : 0), read.ptr);
    magnitude = std::strtof(copy.c_str(), nullptr);
  }
  *value = negative ? -magnitude : magnitude;
  return read.ptr;
}
