// Number tokens of the text form. Each reader takes one token [p, end) that
// starts with a non-blank character.
#pragma once

#include <cstddef>
#include <cstdint>

// The token's number, correctly rounded to single precision by the engine's
// one decimal parser (base/zeNumber.h); as atof, a token that starts with no
// number reads as 0 and what follows a number is ignored.
float zfReadFloat(const char* p, const char* end);
// The text reader's float parser: reads the token at p as zfReadFloat would,
// within the text that ends at `end`, and returns the token's end (a blank,
// CR, LF or NUL).
const char* zfParseFloatToken(const char* p, const char* end, float* value);

// As by atoi ("1.5" reads 1, a word reads 0).
int32_t zfReadI4(const char* p, const char* end);
// As by strtoul with base 10, kept to 32 bits.
uint32_t zfReadU4(const char* p, const char* end);
// An unsigned decimal as by strtoul, full width (FP_C record counts).
uint64_t zfReadCount(const char* p, const char* end);

// Writes the shortest text that zfReadFloat turns back into the same bits;
// NaNs other than the plain quiet one carry their payload ("nan(0x1)").
// Returns the length; `buffer` holds at least 32 characters.
int zfFormatFloat(float value, char* buffer);
