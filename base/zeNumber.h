// Decimal numbers in text: the one conversion behind every text reader (ZF
// text, .x text), so a spelling gives the same bits whichever file holds it.
#pragma once

#include <cstddef>

// Reads the number that starts at p (and ends before `end`) and rounds it
// once, correctly, to single precision: the nearest float, ties to even, with
// overflow giving an infinity and underflow a denormal or zero.
//
// Spellings: an optional sign, then digits with at most one '.' (at least
// one digit in all) and an optional exponent ('e' or 'E', an optional sign,
// digits; taken only when a digit follows); or "inf", "infinity", "nan" in
// any case; or "nan(0x...)", a NaN with the given payload (low 23 bits), as
// the ZF writer spells NaNs other than the plain quiet one; or a hexadecimal
// float "0x1.8p3".
//
// Returns the end of what was read (the caller decides whether anything may
// follow), or p, with *value untouched, when no number starts at p.
const char* zeParseFloat(const char* p, const char* end, float* value);
