// The engine's material record of an effect pass, kept beside Irrlicht's
// material: Irrlicht 1.8 carries 4 texture layers, the engine 12 (pixel
// samplers 0-7, vertex samplers 8-11), a 32-bit type parameter that may hold a
// packed blend word, and depth states by the engine's own numbers. Applying a
// pass copies one of these and the Irrlicht fields prepared from it.
//
// Numbers are the engine's throughout (material types, comparisons, texture
// clamps); they are turned into Irrlicht 1.8 enumerators by name, never by value.
#pragma once

#include <irrlicht.h>

#include <cstdint>
#include <string>

constexpr int ZE_FX_PIXEL_LAYERS = 8;   // MATERIAL_MAX_TEXTURES of the engine
constexpr int ZE_FX_VERTEX_LAYERS = 4;  // MATERIAL_MAX_TEXTURES_VERTEX
constexpr int ZE_FX_LAYERS = ZE_FX_PIXEL_LAYERS + ZE_FX_VERTEX_LAYERS;

// Filter flags of a texture layer.
constexpr uint8_t ZE_FX_BILINEAR = 0x1;
constexpr uint8_t ZE_FX_TRILINEAR = 0x2;

// Texture layer record (also the value slot of a sampler parameter).
struct SZeFxTextureLayer {
  irr::video::ITexture* texture = nullptr;
  uint8_t wrap = 0;        // low 4 bits U, high 4 bits V (engine clamp numbers)
  uint8_t filter = ZE_FX_BILINEAR;
  uint8_t anisotropy = 0;
  uint8_t srgb = 0;
};

// Engine depth comparisons.
enum EZeFxDepth : uint8_t {
  ZE_FX_DEPTH_DISABLED = 0, ZE_FX_DEPTH_LEQUAL = 1, ZE_FX_DEPTH_EQUAL = 2, ZE_FX_DEPTH_LESS = 3,
  ZE_FX_DEPTH_NOTEQUAL = 4, ZE_FX_DEPTH_GEQUAL = 5, ZE_FX_DEPTH_GREATER = 6, ZE_FX_DEPTH_ALWAYS = 7,
  ZE_FX_DEPTH_NEVER = 8,
};

// Engine material types the base-material table uses.
enum EZeFxBaseMaterial : int32_t {
  ZE_FX_MT_SOLID = 0, ZE_FX_MT_TRANSPARENT_ADD_COLOR = 12, ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL = 13,
  ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL_REF = 14, ZE_FX_MT_TRANSPARENT_VERTEX_ALPHA = 15, ZE_FX_MT_ONETEXTURE_BLEND = 23,
};

struct SZeFxMaterial {
  int32_t materialType = 0;
  uint32_t typeParam = 0;   // bit for bit (a packed blend word for type 23)
  uint32_t typeParam2 = 0;
  uint8_t depthFunc = ZE_FX_DEPTH_LEQUAL;
  bool depthWrite = true;
  bool pointCloud = false;
  SZeFxTextureLayer layers[ZE_FX_LAYERS];
};

// Tables of the effect builder. Unknown texts give the stated defaults.
int zeFxWrapMode(const std::string& text);         // 0 for empty or unknown (exact text)
bool zeFxDepthFunc(const std::string& text, uint8_t* func);  // false for unknown (exact text)
// "solid", "transparent_one_one" ... without regard to case; false for unknown.
bool zeFxBaseMaterial(const std::string& text, int32_t* type, uint32_t* param);
int zeFxBlendFactor(const std::string& text);      // 1 (ONE) for unknown
uint32_t zeFxBlendWord(int source, int destination);

// The engine's numbers as Irrlicht 1.8 enumerators. A depth comparison Irrlicht
// 1.8 cannot express (NEVER) maps to its "test off" value; the GL material
// renderer sets the real comparison from the engine record.
irr::video::E_MATERIAL_TYPE zeIrrMaterialType(int32_t engineType);
irr::video::E_COMPARISON_FUNC zeIrrDepthFunc(uint8_t engineFunc);
irr::video::E_TEXTURE_CLAMP zeIrrTextureClamp(int engineClamp);
