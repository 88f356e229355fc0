// Bounds on what a shader source may ask of the HLSL front end, checked before
// the compiler sees the text: the front end recurses per nesting level and per
// include level, so hostile or broken files would exhaust the stack or never end.
#pragma once

#include <string>

// Includes nest at most this deep (real effects use two or three levels).
constexpr int ZE_HLSL_MAX_INCLUDE_DEPTH = 16;
// Brackets ( [ { nest at most this deep, counted over a file and the files it
// includes (their deepest levels added up, as an include may stand anywhere),
// and again over the text once macros are expanded.
constexpr int ZE_HLSL_MAX_NESTING = 256;

// The deepest bracket nesting of HLSL text (comments and string literals
// skipped), and the 1-based line where it is first reached.
int zeHlslNestingDepth(const std::string& text, int* deepestLine);
