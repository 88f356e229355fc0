// The definition loader of annotated HLSL files (".hlsl", ".fx"): a block of
// "//" comment lines between "[ZARN_BEGIN]" and "[ZARN_END]" declares textures,
// constants, states, techniques and texts; a file without one gets the default
// technique (vs_main/ps_main, vs_3_0/ps_3_0) and no declarations.
#pragma once

#include <string>

#include "effect/CZeEffectDef.h"

// The definition read from an annotated shader file.
class CZeEffectDefZarn : public CZeEffectDef {};

// A definition line holds at most this many characters (the line buffer of the format).
constexpr size_t ZE_FX_LINE_MAX = 255;
constexpr int ZE_FX_MAX_FIELDS = 32;
constexpr int ZE_FX_MAX_TOKENS = 20;
constexpr int ZE_FX_MAX_NUMBERS = 32;
// Includes inside includes; a file that includes itself stops here.
constexpr int ZE_FX_MAX_INCLUDE_DEPTH = 16;
// Includes read for one technique: a file that includes another twice per
// level would otherwise read it 2^16 times.
constexpr int ZE_FX_MAX_INCLUDES = 256;

class CZeEffectDefLoaderZarn : public IZeEffectDefLoader {
 public:
  bool isALoadableFileExtension(const char* fileName) const override;
  bool usesMacros() const override { return true; }
  // Opens the file through the engine's file hooks.
  CZeEffectDef* loadDefinition(const char* fileName, const char* const* macros, int value,
                               const char** errorText) override;
  // The same from text already in memory (`path` is the file's full path, used
  // for shader sources and includes).
  CZeEffectDef* loadDefinitionFromText(const char* path, const std::string& text, const char* const* macros,
                                       int value, const char** errorText);
  // Where the last load failed: the file (the effect or an include) and its
  // line, 0 when the failure belongs to no line (a missing "#endif").
  const std::string& errorFile() const { return errorFile_; }
  int errorLine() const { return errorLine_; }

 private:
  std::string errorFile_;
  int errorLine_ = 0;
  std::string error_;  // the last failure text, at most 1023 characters
};
