// Replays every input the payload fuzzer kept: each must list and load
// without reading outside its bytes (the sanitizer build catches that) and
// every resource listed must lie inside the input.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "packaging/zePayload.h"
#include "support/payloadFuzzOne.h"

TEST(PayloadCorpus, EveryKeptInputIsHandled) {
  int count = 0;
  for (const auto& entry : std::filesystem::directory_iterator(ZARN_PAYLOAD_CORPUS)) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::vector<std::uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(zePayloadFuzzOne(bytes.data(), bytes.size())) << entry.path();
    ++count;
  }
  EXPECT_GT(count, 0);
}
