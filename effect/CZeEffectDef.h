// The effect definition model: what an effect consists of (parameters with
// their samplers and annotations, techniques of passes of shaders with their
// binds and states). Filled by the definition loaders (the annotated HLSL
// loader here, a COLLADA reader later) and read by the effect builder; nothing
// in it knows which file format it came from.
#pragma once

#include <IReferenceCounted.h>

#include <cstdint>
#include <string>
#include <vector>

// Record kinds (every record starts with its kind tag).
enum EZeFxRecordKind : uint32_t {
  ZE_FX_RECORD_PARAMETER = 1,
  ZE_FX_RECORD_SHADER = 2,
  ZE_FX_RECORD_STATE = 3,
  ZE_FX_RECORD_EVALUATE = 4,
  ZE_FX_RECORD_PASS = 5,
  ZE_FX_RECORD_TECHNIQUE = 6,
};

enum EZeFxStage : int32_t {
  ZE_FX_STAGE_UNKNOWN = 0,
  ZE_FX_STAGE_TESSELATION = 1,
  ZE_FX_STAGE_VERTEX = 2,
  ZE_FX_STAGE_GEOMETRY = 3,
  ZE_FX_STAGE_FRAGMENT = 4,
};

enum EZeFxTarget : int32_t {
  ZE_FX_TARGET_VS_1_1 = 1,
  ZE_FX_TARGET_VS_2_0 = 2,
  ZE_FX_TARGET_VS_3_0 = 3,
  ZE_FX_TARGET_PS_1_1 = 4,
  ZE_FX_TARGET_PS_2_0 = 5,
  ZE_FX_TARGET_PS_3_0 = 6,
};

enum EZeFxType : int32_t {
  ZE_FX_UNKNOWN = 0,
  ZE_FX_BOOL = 1,
  ZE_FX_FLOAT = 2,
  ZE_FX_FLOAT2 = 3,
  ZE_FX_FLOAT3 = 4,
  ZE_FX_FLOAT4 = 5,
  ZE_FX_FLOAT4X4 = 6,
  ZE_FX_INT = 7,
  ZE_FX_SAMPLER1D = 8,
  ZE_FX_SAMPLER2D = 9,
  ZE_FX_SAMPLER3D = 10,
  ZE_FX_SAMPLERRECT = 11,
  ZE_FX_SAMPLERCUBE = 12,
  ZE_FX_SAMPLERDEPTH = 13,
  ZE_FX_USERTYPE = 14,
};

// Texts used wherever the enumerations are written out.
const char* zeFxStageName(int stage);
const char* zeFxTargetName(int target);  // "UNKNOWN" outside 1-6
const char* zeFxTypeName(int type);
inline bool zeFxIsSampler(int type) { return type >= ZE_FX_SAMPLER1D && type <= ZE_FX_SAMPLERDEPTH; }

struct SSampler {
  std::string source, wrap_s, wrap_t, wrap_p, minfilter, magfilter, mipfilter;
};

// A parameter, an annotation (sid/value) or a shader bind (uniform symbol/parameter name).
struct SParameter {
  uint32_t kind = ZE_FX_RECORD_PARAMETER;
  std::string sid, value, semantic;
  int32_t type = ZE_FX_UNKNOWN;
  std::vector<SParameter> annotations;
  std::vector<SSampler> samplers;  // exactly one for a sampler parameter
};

struct SState {
  uint32_t kind = ZE_FX_RECORD_STATE;
  std::string name, value, param;
  int32_t index = 0;
};

struct SEvaluate {
  uint32_t kind = ZE_FX_RECORD_EVALUATE;
  std::string name;
  int32_t index = 0;
  std::string value, image;
};

struct SShader {
  uint32_t kind = ZE_FX_RECORD_SHADER;
  int32_t stage = ZE_FX_STAGE_UNKNOWN;
  std::string entry, source;
  std::vector<std::string> inlines;  // "#define NAME [definition]" lines
  int32_t target = 0;
  std::vector<SParameter> binds;
};

struct SPass {
  uint32_t kind = ZE_FX_RECORD_PASS;
  std::string sid;
  std::vector<SShader> shaders;
  std::vector<SState> states;
  std::vector<SEvaluate> evaluates;
  std::vector<SParameter> annotations;
};

struct STechnique {
  uint32_t kind = ZE_FX_RECORD_TECHNIQUE;
  std::string sid;
  std::vector<SPass> passes;
  std::vector<SParameter> annotations;
};

struct SInclude {
  std::string sid, url;
};

// Value of the annotation called `name`, or nullptr.
const std::string* zeFxFindAnnotation(const std::vector<SParameter>& annotations, const char* name);

class CZeEffectDef;

// What every effect answers: its definition, and parameter values by handle
// (the parameter's index). A definition answers values from its default texts;
// an effect from its own value slots.
class IZeEffectDef : public virtual irr::IReferenceCounted {
 public:
  virtual const CZeEffectDef& getDefinition() const = 0;
  // Index of the parameter named `name`, or -1.
  virtual int getParameterHandle(const char* name) const = 0;
  virtual bool getFloats(int handle, float* values, int count) const = 0;
  virtual bool getInts(int handle, int* values, int count) const = 0;
  virtual bool getBool(int handle, bool* value) const = 0;
  virtual bool getMatrix(int handle, float* values16) const = 0;
};

class CZeEffectDef : public IZeEffectDef {
 public:
  std::string path;  // full path of the file read
  std::string id, name, title, subject, comments;
  std::vector<SParameter> parameters;
  std::vector<SInclude> includes;
  std::vector<STechnique> techniques;
  std::vector<SParameter> annotations;  // effect level
  int32_t userValue = 0;                // given by the caller at load time

  const CZeEffectDef& getDefinition() const override { return *this; }
  int getParameterHandle(const char* name) const override;
  bool getFloats(int handle, float* values, int count) const override;
  bool getInts(int handle, int* values, int count) const override;
  bool getBool(int handle, bool* value) const override;
  bool getMatrix(int handle, float* values16) const override;

  const std::string* parameterAnnotation(int handle, const char* name) const;
  const std::string* passAnnotation(int technique, int pass, const char* name) const;
  const std::string* techniqueAnnotation(int technique, const char* name) const;
  const std::string* effectAnnotation(const char* name) const { return zeFxFindAnnotation(annotations, name); }
};

// Reads the definition of one file format.
class IZeEffectDefLoader : public virtual irr::IReferenceCounted {
 public:
  virtual bool isALoadableFileExtension(const char* fileName) const = 0;
  // Whether the definition depends on the caller's macros (the manager caches
  // one definition per macro set when it does).
  virtual bool usesMacros() const = 0;
  // Always returns a definition (the caller drops it). *errorText is nullptr on
  // success, else the reason (valid until the next load). `macros` is a list of
  // names ended by nullptr, or nullptr. `value` is kept in the definition.
  virtual CZeEffectDef* loadDefinition(const char* fileName, const char* const* macros, int value,
                                       const char** errorText) = 0;
};
