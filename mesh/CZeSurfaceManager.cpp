#include "mesh/CZeSurfaceManager.h"

#include <cstring>
#include <new>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "mesh/CZeSurfaceLightwave.h"
#include "mesh/CZeSurfaceLightwaveHV.h"

IZeSurface* CZeSurfaceManager::createSurface(const char* name) {
  if (!name) return nullptr;
  if (std::strcmp(name, "lightwave") == 0) return createSurface(ZE_SURFACE_LIGHTWAVE);
  if (std::strcmp(name, "lightwave_hv") == 0) return createSurface(ZE_SURFACE_LIGHTWAVE_HV);
  return nullptr;
}

IZeSurface* CZeSurfaceManager::createSurface(irr::u32 kind) {
  if (kind == ZE_SURFACE_LIGHTWAVE) return new (std::nothrow) CZeSurfaceLightwave;
  if (kind == ZE_SURFACE_LIGHTWAVE_HV) return new (std::nothrow) CZeSurfaceLightwaveHV;
  return nullptr;
}

namespace {

bool createManager(CZeManager& manager) {
  CZeSurfaceManager* surfaces = new (std::nothrow) CZeSurfaceManager;
  if (!surfaces) return false;
  manager.setSurfaceManager(surfaces);
  return true;
}

// Surfaces are counted and live on in the rows that hold them; only the maker goes.
void destroyManager(CZeManager& manager) {
  delete manager.getSurfaceManager();
  manager.setSurfaceManager(nullptr);
}

}  // namespace

void zeSurfaceRegister() { zeSetManagerSlot(ZeManagerSlot::SurfaceManager, {createManager, destroyManager}); }

CZeSurfaceManager* zeSurfaceManager() {
  CZeManager* manager = zeEngineContext().manager;
  return manager ? manager->getSurfaceManager() : nullptr;
}
