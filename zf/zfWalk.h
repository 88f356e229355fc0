// The plain record walk: every lookup decodes an FP_C stream from its first
// record. Kept as the reference the indexed evaluators are checked and
// measured against; the engine itself uses zf/zfAnimate.h.
#pragma once

#include "zf/zfAnimate.h"

float ZF_FPC_ElementByWalk(const ZF_Row* row, uint32_t i);
void ZF_SegmentByWalk(const ZF_Row* row, float* t, uint32_t* index, float* lower, float* upper, bool* clamped);
float ZF_FP_LerpByWalk(const ZF_Entry* entry, float t);
ZF_Float3 ZF_FP3_LerpByWalk(const ZF_Entry* entry, float t);
ZF_Float3 ZF_FP3_Slerp_HPB_To_XYZ_ByWalk(const ZF_Entry* entry, float t);
