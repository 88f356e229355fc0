// Surfaces: how an object's material is shaded, made by the surface manager
// (CZeSurfaceManager) and held by the rows of an object's node extension
// (one reference per row). Two kinds: the LightWave surface of 39 channels
// and the smaller HyperVoxel surface of particle sprites.
//
// A surface works three ways: it writes an Irrlicht material (objects drawn
// without an effect), gives an effect its compile macros and base material,
// and binds its image maps to the effect's samplers named "LW_Tex_<channel>".
#pragma once

#include <irrlicht.h>

#include "mesh/zeSurfaceChannels.h"

class IZeEffect;
struct SZeMaterialRecord;

// Kind identifiers: four characters, the first in the low byte.
constexpr irr::u32 ZE_SURFACE_LIGHTWAVE = MAKE_IRR_ID('l', 'w', 's', 'r');
constexpr irr::u32 ZE_SURFACE_LIGHTWAVE_HV = MAKE_IRR_ID('l', 'w', 'h', 'v');

// One compile macro; the texts are the surface's constants (never freed). A
// list ends with an entry whose name is "".
struct SZeSurfaceMacro {
  const char* name;
  const char* definition;
};

// What a surface's macros need to know of the object it shades (the scene
// layer fills it; zeSurfaceNodeFacts in scene/CZeSceneNodeExt.h).
struct SZeSurfaceNodeFacts {
  bool meshHasTangents = false;  // the node's mesh has tangent vertices
  bool hasSecondUV = false;      // the mesh buffers carry a second coordinate set
  irr::s32 uv2Mask = 0;          // the second-set mask of the row's mesh buffer
  const irr::IReferenceCounted* cubeMap1 = nullptr;  // the node extension's cube map 1
  bool boxProjection = false;
};

class IZeSurface : public virtual irr::IReferenceCounted {
 public:
  virtual irr::u32 getKind() const = 0;
  // Takes what an Irrlicht material says (an object's file materials).
  virtual void initFromMaterial(const irr::video::SMaterial& material) = 0;
  virtual void writeToMaterial(irr::video::SMaterial& material) const = 0;
  virtual bool needsTangents() const = 0;
  // The macros, in bit order, into `macros` (capacity entries, the ending
  // entry included), their count, and the effect's base material type.
  // `node` is null when no object is known. A capacity of 0 gives only the
  // base material; a list that does not fit fails with a device-log error.
  virtual bool getEffectCompileParameters(const SZeSurfaceNodeFacts* node, SZeSurfaceMacro* macros, int capacity,
                                          int* count, int* baseMaterial) const = 0;
  // Binds the image maps to the effect's samplers for every draw of it.
  virtual bool setEffectTextures(IZeEffect* effect) const = 0;
  // Binds them for the draws of one row only (the row's own textures).
  virtual bool setEffectTexturesOnMaterial(IZeEffect* effect, SZeMaterialRecord& record) const = 0;
  // A surface of its own with the same values (one reference, the caller's).
  virtual IZeSurface* clone() const = 0;
};

class IZeSurfaceLightwave : public IZeSurface {
 public:
  // Every channel, the flags and the second reflection image of `from`.
  virtual void copyChannels(const IZeSurfaceLightwave& from) = 0;
  // Channel indices outside 0..38 change nothing (getters answer 0 / null).
  virtual void setFloat(int channel, float value) = 0;
  virtual void setInt(int channel, int value) = 0;
  virtual void setFloat3(int channel, float x, float y, float z) = 0;
  virtual void setTexture(int channel, irr::video::ITexture* texture) = 0;
  virtual void setColorSpace(int channel, bool srgb) = 0;
  // The second reflection image ("LW_Tex_ReflectionImage2").
  virtual void setReflectionImage2(irr::video::ITexture* texture) = 0;
  virtual float getFloat(int channel) const = 0;
  virtual int getInt(int channel) const = 0;
  virtual const float* getValue(int channel) const = 0;  // three floats
  virtual irr::video::ITexture* getTexture(int channel) const = 0;
  virtual bool getColorSpace(int channel) const = 0;
  virtual irr::video::ITexture* getReflectionImage2() const = 0;
  // The 39 channels as stored, for whoever copies many values a frame:
  // values are written with the zeLWSet... helpers, textures only through setTexture.
  virtual SZeLWChannel* getChannels() = 0;
};

// The particle settings the effect binds read ("LWHV_..."). The colour's
// fourth value is the sprite's opacity; a gradient is present when it has keys.
struct SZeLWHVValues {
  float colour[4] = {1, 1, 1, 1};
  float size = 0.2f;
  float rotation = 0.0f;
  int32_t colourNumKeys = 0;
  float colourKeyParams[8] = {};
  float colourKeyValues[36] = {};
  int32_t sizeNumKeys = 0;
  float sizeKeyParams[8] = {};
  float sizeKeyValues[9] = {};
};

enum EZeHVBlend { ZE_HV_BLEND_ALPHA = 0, ZE_HV_BLEND_ADD = 1, ZE_HV_BLEND_SUB = 2 };

class IZeSurfaceLightwaveHV : public IZeSurface {
 public:
  virtual void setClipTexture(irr::video::ITexture* texture) = 0;
  virtual irr::video::ITexture* getClipTexture() const = 0;
  // 0 alpha, 1 additive, 2 subtractive; other values change nothing.
  virtual void setBlendMode(int mode) = 0;
  virtual int getBlendMode() const = 0;
  virtual SZeLWHVValues& values() = 0;
  virtual const SZeLWHVValues& values() const = 0;
};
