#include "app/CZeManager.h"

namespace {
ZeManagerSlotHooks slotHooks[static_cast<int>(ZeManagerSlot::Count)];
}

void zeSetManagerSlot(ZeManagerSlot slot, const ZeManagerSlotHooks& hooks) {
  slotHooks[static_cast<int>(slot)] = hooks;
}

CZeManager::CZeManager(irr::IrrlichtDevice* device) : device_(device) { input_.clear(); }

CZeManager* CZeManager::create(irr::IrrlichtDevice* device) {
  CZeManager* manager = new CZeManager(device);
  for (int i = 0; i < static_cast<int>(ZeManagerSlot::Count); ++i) {
    const ZeManagerSlotHooks& hooks = slotHooks[i];
    if (hooks.create && !hooks.create(*manager)) {
      delete manager;  // releases the slots built before this one
      return nullptr;
    }
    manager->built_ = i + 1;
  }
  return manager;
}

void CZeManager::releaseFrom(int count) {
  for (int i = count - 1; i >= 0; --i) {
    if (slotHooks[i].destroy) slotHooks[i].destroy(*this);
    slots_[i] = nullptr;
  }
}

CZeManager::~CZeManager() {
  releaseFrom(built_);
  input_.clear();
}

#define ZE_SLOT_GETTER(Type, name, which) \
  Type* CZeManager::name() { return static_cast<Type*>(slot(ZeManagerSlot::which)); }

ZE_SLOT_GETTER(CZeGPUProgrammingServices, getGPUProgrammingServices, GPUProgrammingServices)
ZE_SLOT_GETTER(CZeEffectManager, getEffectManager, EffectManager)
ZE_SLOT_GETTER(CZeSceneManager, getSceneManager, SceneManager)
ZE_SLOT_GETTER(CZeTextureManager, getTextureManager, TextureManager)
ZE_SLOT_GETTER(CZeSurfaceManager, getSurfaceManager, SurfaceManager)
ZE_SLOT_GETTER(CZeRendererManager, getRendererManager, RendererManager)
ZE_SLOT_GETTER(CZeRenderServices, getRenderServices, RenderServices)
ZE_SLOT_GETTER(IZeVideoDriverExt, getDriverExtension, DriverExtension)
ZE_SLOT_GETTER(CZeResourceManager, getResourceManager, ResourceManager)

#undef ZE_SLOT_GETTER
