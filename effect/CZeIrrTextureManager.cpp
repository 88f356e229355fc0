#include "effect/IZeTextureManager.h"

#include "base/zeMessage.h"
#include "effect/CZeEffectDef.h"

irr::video::ITexture* CZeIrrTextureManager::getNamedTexture(const char*) {
  zeNotBuilt("Named engine textures");
  return nullptr;
}

EZeTextureLoad CZeIrrTextureManager::loadTexture(const char* file, int type, irr::video::ITexture** texture) {
  *texture = nullptr;
  if (type == ZE_FX_SAMPLERCUBE || type == ZE_FX_SAMPLER3D) {
    zeNotBuilt("Cube and volume textures");
    return ZE_TEXTURE_NOT_BUILT;
  }
  if (!driver_ || !file) return ZE_TEXTURE_FAILED;
  *texture = driver_->getTexture(file);
  return *texture ? ZE_TEXTURE_LOADED : ZE_TEXTURE_FAILED;
}
