// The surface manager: the one maker of surfaces, owned by the engine
// manager (its surface-manager slot).
#pragma once

#include "mesh/IZeSurface.h"

class IZeSurfaceManager {
 public:
  virtual ~IZeSurfaceManager() = default;
  // "lightwave" or "lightwave_hv"; any other name gives nullptr. One reference, the caller's.
  virtual IZeSurface* createSurface(const char* name) = 0;
  // ZE_SURFACE_LIGHTWAVE or ZE_SURFACE_LIGHTWAVE_HV; any other kind gives nullptr.
  virtual IZeSurface* createSurface(irr::u32 kind) = 0;
};

class CZeSurfaceManager final : public IZeSurfaceManager {
 public:
  IZeSurface* createSurface(const char* name) override;
  IZeSurface* createSurface(irr::u32 kind) override;
};

// Registers the engine manager's surface-manager slot (before engine start).
void zeSurfaceRegister();
// The engine's surface manager, or nullptr when the engine has none.
CZeSurfaceManager* zeSurfaceManager();
