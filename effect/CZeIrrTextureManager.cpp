#include "effect/IZeTextureManager.h"

#include "base/zeMessage.h"
#include "effect/CZeEffectDef.h"

irr::video::ITexture* CZeIrrTextureManager::getNamedTexture(const char*) {
  static bool said = false;
  if (!said) zeMessage(ZE_INFO, "CZeIrrTextureManager: named engine textures are not built yet");
  said = true;
  return nullptr;
}

EZeTextureLoad CZeIrrTextureManager::loadTexture(const char* file, int type, irr::video::ITexture** texture) {
  *texture = nullptr;
  if (type == ZE_FX_SAMPLERCUBE || type == ZE_FX_SAMPLER3D) {
    static bool said = false;
    if (!said) zeMessage(ZE_INFO, "CZeIrrTextureManager: cube and volume textures are not built yet");
    said = true;
    return ZE_TEXTURE_NOT_BUILT;
  }
  if (!driver_ || !file) return ZE_TEXTURE_FAILED;
  *texture = driver_->getTexture(file);
  return *texture ? ZE_TEXTURE_LOADED : ZE_TEXTURE_FAILED;
}
