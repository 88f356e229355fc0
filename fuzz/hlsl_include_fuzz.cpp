// Feeds arbitrary sources and include files to the HLSL translator (see
// hlslIncludeFuzzOne.h for the input layout). Build with -DZARN_BUILD_FUZZ=ON
// (clang); the corpus lives in tests/effect/corpus-include and is replayed by
// the translator tests.
#include "base/zeMessage.h"
#include "fuzz/hlslIncludeFuzzOne.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (zeSetMessageThreshold(ZE_NONE), true);
  (void)quiet;
  zeHlslIncludeFuzzOne(data, size);
  return 0;
}
