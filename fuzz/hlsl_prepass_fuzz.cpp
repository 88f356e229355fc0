// Feeds arbitrary text to the HLSL pre-pass alone (the engine's own rewriting
// before the compiler: effect syntax, registers, matrix swizzles, brace
// elision, OpenGL names, later syntax, array casts, constructor targets, uniform
// entry binding, entries naming shader objects and passes). It must end, stay in bounds and keep
// every line where it was. Build with -DZARN_BUILD_FUZZ=ON (clang); the corpus
// lives in tests/effect/corpus-prepass and is replayed by the compat tests.
#include <algorithm>
#include <cstdint>
#include <string>

#include "effect/zeHlslPrepass.h"
#include "effect/zeHlslTranslator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 4096) return 0;
  const std::string source(reinterpret_cast<const char*>(data), size);
  SZeHlslPrepassInfo info;
  const std::string out = zeHlslPrepass(source, &info);
  // Lines are kept, so messages name the written lines.
  if (std::count(out.begin(), out.end(), '\n') != std::count(source.begin(), source.end(), '\n')) __builtin_trap();
  // Uniform entry parameters bound from the techniques, and from a named list.
  std::string wrapper, name, error;
  zeHlslBindUniformEntry(source, "VS", &wrapper, &name, &error);
  zeHlslBindUniformEntry(source, "VS(1, true)", &wrapper, &name, &error);
  // The helpers the rewritten code calls are written for whatever it asked.
  zeHlslHelperPreamble(info);
  // Entries naming a shader object, an element of a shader array, a pass.
  const std::vector<SZeShaderMacro> macros = {{"I", "1"}};
  std::string resolved;
  for (const char* entry : {"PS", "VS[I]", "VS[Index]", "T.P", "T.P0"}) {
    error.clear();
    zeHlslResolveShaderEntry(source, entry, entry[0] == 'V', macros, &resolved, &error);
  }
  return 0;
}
