// Names of the shader cache: the macro text of a request, its 32-character
// code, and the cache file name "<dir>!<base>!<entry>!<code>.vso|pso".
#pragma once

#include <string>
#include <vector>

#include "effect/zeHlslTranslator.h"

// Sorted by name, then by definition.
void zeSortShaderMacros(std::vector<SZeShaderMacro>* macros);
// "NAME DEF~" for each macro of the (sorted) list.
std::string zeShaderMacroText(const std::vector<SZeShaderMacro>& macros);
// The 160-bit hash of the bytes, as 20 little-endian bytes.
void zeShaderMacroHash(const std::string& bytes, unsigned char out[20]);
// The 32-character code of the macro text ("X" * 32 when encoding fails).
std::string zeShaderMacroCode(const std::string& macroText);
// Base-32 encoding of groups of five bytes; false when the size is not a multiple of 5.
bool zeShaderBase32(const unsigned char* bytes, size_t size, std::string* out);
std::string zeShaderCacheFileName(const std::string& sourceFile, const std::string& entry, bool vertex,
                                  const std::string& macroText);
