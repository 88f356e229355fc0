// Animated values: segments, lerps, steps, rotations, and the record index
// against the plain walk.
#include "zfTestUtil.h"

#include "zf/zfAnimate.h"
#include "zf/zfNumber.h"
#include "zf/zfWalk.h"
#include "zf/zfWrite.h"

#include <atomic>
#include <cstdlib>
#include <functional>
#include <cmath>
#include <new>
#include <random>

namespace {

std::atomic<long> allocations{0};

}  // namespace

// Counts every allocation of this test program, to show evaluators make none.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(std::size_t size) {
  ++allocations;
  if (void* p = std::malloc(size ? size : 1)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

const std::string kHeader = "# animated values\n";
constexpr float kPi = 3.14159265358979f;
constexpr float kDegree = kPi / 180.0f;

std::string floatText(float value) {
  char buffer[32];
  return std::string(buffer, std::size_t(zfFormatFloat(value, buffer)));
}

// "DAT n v0 v1 ..." for the given samples.
std::string literal(const std::vector<float>& samples) {
  std::string text = "DAT " + std::to_string(samples.size());
  for (float v : samples) text += " " + floatText(v);
  return text;
}

const ZF_Entry* entry(const ZfDocumentPtr& document, const char* name) {
  const ZF_Entry* found = ZF_Find(ZF_Root(document.get()), name);
  EXPECT_NE(found, nullptr) << name;
  return found;
}

std::string logOf(const std::function<void()>& call) {
  testing::internal::CaptureStdout();
  call();
  return testing::internal::GetCapturedStdout();
}

TEST(ZfAnimate, SegmentsClampAtBothEnds) {
  // Ten samples k * k, stored across a RUN and a DAT so lookups cross records.
  ZfDocumentPtr document = zfLoadString(kHeader + "c FP_C RUN 1 0 " +
                                        literal({1, 4, 9, 16, 25, 36, 49, 64, 81}) + "\none FP_C RUN 1 7\n");
  ASSERT_NE(document, nullptr);
  const ZF_Row* row = &entry(document, "c")->value;
  struct Case {
    float t;
    float tAfter;
    uint32_t index;
    float lower, upper;
    bool clamped;
  };
  const float nan = std::nanf("");
  const Case cases[] = {
      {-3.0f, 0.0f, 0, 0, 0, true},        {0.0f, 0.0f, 0, 0, 0, true},
      {nan, 0.0f, 0, 0, 0, true},          {0.5f, 0.5f, 0, 0, 1, false},
      {8.5f, 8.5f, 8, 64, 81, false},      {9.0f, 9.0f, 9, 81, 81, true},
      {25.7f, 9.0f, 9, 81, 81, true},      {INFINITY, 9.0f, 9, 81, 81, true},
      {5e9f, 9.0f, 9, 81, 81, true},       {3.25f, 3.25f, 3, 9, 16, false},
  };
  for (const Case& c : cases) {
    float t = c.t, lower, upper;
    uint32_t index;
    bool clamped;
    ZF_Segment(row, &t, &index, &lower, &upper, &clamped);
    EXPECT_EQ(t, c.tAfter) << c.t;
    EXPECT_EQ(index, c.index) << c.t;
    EXPECT_EQ(lower, c.lower) << c.t;
    EXPECT_EQ(upper, c.upper) << c.t;
    EXPECT_EQ(clamped, c.clamped) << c.t;
  }
  const ZF_Entry* c = entry(document, "c");
  EXPECT_EQ(ZF_FP_Lerp(c, 8.5f), 72.5f);
  EXPECT_EQ(ZF_FP_Lerp(c, 9.0f), 81.0f);
  EXPECT_EQ(ZF_FP_Lerp(c, 25.7f), 81.0f);
  EXPECT_EQ(ZF_FP_Lerp(c, -3.0f), 0.0f);
  EXPECT_EQ(ZF_FP_Step(c, 3.99f), 9.0f);
  EXPECT_EQ(ZF_FP_Step(c, 100.0f), 81.0f);
  // A single sample is clamped everywhere.
  for (float t : {-1.0f, 0.0f, 0.5f, 1.0f, 40.0f}) EXPECT_EQ(ZF_FP_Lerp(entry(document, "one"), t), 7.0f);
}

TEST(ZfAnimate, ShapesAndTheirMessages) {
  ZfDocumentPtr document = zfLoadString(kHeader +
                                        "k FP 2.5 3.5 4.5\n"
                                        "short FP 1\n"
                                        "s FP_C RUN 4 1\n"
                                        "i I4 3\n"
                                        "two FP_C [\nRUN 2 1\nRUN 2 2\n]\n"
                                        "three FP_C [\nDAT 2 0 1\nDAT 2 0 2\nDAT 2 0 4\n]\n"
                                        "fixed FP [\n1 2\n3\n]\n");
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(ZF_FP_Lerp(entry(document, "k"), 9.0f), 2.5f);
  const ZF_Float3 k = ZF_FP3_Lerp(entry(document, "k"), 0.5f);
  EXPECT_EQ(k.x, 2.5f);
  EXPECT_EQ(k.z, 4.5f);
  // Elements a constant does not have read as 0.
  const ZF_Float3 shortValue = ZF_FP3_Lerp(entry(document, "short"), 0.0f);
  EXPECT_EQ(shortValue.x, 1.0f);
  EXPECT_EQ(shortValue.y, 0.0f);
  const ZF_Float3 three = ZF_FP3_Lerp(entry(document, "three"), 0.25f);
  EXPECT_EQ(three.x, 0.25f);
  EXPECT_EQ(three.y, 0.5f);
  EXPECT_EQ(three.z, 1.0f);
  const ZF_Float2 two = ZF_FP2_Lerp(entry(document, "two"), 0.5f);
  EXPECT_EQ(two.x, 1.0f);
  EXPECT_EQ(two.y, 2.0f);

  struct Case {
    const char* name;
    std::function<float(const ZF_Entry*)> call;
    const char* log;
  };
  const Case cases[] = {
      {"two", [](const ZF_Entry* e) { return ZF_FP_Lerp(e, 0.5f); }, "ZF_FP_Lerp not supported on array\n"},
      {"two", [](const ZF_Entry* e) { return ZF_FP_Step(e, 0.5f); }, "ZF_FP_Lerp not supported on array\n"},
      {"i", [](const ZF_Entry* e) { return ZF_FP_Lerp(e, 0.5f); }, "ZF_FP_Lerp: unsupported value type\n"},
      {"two", [](const ZF_Entry* e) { return ZF_FP3_Lerp(e, 0.5f).x; },
       "ZF_FP3_Lerp: unsupported value/valtype/array size\n"},
      {"s", [](const ZF_Entry* e) { return ZF_FP3_Lerp(e, 0.5f).x; },
       "ZF_FP3_Lerp: unsupported value/valtype/array size\n"},
      {"fixed", [](const ZF_Entry* e) { return ZF_FP2_Lerp(e, 0.5f).x; },
       "ZF_FP2_Lerp: unsupported value/valtype/array size\n"},
      {"three", [](const ZF_Entry* e) { return ZF_FP2_Lerp(e, 0.5f).x; },
       "ZF_FP2_Lerp: unsupported value/valtype/array size\n"},
      {"two", [](const ZF_Entry* e) { return ZF_FP3_Slerp_HPB_To_XYZ(e, 0.5f).y; },
       "ZF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n"},
      {"s", [](const ZF_Entry* e) { return ZF_FP3_Slerp_HPB_To_XYZ(e, 0.5f).y; },
       "ZF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n"},
  };
  for (const Case& c : cases) {
    float result = 1.0f;
    EXPECT_EQ(logOf([&] { result = c.call(entry(document, c.name)); }), c.log) << c.name << " " << c.log;
    EXPECT_EQ(result, 0.0f) << c.name << " " << c.log;
  }

  // Static accessors on every shape.
  const ZF_Float2 fixed = ZF_FP2_At(entry(document, "fixed"), 5);
  EXPECT_EQ(fixed.x, 1.0f);
  EXPECT_EQ(fixed.y, 3.0f);
  const ZF_Float3 scalar = ZF_FP3_At(entry(document, "s"), 2);
  EXPECT_EQ(scalar.x, 1.0f);
  EXPECT_EQ(scalar.z, 1.0f);
  const ZF_Float3 rows = ZF_FP3_At(entry(document, "three"), 7);
  EXPECT_EQ(rows.x, 1.0f);
  EXPECT_EQ(rows.z, 4.0f);
  EXPECT_EQ(ZF_FP3_At(entry(document, "two"), 0).z, 0.0f);
}

TEST(ZfAnimate, EmptyChannelsReadZero) {
  ZfDocumentPtr document = zfLoadString(zfForm(zfChunk("NVAL", zfName("e") + zfWord(ZF_FP_C)) +
                                               zfChunk("NARR", zfName("v") + zfWord(ZF_FP_C) + zfChunk("AVAL", "") +
                                                                   zfChunk("AVAL", "") + zfChunk("AVAL", ""))));
  ASSERT_NE(document, nullptr);
  const ZF_Entry* e = entry(document, "e");
  const ZF_Entry* v = entry(document, "v");
  EXPECT_EQ(e->count, 0u);
  for (float t : {-1.0f, 0.0f, 3.5f}) {
    EXPECT_EQ(ZF_FP_Lerp(e, t), 0.0f);
    EXPECT_EQ(ZF_FP_Step(e, t), 0.0f);
    EXPECT_EQ(ZF_FP3_Lerp(v, t).y, 0.0f);
    EXPECT_EQ(ZF_FP3_Slerp_HPB_To_XYZ(v, t).x, 0.0f);
  }
  EXPECT_EQ(ZF_FP_At(e, 0), 0.0f);
  EXPECT_EQ(ZF_FP3_At(v, 4).z, 0.0f);
}

// One record of a stream, to be spelled in either form.
struct Record {
  bool run;
  std::vector<float> values;  // a RUN holds one value and repeats it `count` times
  uint32_t count;
};

std::string recordsText(const std::vector<Record>& records) {
  std::string text;
  for (const Record& r : records) {
    text += std::string(text.empty() ? "" : " ") + (r.run ? "RUN " : "DAT ") + std::to_string(r.count);
    for (float v : r.values) text += " " + floatText(v);
  }
  return text;
}

std::string recordsWords(const std::vector<Record>& records) {
  std::string words;
  for (const Record& r : records) {
    words += zfWord(r.run ? ZF_FPC_RUN : ZF_FPC_DAT) + zfWord(r.count);
    for (float v : r.values) words += zfFloatWord(v);
  }
  return words;
}

// A scalar "s" and a rotation-shaped "v" whose three rows are the stream
// with its samples scaled by 1, -2 and 0.5, in text or binary form.
ZfDocumentPtr channelDocument(const std::vector<Record>& records, bool binary) {
  std::vector<Record> rows[3] = {records, records, records};
  const float scales[3] = {1.0f, -2.0f, 0.5f};
  for (int r = 0; r < 3; ++r) {
    for (Record& record : rows[r]) {
      for (float& v : record.values) v *= scales[r];
    }
  }
  // The text form has no spelling for a value without tokens.
  if (binary || records.empty()) {
    return zfLoadString(zfForm(
        zfChunk("NVAL", zfName("s") + zfWord(ZF_FP_C) + recordsWords(records)) +
        zfChunk("NARR", zfName("v") + zfWord(ZF_FP_C) + zfChunk("AVAL", recordsWords(rows[0])) +
                            zfChunk("AVAL", recordsWords(rows[1])) + zfChunk("AVAL", recordsWords(rows[2])))));
  }
  return zfLoadString(kHeader + "s FP_C " + recordsText(records) + "\nv FP_C [\n" + recordsText(rows[0]) + "\n" +
                      recordsText(rows[1]) + "\n" + recordsText(rows[2]) + "\n]\n");
}

// Records of count 0 are well-formed and hold no sample: wherever they stand,
// every evaluator answers as for the same stream without them.
TEST(ZfAnimate, EmptyRecordsAddNoSamples) {
  const Record emptyRun{true, {99.0f}, 0}, emptyLiteral{false, {}, 0};
  const Record a{true, {1.0f}, 3}, b{false, {2.0f, 3.5f, -1.0f}, 3}, c{true, {4.0f}, 1}, d{false, {0.25f}, 1};
  struct Case {
    const char* where;
    std::vector<Record> with, without;
  };
  const Case cases[] = {
      {"at the start", {emptyRun, a, b}, {a, b}},
      {"two at the start", {emptyLiteral, emptyRun, b, c}, {b, c}},
      {"in the middle", {a, emptyLiteral, b, emptyRun, c}, {a, b, c}},
      {"between literals", {b, emptyLiteral, emptyLiteral, d, emptyRun, b}, {b, d, b}},
      {"at the end", {a, b, emptyRun}, {a, b}},
      {"everywhere", {emptyRun, d, emptyLiteral, a, emptyRun, c, emptyLiteral}, {d, a, c}},
      {"around one sample", {emptyLiteral, c, emptyRun}, {c}},
      {"alone", {emptyRun, emptyLiteral}, {}},
  };
  for (const Case& k : cases) {
    for (bool binary : {false, true}) {
      const std::string what = std::string(k.where) + (binary ? " (binary)" : " (text)");
      ZfDocumentPtr with = channelDocument(k.with, binary), without = channelDocument(k.without, binary);
      ASSERT_NE(with, nullptr) << what;
      ASSERT_NE(without, nullptr) << what;
      const ZF_Entry *s = entry(with, "s"), *v = entry(with, "v");
      const ZF_Entry *s0 = entry(without, "s"), *v0 = entry(without, "v");
      ASSERT_EQ(s->count, s0->count) << what;
      ASSERT_EQ(v->rows[1].count, s0->count) << what;
      for (uint32_t i = 0; i <= s0->count + 1; ++i) {
        EXPECT_EQ(ZF_FP_At(s, i), ZF_FP_At(s0, i)) << what << " at " << i;
        const ZF_Float3 p = ZF_FP3_At(v, i), q = ZF_FP3_At(v0, i);
        EXPECT_EQ(std::memcmp(&p, &q, sizeof p), 0) << what << " at " << i;
      }
      for (float t = -1.0f; t <= float(s0->count) + 1.0f; t += 0.25f) {
        EXPECT_EQ(ZF_FP_Lerp(s, t), ZF_FP_Lerp(s0, t)) << what << " at " << t;
        EXPECT_EQ(ZF_FP_Step(s, t), ZF_FP_Step(s0, t)) << what << " at " << t;
        EXPECT_EQ(ZF_FP_LerpByWalk(s, t), ZF_FP_Lerp(s0, t)) << what << " at " << t;
        const ZF_Float3 p = ZF_FP3_Lerp(v, t), q = ZF_FP3_Lerp(v0, t), w = ZF_FP3_LerpByWalk(v, t);
        EXPECT_EQ(std::memcmp(&p, &q, sizeof p), 0) << what << " at " << t;
        EXPECT_EQ(std::memcmp(&w, &q, sizeof w), 0) << what << " at " << t;
        const ZF_Float3 r = ZF_FP3_Slerp_HPB_To_XYZ(v, t), r0 = ZF_FP3_Slerp_HPB_To_XYZ(v0, t);
        EXPECT_EQ(std::memcmp(&r, &r0, sizeof r), 0) << what << " at " << t;
      }
      // The writers leave the empty records out (an empty stream stays readable as text).
      std::string text;
      ASSERT_TRUE(ZF_WriteText(ZF_Root(with.get()), &text)) << what;
      EXPECT_EQ(text.find(" 0 99"), std::string::npos) << text;
      ZfDocumentPtr again = zfLoadString(text);
      ASSERT_NE(again, nullptr) << text;
      EXPECT_EQ(entry(again, "s")->count, s0->count) << what;
    }
  }
}

TEST(ZfAnimate, RowsShareTheClampedPosition) {
  // Row 1 is shorter: its clamp moves t for row 2, as the rows are walked in order.
  ZfDocumentPtr document = zfLoadString(kHeader + "v FP_C [\n" + literal({0, 10, 20, 30, 40}) + "\n" +
                                        literal({0, 1}) + "\n" + literal({0, 100, 200, 300, 400}) + "\n]\n");
  const ZF_Float3 v = ZF_FP3_Lerp(entry(document, "v"), 2.5f);
  EXPECT_EQ(v.x, 25.0f);
  EXPECT_EQ(v.y, 1.0f);
  EXPECT_EQ(v.z, 100.0f);
}

TEST(ZfAnimate, RotationsFromHeadingPitchAndBank) {
  const float h170 = 170 * kDegree, h30 = 30 * kDegree, p20 = 20 * kDegree, b10 = 10 * kDegree;
  ZfDocumentPtr document = zfLoadString(kHeader + "turn FP_C [\n" + literal({h170, -h170}) +
                                        "\nRUN 2 0\nRUN 2 0\n]\n"
                                        "fixed FP " +
                                        floatText(h30) + " " + floatText(p20) + " " + floatText(b10) +
                                        "\n"
                                        "heading FP 0.5 0 0\npitch FP 0 0.5 0\nbank FP 0 0 0.5\n"
                                        "up FP 1.5707964 0 0\n"
                                        "ramp FP_C [\nDAT 2 0 1\nRUN 2 0\nRUN 2 0\n]\n");
  ASSERT_NE(document, nullptr);
  struct Case {
    const char* name;
    float t;
    ZF_Float3 expected;
  };
  const Case cases[] = {
      // Halfway between 170 and -170 degrees of heading is the half turn, not the identity.
      {"turn", 0.5f, {kPi, 0.0f, kPi}},
      // Past a quarter turn the same orientation comes back the other way round.
      {"turn", 0.0f, {kPi, 10 * kDegree, kPi}},
      {"turn", 7.0f, {kPi, -10 * kDegree, kPi}},
      // Combined angles are re-decomposed, not copied.
      {"fixed", 0.0f, {24.94f * kDegree, 26.17f * kDegree, 10.48f * kDegree}},
      {"heading", 0.0f, {0.0f, 0.5f, 0.0f}},
      {"pitch", 0.0f, {0.5f, 0.0f, 0.0f}},
      {"bank", 0.0f, {0.0f, 0.0f, 0.5f}},
      {"up", 0.0f, {0.0f, 1.5707964f, 0.0f}},
      {"ramp", 0.25f, {0.0f, 0.25f, 0.0f}},
  };
  for (const Case& c : cases) {
    const ZF_Float3 r = ZF_FP3_Slerp_HPB_To_XYZ(entry(document, c.name), c.t);
    EXPECT_NEAR(r.x, c.expected.x, 2e-4f) << c.name << " " << c.t;
    EXPECT_NEAR(r.y, c.expected.y, 2e-4f) << c.name << " " << c.t;
    EXPECT_NEAR(r.z, c.expected.z, 2e-4f) << c.name << " " << c.t;
  }
}

// The quaternion of three angles, written as plainly as it is defined, with
// the C library's sine and cosine in double precision.
ZF_Quat referenceQuat(float a, float b, float c) {
  const float sa = float(std::sin(double(a) / 2)), ca = float(std::cos(double(a) / 2));
  const float sb = float(std::sin(double(b) / 2)), cb = float(std::cos(double(b) / 2));
  const float sc = float(std::sin(double(c) / 2)), cc = float(std::cos(double(c) / 2));
  ZF_Quat q{sa * cb * cc - ca * sb * sc, ca * sb * cc + sa * cb * sc, ca * cb * sc - sa * sb * cc,
            ca * cb * cc + sa * sb * sc};
  const float m = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
  if (m != 1.0f) {
    const float scale = 1.0f / std::sqrt(m);
    q = {q.x * scale, q.y * scale, q.z * scale, q.w * scale};
  }
  return q;
}

// The evaluator's own inline sine and cosine give the same floats.
TEST(ZfAnimate, QuaternionsMatchTheirDefinition) {
  std::mt19937 random(11);
  std::uniform_real_distribution<float> small(-7.0f, 7.0f), large(-150000.0f, 150000.0f);
  const float special[] = {0.0f, -0.0f, kPi, -kPi, kPi / 2, 2 * kPi, 1e-30f, 1e-8f, 199999.98f, 2e5f, 1e30f, INFINITY};
  for (int i = 0; i < 400000; ++i) {
    float a = small(random), b = small(random), c = i % 4 ? small(random) : large(random);
    if (i < 12) a = special[i];
    const ZF_Quat q = ZF_QuatFromHPB(a, b, c), r = referenceQuat(a, b, c);
    ASSERT_EQ(std::memcmp(&q, &r, sizeof q), 0) << a << " " << b << " " << c;
  }
}

// Random channels of RUN and DAT records, some of them empty: every lookup
// through the index gives the same bits as the walk from the first record.
TEST(ZfAnimate, IndexAgreesWithTheRecordWalk) {
  std::mt19937 random(3);
  for (int channel = 0; channel < 40; ++channel) {
    std::string rows[3];
    for (std::string& row : rows) {
      const int records = 1 + int(random() % 60);
      for (int r = 0; r < records; ++r) {
        // Some records are empty: they hold no sample and must be stepped over.
        const int n = random() % 8 ? 1 + int(random() % 6) : 0;
        if (random() % 2) {
          row += " RUN " + std::to_string(n) + " " + floatText(float(random() % 1000) / 100.0f - 5.0f);
        } else {
          std::vector<float> samples;
          for (int i = 0; i < n; ++i) samples.push_back(float(random() % 1000) / 100.0f - 5.0f);
          row += " " + literal(samples);
        }
      }
    }
    ZfDocumentPtr document =
        zfLoadString(kHeader + "s FP_C" + rows[0] + "\nv FP_C [\n" + rows[0] + "\n" + rows[1] + "\n" + rows[2] + "\n]\n");
    ASSERT_NE(document, nullptr);
    const ZF_Entry* s = entry(document, "s");
    const ZF_Entry* v = entry(document, "v");
    for (uint32_t i = 0; i < s->count; ++i) {
      const float a = ZF_FPC_Element(&s->value, i), b = ZF_FPC_ElementByWalk(&s->value, i);
      ASSERT_EQ(std::memcmp(&a, &b, 4), 0) << i;
    }
    for (int probe = 0; probe < 500; ++probe) {
      const float t = float(int(random() % 4000) - 200) / 10.0f;
      const float a = ZF_FP_Lerp(s, t), b = ZF_FP_LerpByWalk(s, t);
      ASSERT_EQ(std::memcmp(&a, &b, 4), 0) << t;
      const ZF_Float3 p = ZF_FP3_Lerp(v, t), q = ZF_FP3_LerpByWalk(v, t);
      ASSERT_EQ(std::memcmp(&p, &q, sizeof p), 0) << t;
      const ZF_Float3 r = ZF_FP3_Slerp_HPB_To_XYZ(v, t), w = ZF_FP3_Slerp_HPB_To_XYZ_ByWalk(v, t);
      ASSERT_EQ(std::memcmp(&r, &w, sizeof r), 0) << t;
    }
  }
}

TEST(ZfAnimate, EvaluatorsAllocateNothing) {
  ZfDocumentPtr document = zfLoadString(kHeader + "s FP_C RUN 5 1 DAT 3 1 2 3\nv FP_C [\nDAT 3 0 1 2\n"
                                                  "RUN 3 0.5\nDAT 3 0 0.1 0.2\n]\n");
  const ZF_Entry* s = entry(document, "s");
  const ZF_Entry* v = entry(document, "v");
  float sum = 0.0f;
  const long before = allocations.load();
  for (float t = -1.0f; t < 10.0f; t += 0.25f) {
    sum += ZF_FP_Lerp(s, t) + ZF_FP_Step(s, t) + ZF_FP3_Lerp(v, t).y;
    sum += ZF_FP3_Slerp_HPB_To_XYZ(v, t).z + ZF_FP3_At(v, uint32_t(t + 1)).x;
  }
  EXPECT_EQ(allocations.load(), before);
  EXPECT_TRUE(std::isfinite(sum));
}

}  // namespace
