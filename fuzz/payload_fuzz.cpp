// The payload locator on arbitrary executable tails: trailer walking, bounds,
// unscrambling and the ZIP check.
#include <cstdint>
#include <cstdlib>

#include "tests/support/payloadFuzzOne.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (!zePayloadFuzzOne(data, size)) std::abort();
  return 0;
}
