// How a particle node's sprites look: the particle surface of the node (the
// HyperVoxel surface's values: clip image, colour, size, rotation, blend
// mode, colour and size gradients), as the emitter commands set them. The
// particle effect reads them through its "LWHV_" binds; drawing takes them
// with the instances (IZeParticleDrawer).
#pragma once

#include <cstdint>
#include <string>

#include "effect/zeEffectCommands.h"

enum EZeParticleBlend : int32_t { ZE_PARTICLE_BLEND_ALPHA = 0, ZE_PARTICLE_BLEND_ADD = 1, ZE_PARTICLE_BLEND_SUB = 2 };

constexpr int ZE_PARTICLE_GRADIENT_KEYS = 8;

struct SZeParticleLook {
  irr::video::ITexture* clip = nullptr;  // the sprite image (the driver keeps it)
  float colour[4] = {1, 1, 1, 1};        // the fourth value is the opacity
  bool useImageColour = false;
  float size = 0.2f;
  float rotation = 0;
  int32_t blend = ZE_PARTICLE_BLEND_ADD;
  // Gradients: a position per key; colours as four values per key, sizes
  // one, with the last key repeated 100 further on.
  int32_t colourNumKeys = 0;
  float colourKeyParams[ZE_PARTICLE_GRADIENT_KEYS] = {};
  float colourKeyValues[36] = {};
  int32_t sizeNumKeys = 0;
  float sizeKeyParams[ZE_PARTICLE_GRADIENT_KEYS + 1] = {};
  float sizeKeyValues[9] = {};
};

// Gradients from a scene's keys: `count` / 5 keys of five values (position,
// then the value: r, g, b, a for colours, the size first for sizes), at
// most 8; fewer than 5 values give none.
void zeParticleLookColourGradient(SZeParticleLook* look, const float* values, int count);
void zeParticleLookSizeGradient(SZeParticleLook* look, const float* values, int count);

// The particle effect's compile macros (USE_TEX_COLOR, USE_COLOR_GRADIENT,
// USE_SIZE_GRADIENT, USE_ROTATION, then the blend mode's) and base material
// (13 alpha, 12 additive, 23 subtractive).
void zeParticleLookCompileParameters(const SZeParticleLook& look, SZeEffectCompileParameters* out);
// The node material's type for the blend mode (the same numbers; 0 otherwise).
int zeParticleLookMaterialType(const SZeParticleLook& look);
