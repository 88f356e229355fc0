// COLLADA FX documents (".dae", ".xml"): the library_effects part read into
// the effect definition model, so the effect builder makes runnable effects
// from them as from the engine's own effect files.
//
// The GLSL flag (the loader's `value`) picks the profile: profile_GLSL when
// set, profile_CG when clear (this platform's effects are HLSL: the manager
// passes 0 on every backend). Content the runtime does not use is skipped
// with "COLLADA skipping section <name>" on standard output.
#pragma once

#include <string>

#include "effect/CZeEffectDef.h"

// A definition read from a COLLADA document.
class CZeEffectDefCollada : public CZeEffectDef {};

class CZeEffectDefLoaderCollada : public IZeEffectDefLoader {
 public:
  // "dae" or "xml" after the last '.', in any case.
  bool isALoadableFileExtension(const char* fileName) const override;
  // One definition per file: the document takes no macros.
  bool usesMacros() const override { return false; }
  // Opens the file through the engine's file hooks; *errorText is "File Not
  // Found" when it cannot be read, else nullptr. `macros` is ignored.
  CZeEffectDef* loadDefinition(const char* fileName, const char* const* macros, int value,
                               const char** errorText) override;
  // The same from a document already in memory (`path` is the file's full path).
  CZeEffectDef* loadDefinitionFromText(const char* path, const std::string& text, int value);
};
