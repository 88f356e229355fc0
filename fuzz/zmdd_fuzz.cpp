// Feeds arbitrary bytes to the .zmdd reader. Build with -DZARN_BUILD_FUZZ=ON
// (clang); the corpus lives in tests/mesh/corpus-zmdd and is replayed by the
// codec tests.
#include <cstddef>
#include <cstdint>

#include "base/zeMessage.h"
#include "support/pointCacheFuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool quiet = (zeSetMessageThreshold(ZE_NONE), true);
  (void)quiet;
  zeFuzzZmddOne(data, size);
  return 0;
}
