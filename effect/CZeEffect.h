// A runnable effect built from a definition: one value slot per parameter,
// techniques of passes whose materials are prepared at building (compiled
// material type, render states, texture layers), the constant and texture
// binds of every shader, and the table from renderer technique ids to
// technique indices. Drawing uses indices only: applying a pass copies
// prepared fields, setting constants calls stored callbacks.
#pragma once

#include <irrlicht.h>

#include <cstdint>
#include <string>
#include <vector>

#include "effect/CZeEffectDef.h"
#include "effect/IZeEffectBind.h"
#include "effect/zeFxMaterial.h"
#include "effect/zeHlslTranslator.h"
#include "scene/IZeEffect.h"

class IZeGPUProgrammingServices;
class IZeEffectTextureResolver;
class IZeTechniqueLookup;

// Pass state flags: which render states a pass sets.
constexpr uint32_t ZE_FX_STATE_DEPTH_FUNC = 0x2;
constexpr uint32_t ZE_FX_STATE_DEPTH_MASK = 0x4;
constexpr uint32_t ZE_FX_STATE_DEPTH_TEST = 0x8;
constexpr uint32_t ZE_FX_STATE_POINT_SIZE = 0x10;

// One 64-byte value slot: bool (1 byte), int, 1-16 floats, or a texture layer.
struct SZeFxParameter {
  alignas(8) unsigned char slot[64] = {};
  float* floats() { return reinterpret_cast<float*>(slot); }
  const float* floats() const { return reinterpret_cast<const float*>(slot); }
  int32_t* ints() { return reinterpret_cast<int32_t*>(slot); }
  SZeFxTextureLayer* layer() { return reinterpret_cast<SZeFxTextureLayer*>(slot); }
  const SZeFxTextureLayer* layer() const { return reinterpret_cast<const SZeFxTextureLayer*>(slot); }
};
static_assert(sizeof(SZeFxTextureLayer) <= 64, "a texture layer fits a value slot");

struct SZeFxTextureBind {
  int32_t stage = 0;        // 2 vertex, 4 pixel
  int32_t registerIndex = -1;
  std::string symbol;       // empty for a texture state
  int32_t parameter = -1;
  int32_t sampler = -1;
};

struct SZeFxShader {
  int32_t stage = 0;
  std::vector<SZeFxConstBind> constBinds;
  std::vector<SZeFxTextureBind> textureBinds;
};

struct SZeFxPass {
  SZeFxMaterial material;
  // Irrlicht's fields, prepared from `material` at building.
  irr::video::E_MATERIAL_TYPE irrType = irr::video::EMT_SOLID;
  irr::f32 irrParam = 0, irrParam2 = 0;
  irr::u8 irrZBuffer = irr::video::ECFN_LESSEQUAL;
  // Blending base materials say so in the material too: Irrlicht's basic
  // states would otherwise turn off the blending their renderer turned on.
  irr::video::E_BLEND_OPERATION irrBlend = irr::video::EBO_NONE;
  uint32_t stateFlags = 0;
  std::vector<SZeFxShader> shaders;
  std::vector<IZeEffectBind*> binds;  // distinct, first use first (not counted: the effect holds them)
};

struct SZeFxTechnique {
  std::vector<SZeFxPass> passes;
};

// Everything building needs; the lists stay the caller's.
struct SZeEffectBuildArgs {
  IZeGPUProgrammingServices* services = nullptr;
  const std::vector<IZeEffectBind*>* binds = nullptr;  // asked in order; the generic bind last
  const std::vector<IZeEffectTextureResolver*>* resolvers = nullptr;
  const std::vector<std::string>* shaderPaths = nullptr;
  const std::vector<std::string>* texturePaths = nullptr;
  CZeEffectDef* definition = nullptr;
  int defaultBaseMaterial = -1;                  // -1: none (solid)
  const SZeShaderMacro* macros = nullptr;        // ended by an empty name, may be null
  irr::video::IShaderConstantSetCallBack* callback = nullptr;
  const IZeTechniqueLookup* techniques = nullptr;
};

class CZeEffect : public IZeEffect, public IZeEffectDef {
 public:
  // Always returns an effect; *ok says whether building succeeded, *error why not.
  static CZeEffect* create(const SZeEffectBuildArgs& args, bool* ok, std::string* error);
  ~CZeEffect() override;

  // IZeEffectDef: definition queries forward, values come from the slots.
  const CZeEffectDef& getDefinition() const override { return *definition_; }
  int getParameterHandle(const char* name) const override { return definition_->getParameterHandle(name); }
  bool getFloats(int handle, float* values, int count) const override;
  bool getInts(int handle, int* values, int count) const override;
  bool getBool(int handle, bool* value) const override;
  bool getMatrix(int handle, float* values16) const override;

  // Setters; by name they fail when no parameter has the name.
  bool setFloat(const char* name, float value) { return setFloat(getParameterHandle(name), value); }
  bool setFloat(int handle, float value) { return setFloats(handle, &value, 1); }
  bool setFloats(const char* name, const float* values, int count) {
    return setFloats(getParameterHandle(name), values, count);
  }
  bool setFloats(int handle, const float* values, int count);
  bool setBool(const char* name, bool value) { return setBool(getParameterHandle(name), value); }
  bool setBool(int handle, bool value);
  bool setInt(const char* name, int value) { return setInts(getParameterHandle(name), &value, 1); }
  bool setInt(int handle, int value) { return setInts(handle, &value, 1); }
  bool setInts(const char* name, const int* values, int count) {
    return setInts(getParameterHandle(name), values, count);
  }
  bool setInts(int handle, const int* values, int count);
  bool setMatrix(const char* name, const float* values16) { return setFloats(getParameterHandle(name), values16, 16); }
  bool setMatrix(int handle, const float* values16) { return setFloats(handle, values16, 16); }
  bool setTexture(const char* name, irr::video::ITexture* texture, bool srgbDefault) {
    return setTextureByIndex(getParameterHandle(name), texture, srgbDefault);
  }
  bool setTexture(int handle, irr::video::ITexture* texture, bool srgbDefault) {
    return setTextureByIndex(handle, texture, srgbDefault);
  }
  bool setTextureByIndex(int index, irr::video::ITexture* texture, bool srgbDefault);

  // Copies the pass's prepared material into `material` and `record`. With
  // noDepth, a pass that sets no depth state draws without depth test or write.
  bool applyPass(int technique, int pass, irr::video::SMaterial& material, SZeFxMaterial& record,
                 bool noDepth = false) const;
  // Sets a texture into the layers (12) of a caller's material for the binds of one pass.
  bool setPassTexture(int technique, int pass, int handle, SZeFxTextureLayer* layers, irr::video::ITexture* texture,
                      bool srgbDefault) const;
  // Delivers the constants of one pass (called from the material renderer's callback).
  void onSetShaderConstants(irr::video::IMaterialRendererServices* services, int technique, int pass,
                            const SZeEffectDrawContext* drawContext = nullptr) const;
  CZeEffect* clone() const;
  uint32_t passStateFlags(int technique, int pass) const;
  int techniqueForId(int id) const;

  // For the object layer: technique index and pass index.
  void applyToMaterial(irr::video::SMaterial& material, SZeMaterialRecord& record, int technique,
                       int secondIndex) override;
  void clearFromMaterial(irr::video::SMaterial& material, SZeMaterialRecord& record) override;
  bool needsTangents() const override;
  int samplerHandle(const char* name) const override;
  bool setSamplerTexture(int handle, irr::video::ITexture* texture, bool srgb) override;
  // A draw of an object row: the row's own textures (its surface's image
  // maps) over the pass's, in the engine record and Irrlicht's layers. This
  // is where the engine's textures reach a draw of an object.
  void applyRowTextures(int technique, int pass, const SZeMaterialRecord& row, irr::video::SMaterial& material,
                        SZeFxMaterial& record) const;

  // Read by tests, tools and benchmarks.
  const std::vector<SZeFxTechnique>& techniques() const { return techniques_; }
  const std::vector<SZeFxParameter>& values() const { return values_; }
  const std::vector<IZeEffectBind*>& bindsUsed() const { return binds_; }
  const std::vector<int32_t>& techniqueIds() const { return techniqueIds_; }

 private:
  friend class CZeEffectBuilder;
  explicit CZeEffect(CZeEffectDef* definition);
  const SZeFxPass* passAt(int technique, int pass) const;
  void setSlotTexture(int index, irr::video::ITexture* texture);

  CZeEffectDef* definition_;
  std::vector<SZeFxParameter> values_;
  std::vector<SZeFxTechnique> techniques_;
  std::vector<IZeEffectBind*> binds_;  // one reference each
  std::vector<int32_t> techniqueIds_;
};
