// The bind families that know semantics, asked in list order before the
// generic bind. Each answers a constant once, at building, with a callback and
// two integers of user data; at draw time the callback reads the family's
// per-draw data and the shared environment. No name lookup and no allocation
// happens per draw: names set member by member are formatted at building.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "effect/IZeEffectBind.h"
#include "effect/zeEffectBindContext.h"
#include "mesh/IZeSurface.h"

// Sends `count` floats the way the constant says (by name or by register).
void zeFxSendFloats(irr::video::IMaterialRendererServices* services, const SZeFxConstBind& bind, const float* values,
                    int count);
// Matrix delivery: `transposeForm` is the "...Transpose" semantic.
void zeFxSendMatrix(irr::video::IMaterialRendererServices* services, const SZeFxConstBind& bind,
                    const irr::core::matrix4& matrix, bool transposeForm);

class CZeEffectBindFamily : public IZeEffectBind {
 public:
  explicit CZeEffectBindFamily(SZeEffectBindEnv* env) : env_(env) {}
  SZeEffectBindEnv* env() const { return env_; }

 protected:
  SZeEffectBindEnv* env_;
};

class CZeEffectBindTransform : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
};

class CZeEffectBindTime : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
};

class CZeEffectBindScreen : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
};

class CZeEffectBindLightwave : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  bool onSetMaterial(const SZeEffectDrawContext* drawContext) override;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  const IZeSurfaceLightwave* surface = nullptr;  // per draw
};

class CZeEffectBindLightwaveHV : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  bool onSetMaterial(const SZeEffectDrawContext* drawContext) override;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  const SZeLWHVValues* values = nullptr;  // per draw
};

// One light record of the light-parameter block.
struct SZeFxLightRecord {
  float type = 0, falloff = 1;
  float colour[3] = {0, 0, 0};
  float position[3] = {0, 0, 0};
  float direction[3] = {0, 0, 1};
  float radius = 0, radius2 = 0;
  float spot[2] = {0, 0};
};

class CZeEffectBindLightParams : public CZeEffectBindFamily {
 public:
  static constexpr int kRecords = 5;
  explicit CZeEffectBindLightParams(SZeEffectBindEnv* env);
  bool onSetMaterial(const SZeEffectDrawContext* drawContext) override;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  // Fills the block from the scene (also used by tests).
  void fill();
  SZeFxLightRecord records[kRecords];
  int count = 0;
  std::string names[kRecords][8];  // member names, formatted once

 private:
  uint32_t filledFrame_ = 0;
};

class CZeEffectBindLight : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  // Member names of "Light[n].Params" for light n (formatted at building).
  const std::string* paramNames(int light);

 private:
  std::map<int, std::vector<std::string>> names_;
};

class CZeEffectBindCamera : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  // Recomputes the derived values when view or projection changed.
  void refresh();
  int recomputed = 0;  // how often refresh() did the work (read by tests)
  float position[4] = {0, 0, 0, 1};
  float determinant = 1;
  float farCorners[12] = {}, farCornersWorld[12] = {};
  float zNear = 0, zFar = 0, fov = 0;
  float lineStarts[12] = {}, lineEnds[12] = {};

 private:
  bool valid_ = false;
  irr::core::matrix4 view_, projection_;
};

class CZeEffectBindNodeExt : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  bool onSetMaterial(const SZeEffectDrawContext* drawContext) override;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  const SZeEffectDrawContext* context = nullptr;  // per draw
};

class CZeEffectBindLastFrameInfo : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
};

class CZeEffectBindObject : public CZeEffectBindFamily {
 public:
  static constexpr int kMaxObjects = 200;
  explicit CZeEffectBindObject(SZeEffectBindEnv* env) : CZeEffectBindFamily(env), scratch_(kMaxObjects * 16) {}
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  std::vector<float> scratch_;  // array values, sized once
};

class CZeEffectBindMaterial : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  bool onSetMaterial(const SZeEffectDrawContext* drawContext) override;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  const SZeEffectDrawContext* context = nullptr;  // per draw
};

class CZeEffectBindProbes : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  bool onSetMaterial(const SZeEffectDrawContext* drawContext) override;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  // The pair for a position (also used by tests).
  void choose(const irr::core::vector3df& position);
  int nearest = -1, second = -1;
  float weights[2] = {1, 0};
};

class CZeEffectBindEvent : public CZeEffectBindFamily {
 public:
  using CZeEffectBindFamily::CZeEffectBindFamily;
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
};

// A user map from semantic to value; asked before every built-in family.
class IZeEffectBindSemanticMap : public IZeEffectBind {
 public:
  struct SValue {
    uint32_t word = 0;
    uint32_t floatCount = 0;
    float floats[16] = {};
  };
  virtual bool addSemantic(const char* name, const SValue& initial) = 0;
  virtual bool setFloat(const char* name, float value) = 0;
  virtual bool setData(const char* name, const void* bytes, size_t length) = 0;
};

class CZeEffectBindSemanticMap : public IZeEffectBindSemanticMap {
 public:
  ZeFxBindCallback getBind(const SZeFxConstBind& c, int32_t user[2]) override;
  bool addSemantic(const char* name, const SValue& initial) override;
  bool setFloat(const char* name, float value) override;
  bool setData(const char* name, const void* bytes, size_t length) override;
  const SValue& value(int index) const { return values_[size_t(index)]; }

 private:
  std::map<std::string, int> index_;
  std::vector<SValue> values_;
};

// The built-in list in its order: the 14 families, then the generic bind.
// One reference each, for the caller.
std::vector<IZeEffectBind*> zeCreateBindList(SZeEffectBindEnv* env);
