#include "effect/IZeEffectBind.h"

#include <cstring>

#include "effect/CZeEffectDef.h"

using irr::video::IMaterialRendererServices;

int zeFxFloatCount(int type) {
  switch (type) {
    case ZE_FX_BOOL:
    case ZE_FX_INT:
    case ZE_FX_FLOAT: return 1;
    case ZE_FX_FLOAT2: return 2;
    case ZE_FX_FLOAT3: return 3;
    case ZE_FX_FLOAT4: return 4;
    case ZE_FX_FLOAT4X4: return 16;
    default: return 0;
  }
}

namespace {

void setFloats(IMaterialRendererServices* s, const SZeFxConstBind& b, const float* values) {
  if (b.registerIndex < 0) {
    if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(b.symbol.c_str(), values, b.floatCount);
    else s->setPixelShaderConstant(b.symbol.c_str(), values, b.floatCount);
    return;
  }
  // By register whole float4s go up; a short value is padded with zeros.
  float padded[16] = {};
  std::memcpy(padded, values, sizeof(float) * size_t(b.floatCount));
  int registers = b.registerCount > 0 ? b.registerCount : (b.floatCount + 3) / 4;
  if (registers > 4) registers = 4;
  if (b.stage == ZE_FX_STAGE_VERTEX) s->setVertexShaderConstant(padded, b.registerIndex, registers);
  else s->setPixelShaderConstant(padded, b.registerIndex, registers);
}

void floatValue(IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  setFloats(s, b, static_cast<const float*>(b.value));
}

void intValue(IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  float f = float(*static_cast<const int32_t*>(b.value));
  setFloats(s, b, &f);
}

void boolValue(IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  float f = *static_cast<const unsigned char*>(b.value) ? 1.0f : 0.0f;
  setFloats(s, b, &f);
}

}  // namespace

ZeFxBindCallback CZeEffectBind::getBind(const SZeFxConstBind& constant, int32_t[2]) {
  switch (constant.type) {
    case ZE_FX_BOOL: return boolValue;
    case ZE_FX_INT: return intValue;
    case ZE_FX_FLOAT:
    case ZE_FX_FLOAT2:
    case ZE_FX_FLOAT3:
    case ZE_FX_FLOAT4:
    case ZE_FX_FLOAT4X4: return floatValue;
    default: return nullptr;
  }
}
