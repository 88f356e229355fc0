// The curl-noise volume: generation is deterministic, the cache file round
// trips, cache files of the wrong size leave the empty state, and engine
// start builds it from the cache or the noise image.
#include <gtest/gtest.h>
#include <irrlicht.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "particles/zeCurlNoise.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderDDSVolume.h"
#include "render/imageTestSupport.h"
#include "support/countingRenderer.h"

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

// From an 8-bit volume: the integer curl of s(q + o) + s(2q + o) / 2 with
// coordinates wrapped into the volume. Other images are refused quietly.
TEST_F(CurlNoise, BuiltFromAnEightBitVolume) {
  const int n = 8;
  std::vector<unsigned char> voxels(n * n * n);
  for (std::size_t i = 0; i < voxels.size(); ++i) voxels[i] = static_cast<unsigned char>((i * 97 + (i >> 3) * 13) & 255);
  const std::string dir = ::testing::TempDir();
  const auto grey = zeTestDdsVolume(n, n, n, 8, voxels);
  std::ofstream(dir + "noise8.dds", std::ios::binary).write(reinterpret_cast<const char*>(grey.data()), grey.size());
  const auto colour = zeTestDdsVolume(2, 2, 2, 32, std::vector<unsigned char>(32, 9));
  std::ofstream(dir + "noise32.dds", std::ios::binary).write(reinterpret_cast<const char*>(colour.data()), colour.size());
  const auto flat = zeTestDdsVolume(4, 4, 2, 8, std::vector<unsigned char>(32, 9));  // not a cube
  std::ofstream(dir + "flat.dds", std::ios::binary).write(reinterpret_cast<const char*>(flat.data()), flat.size());

  irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
  irr::video::IVideoDriver* driver = device->getVideoDriver();
  auto* loader = new CZeImageLoaderDDSVolume;
  driver->addExternalImageLoader(loader);
  loader->drop();

  ASSERT_TRUE(loadCurlNoiseFromImage(driver, (dir + "noise8.dds").c_str()));
  ASSERT_EQ(zeCurlNoiseEdge(), n);
  const int o[3][3] = {{0, 0, 0}, {31, -48, 13}, {-233, -113, -185}};
  auto s = [&](int x, int y, int z) {
    auto wrap = [&](int v) { return ((v % n) + n) % n; };
    return static_cast<int>(voxels[(wrap(z) * n + wrap(y)) * n + wrap(x)]);
  };
  auto P = [&](int c, int x, int y, int z) {
    return s(x + o[c][0], y + o[c][1], z + o[c][2]) + s(2 * x + o[c][0], 2 * y + o[c][1], 2 * z + o[c][2]) / 2;
  };
  for (const auto& v : {std::vector<int>{0, 0, 0}, {7, 3, 5}, {1, 7, 7}}) {
    const int x = v[0], y = v[1], z = v[2];
    const int expected[3] = {(P(2, x, y + 1, z) - P(2, x, y - 1, z)) - (P(1, x, y, z + 1) - P(1, x, y, z - 1)),
                             (P(0, x, y, z + 1) - P(0, x, y, z - 1)) - (P(2, x + 1, y, z) - P(2, x - 1, y, z)),
                             (P(1, x + 1, y, z) - P(1, x - 1, y, z)) - (P(0, x, y + 1, z) - P(0, x, y - 1, z))};
    signed char got[3];
    zeCurlNoiseAt(x, y, z, got);
    for (int c = 0; c < 3; ++c) EXPECT_EQ(got[c], static_cast<signed char>(expected[c] & 255)) << x << y << z << c;
  }
  for (const char* refused : {"noise32.dds", "flat.dds", "no-such.dds"}) {
    EXPECT_FALSE(loadCurlNoiseFromImage(driver, (dir + refused).c_str())) << refused;
    expectEmpty();
  }
  // A volume short of its voxels is not read past the end.
  auto cut = grey;
  cut.resize(cut.size() - 1);
  EXPECT_EQ(zeDecodeDdsVolume(cut.data(), cut.size(), "cut.dds"), nullptr);
  device->drop();
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

// Engine start on the NULL driver with the curl-noise step, a main renderer
// that draws nothing and the volume loader the noise image needs.
class CurlNoiseStart : public ::testing::Test {
 protected:
  void SetUp() override {
    zeResetMessageState();
    zeDisableMessageBoxes();
    zeInstallCurlNoise();
    installCountingMainRenderer();
    zeSetEngineStep(ZeEngineStep::Device, {addVolumeLoader, nullptr});
  }
  void TearDown() override {
    zeSetEngineStep(ZeEngineStep::Device, {});
    zeSetEngineStep(ZeEngineStep::CurlNoise, {});
  }
  static bool addVolumeLoader(ZeEngineContext& context, char*) {
    auto* loader = new CZeImageLoaderDDSVolume;
    context.driver->addExternalImageLoader(loader);
    loader->drop();
    return true;
  }
};

// Engine start builds the volume from the cache in the base directory; a bad
// cache fails the start.
TEST_F(CurlNoiseStart, FromTheCacheOfTheBaseDirectory) {
  const std::string previousBase = zeGetBaseDirectory();
  const std::string base = ::testing::TempDir() + "curl-base";
  std::system(("mkdir -p " + base).c_str());
  const std::string cache = base + "/curlNoise3D.cache";
  struct Case {
    std::size_t size;
    int result, edge;
  } cases[] = {{3 * 8, 0, 2}, {10, -1, 1}};
  for (const Case& c : cases) {
    std::ofstream(cache, std::ios::binary) << std::string(c.size, '\x01');
    ZeEngineSettings s;
    s.baseDirectory = base.c_str();
    ASSERT_EQ(zeEngineStart(s), c.result) << c.size;
    EXPECT_EQ(zeCurlNoiseEdge(), c.edge);
    if (c.result == 0) {
      zeEngineStop();
      EXPECT_EQ(zeCurlNoiseEdge(), 1);
    } else {
      EXPECT_STREQ(zeStartFailureReason(), "fails to init curl noise from file cache");
    }
  }
  std::remove(cache.c_str());
  zeSetBaseDirectory(previousBase.c_str());
}

// Without a cache, engine start builds the volume from "NoiseVolume.dds" in
// the working directory and saves the cache beside the program.
TEST_F(CurlNoiseStart, FromTheNoiseImageIsCached) {
  char pattern[] = "/tmp/zarn-noise-XXXXXX";
  ASSERT_NE(::mkdtemp(pattern), nullptr);
  const std::string dir = pattern;
  const auto volume = zeTestDdsVolume(4, 4, 4, 8, std::vector<unsigned char>(64, 77));
  std::ofstream(dir + "/NoiseVolume.dds", std::ios::binary)
      .write(reinterpret_cast<const char*>(volume.data()), static_cast<std::streamsize>(volume.size()));
  const std::string previousBase = zeGetBaseDirectory();
  char previous[4096];
  ASSERT_NE(::getcwd(previous, sizeof previous), nullptr);
  ASSERT_EQ(::chdir(dir.c_str()), 0);
  ZeEngineSettings s;
  s.baseDirectory = dir.c_str();
  const int started = zeEngineStart(s);
  const int edge = zeCurlNoiseEdge();
  zeEngineStop();
  ASSERT_EQ(::chdir(previous), 0);
  zeSetBaseDirectory(previousBase.c_str());
  std::ifstream cache(dir + "/curlNoise3D.cache", std::ios::binary | std::ios::ate);
  const long long cacheSize = cache ? static_cast<long long>(cache.tellg()) : -1;
  std::system(("rm -rf '" + dir + "'").c_str());
  ASSERT_EQ(started, 0) << zeStartFailureReason();
  EXPECT_EQ(edge, 4);
  EXPECT_EQ(cacheSize, 4 * 4 * 4 * 3);
}

}  // namespace
