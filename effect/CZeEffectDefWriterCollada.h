// Writes any effect definition as a COLLADA 1.5 document (".dae"). Texts and
// attribute values are escaped; the two blend factors a reader makes of a
// blend_func ("blend_func src", "blend_func dest") go back out as one
// blend_func element with src and dest children, so what is written reads
// back. The effect's title, subject and comments go into the effect's own
// asset as well, where the reader finds them, and a GLSL definition's binds
// stand in the program, where the reader takes them.
#pragma once

#include <string>

#include "effect/CZeEffectManager.h"

class CZeEffectDefWriterCollada : public IZeEffectDefWriter {
 public:
  // "dae" after the last '.', in any case.
  bool isAWritableFileExtension(const char* fileName) const override;
  bool writeDefinitionText(const CZeEffectDef* definition, std::string* text) override;
};
