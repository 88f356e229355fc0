// Text .x files and ZF text read a decimal the same way: the same spelling
// gives the same float bits in both, correctly rounded.
#include "mesh/zeXReader.h"
#include "zf/zfDocument.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(XNumbers, TextXAndZfTextAgreeBitForBit) {
  const std::vector<std::string> spellings = {
      "0.1", "-2.5", "1e-3", "3.000000", "123456.789", "-0.000001",
      // Past 19 significant digits.
      "0.12345678901234567890123456789", "98765432109876543210.5",
      // Just above a float tie: rounding through a double would miss it.
      "1.00000005960464477539062500000000000000000086736173798840354720596224069595336914062",
      "1e40", "-1e-50", "1.4e-45"};
  std::string x = "xof 0303txt 0032\n";
  std::string zf = "# numbers\nv FP";
  for (const std::string& s : spellings) {
    x += s + ";\n";
    zf += " " + s;
  }
  zf += "\n";
  CZeXReader reader;
  std::string reason;
  ASSERT_TRUE(reader.open(x.data(), x.size(), &reason)) << reason;
  ZF_Document* document = ZF_LoadMemory(zf.data(), zf.size());
  ASSERT_NE(document, nullptr);
  const ZF_Entry* v = ZF_Find(ZF_Root(document), "v");
  ASSERT_EQ(v->count, spellings.size());
  for (std::size_t i = 0; i < spellings.size(); ++i) {
    float fromX = 0.0f;
    ASSERT_TRUE(reader.readFloat(&fromX)) << spellings[i];
    const float fromZf = reinterpret_cast<const float*>(v->value.data)[i];
    const float expected = std::strtof(spellings[i].c_str(), nullptr);
    EXPECT_EQ(std::memcmp(&fromX, &expected, 4), 0) << spellings[i] << " .x read " << fromX;
    EXPECT_EQ(std::memcmp(&fromZf, &expected, 4), 0) << spellings[i] << " ZF read " << fromZf;
  }
  ZF_Free(document);
}

}  // namespace
