// The engine manager: owns the sub-managers and releases them in the reverse
// order of their creation.
//
// The shell cannot depend on the subsystems that build the sub-managers, so
// each of them registers its slot's create/destroy pair with
// zeSetManagerSlot(); the manager runs the slots in their fixed order. A slot
// nobody registered stays empty (its getter returns nullptr).
#pragma once

#include <irrlicht.h>

#include "app/MyEventReceiver.h"

class CZeGPUProgrammingServices;
class CZeEffectManager;
class CZeEffectTechLookup;
class CZeSceneManager;
class CZeTextureManager;
class CZeSurfaceManager;
class CZeRendererManager;
class CZeRenderServices;
class IZeVideoDriverExt;
class CZeResourceManager;

// Construction order; destruction runs backwards.
enum class ZeManagerSlot {
  GPUProgrammingServices,
  SceneManager,
  SurfaceManager,
  RendererManager,
  DriverExtension,
  EffectTechLookup,
  RenderServices,  // the slots below are built only when this one succeeded
  TextureManager,
  EffectManager,
  ResourceManager,
  ImageLoaders,  // registered with the driver, which owns them; no destroy
  Count
};

class CZeManager;

struct ZeManagerSlotHooks {
  // Builds the slot's object and stores it in the manager with the slot's
  // setter (setSceneManager, ...). false fails the manager's creation.
  bool (*create)(CZeManager& manager) = nullptr;
  // Releases the slot's object and clears it with the slot's setter.
  void (*destroy)(CZeManager& manager) = nullptr;
};

void zeSetManagerSlot(ZeManagerSlot slot, const ZeManagerSlotHooks& hooks);

class IZeManager {
 public:
  virtual ~IZeManager() = default;
  virtual CZeGPUProgrammingServices* getGPUProgrammingServices() = 0;
  virtual CZeEffectManager* getEffectManager() = 0;
  virtual CZeSceneManager* getSceneManager() = 0;
  virtual CZeTextureManager* getTextureManager() = 0;
  virtual CZeSurfaceManager* getSurfaceManager() = 0;
  virtual CZeRendererManager* getRendererManager() = 0;
  virtual CZeRenderServices* getRenderServices() = 0;
  virtual IZeVideoDriverExt* getDriverExtension() = 0;
  virtual CZeResourceManager* getResourceManager() = 0;
  virtual SZeEventReceiver* getInputRecord() = 0;
  virtual void onDeviceReset() = 0;
};

class CZeManager final : public IZeManager {
 public:
  // nullptr when a slot fails (everything built so far is released again).
  static CZeManager* create(irr::IrrlichtDevice* device);
  ~CZeManager() override;

  CZeGPUProgrammingServices* getGPUProgrammingServices() override;
  CZeEffectManager* getEffectManager() override;
  CZeSceneManager* getSceneManager() override;
  CZeTextureManager* getTextureManager() override;
  CZeSurfaceManager* getSurfaceManager() override;
  CZeRendererManager* getRendererManager() override;
  CZeRenderServices* getRenderServices() override;
  IZeVideoDriverExt* getDriverExtension() override;
  CZeResourceManager* getResourceManager() override;
  SZeEventReceiver* getInputRecord() override { return &input_; }
  void onDeviceReset() override {}  // no device reset on OpenGL

  irr::IrrlichtDevice* device() const { return device_; }

  // Wiring: each slot's create hook stores its object here, its destroy hook
  // clears it. Each setter takes only its slot's type, so wiring the wrong
  // object into a slot does not compile.
  void setGPUProgrammingServices(CZeGPUProgrammingServices* object) { gpuProgrammingServices_ = object; }
  void setEffectManager(CZeEffectManager* object) { effectManager_ = object; }
  void setEffectTechLookup(CZeEffectTechLookup* object) { effectTechLookup_ = object; }
  void setSceneManager(CZeSceneManager* object) { sceneManager_ = object; }
  void setTextureManager(CZeTextureManager* object) { textureManager_ = object; }
  void setSurfaceManager(CZeSurfaceManager* object) { surfaceManager_ = object; }
  void setRendererManager(CZeRendererManager* object) { rendererManager_ = object; }
  void setRenderServices(CZeRenderServices* object) { renderServices_ = object; }
  void setDriverExtension(IZeVideoDriverExt* object) { driverExtension_ = object; }
  void setResourceManager(CZeResourceManager* object) { resourceManager_ = object; }
  CZeEffectTechLookup* getEffectTechLookup() { return effectTechLookup_; }

 private:
  explicit CZeManager(irr::IrrlichtDevice* device);
  void releaseFrom(int count);

  irr::IrrlichtDevice* device_;
  SZeEventReceiver input_;
  CZeGPUProgrammingServices* gpuProgrammingServices_ = nullptr;
  CZeEffectManager* effectManager_ = nullptr;
  CZeEffectTechLookup* effectTechLookup_ = nullptr;
  CZeSceneManager* sceneManager_ = nullptr;
  CZeTextureManager* textureManager_ = nullptr;
  CZeSurfaceManager* surfaceManager_ = nullptr;
  CZeRendererManager* rendererManager_ = nullptr;
  CZeRenderServices* renderServices_ = nullptr;
  IZeVideoDriverExt* driverExtension_ = nullptr;
  CZeResourceManager* resourceManager_ = nullptr;
  int built_ = 0;  // slots created so far
};
