// Evaluation of sampled channels. Every evaluator is written once over a
// lookup policy: the indexed lookup the engine uses, and the record walk it
// is checked against.
#include "zf/zfAnimate.h"

#include "base/zeMessage.h"
#include "zf/zfInternal.h"
#include "zf/zfWalk.h"

#include <cmath>
#include <cstring>

namespace {

inline float asFloat(uint32_t word) {
  float value;
  std::memcpy(&value, &word, sizeof value);
  return value;
}

inline const uint32_t* wordsOf(const ZF_Row* row) { return static_cast<const uint32_t*>(row->data); }

// Samples through the record marks: a binary search for the record holding
// sample i; i + 1 is in the same record or starts the next one.
struct IndexedLookup {
  static float first(const ZF_Row* row) { return asFloat(wordsOf(row)[row->marks[0].word + 2]); }
  static float one(const ZF_Row* row, uint32_t i) { return ZF_FPC_Element(row, i); }

  static void pair(const ZF_Row* row, uint32_t i, float* lower, float* upper) {
    const ZF_FpcMark* mark = zfFindMark(row, i);
    const uint32_t* words = wordsOf(row);
    const uint32_t* record = words + mark->word;
    const bool run = record[0] == ZF_FPC_RUN;
    const uint32_t offset = i - mark->first;
    *lower = asFloat(run ? record[2] : record[2 + offset]);
    if (offset + 1 < record[1]) {
      *upper = asFloat(run ? record[2] : record[3 + offset]);
    } else {
      // The next mark is the next record that holds samples: empty records
      // have none.
      *upper = asFloat(words[mark[1].word + 2]);
    }
  }
};

// Samples by decoding from the first record every time.
struct WalkLookup {
  // Finds the record holding sample i from record word `at` covering from
  // sample `covered` on; returns the sample and leaves at/covered on that record.
  // Empty records cover nothing and are stepped over.
  static float find(const uint32_t* words, uint32_t i, uint32_t* at, uint32_t* covered) {
    for (;;) {
      const uint32_t* record = words + *at;
      const uint32_t n = record[1];
      if (i - *covered < n) return asFloat(record[0] == ZF_FPC_RUN ? record[2] : record[2 + (i - *covered)]);
      *covered += n;
      *at += record[0] == ZF_FPC_RUN ? 3 : n + 2;
    }
  }
  static float first(const ZF_Row* row) { return one(row, 0); }
  static float one(const ZF_Row* row, uint32_t i) {
    uint32_t at = 0, covered = 0;
    return find(wordsOf(row), i, &at, &covered);
  }
  static void pair(const ZF_Row* row, uint32_t i, float* lower, float* upper) {
    uint32_t at = 0, covered = 0;
    *lower = find(wordsOf(row), i, &at, &covered);
    *upper = find(wordsOf(row), i + 1, &at, &covered);
  }
};

template <class Lookup>
void segment(const ZF_Row* row, float* t, uint32_t* index, float* lower, float* upper, bool* clamped) {
  const uint32_t n = row->count;
  if (n == 0 || row->markCount == 0) {
    // An empty channel has no sample to clamp to: it reads as 0.
    *t = 0.0f;
    *index = 0;
    *lower = *upper = 0.0f;
    *clamped = true;
    return;
  }
  // NaN falls into the first case; positions past 2^32 into the last.
  if (!(*t > 0.0f)) {
    *clamped = true;
    *t = 0.0f;
    *index = 0;
    *lower = *upper = Lookup::first(row);
    return;
  }
  const uint32_t whole = *t < 4294967296.0f ? uint32_t(*t) : 0xFFFFFFFFu;
  if (whole < n - 1) {
    *clamped = false;
    *index = whole;
    Lookup::pair(row, whole, lower, upper);
    return;
  }
  *clamped = true;
  *index = n - 1;
  *t = float(n - 1);
  *lower = *upper = Lookup::one(row, n - 1);
}

inline float firstWord(const ZF_Row* value, uint32_t i) {
  return i < value->count ? asFloat(static_cast<const uint32_t*>(value->data)[i]) : 0.0f;
}

inline float interpolate(float lower, float upper, float t, uint32_t index, bool clamped) {
  return clamped ? lower : lower + (t - float(index)) * (upper - lower);
}

template <class Lookup>
float lerp(const ZF_Entry* entry, float t, bool step, const char* who) {
  if (!entry) return 0.0f;
  if (entry->kind == ZF_ARRAY) {
    zeLog("ZF_FP_Lerp not supported on array\n");
    return 0.0f;
  }
  if (entry->kind == ZF_VALUE && entry->type == ZF_FP) return firstWord(&entry->value, 0);
  if (entry->kind != ZF_VALUE || entry->type != ZF_FP_C) {
    zeLog("%s: unsupported value type\n", who);
    return 0.0f;
  }
  uint32_t index;
  float lower, upper;
  bool clamped;
  segment<Lookup>(&entry->value, &t, &index, &lower, &upper, &clamped);
  return step ? lower : interpolate(lower, upper, t, index, clamped);
}

template <class Lookup, int N>
void lerpVector(const ZF_Entry* entry, float t, float* out, const char* message) {
  for (int c = 0; c < N; ++c) out[c] = 0.0f;
  if (!entry) return;
  if (entry->kind == ZF_VALUE && entry->type == ZF_FP) {
    for (int c = 0; c < N; ++c) out[c] = firstWord(&entry->value, uint32_t(c));
    return;
  }
  if (entry->kind != ZF_ARRAY || entry->type != ZF_FP_C || entry->count != uint32_t(N)) {
    zeLog("%s", message);
    return;
  }
  for (int c = 0; c < N; ++c) {
    uint32_t index;
    float lower, upper;
    bool clamped;
    segment<Lookup>(&entry->rows[c], &t, &index, &lower, &upper, &clamped);
    out[c] = interpolate(lower, upper, t, index, clamped);
  }
}

// Sine and cosine of half an angle, in double precision and kept as floats.
struct HalfAngle {
  float s, c;
};

// sin and cos of x for |x| < 1e5 in double precision, inline: the rotation
// evaluator needs up to six per call and the C library's are calls with
// long dependency chains. x is reduced by the nearest multiple k of pi/2
// (pi/2 split into a 33-bit head, so that k * head is exact, and a tail);
// the series then run to the r^17 and r^18 terms, exact to double precision
// for |r| <= pi/4, evaluated in pairs to keep the chains short.
__attribute__((always_inline)) inline void sinCosSmall(double x, double* sine, double* cosine) {
  constexpr double kTwoOverPi = 0x1.45f306dc9c883p-1;
  constexpr double kHalfPiHead = 0x1.921fb544p+0;
  constexpr double kHalfPiTail = 0x1.0b4611a626331p-34;
  constexpr double kRound = 0x1.8p52;  // adding it rounds to the nearest integer
  const double k = (x * kTwoOverPi + kRound) - kRound;
  const double r = (x - k * kHalfPiHead) - k * kHalfPiTail;
  const double z = r * r, z2 = z * z, z4 = z2 * z2;
  // sin r = r + r z (s0 + s1 z + ... + s7 z^7), s_i = (-1)^(i+1) / (2i + 3)!
  const double s01 = -1.0 / 6 + z * (1.0 / 120);
  const double s23 = -1.0 / 5040 + z * (1.0 / 362880);
  const double s45 = -1.0 / 39916800 + z * (1.0 / 6227020800);
  const double s67 = -1.0 / 1307674368000 + z * (1.0 / 355687428096000);
  const double sp = (s01 + z2 * s23) + z4 * (s45 + z2 * s67);
  // cos r = 1 - z/2 + z^2 (c0 + c1 z + ... + c7 z^7), c_i = (-1)^i / (2i + 4)!
  const double c01 = 1.0 / 24 + z * (-1.0 / 720);
  const double c23 = 1.0 / 40320 + z * (-1.0 / 3628800);
  const double c45 = 1.0 / 479001600 + z * (-1.0 / 87178291200);
  const double c67 = 1.0 / 20922789888000 + z * (-1.0 / 6402373705728000);
  const double cp = (c01 + z2 * c23) + z4 * (c45 + z2 * c67);
  const double s = r + r * z * sp;
  const double c = (1.0 - 0.5 * z) + z2 * cp;
  switch (int64_t(k) & 3) {
    case 0:
      *sine = s;
      *cosine = c;
      break;
    case 1:
      *sine = c;
      *cosine = -s;
      break;
    case 2:
      *sine = -s;
      *cosine = -c;
      break;
    default:
      *sine = -c;
      *cosine = s;
      break;
  }
}

__attribute__((always_inline)) inline HalfAngle halfAngle(float angle) {
  const double x = double(angle) * 0.5;
  double s, c;
  if (std::fabs(x) < 1e5) {
    sinCosSmall(x, &s, &c);
  } else {
    sincos(x, &s, &c);  // huge, infinite or NaN: the C library's reduction
  }
  return {float(s), float(c)};
}

__attribute__((always_inline)) inline ZF_Quat quatFromHalfAngles(HalfAngle a, HalfAngle b, HalfAngle c) {
  ZF_Quat q;
  q.x = a.s * b.c * c.c - a.c * b.s * c.s;
  q.y = a.c * b.s * c.c + a.s * b.c * c.s;
  q.z = a.c * b.c * c.s - a.s * b.s * c.c;
  q.w = a.c * b.c * c.c + a.s * b.s * c.s;
  const float m = q.x * q.x + q.y * q.y + q.z * q.z + q.w * q.w;
  if (m != 1.0f) {
    const float scale = 1.0f / std::sqrt(m);
    q.x *= scale;
    q.y *= scale;
    q.z *= scale;
    q.w *= scale;
  }
  return q;
}

__attribute__((always_inline)) inline ZF_Quat slerpQuat(ZF_Quat q0, ZF_Quat q1, float fraction) {
  float d = q0.x * q1.x + q0.y * q1.y + q0.z * q1.z + q0.w * q1.w;
  if (d < 0.0f) {
    q0 = {-q0.x, -q0.y, -q0.z, -q0.w};
    d = -d;
  }
  float s0, s1;
  if (1.0f - d >= 0.05f) {
    const float theta = std::acos(d);
    const float sinTheta = std::sin(theta);
    s0 = std::sin((1.0f - fraction) * theta) / sinTheta;
    s1 = std::sin(fraction * theta) / sinTheta;
  } else {
    // Close rotations: a straight blend, not renormalised.
    s0 = 1.0f - fraction;
    s1 = fraction;
  }
  return {s0 * q0.x + s1 * q1.x, s0 * q0.y + s1 * q1.y, s0 * q0.z + s1 * q1.z, s0 * q0.w + s1 * q1.w};
}

__attribute__((always_inline)) inline ZF_Float3 quatToXYZ(ZF_Quat q) {
  const float test = 2.0f * (q.x * q.w - q.y * q.z);
  if (std::fabs(test - 1.0f) <= 0.000001f) return {0.0f, 1.5707964f, -2.0f * std::atan2(q.y, q.w)};
  if (std::fabs(test + 1.0f) <= 0.000001f) return {0.0f, -1.5707964f, 2.0f * std::atan2(q.y, q.w)};
  const float xx = q.x * q.x, yy = q.y * q.y, zz = q.z * q.z, ww = q.w * q.w;
  ZF_Float3 r;
  r.z = std::atan2(2.0f * (q.x * q.y + q.w * q.z), ww - xx + yy - zz);
  r.x = std::atan2(2.0f * (q.x * q.z + q.w * q.y), ww - xx - yy + zz);
  float c = test / (xx + yy + zz + ww);
  c = c < -1.0f ? -1.0f : (c > 1.0f ? 1.0f : c);
  r.y = std::asin(c);
  return r;
}

template <class Lookup>
ZF_Float3 slerpHPB(const ZF_Entry* entry, float t) {
  if (!entry) return {0.0f, 0.0f, 0.0f};
  if (entry->kind == ZF_VALUE && entry->type == ZF_FP) {
    const ZF_Row* v = &entry->value;
    return quatToXYZ(quatFromHalfAngles(halfAngle(firstWord(v, 0)), halfAngle(firstWord(v, 1)), halfAngle(firstWord(v, 2))));
  }
  if (entry->kind != ZF_ARRAY || entry->type != ZF_FP_C || entry->count != 3) {
    zeLog("ZF_FP3_Slerp_HPB_To_XYZ: unsupported value/valtype/array size\n");
    return {0.0f, 0.0f, 0.0f};
  }
  float lower[3], upper[3];
  uint32_t index = 0;
  for (int r = 0; r < 3; ++r) {
    bool clamped;
    segment<Lookup>(&entry->rows[r], &t, &index, &lower[r], &upper[r], &clamped);
  }
  const float fraction = t - float(index);
  // Channels often hold a component still: an end angle equal to its start
  // angle (bit for bit) reuses the start's sine and cosine.
  HalfAngle from[3], to[3];
  for (int r = 0; r < 3; ++r) {
    from[r] = halfAngle(lower[r]);
    to[r] = std::memcmp(&upper[r], &lower[r], sizeof(float)) == 0 ? from[r] : halfAngle(upper[r]);
  }
  const ZF_Quat q0 = quatFromHalfAngles(from[0], from[1], from[2]);
  const ZF_Quat q1 = quatFromHalfAngles(to[0], to[1], to[2]);
  return quatToXYZ(slerpQuat(q0, q1, fraction));
}

}  // namespace

// --- Indexed evaluators ---------------------------------------------------------

void ZF_Segment(const ZF_Row* row, float* t, uint32_t* index, float* lower, float* upper, bool* clamped) {
  segment<IndexedLookup>(row, t, index, lower, upper, clamped);
}

float ZF_FP_Lerp(const ZF_Entry* entry, float t) { return lerp<IndexedLookup>(entry, t, false, "ZF_FP_Lerp"); }

float ZF_FP_Step(const ZF_Entry* entry, float t) { return lerp<IndexedLookup>(entry, t, true, "ZF_FP_Step"); }

ZF_Float2 ZF_FP2_Lerp(const ZF_Entry* entry, float t) {
  float out[2];
  lerpVector<IndexedLookup, 2>(entry, t, out, "ZF_FP2_Lerp: unsupported value/valtype/array size\n");
  return {out[0], out[1]};
}

ZF_Float3 ZF_FP3_Lerp(const ZF_Entry* entry, float t) {
  float out[3];
  lerpVector<IndexedLookup, 3>(entry, t, out, "ZF_FP3_Lerp: unsupported value/valtype/array size\n");
  return {out[0], out[1], out[2]};
}

ZF_Float3 ZF_FP3_Slerp_HPB_To_XYZ(const ZF_Entry* entry, float t) { return slerpHPB<IndexedLookup>(entry, t); }

// --- Record walk ----------------------------------------------------------------

float ZF_FPC_ElementByWalk(const ZF_Row* row, uint32_t i) {
  return row->markCount && i < row->count ? WalkLookup::one(row, i) : 0.0f;
}

void ZF_SegmentByWalk(const ZF_Row* row, float* t, uint32_t* index, float* lower, float* upper, bool* clamped) {
  segment<WalkLookup>(row, t, index, lower, upper, clamped);
}

float ZF_FP_LerpByWalk(const ZF_Entry* entry, float t) { return lerp<WalkLookup>(entry, t, false, "ZF_FP_Lerp"); }

ZF_Float3 ZF_FP3_LerpByWalk(const ZF_Entry* entry, float t) {
  float out[3];
  lerpVector<WalkLookup, 3>(entry, t, out, "ZF_FP3_Lerp: unsupported value/valtype/array size\n");
  return {out[0], out[1], out[2]};
}

ZF_Float3 ZF_FP3_Slerp_HPB_To_XYZ_ByWalk(const ZF_Entry* entry, float t) { return slerpHPB<WalkLookup>(entry, t); }

// --- Rotations --------------------------------------------------------------------

ZF_Quat ZF_QuatFromHPB(float heading, float pitch, float bank) {
  return quatFromHalfAngles(halfAngle(heading), halfAngle(pitch), halfAngle(bank));
}

ZF_Quat ZF_QuatSlerp(ZF_Quat q0, ZF_Quat q1, float fraction) { return slerpQuat(q0, q1, fraction); }

ZF_Float3 ZF_QuatToXYZ(ZF_Quat q) { return quatToXYZ(q); }
