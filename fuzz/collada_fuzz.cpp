// libFuzzer target: arbitrary bytes as a COLLADA FX document through the
// reader, then the writer and the reader again (both profiles). Build with
// clang and -DZARN_BUILD_FUZZ=ON.
#include <cstdio>
#include <cstdlib>
#include <string>

#include "support/colladaFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string why;
  if (!zeColladaFuzzCheck(std::string(reinterpret_cast<const char*>(data), size), &why)) {
    std::fprintf(stderr, "COLLADA fuzz: %s\n", why.c_str());
    std::abort();
  }
  return 0;
}
