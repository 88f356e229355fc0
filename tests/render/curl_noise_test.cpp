// The curl-noise volume: generation is deterministic, the cache file round
// trips, and cache files of the wrong size leave the empty state.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "render/image/CZeImage.h"
#include "render/image/zeCurlNoise.h"

namespace {

std::string writeCache(const std::string& name, std::size_t size, unsigned char fill = 5) {
  const std::string path = ::testing::TempDir() + name;
  std::vector<char> bytes(size, static_cast<char>(fill));
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path;
}

class CurlNoise : public ::testing::Test {
 protected:
  void SetUp() override { zeResetMessageState(); }
  void TearDown() override { releaseCurlNoise(); }
  static void expectEmpty() {
    EXPECT_EQ(zeCurlNoiseEdge(), 1);
    signed char v[3] = {1, 1, 1};
    zeCurlNoiseAt(7, 8, 9, v);
    EXPECT_EQ(v[0], 0);
    EXPECT_EQ(v[1], 0);
    EXPECT_EQ(v[2], 0);
  }
};

TEST_F(CurlNoise, GenerationIsDeterministicAndNotFlat) {
  ASSERT_TRUE(generateCurlNoise());
  ASSERT_EQ(zeCurlNoiseEdge(), 64);
  const std::vector<signed char> first(zeCurlNoiseData(), zeCurlNoiseData() + 786432);
  ASSERT_TRUE(generateCurlNoise());
  EXPECT_TRUE(std::equal(first.begin(), first.end(), zeCurlNoiseData()));
  int nonZero = 0;
  for (signed char v : first) nonZero += v != 0;
  EXPECT_GT(nonZero, 786432 / 2);
}

// The curl straight from the noise, at voxels on the borders and inside.
TEST_F(CurlNoise, GeneratedVoxelsFollowTheCurlOfTheNoise) {
  ASSERT_TRUE(generateCurlNoise());
  const int offsets[3][3] = {{0, 0, 0}, {31, -48, 13}, {-233, -113, -185}};
  auto n = [](float x, float y, float z) { return (zeCurlPeriodicNoise(x / 16, y / 16, z / 16, 4, 4, 4) * 128 + 128) * 0.5f; };
  auto P = [&](int c, int x, int y, int z) {
    const int* o = offsets[c];
    return n(float(x + o[0]), float(y + o[1]), float(z + o[2])) +
           0.5f * n(float(2 * x + o[0]), float(2 * y + o[1]), float(2 * z + o[2]));
  };
  const int voxels[][3] = {{0, 0, 0}, {63, 0, 17}, {5, 63, 0}, {31, 32, 33}, {0, 63, 63}};
  for (const auto& v : voxels) {
    const int x = v[0], y = v[1], z = v[2];
    const float expected[3] = {
        (P(2, x, y + 1, z) - P(2, x, y - 1, z)) - (P(1, x, y, z + 1) - P(1, x, y, z - 1)),
        (P(0, x, y, z + 1) - P(0, x, y, z - 1)) - (P(2, x + 1, y, z) - P(2, x - 1, y, z)),
        (P(1, x + 1, y, z) - P(1, x - 1, y, z)) - (P(0, x, y + 1, z) - P(0, x, y - 1, z))};
    signed char got[3];
    zeCurlNoiseAt(x, y, z, got);
    for (int c = 0; c < 3; ++c)
      EXPECT_EQ(got[c], static_cast<signed char>(static_cast<int>(expected[c]) & 255)) << x << "," << y << "," << z;
  }
}

TEST_F(CurlNoise, CacheRoundTrip) {
  ASSERT_TRUE(generateCurlNoise());
  const std::string path = ::testing::TempDir() + "curl-roundtrip.cache";
  ASSERT_TRUE(saveCurlNoiseCache(path.c_str()));
  const std::vector<signed char> saved(zeCurlNoiseData(), zeCurlNoiseData() + 786432);
  releaseCurlNoise();
  expectEmpty();
  ASSERT_TRUE(loadCurlNoiseCache(path.c_str()));
  EXPECT_EQ(zeCurlNoiseEdge(), 64);
  EXPECT_TRUE(std::equal(saved.begin(), saved.end(), zeCurlNoiseData()));
  // The vector at (x, y, z) is at 3 * (x + y N + z N^2).
  signed char v[3];
  zeCurlNoiseAt(3, 4, 5, v);
  EXPECT_EQ(v[1], saved[3 * (3 + 4 * 64 + 5 * 4096) + 1]);
}

TEST_F(CurlNoise, CacheSizes) {
  struct Case {
    std::size_t size;
    bool loads;
    const char* message;
  } cases[] = {
      {786432, true, nullptr},
      {786432 + 3, false, "CurlNoise3D file not have W = H = D (sz=64)"},
      {10, false, "CurlNoise3D file not multiple of 3 bytes"},
      {0, false, "CurlNoise3D file not have W = H = D (sz=0)"},
      {3 * 27, true, nullptr},  // N = 3
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(generateCurlNoise());  // a failure must also drop what was there
    const std::string path = writeCache("curl.cache", c.size);
    ::testing::internal::CaptureStdout();
    const bool loaded = loadCurlNoiseCache(path.c_str());
    const std::string err = ::testing::internal::GetCapturedStdout();
    EXPECT_EQ(loaded, c.loads) << c.size;
    if (c.message) {
      EXPECT_NE(err.find(c.message), std::string::npos) << c.size << ": " << err;
      expectEmpty();
    }
  }
  ::testing::internal::CaptureStdout();
  EXPECT_FALSE(loadCurlNoiseCache((::testing::TempDir() + "no-such.cache").c_str()));
  EXPECT_NE(::testing::internal::GetCapturedStdout().find("failed to open CurlNoise3D file"), std::string::npos);
  expectEmpty();
}

TEST_F(CurlNoise, VolumeImageCentresComponents) {
  const std::string path = writeCache("curl-small.cache", 3 * 8, 0);
  ASSERT_TRUE(loadCurlNoiseCache(path.c_str()));
  CZeImage* image = zeCurlNoiseImage();
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->width(), 2u);
  EXPECT_EQ(image->depth(), 2u);
  EXPECT_EQ(image->zeFormat(), 3);
  // A zero component becomes 128.
  const irr::video::SColor c = image->getPixel(1, 1);
  EXPECT_EQ(c.getRed(), 128u);
  EXPECT_EQ(c.getAlpha(), 255u);
  image->drop();
}

}  // namespace
