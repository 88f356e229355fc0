// The Radiance and 16-bit greyscale PNG loaders: single RGBE pixels, flat and
// adaptive scanlines, the faults a hostile file can carry, and the PNG
// loader's share of the driver's loader chain. Also replays the fuzz corpora.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <dirent.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "imageTestSupport.h"
#include "mesh/zeDeviceLog.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderDDSVolume.h"
#include "render/image/CZeImageLoaderHDR.h"
#include "render/image/CZeImageLoaderPNG.h"
#include "render/image/zeReadAll.h"

using namespace irr;

namespace {

// Keeps what the loaders write to the device log.
class RecordingLogger : public ILogger {
 public:
  ELOG_LEVEL getLogLevel() const override { return ELL_DEBUG; }
  void setLogLevel(ELOG_LEVEL) override {}
  void log(const c8* text, ELOG_LEVEL) override { lines.push_back(text); }
  void log(const c8* text, const c8* hint, ELOG_LEVEL) override { lines.push_back(std::string(text) + hint); }
  void log(const c8* text, const wchar_t*, ELOG_LEVEL) override { lines.push_back(text); }
  void log(const wchar_t*, const wchar_t*, ELOG_LEVEL) override {}
  void log(const wchar_t*, ELOG_LEVEL) override {}
  std::string all() const {
    std::string s;
    for (const std::string& line : lines) s += line + "|";
    return s;
  }
  std::vector<std::string> lines;
};

class HdrLoader : public ::testing::Test {
 protected:
  void SetUp() override { zeSetDeviceLogger(&log); }
  void TearDown() override { zeSetDeviceLogger(nullptr); }
  CZeImage* decode(const std::vector<unsigned char>& file) { return zeDecodeRadiance(file.data(), file.size(), "t.hdr"); }
  RecordingLogger log;
};

void rgb(const CZeImage* image, unsigned x, unsigned y, float out[4]) {
  const auto* p = reinterpret_cast<const uint16_t*>(image->data() + y * image->getPitch() + x * 8);
  for (int i = 0; i < 4; ++i) out[i] = zeHalfToFloat(p[i]);
}

std::vector<unsigned char> pixels(std::initializer_list<std::vector<unsigned char>> list) {
  std::vector<unsigned char> out;
  for (const auto& p : list) out.insert(out.end(), p.begin(), p.end());
  return out;
}

TEST_F(HdrLoader, ResolutionSignsAreIgnoredAndHeightComesFirst) {
  std::vector<unsigned char> data;
  for (int i = 0; i < 6; ++i) data.insert(data.end(), {static_cast<unsigned char>(10 * i), 0, 0, 128});
  for (const char* resolution : {"-Y 2 +X 3", "+Y 2 -X 3"}) {
    CZeImage* image = decode(zeTestHdr(resolution, data));
    ASSERT_NE(image, nullptr) << resolution << " " << log.all();
    EXPECT_EQ(image->width(), 3u);
    EXPECT_EQ(image->height(), 2u);
    EXPECT_EQ(image->zeFormat(), 13);
    float px[4];
    rgb(image, 2, 1, px);  // the sixth pixel in file order
    EXPECT_NEAR(px[0], 50.5f / 256, 1e-3);
    EXPECT_EQ(px[3], 1.0f);
    image->drop();
  }
}

TEST_F(HdrLoader, SinglePixelsDecodeAsRgbe) {
  struct Case {
    unsigned char r, g, b, e;
    float expected[3];
  } cases[] = {
      {128, 64, 32, 129, {128.5f / 128, 64.5f / 128, 32.5f / 128}},
      {200, 17, 255, 0, {0, 0, 0}},  // exponent 0 is black whatever the rest
      {255, 0, 1, 136, {255.5f, 0.5f, 1.5f}},
  };
  for (const Case& c : cases) {
    CZeImage* image = decode(zeTestHdr("-Y 1 +X 1", {c.r, c.g, c.b, c.e}));
    ASSERT_NE(image, nullptr);
    float px[4];
    rgb(image, 0, 0, px);
    for (int i = 0; i < 3; ++i) EXPECT_NEAR(px[i], c.expected[i], c.expected[i] / 500 + 1e-6) << int(c.e) << " " << i;
    image->drop();
  }
}

TEST_F(HdrLoader, FlatRunRepeatsThePreviousPixel) {
  CZeImage* image = decode(zeTestHdr("-Y 1 +X 4", pixels({{64, 32, 16, 128}, {1, 1, 1, 3}})));
  ASSERT_NE(image, nullptr) << log.all();
  for (unsigned x = 0; x < 4; ++x) {
    float px[4];
    rgb(image, x, 0, px);
    EXPECT_NEAR(px[0], 64.5f / 256, 1e-3) << x;
    EXPECT_NEAR(px[2], 16.5f / 256, 1e-3) << x;
  }
  image->drop();
}

TEST_F(HdrLoader, AdaptiveScanlineRunsAndLiterals) {
  // Width 4: red is a run of 2 sevens and the literals 1, 2; green, blue and
  // exponent are runs.
  std::vector<unsigned char> line = {2, 2, 0, 4, 130, 7, 2, 1, 2, 132, 9, 132, 11, 132, 128};
  CZeImage* image = decode(zeTestHdr("-Y 1 +X 4", line));
  ASSERT_NE(image, nullptr) << log.all();
  const float reds[4] = {7, 7, 1, 2};
  for (unsigned x = 0; x < 4; ++x) {
    float px[4];
    rgb(image, x, 0, px);
    EXPECT_NEAR(px[0], (reds[x] + 0.5f) / 256, 1e-4) << x;
    EXPECT_NEAR(px[1], 9.5f / 256, 1e-4) << x;
  }
  image->drop();
}

TEST_F(HdrLoader, BadFilesFailWithTheirMessage) {
  const std::vector<unsigned char> pixel = {1, 2, 3, 128};
  struct Case {
    const char* what;
    std::vector<unsigned char> file;
    const char* message;
  } cases[] = {
      {"short", {'#', '?', 'R'}, "CZeImageLoaderHDR t.hdr: wrong size"},
      {"signature", zeTestHdr("-Y 1 +X 1", pixel), nullptr},  // placeholder, patched below
      {"no empty line", {}, "CZeImageLoaderHDR t.hdr: comments issue"},
      {"no numbers", zeTestHdr("-Y +X", pixel), "CZeImageLoaderHDR t.hdr: fail scan dimension"},
      {"zero", zeTestHdr("-Y 0 +X 1", pixel), "CZeImageLoaderHDR t.hdr: zero dimension"},
      {"larger than the file", zeTestHdr("-Y 30000 +X 30000", pixel), "does not fit the file"},
      {"truncated", zeTestHdr("-Y 1 +X 16", {2, 2, 0, 16, 144, 7}), "unexpected EOF reading data"},
      {"flat run first", zeTestHdr("-Y 1 +X 2", pixels({{1, 1, 1, 2}, pixel})), "no pixel to repeat"},
      {"flat run too long", zeTestHdr("-Y 1 +X 2", pixels({pixel, {1, 1, 1, 5}})), "passes the end"},
      {"adaptive run too long", zeTestHdr("-Y 1 +X 2", {2, 2, 0, 2, 131, 7, 0, 0, 0, 0, 0, 0, 0, 0}), "passes the end"},
      {"adaptive literal too long", zeTestHdr("-Y 1 +X 2", {2, 2, 0, 2, 3, 7, 7, 7, 0, 0, 0, 0, 0, 0}), "passes the end"},
  };
  cases[1].file[3] = 'X';
  cases[1].message = "CZeImageLoaderHDR t.hdr: wrong signature";
  const std::string noEmpty = "#?RADIANCE\nFORMAT=32-bit_rle_rgbe\n";
  cases[2].file.assign(noEmpty.begin(), noEmpty.end());
  for (const Case& c : cases) {
    log.lines.clear();
    CZeImage* image = decode(c.file);
    EXPECT_EQ(image, nullptr) << c.what;
    if (image) image->drop();
    EXPECT_NE(log.all().find(c.message), std::string::npos) << c.what << ": " << log.all();
  }
  // A decode failure ends with the loader's own line.
  log.lines.clear();
  decode(zeTestHdr("-Y 1 +X 16", {2, 2, 0, 16, 144, 7}));
  EXPECT_EQ(log.lines.back(), "CZeImageLoaderHDR t.hdr: failed read data");
}

TEST_F(HdrLoader, AnsweredByExtensionAndSignature) {
  CZeImageLoaderHDR loader;
  EXPECT_TRUE(loader.isALoadableFileExtension("sky.HDR"));
  EXPECT_TRUE(loader.isALoadableFileExtension("a/b.rgbe"));
  EXPECT_FALSE(loader.isALoadableFileExtension("sky.png"));
  const auto file = zeTestHdr("-Y 1 +X 1", {1, 2, 3, 128});
  io::IReadFile* in = new CZeMemoryReadFile(file.data(), static_cast<long>(file.size()), "mem.hdr");
  EXPECT_TRUE(loader.isALoadableFileFormat(in));
  video::IImage* image = loader.loadImage(in);
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->getColorFormat(), video::ECF_A16B16G16R16F);
  image->drop();
  in->drop();
}

TEST(HalfFloat, TruncatingConversion) {
  struct Case {
    float in;
    uint16_t out;
  } cases[] = {{1.0f, 0x3C00}, {-2.0f, 0xC000}, {65504.0f, 0x7BFF}, {1e6f, 0x7C00}, {1e-9f, 0x0000},
               {std::ldexp(1.0f, -24), 0x0001}, {std::ldexp(1.0f, -14), 0x0400},
               {1.0f + std::ldexp(1.0f, -11), 0x3C00}};  // truncated, not rounded
  for (const Case& c : cases) EXPECT_EQ(zeFloatToHalf(c.in), c.out) << c.in;
  EXPECT_EQ(zeHalfToFloat(0x3C00), 1.0f);
  EXPECT_EQ(zeHalfToFloat(0x0001), std::ldexp(1.0f, -24));
}

// --- 16-bit greyscale PNG ----------------------------------------------------------

TEST(PngLoader, SixteenBitGreyIsStoredNative) {
  const auto file = zeTestPng(2, 1, 16, 0, {0x1234, 0xFFFE});
  CZeImage* image = zeDecodeGrey16Png(file.data(), file.size(), "h.png");
  ASSERT_NE(image, nullptr);
  EXPECT_EQ(image->zeFormat(), 5);
  uint16_t values[2];
  std::memcpy(values, image->data(), 4);
  EXPECT_EQ(values[0], 0x1234);
  EXPECT_EQ(values[1], 0xFFFE);
  image->drop();
}

TEST(PngLoader, OtherPngsAreDeclined) {
  struct Case {
    const char* what;
    int depth, type;
  } cases[] = {{"8-bit grey", 8, 0}, {"16-bit rgb", 16, 2}};
  CZeImageLoaderPNG loader;
  for (const Case& c : cases) {
    const auto file = zeTestPng(2, 2, c.depth, c.type, std::vector<uint16_t>(12, 7));
    io::IReadFile* in = new CZeMemoryReadFile(file.data(), static_cast<long>(file.size()), "x.png");
    EXPECT_FALSE(loader.isALoadableFileFormat(in)) << c.what;
    EXPECT_EQ(loader.loadImage(in), nullptr) << c.what;
    in->drop();
  }
  // A good header with damaged data gives none, quietly.
  auto file = zeTestPng(4, 4, 16, 0, std::vector<uint16_t>(16, 9));
  file.resize(file.size() - 20);
  EXPECT_EQ(zeDecodeGrey16Png(file.data(), file.size(), "cut.png"), nullptr);
}

// A device's driver asks the engine loader first and falls back to its own.
TEST(PngLoader, DriverChainKeepsItsOwnPngLoader) {
  IrrlichtDevice* device = createDevice(video::EDT_NULL);
  ASSERT_NE(device, nullptr);
  video::IVideoDriver* driver = device->getVideoDriver();
  auto* loader = new CZeImageLoaderPNG;
  driver->addExternalImageLoader(loader);
  loader->drop();
  const std::string dir = ::testing::TempDir();
  const auto grey16 = zeTestPng(2, 2, 16, 0, {1, 2, 3, 0x1234});
  const auto grey8 = zeTestPng(2, 2, 8, 0, {10, 20, 30, 40});
  std::ofstream(dir + "g16.png", std::ios::binary).write(reinterpret_cast<const char*>(grey16.data()), grey16.size());
  std::ofstream(dir + "g8.png", std::ios::binary).write(reinterpret_cast<const char*>(grey8.data()), grey8.size());
  video::IImage* wide = driver->createImageFromFile((dir + "g16.png").c_str());
  ASSERT_NE(wide, nullptr);
  EXPECT_NE(dynamic_cast<CZeImage*>(wide), nullptr);
  wide->drop();
  video::IImage* narrow = driver->createImageFromFile((dir + "g8.png").c_str());
  ASSERT_NE(narrow, nullptr);
  EXPECT_EQ(dynamic_cast<CZeImage*>(narrow), nullptr);
  EXPECT_EQ(narrow->getPixel(1, 1).getRed(), 40u);
  narrow->drop();
  device->drop();
}

// --- Fuzz corpora ------------------------------------------------------------------

using Decoder = CZeImage* (*)(const unsigned char*, std::size_t, const char*);

void replay(const std::string& dir, Decoder decode) {
  DIR* d = opendir(dir.c_str());
  ASSERT_NE(d, nullptr) << dir;
  int files = 0;
  while (dirent* entry = readdir(d)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream in(dir + "/" + entry->d_name, std::ios::binary);
    std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    CZeImage* image = decode(bytes.data(), bytes.size(), "corpus");
    if (image) image->drop();
    ++files;
  }
  closedir(d);
  EXPECT_GT(files, 0);
}

TEST_F(HdrLoader, FuzzCorpusReplaysCleanly) { replay("corpus-hdr", zeDecodeRadiance); }
TEST(PngLoader, FuzzCorpusReplaysCleanly) { replay("corpus-png16", zeDecodeGrey16Png); }
TEST(DdsVolumeLoader, FuzzCorpusReplaysCleanly) { replay("corpus-ddsvolume", zeDecodeDdsVolume); }

}  // namespace
