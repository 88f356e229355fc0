// The engine manager: owns the sub-managers and releases them in the reverse
// order of their creation.
//
// The shell cannot depend on the subsystems that build the sub-managers, so
// each of them registers its slot's create/destroy pair with
// zeSetManagerSlot(); the manager runs the slots in their fixed order. A slot
// nobody registered stays empty (its getter returns nullptr). A subsystem
// that brings a manager of its own (textures, render services, renderers)
// adds its slot here when it is built.
#pragma once

#include <irrlicht.h>

#include "app/MyEventReceiver.h"

class CZeGPUProgrammingServices;
class CZeEffectManager;
class CZeSceneManager;
class CZeSurfaceManager;
class CZeResourceManager;

// Construction order; destruction runs backwards.
enum class ZeManagerSlot {
  GPUProgrammingServices,
  SceneManager,
  SurfaceManager,  // filled by the surface subsystem
  EffectManager,
  ResourceManager,
  ImageLoaders,  // registered with the driver, which owns them; the release shuts the 2D layer down
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
  virtual CZeSurfaceManager* getSurfaceManager() = 0;
  virtual CZeResourceManager* getResourceManager() = 0;
  virtual SZeEventReceiver* getInputRecord() = 0;
  virtual void onDeviceReset() = 0;
};

class CZeManager final : public IZeManager {
 public:
  // nullptr when a slot fails (everything built so far is released again).
  static CZeManager* create(irr::IrrlichtDevice* device);
  ~CZeManager() override;

  CZeGPUProgrammingServices* getGPUProgrammingServices() override { return gpuProgrammingServices_; }
  CZeEffectManager* getEffectManager() override { return effectManager_; }
  CZeSceneManager* getSceneManager() override { return sceneManager_; }
  CZeSurfaceManager* getSurfaceManager() override { return surfaceManager_; }
  CZeResourceManager* getResourceManager() override { return resourceManager_; }
  SZeEventReceiver* getInputRecord() override { return &input_; }
  void onDeviceReset() override {}  // no device reset on OpenGL

  irr::IrrlichtDevice* device() const { return device_; }

  // Wiring: each slot's create hook stores its object here, its destroy hook
  // clears it. Each setter takes only its slot's type, so wiring the wrong
  // object into a slot does not compile.
  void setGPUProgrammingServices(CZeGPUProgrammingServices* object) { gpuProgrammingServices_ = object; }
  void setEffectManager(CZeEffectManager* object) { effectManager_ = object; }
  void setSceneManager(CZeSceneManager* object) { sceneManager_ = object; }
  void setSurfaceManager(CZeSurfaceManager* object) { surfaceManager_ = object; }
  void setResourceManager(CZeResourceManager* object) { resourceManager_ = object; }

 private:
  explicit CZeManager(irr::IrrlichtDevice* device);
  void releaseFrom(int count);

  irr::IrrlichtDevice* device_;
  SZeEventReceiver input_;
  CZeGPUProgrammingServices* gpuProgrammingServices_ = nullptr;
  CZeEffectManager* effectManager_ = nullptr;
  CZeSceneManager* sceneManager_ = nullptr;
  CZeSurfaceManager* surfaceManager_ = nullptr;
  CZeResourceManager* resourceManager_ = nullptr;
  int built_ = 0;  // slots created so far
};
