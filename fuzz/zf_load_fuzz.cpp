// libFuzzer target: arbitrary bytes through the ZF loader, the queries, the
// evaluators and both writers. Build with clang and -DZARN_BUILD_FUZZ=ON.
#include "support/zfFuzzCheck.h"

#include <cstdio>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  // The loader's messages go to standard output; they would drown the run.
  if (!std::freopen("/dev/null", "w", stdout)) return 0;
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  std::string why;
  if (!zfFuzzCheck(data, size, &why)) {
    std::fprintf(stderr, "zf fuzz: %s\n", why.c_str());
    std::abort();
  }
  return 0;
}
