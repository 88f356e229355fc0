// Feeds arbitrary bytes to the .zmorph reader. Build with -DZARN_BUILD_FUZZ=ON
// (clang); the corpus lives in tests/mesh/corpus-zmorph and is replayed by the
// codec tests.
#include <cstddef>
#include <cstdint>

#include "base/zeMessage.h"
#include "support/pointCacheFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (zeSetMessageThreshold(ZE_NONE), true);
  (void)quiet;
  zeFuzzZmorphOne(data, size);
  return 0;
}
