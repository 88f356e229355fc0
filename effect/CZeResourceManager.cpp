#include "effect/CZeResourceManager.h"

#include "base/zeMessage.h"
#include "effect/CZeEffectManager.h"

CZeResourceManager::~CZeResourceManager() {
  replace(cubeToLatLong_, nullptr);
  for (CZeEffect*& e : filter_) replace(e, nullptr);
  replace(harmonics_, nullptr);
}

// Takes over the caller's reference.
void CZeResourceManager::replace(CZeEffect*& slot, CZeEffect* effect) {
  if (slot) slot->drop();
  slot = effect;
}

bool CZeResourceManager::initEffectCubeMapToLatLong(const char* file) {
  CZeEffect* e = effects_ ? effects_->createEffect(file, -1, nullptr, nullptr) : nullptr;
  if (!e) {
    zeMessage(ZE_ERROR, "CZeResourceManager::initEffectCubeMapToLatLong failed to load %s ", file ? file : "");
    return false;
  }
  replace(cubeToLatLong_, e);
  if (sink_) sink_->setEffectCubeMapToLatLong(e);
  return true;
}

bool CZeResourceManager::initEffectReflectionMapFilter(const char* file) {
  const SZeShaderMacro cube[] = {{"USE_REFLECCUBE", ""}, {"", ""}};
  const SZeShaderMacro seamless[] = {{"USE_REFLECCUBE", ""}, {"USE_SEAMLESS", ""}, {"", ""}};
  const SZeShaderMacro* variants[3] = {nullptr, cube, seamless};
  CZeEffect* made[3] = {nullptr, nullptr, nullptr};
  bool ok = effects_ != nullptr;
  for (int i = 0; i < 3 && ok; ++i) ok = (made[i] = effects_->createEffect(file, -1, variants[i], nullptr)) != nullptr;
  if (!ok) {
    for (CZeEffect* e : made)
      if (e) e->drop();
    zeMessage(ZE_ERROR, "CZeResourceManager::initEffectReflectionMapFilter failed to load %s ", file ? file : "");
    return false;
  }
  // All three together, or none.
  for (int i = 0; i < 3; ++i) replace(filter_[i], made[i]);
  if (sink_) sink_->setEffectsReflectionMapFilter(made[0], made[1], made[2]);
  return true;
}

bool CZeResourceManager::initEffectSphericalHarmonicsProbes(const char* file) {
  CZeEffect* e = effects_ ? effects_->createEffect(file, -1, nullptr, nullptr) : nullptr;
  if (!e) {
    zeMessage(ZE_ERROR, "CZeResourceManager::initEffectSphericalHarmonicsProbes failed to load %s ", file ? file : "");
    return false;
  }
  replace(harmonics_, e);
  if (sink_) sink_->setEffectSphericalHarmonicsProbes(e);
  return true;
}
