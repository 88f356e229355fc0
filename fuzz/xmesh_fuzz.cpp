// Feeds arbitrary bytes to the engine's .x loader. Build with -DZARN_BUILD_FUZZ=ON
// (clang); the corpus lives in tests/mesh/corpus and is replayed by the mesh tests.
#include "fuzz/meshFuzzOne.h"
#include "mesh/CZeXMeshFileLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zeFuzzMeshInput<CZeXMeshFileLoader>(data, size, "/nonexistent/fuzz.x");
}
