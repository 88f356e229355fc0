// Feeds arbitrary bytes to the engine's LightWave .lwo loader. Build with -DZARN_BUILD_FUZZ=ON
// (clang); the corpus lives in tests/mesh/corpus-lwo and is replayed by the mesh tests.
#include "fuzz/meshFuzzOne.h"
#include "mesh/CZeLwoMeshFileLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zeFuzzMeshInput<CZeLwoMeshFileLoader>(data, size, "/nonexistent/fuzz.lwo");
}
