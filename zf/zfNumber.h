// Number tokens of the text form. Each reader takes one token [p, end) that
// starts with a non-blank character; the image it lies in is NUL-terminated,
// so the C library fallbacks stop at the token end or before.
#pragma once

#include <cstddef>
#include <cstdint>

// As by atof, then rounded to single precision. Plain decimals take a fast
// exact path; anything else (hex, inf, nan, long mantissas) goes to strtod.
float zfReadFloat(const char* p, const char* end);
// The text reader's float parser: reads the token at p (a non-blank) as
// zfReadFloat would and returns the token's end (a blank, CR, LF or NUL).
// Looks at up to 8 bytes past the token, so the text must be followed by at
// least 8 readable bytes.
const char* zfParseFloatToken(const char* p, float* value);

// As by atoi ("1.5" reads 1, a word reads 0).
int32_t zfReadI4(const char* p, const char* end);
// As by strtoul with base 10, kept to 32 bits.
uint32_t zfReadU4(const char* p, const char* end);
// An unsigned decimal as by strtoul, full width (FP_C record counts).
uint64_t zfReadCount(const char* p, const char* end);

// Writes the shortest text that zfReadFloat turns back into the same bits
// (NaNs keep their sign, not their payload). Returns the length; `buffer`
// holds at least 32 characters.
int zfFormatFloat(float value, char* buffer);
