// Feeds arbitrary text to the HLSL pre-pass alone (the engine's own rewriting
// before the compiler: effect syntax, registers, matrix swizzles, brace
// elision, OpenGL names, system-value semantics, sampler casts, later syntax,
// array casts, constructor targets, uniform entry binding, entries naming
// shader objects and passes), over a main file and its includes (see
// hlslPrepassFuzzOne.h). Build with -DZARN_BUILD_FUZZ=ON (clang); the corpus
// lives in tests/effect/corpus-prepass and is replayed by the compat tests.
#include "fuzz/hlslPrepassFuzzOne.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size > 8192) return 0;
  if (!zeHlslPrepassFuzzOne(data, size)) __builtin_trap();
  return 0;
}
