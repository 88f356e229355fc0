// Number tokens of the text form. A token is a run of non-blank characters;
// each reader takes the whole token or refuses it, so "12abc" or an integer
// that does not fit is an error and never a quiet, different number.
#pragma once

#include <cstddef>
#include <cstdint>

enum ZfNumberRead {
  ZF_NUMBER_OK,
  ZF_NUMBER_BAD,    // not a number of that kind
  ZF_NUMBER_RANGE,  // a number, but not one the type holds
};

// The text reader's float parser: reads the token that starts at p (a
// non-blank) within the text that ends at `end`, and sets *tokenEnd to the
// token's end (a blank, CR, LF or NUL). The number is rounded correctly to
// single precision by the engine's one decimal parser (base/zeNumber.h);
// decimals, "inf", "nan", "nan(0x...)" and hexadecimal floats are numbers,
// and values past the float range read as infinities or zero. False when the
// token holds anything more than a number.
bool zfParseFloatToken(const char* p, const char* end, float* value, const char** tokenEnd);
// The number a whole token [p, end) spells, as zfParseFloatToken reads it
// (0 when it is not one).
float zfReadFloat(const char* p, const char* end);

// Integers of the token [p, end): an optional sign, decimal digits, and an
// optional fraction that is dropped ("1.5" reads 1, "-1.9" reads -1).
ZfNumberRead zfReadI4(const char* p, const char* end, int32_t* value);
// The same, 0 to 4294967295; a minus sign is out of range unless the value is 0.
ZfNumberRead zfReadU4(const char* p, const char* end, uint32_t* value);
// An FP_C record count: decimal digits only, at most 4294967295.
ZfNumberRead zfReadCount(const char* p, const char* end, uint32_t* value);

// Writes the shortest text that zfReadFloat turns back into the same bits;
// NaNs other than the plain quiet one carry their payload ("nan(0x1)").
// Returns the length; `buffer` holds at least 32 characters.
int zfFormatFloat(float value, char* buffer);
