// The engine's one decimal parser: correctly rounded to single precision,
// with the spellings the text readers meet.
#include "base/zeNumber.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

uint32_t bitsOf(float value) {
  uint32_t bits;
  std::memcpy(&bits, &value, sizeof bits);
  return bits;
}

struct Parsed {
  uint32_t bits;
  std::size_t used;
};

Parsed parse(const std::string& text) {
  float value = 12345.0f;
  const char* end = zeParseFloat(text.data(), text.data() + text.size(), &value);
  return {bitsOf(value), std::size_t(end - text.data())};
}

TEST(ZeNumber, SpellingsAndWhatTheyRead) {
  struct Case {
    const char* text;
    uint32_t bits;
    std::size_t used;
  };
  const uint32_t untouched = bitsOf(12345.0f);
  const Case cases[] = {
      {"1.5", bitsOf(1.5f), 3},
      {"+1.5", bitsOf(1.5f), 4},
      {"-0", 0x80000000u, 2},
      {".5", bitsOf(0.5f), 2},
      {"5.", bitsOf(5.0f), 2},
      {"-2.5e+2", bitsOf(-250.0f), 7},
      {"1E-3", bitsOf(1e-3f), 4},
      // An exponent without digits is not part of the number.
      {"1e", bitsOf(1.0f), 1},
      {"1e+", bitsOf(1.0f), 1},
      {"7;", bitsOf(7.0f), 1},
      {"0x10", bitsOf(16.0f), 4},
      {"-0x1.8p1", bitsOf(-3.0f), 8},
      {"inf", 0x7F800000u, 3},
      {"-Infinity", 0xFF800000u, 9},
      {"nan", 0x7FC00000u, 3},
      {"-NaN", 0xFFC00000u, 4},
      {"nan(0x1)", 0x7F800001u, 8},
      {"-nan(0x7fffff)", 0xFFFFFFFFu, 14},
      {"nan(0x0)", 0x7FC00000u, 8},
      // Rounding: overflow, the largest float, denormals and underflow.
      {"1e40", 0x7F800000u, 4},
      {"-1e40", 0xFF800000u, 5},
      {"3.4028235e38", 0x7F7FFFFFu, 12},
      {"3.40282356e38", 0x7F7FFFFFu, 13},
      {"3.4028236e38", 0x7F800000u, 12},
      {"1.4e-45", 0x00000001u, 7},
      {"7.1e-46", 0x00000001u, 7},
      {"7e-46", 0x00000000u, 5},
      {"-1e-50", 0x80000000u, 6},
      // Nothing to read: the value is left alone.
      {"", untouched, 0},
      {"-", untouched, 0},
      {".", untouched, 0},
      {"abc", untouched, 0},
      {"+-1", untouched, 0},
      {"--1", untouched, 0},
      {"e5", untouched, 0},
  };
  for (const Case& c : cases) {
    const Parsed got = parse(c.text);
    EXPECT_EQ(got.bits, c.bits) << c.text;
    EXPECT_EQ(got.used, c.used) << c.text;
  }
}

// Decimals whose nearest double lies on a float tie: converting through a
// double (as atof and a cast do) rounds twice and misses by one step.
TEST(ZeNumber, RoundsOnceNotTwice) {
  // 1 + 2^-24 + 2^-60: just above the tie between 1 and the next float.
  const std::string aboveTie = "1.00000005960464477539062500000000000000000086736173798840354720596224069595336914062";
  EXPECT_EQ(parse(aboveTie).bits, 0x3F800001u);
  EXPECT_NE(bitsOf(float(std::atof(aboveTie.c_str()))), 0x3F800001u) << "no longer a double-rounding case";
  // Short decimals too: this one rounds, as a double, onto the midpoint
  // 8 + 2^-21 between two floats, but lies above it.
  EXPECT_EQ(parse("8.000000476837159").bits, 0x41000001u);
  EXPECT_EQ(parse("-8.000000476837159").bits, 0xC1000001u);
  EXPECT_EQ(parse("8.000000476837158").bits, 0x41000000u);
  EXPECT_EQ(parse("16777217").bits, bitsOf(16777216.0f));  // a true tie: to even
  EXPECT_EQ(parse("-16777219.0000000").bits, bitsOf(-16777220.0f));
  // Past 19 significant digits every digit still counts.
  EXPECT_EQ(parse("0.1000000000000000000000000000001").bits, bitsOf(0.1f));
  EXPECT_EQ(parse(std::string(400, '9')).bits, 0x7F800000u);
  EXPECT_EQ(parse("0." + std::string(60, '0') + "1").bits, 0u);
}

// Random spellings, short and long, agree with the C library's strtof, which
// rounds correctly to single precision.
TEST(ZeNumber, AgreesWithStrtof) {
  std::mt19937 random(9);
  const char* signs[] = {"", "-", "+"};
  const char* exponents[] = {"", "", "e7", "E-12", "e+30", "e-45", "e38", "e-40"};
  for (int i = 0; i < 300000; ++i) {
    std::string text = signs[random() % 3];
    const int digits = 1 + int(random() % 30);
    for (int d = 0; d < digits; ++d) text += char('0' + random() % 10);
    if (random() % 2) text.insert(text.size() - random() % digits, ".");
    text += exponents[random() % 8];
    const float expected = std::strtof(text.c_str(), nullptr);
    const Parsed got = parse(text);
    ASSERT_EQ(got.bits, bitsOf(expected)) << text;
    ASSERT_EQ(got.used, text.size()) << text;
  }
}

}  // namespace
