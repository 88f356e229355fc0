#include "particles/zeParticleLook.h"

#include <algorithm>

void zeParticleLookColourGradient(SZeParticleLook* look, const float* values, int count) {
  const int keys = std::min(count / 5, ZE_PARTICLE_GRADIENT_KEYS);
  look->colourNumKeys = keys;
  for (int k = 0; k < keys; ++k) {
    look->colourKeyParams[k] = values[5 * k];
    for (int c = 0; c < 4; ++c) look->colourKeyValues[4 * k + c] = values[5 * k + 1 + c];
  }
}

void zeParticleLookSizeGradient(SZeParticleLook* look, const float* values, int count) {
  const int keys = std::min(count / 5, ZE_PARTICLE_GRADIENT_KEYS);
  look->sizeNumKeys = keys;
  for (int k = 0; k < keys; ++k) {
    look->sizeKeyParams[k] = values[5 * k];
    look->sizeKeyValues[k] = values[5 * k + 1];
  }
  if (keys > 0) {  // the last size holds on past its key
    look->sizeKeyParams[keys] = look->sizeKeyParams[keys - 1] + 100;
    look->sizeKeyValues[keys] = look->sizeKeyValues[keys - 1];
  }
}

void zeParticleLookCompileParameters(const SZeParticleLook& look, SZeEffectCompileParameters* out) {
  out->macros.clear();
  auto add = [&](const char* name) { out->macros.push_back({name, ""}); };
  if (look.clip) add("USE_TEX_COLOR");
  if (look.colourNumKeys > 0) add("USE_COLOR_GRADIENT");
  if (look.sizeNumKeys > 0) add("USE_SIZE_GRADIENT");
  if (look.rotation != 0) add("USE_ROTATION");
  add(look.blend == ZE_PARTICLE_BLEND_ALPHA ? "USE_BLEND_ALPHA" : look.blend == ZE_PARTICLE_BLEND_SUB ? "USE_BLEND_SUB" : "USE_BLEND_ADD");
  out->baseMaterial = zeParticleLookMaterialType(look);
}

int zeParticleLookMaterialType(const SZeParticleLook& look) {
  switch (look.blend) {
    case ZE_PARTICLE_BLEND_ALPHA: return irr::video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    case ZE_PARTICLE_BLEND_ADD: return irr::video::EMT_TRANSPARENT_ADD_COLOR;
    case ZE_PARTICLE_BLEND_SUB: return irr::video::EMT_ONETEXTURE_BLEND;
    default: return irr::video::EMT_SOLID;
  }
}
