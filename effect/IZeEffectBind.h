// How a shader constant gets its value at draw time: a bind family answers the
// constant's description once, at building, with a callback that the effect
// calls at every draw. The families that know semantics (transforms, lights,
// surfaces, time ...) come with the binding work; the generic bind, which
// delivers the parameter's own value, is always last.
#pragma once

#include <irrlicht.h>

#include <cstdint>
#include <string>

struct SZeFxConstBind;
struct SZeEffectDrawContext;  // effect/zeEffectBindContext.h

// Called at every draw with the constant setting services (the GL material
// renderer), the constant's description and the draw context (null when the
// draw was not named).
using ZeFxBindCallback = void (*)(irr::video::IMaterialRendererServices* services, const SZeFxConstBind& bind,
                                  const SZeEffectDrawContext* drawContext);

struct SZeFxConstBind {
  int32_t stage = 0;  // 2 vertex, 4 pixel
  int32_t type = 0;   // parameter type of the definition model
  std::string symbol;
  std::string semantic;
  const void* value = nullptr;  // the parameter's value slot in the effect
  int32_t floatCount = 0;
  int32_t registerIndex = -1;   // -1: set by name
  int32_t registerCount = 0;
  class IZeEffectBind* bind = nullptr;
  ZeFxBindCallback callback = nullptr;
  int32_t userData[2] = {0, 0};
};

class IZeEffectBind : public virtual irr::IReferenceCounted {
 public:
  // Per-draw preparation for the material being drawn; false aborts the draw's constants.
  virtual bool onSetMaterial(const SZeEffectDrawContext* drawContext) { return true; }
  // The callback for a constant, or nullptr when this family does not know it.
  virtual ZeFxBindCallback getBind(const SZeFxConstBind& constant, int32_t userData[2]) = 0;
};

// The generic bind: answers every bool, int and float type with the
// parameter's own value, by name or by register as the constant says.
class CZeEffectBind : public IZeEffectBind {
 public:
  ZeFxBindCallback getBind(const SZeFxConstBind& constant, int32_t userData[2]) override;
};

// Floats of a parameter type (1 bool/int/float, 2-4 float2-4, 16 float4x4, else 0).
int zeFxFloatCount(int type);
