// Animated values: sampled channels evaluated at fractional sample positions.
//
// A channel is an FP value (constant), an FP_C value (animated scalar) or an
// FP_C array of 2 or 3 rows (animated vector, one row per component).
// Position k is sample k; positions before the first sample or past the last
// are clamped. Rotations are heading, pitch and bank in radians and come out
// as angles about X, Y and Z in radians.
//
// The evaluators allocate nothing and find samples through the record marks
// made at load, in O(log records); zf/zfWalk.h has the plain record walk they
// must agree with bit for bit. An empty channel evaluates to 0.
#pragma once

#include "zf/zfDocument.h"

// The bracketing samples of position *t in an FP_C row. *t is clamped in
// place to [0, count - 1]; *clamped says lower == upper was taken at an end.
void ZF_Segment(const ZF_Row* row, float* t, uint32_t* index, float* lower, float* upper, bool* clamped);

float ZF_FP_Lerp(const ZF_Entry* entry, float t);
// The sample at floor(t), clamped to the channel: for discrete channels.
float ZF_FP_Step(const ZF_Entry* entry, float t);
ZF_Float2 ZF_FP2_Lerp(const ZF_Entry* entry, float t);
ZF_Float3 ZF_FP3_Lerp(const ZF_Entry* entry, float t);
ZF_Float3 ZF_FP3_Slerp_HPB_To_XYZ(const ZF_Entry* entry, float t);

// The rotation arithmetic of the slerp evaluator, for callers that combine
// rotations themselves.
struct ZF_Quat {
  float x, y, z, w;
};
ZF_Quat ZF_QuatFromHPB(float heading, float pitch, float bank);
ZF_Quat ZF_QuatSlerp(ZF_Quat q0, ZF_Quat q1, float fraction);
ZF_Float3 ZF_QuatToXYZ(ZF_Quat q);
