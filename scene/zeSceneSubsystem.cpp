#include "scene/zeSceneSubsystem.h"

#include <new>

#include "app/CZeManager.h"
#include "mesh/CZeSurfaceManager.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeScene.h"

namespace {

bool createSceneManager(CZeManager& manager) {
  CZeSceneManager* sceneManager = new (std::nothrow) CZeSceneManager(manager.device());
  if (!sceneManager) return false;
  manager.setSceneManager(sceneManager);
  return true;
}

void destroySceneManager(CZeManager& manager) {
  // The layers that made objects and lights release them; the tables only
  // point at them. Scenes go first: they own their views and bases.
  zeDeleteAllScenes();
  zeDeleteAllObjects();
  zeDeleteAllLights();
  delete manager.getSceneManager();
  manager.setSceneManager(nullptr);
}

}  // namespace

void zeSceneRegister() {
  ZeManagerSlotHooks hooks;
  hooks.create = createSceneManager;
  hooks.destroy = destroySceneManager;
  zeSetManagerSlot(ZeManagerSlot::SceneManager, hooks);
  // Objects give each material a surface.
  zeSurfaceRegister();
}
