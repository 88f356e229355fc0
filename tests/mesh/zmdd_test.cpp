// The .zmdd and .zpnts codec: hand-made frames for each encoding, round trips
// through the writer for each predictor and encoding, the walk from key
// frames, and files whose counts and sizes do not fit.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>

#include "mesh/codec/zeZmdd.h"
#include "mesh/codec/zeZmddWrite.h"
#include "support/pointCacheFuzzCheck.h"

namespace {

void put32(std::vector<unsigned char>* out, uint32_t v) {
  for (int s = 24; s >= 0; s -= 8) out->push_back(static_cast<unsigned char>(v >> s));
}
void putFloat(std::vector<unsigned char>* out, float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  put32(out, b);
}
void set32(std::vector<unsigned char>* out, std::size_t at, uint32_t v) {
  for (int b = 0; b < 4; ++b) (*out)[at + b] = static_cast<unsigned char>(v >> (24 - 8 * b));
}

// One frame of 4 points after a zero base frame; scale 1000 makes d = r.
// x is (P, E, data); y and z are P0/E6 with residual 0.
std::vector<unsigned char> oneFrame(unsigned p, unsigned e, const std::vector<unsigned char>& data) {
  std::vector<unsigned char> f = {'Z', 'M', 'D', 'D'};
  put32(&f, 0);
  put32(&f, 1);
  put32(&f, 4);
  putFloat(&f, 1000.0f);
  putFloat(&f, 0.0f);  // time
  const std::size_t offset = f.size();
  put32(&f, 0);
  f.push_back(0);  // not a key frame
  for (int c = 0; c < 3; ++c) put32(&f, 0), put32(&f, 16);
  for (int i = 0; i < 12; ++i) putFloat(&f, 0.0f);
  set32(&f, offset, static_cast<uint32_t>(f.size()));
  f.push_back(0), f.push_back(p), f.push_back(0), f.push_back(e);
  put32(&f, static_cast<uint32_t>(data.size()));
  for (int c = 0; c < 2; ++c) put32(&f, 6), put32(&f, 4);
  f.insert(f.end(), data.begin(), data.end());
  for (int c = 0; c < 2; ++c) put32(&f, 0);
  return f;
}

std::vector<float> decodeX(const std::vector<unsigned char>& file, int frame) {
  ZeZmddStream* s = zmddc_uncompress_create_memory(file.data(), file.size(), "hand.zmdd");
  if (!s) return {};
  const float *x, *y, *z;
  std::vector<float> out;
  if (zmddc_uncompress_frame(s, frame, &x, &y, &z)) out.assign(x, x + zmddc_point_count(s));
  zmddc_release(s);
  return out;
}

// A moving, wobbling set of points: x drifts, y waves, z is a function of the point.
SZeZmddSource movingPoints(uint32_t frames, uint32_t points, float speed) {
  SZeZmddSource s;
  s.frames = frames;
  s.points = points;
  for (uint32_t f = 0; f < frames; ++f) s.times.push_back(static_cast<float>(f) / 25.0f);
  auto at = [&](uint32_t i, int f, int c) {
    const float t = static_cast<float>(f) * speed;
    switch (c) {
      case 0: return static_cast<float>(i % 7) + t;
      case 1: return std::sin(0.3f * static_cast<float>(i) + t);
      default: return 0.25f * static_cast<float>(i) - 0.5f * t;
    }
  };
  for (uint32_t i = 0; i < points; ++i)
    for (int c = 0; c < 3; ++c) s.base.push_back(at(i, 0, c));
  for (uint32_t f = 0; f < frames; ++f)
    for (uint32_t i = 0; i < points; ++i)
      for (int c = 0; c < 3; ++c) s.positions.push_back(at(i, static_cast<int>(f), c));
  return s;
}

}  // namespace

TEST(Zmdd, EachEncodingReadsTheResidualsTheLayoutGives) {
  // Residuals 0, 1, -1, 2 in each encoding, predictor 0 and d = r.
  struct Case {
    unsigned e;
    std::vector<unsigned char> data;
  } cases[] = {
      {0, {0xA6, 0x40}},  // Exp-Golomb: 1 010 011 00100
      {1, {1, 0x19, 0x40}},  // Rice k=1: 00 01 100 101
      {2, {0xff, 0xff, 0xff, 0xfe, 0x23, 0x14}},  // B = -2, nibbles 2 3 1 4
      {3, {0xff, 0xff, 0xff, 0xff, 1, 2, 0, 3}},  // B = -1
      {4, {0xff, 0xff, 0xff, 0xff, 0, 1, 0, 2, 0, 0, 0, 3}},
      {5, {0, 0, 0, 0, 0, 0, 0, 1, 0xff, 0xff, 0xff, 0xff, 0, 0, 0, 2}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.e);
    EXPECT_EQ(decodeX(oneFrame(0, c.e, c.data), 0), (std::vector<float>{0, 1, -1, 2}));
  }
  // Encoding 6 gives every point the same residual.
  EXPECT_EQ(decodeX(oneFrame(0, 6, {0, 0, 0, 5}), 0), (std::vector<float>{5, 5, 5, 5}));
  // Running sums along the points (predictor 4) and against the base (5, base 0).
  EXPECT_EQ(decodeX(oneFrame(4, 6, {0, 0, 0, 2}), 0), (std::vector<float>{2, 4, 6, 8}));
  EXPECT_EQ(decodeX(oneFrame(5, 6, {0, 0, 0, 2}), 0), (std::vector<float>{2, 4, 6, 8}));
  // The base frame is frame -1.
  EXPECT_EQ(decodeX(oneFrame(0, 6, {0, 0, 0, 5}), -1), (std::vector<float>{0, 0, 0, 0}));
}

TEST(Zmdd, BadFramesAndHeadersFailWithAMessage) {
  const std::vector<unsigned char> good = oneFrame(0, 6, {0, 0, 0, 5});
  const std::size_t frame0 = 20 + 9 + 24 + 48;
  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned char>*)> change;
    bool opens;
  } cases[] = {
      {"magic", [](auto* f) { (*f)[0] = 'X'; }, false},
      {"version 1", [](auto* f) { set32(f, 4, 1); }, false},
      {"no frames", [](auto* f) { set32(f, 8, 0); }, false},
      {"no points", [](auto* f) { set32(f, 12, 0); }, false},
      {"scale 0", [](auto* f) { set32(f, 16, 0); }, false},
      {"frame count near 2^31", [](auto* f) { set32(f, 8, 0x7fffffff); }, false},
      {"point count near 2^31", [](auto* f) { set32(f, 12, 0x7fffffff); }, false},
      {"point count 2^32-1", [](auto* f) { set32(f, 12, 0xffffffff); }, false},
      {"cut in the base frame", [](auto* f) { f->resize(60); }, false},
      {"header only", [](auto* f) { f->resize(20); }, false},
      {"frame offset past the end", [](auto* f) { set32(f, 24, 0xfffffff0); }, true},
      {"encoding 7", [=](auto* f) { (*f)[frame0 + 3] = 7; }, true},
      {"predictor 6", [=](auto* f) { (*f)[frame0 + 1] = 6; }, true},
      {"predictor 2 without history", [=](auto* f) { (*f)[frame0 + 1] = 2; }, true},  // only the base is decoded
      {"predictor 3", [=](auto* f) { (*f)[frame0 + 1] = 3; }, true},
      {"length past the end", [=](auto* f) { set32(f, frame0 + 4, 0x7ffffff0); }, true},
      {"length above 12n+1024", [=](auto* f) { set32(f, frame0 + 4, 1100); }, true},
      {"encoding 6 with no number", [=](auto* f) { set32(f, frame0 + 4, 3); }, true},
      {"Exp-Golomb runs out", [=](auto* f) { (*f)[frame0 + 3] = 0, set32(f, frame0 + 4, 1); }, true},
      {"Exp-Golomb all zeros", [=](auto* f) { (*f)[frame0 + 3] = 0; (*f)[frame0 + 24] = 0; }, true},
      {"Rice k above 31", [=](auto* f) { (*f)[frame0 + 3] = 1, (*f)[frame0 + 24] = 40; }, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> file = good;
    c.change(&file);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    ZeZmddStream* s = zmddc_uncompress_create_memory(file.data(), file.size(), "bad.zmdd");
    EXPECT_EQ(s != nullptr, c.opens);
    const float *x, *y, *z;
    if (s) {
      EXPECT_FALSE(zmddc_uncompress_frame(s, 0, &x, &y, &z));
      EXPECT_TRUE(zmddc_uncompress_frame(s, -1, &x, &y, &z));  // the base frame still reads
    }
    zmddc_release(s);
    const std::string log = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("bad.zmdd"), std::string::npos) << log;
  }
}

TEST(Zmdd, RoundTripsKeepKeyFramesAndStayWithinHalfAStep) {
  struct Case {
    int predictor, encoding;
    float scale, speed;
    int keyInterval;
  } cases[] = {
      {-1, -1, 0.01f, 0.05f, 0},  {-1, -1, 0.01f, 0.05f, 7}, {0, 5, 0.01f, 0.05f, 0},
      {1, 0, 0.01f, 0.05f, 0},    {1, 1, 0.01f, 0.05f, 0},  {2, 0, 0.01f, 0.05f, 5},
      {3, 1, 0.01f, 0.05f, 6},    {4, 5, 0.01f, 0.05f, 0},  {5, 0, 0.01f, 0.05f, 0},
      {1, 2, 200.0f, 0.05f, 0},   {1, 3, 10.0f, 0.05f, 0},  {1, 4, 0.1f, 0.05f, 0},
      {1, 0, -0.01f, 0.05f, 3},   // a negative scale only turns the residuals round
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "P" << c.predictor << " E" << c.encoding << " s" << c.scale << " k"
                                    << c.keyInterval);
    const SZeZmddSource src = movingPoints(24, 37, c.speed);
    SZeZmddWriteOptions opt;
    opt.scale = c.scale;
    opt.predictor = c.predictor;
    opt.encoding = c.encoding;
    opt.keyInterval = c.keyInterval;
    std::vector<unsigned char> file;
    std::string error;
    ASSERT_TRUE(zeZmddWrite(src, opt, &file, &error)) << error;
    ZeZmddStream* s = zmddc_uncompress_create_memory(file.data(), file.size(), "trip.zmdd");
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(zmddc_frame_count(s), 24);
    EXPECT_EQ(zmddc_point_count(s), 37);
    const float tolerance = std::fabs(c.scale) / 2000.0f * 1.01f;
    for (int f = -1; f < 24; ++f) {
      const float *x, *y, *z;
      ASSERT_TRUE(zmddc_uncompress_frame(s, f, &x, &y, &z)) << f;
      const float* want = f < 0 ? src.base.data() : src.positions.data() + 3 * 37 * f;
      const bool key = zmddc_is_key_frame(s, f);
      EXPECT_EQ(key, f < 0 || (c.keyInterval > 0 && f % c.keyInterval == 0));
      for (int i = 0; i < 37; ++i) {
        const float got[3] = {x[i], y[i], z[i]};
        for (int k = 0; k < 3; ++k) {
          const float w = want[3 * i + k];
          if (key) ASSERT_EQ(got[k], w) << "frame " << f << " point " << i;
          else ASSERT_NEAR(got[k], w, tolerance + 4e-7f * std::fabs(w)) << "frame " << f << " point " << i;
        }
      }
      if (f >= 0) {
        EXPECT_EQ(zmddc_frame_time(s, f), src.times[f]);
      }
    }
    // Residual frames carry the forced predictor and encoding where the history allows.
    if (c.encoding >= 0 && c.keyInterval == 0) {
      const std::size_t record = zeReadBE32(file.data() + 20 + 4 * 24 + 4 * 23);
      EXPECT_EQ(file[record + 1], c.predictor);
      EXPECT_EQ(file[record + 3], c.encoding);
    }
    zmddc_release(s);
  }
}

TEST(Zmdd, ForcedEncodingsTheResidualsDoNotFitAreRefused) {
  const SZeZmddSource src = movingPoints(4, 9, 0.5f);
  SZeZmddWriteOptions opt;
  opt.encoding = 2;  // nibbles cannot span these residuals
  std::vector<unsigned char> file;
  std::string error;
  EXPECT_FALSE(zeZmddWrite(src, opt, &file, &error));
  EXPECT_NE(error.find("fit no allowed encoding"), std::string::npos) << error;
}

TEST(Zmdd, DecodingWalksFromTheNearestKeyFrame) {
  const SZeZmddSource src = movingPoints(60, 5, 0.05f);
  SZeZmddWriteOptions opt;
  opt.keyInterval = 10;
  std::vector<unsigned char> file;
  std::string error;
  ASSERT_TRUE(zeZmddWrite(src, opt, &file, &error)) << error;
  ZeZmddStream* s = zmddc_uncompress_create_memory(file.data(), file.size(), "walk.zmdd");
  ASSERT_NE(s, nullptr);
  const float *x, *y, *z;
  struct Step {
    int frame, records;
  } steps[] = {
      {12, 3},   // from key frame 10
      {12, 0},   // the same frame decodes nothing
      {13, 1},   // the next one
      {22, 9},   // key frame 20 is less than 10 ahead of 13: walk on
      {45, 6},   // key frame 40 is: jump to it, then 41 .. 45
      {5, 6},    // backwards: from key frame 0
      {-1, 1},   // the base frame
      {3, 4},    // the base is behind: from key frame 0 again
  };
  for (const Step& step : steps) {
    const int before = zmddc_decoded_records(s);
    ASSERT_TRUE(zmddc_uncompress_frame(s, step.frame, &x, &y, &z));
    EXPECT_EQ(zmddc_decoded_records(s) - before, step.records) << step.frame;
  }
  EXPECT_FALSE(zmddc_uncompress_frame(s, 60, &x, &y, &z));
  EXPECT_FALSE(zmddc_uncompress_frame(s, -2, &x, &y, &z));
  zmddc_release(s);
}

TEST(Zpnts, TablesAndBadFiles) {
  const std::vector<unsigned char> good = zeZpntsWrite({2, 0, 1, 1});
  std::vector<uint32_t> table;
  ASSERT_TRUE(zeParseZpnts(good.data(), good.size(), "good.zpnts", &table));
  EXPECT_EQ(table, (std::vector<uint32_t>{2, 0, 1, 1}));
  // The lookup bound: an entry equal to the point count is out.
  EXPECT_EQ(zeZpntsFirstBadEntry(table, 3), -1);
  EXPECT_EQ(zeZpntsFirstBadEntry(table, 2), 0);

  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned char>*)> change;
    const char* message;
  } cases[] = {
      {"no FORM", [](auto* f) { (*f)[0] = 'X'; }, "ID_FORM not found"},
      {"no ZPNT", [](auto* f) { (*f)[9] = 'X'; }, "ID_ZPNT not found"},
      {"count near 2^31", [](auto* f) { set32(f, 12, 0x7fffffff); }, "do not fit"},
      {"count 2^32-1", [](auto* f) { set32(f, 12, 0xffffffff); }, "do not fit"},
      {"one entry short", [](auto* f) { f->pop_back(); }, "do not fit"},
      {"no count", [](auto* f) { f->resize(14); }, "no point count"},
      {"empty", [](auto* f) { f->clear(); }, "ID_FORM not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> file = good;
    c.change(&file);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(zeParseZpnts(file.data(), file.size(), "bad.zpnts", &table));
    const std::string log = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
  }
}

TEST(PointCacheCorpus, FuzzFindingsAndSeedsReadCleanly) {
  // Every input the fuzzers kept: it must open or fail with a message, never crash.
  for (const char* folder : {"corpus-zmdd", "corpus-zpnts", "corpus-zmorph"}) {
    int files = 0;
    for (const auto& entry : std::filesystem::directory_iterator(folder)) {
      std::ifstream in(entry.path(), std::ios::binary);
      const std::vector<unsigned char> bytes((std::istreambuf_iterator<char>(in)), {});
      testing::internal::CaptureStdout();
      const std::string name = folder;
      if (name == "corpus-zmdd") zeFuzzZmddOne(bytes.data(), bytes.size());
      else if (name == "corpus-zpnts") zeFuzzZpntsOne(bytes.data(), bytes.size());
      else zeFuzzZmorphOne(bytes.data(), bytes.size());
      testing::internal::GetCapturedStdout();
      ++files;
    }
    EXPECT_GT(files, 2) << folder;
  }
}

// --- .zmorph ------------------------------------------------------------------------------
#include "mesh/codec/zeZmorph.h"

namespace {
std::vector<SZeZmorphTarget> twoTargets() {
  SZeZmorphTarget a;
  a.name = "smile";
  a.points = {0, 3};
  a.positionDeltas = {0, 1, 0, 0.5f, 0, 0};
  a.normalDeltas = {0, 0, 1, 0, 0, 0};
  SZeZmorphTarget b;
  b.name = "empty";
  return {a, b};
}
}  // namespace

TEST(Zmorph, RoundTripAndBadFiles) {
  const std::vector<unsigned char> good = zeZmorphWrite(twoTargets());
  std::vector<SZeZmorphTarget> read;
  ASSERT_TRUE(zeParseZmorph(good.data(), good.size(), "good.zmorph", &read));
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].name, "smile");
  EXPECT_EQ(read[0].points, (std::vector<uint32_t>{0, 3}));
  EXPECT_EQ(read[0].positionDeltas, twoTargets()[0].positionDeltas);
  EXPECT_EQ(read[0].normalDeltas, twoTargets()[0].normalDeltas);
  EXPECT_TRUE(read[1].points.empty());

  // Layout: FORM size ZMOR M Pmax | VMOR size | NAME size "smile\0" | MMAP size P ...
  const std::size_t vmor = 20, name = vmor + 8, mmap = name + 8 + 6;
  struct Case {
    const char* what;
    std::function<void(std::vector<unsigned char>*)> change;
    const char* message;
  } cases[] = {
      {"no FORM", [](auto* f) { (*f)[0] = 'X'; }, "ID_FORM not found"},
      {"no ZMOR", [](auto* f) { (*f)[8] = 'X'; }, "ID_ZMOR not found"},
      {"morph count near 2^31", [](auto* f) { set32(f, 12, 0x7fffffff); }, "do not fit"},
      {"one morph more than written", [](auto* f) { set32(f, 12, 3); }, "ID_VMOR not found"},
      {"no VMOR", [=](auto* f) { (*f)[vmor] = 'X'; }, "ID_VMOR not found"},
      {"no NAME", [=](auto* f) { (*f)[name] = 'X'; }, "ID_NAME not found"},
      {"no MMAP", [=](auto* f) { (*f)[mmap] = 'X'; }, "ID_MMAP not found"},
      {"name without its end", [=](auto* f) { (*f)[name + 8 + 5] = 'x'; }, "no end"},
      {"VMOR past the end", [=](auto* f) { set32(f, vmor + 4, 0x7ffffff0); }, "past its parent"},
      {"MMAP past its VMOR", [=](auto* f) { set32(f, mmap + 4, 0x1000); }, "past its parent"},
      {"point count above the maximum", [=](auto* f) { set32(f, mmap + 8, 3); }, "maximum"},
      {"point count near 2^31", [=](auto* f) { set32(f, 16, 0xffffffff), set32(f, mmap + 8, 0x7fffffff); },
       "do not fit in its chunk"},
      {"cut short", [](auto* f) { f->resize(f->size() - 30); }, "not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::vector<unsigned char> file = good;
    c.change(&file);
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    EXPECT_FALSE(zeParseZmorph(file.data(), file.size(), "bad.zmorph", &read));
    const std::string log = testing::internal::GetCapturedStdout() + testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find(c.message), std::string::npos) << log;
    EXPECT_TRUE(read.empty());
  }
  // A long name is cut at 127 characters by the writer and read back.
  std::vector<SZeZmorphTarget> longName = twoTargets();
  longName[0].name.assign(200, 'n');
  const std::vector<unsigned char> cut = zeZmorphWrite(longName);
  ASSERT_TRUE(zeParseZmorph(cut.data(), cut.size(), "long.zmorph", &read));
  EXPECT_EQ(read[0].name.size(), 127u);
}
