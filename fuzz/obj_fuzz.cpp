// Feeds arbitrary bytes to the engine's Wavefront .obj loader. Build with -DZARN_BUILD_FUZZ=ON
// (clang); the corpus lives in tests/mesh/corpus-obj and is replayed by the mesh tests.
#include "fuzz/meshFuzzOne.h"
#include "mesh/CZeObjMeshFileLoader.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return zeFuzzMeshInput<CZeObjMeshFileLoader>(data, size, "/nonexistent/fuzz.obj");
}
