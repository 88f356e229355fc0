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
  for (int i = count - 1; i >= 0; --i)
    if (slotHooks[i].destroy) slotHooks[i].destroy(*this);
}

CZeManager::~CZeManager() {
  releaseFrom(built_);
  input_.clear();
}
