#include "render/gl/ZeGLDrawList.h"


#include "app/zeEngine.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectCallback.h"
#include "effect/CZeEffectManager.h"
#include "render/gl/ZeGLEffectDraw.h"
#include "render/zeEffectManagerSlot.h"

using namespace irr;

namespace {

// The effect callback of the engine's effect manager (none on the NULL
// driver, where effects draw nothing).
CZeEffectCallback* engineCallback() {
  CZeEffectManager* manager = zeEffectManager();
  if (!manager || !zeEngineContext().openGL) return nullptr;
  return dynamic_cast<CZeEffectCallback*>(manager->defaultCallback());
}

// The light's driver data follows its node: position for point and spot
// lights, the node's +z for spot and directional ones.
void followNode(scene::ILightSceneNode* light) {
  video::SLight& data = light->getLightData();
  if (data.Type == video::ELT_SPOT || data.Type == video::ELT_DIRECTIONAL) {
    core::vector3df direction(0, 0, 1);
    light->getAbsoluteTransformation().rotateVect(direction);
    data.Direction = direction.normalize();
  }
  if (data.Type == video::ELT_SPOT || data.Type == video::ELT_POINT) data.Position = light->getAbsolutePosition();
}

int lightPass(video::IVideoDriver* driver, const ZeDrawList& list) {
  driver->deleteAllDynamicLights();
  if (list.view().scene) driver->setAmbientLight(list.view().scene->getAmbientLight());
  // The nearest lights, as many as the driver has.
  const u32 most = driver->getMaximalDynamicLightAmount();
  u32 set = 0;
  for (const SZeDrawItem& item : list.pass(ZE_PASS_LIGHT)) {
    if (set == most) break;
    auto* light = static_cast<scene::ILightSceneNode*>(item.node);
    followNode(light);
    light->render();
    ++set;
  }
  return int(set);
}

}  // namespace

bool zeGLDrawItem(video::IVideoDriver* driver, CZeEffectCallback* callback, const SZeDrawItem& item,
                  const SZeDrawOptions& options, int techniqueId, bool setWorld) {
  if (!item.buffer || !item.material) return false;
  int technique = item.technique;
  if (techniqueId >= 0) {
    technique = item.effect ? item.effect->techniqueForId(techniqueId) : -1;
    if (technique < 0) return false;
  }
  video::SMaterial material = *item.material;
  if (options.overrideMaterial) options.overrideMaterial->apply(material);
  if (item.effect) {
    return callback && zeGLDrawBufferWithEffect(driver, callback, item.effect, technique, item.node, item.ext,
                                                item.buffer, material, int(item.row), options.flipWinding);
  }
  if (options.flipWinding) zeFlipWinding(material);
  if (setWorld) driver->setTransform(video::ETS_WORLD, item.node->getAbsoluteTransformation());
  driver->setMaterial(material);
  driver->drawMeshBuffer(item.buffer);
  return true;
}

int zeGLExecuteDrawList(video::IVideoDriver* driver, const ZeDrawList& list, const SZeDrawOptions& options) {
  if (!driver) return 0;
  int techniqueId = options.techniqueId;
  if (options.techniqueName) {
    CZeEffectManager* manager = zeEffectManager();
    techniqueId = manager ? manager->getTechniqueId(options.techniqueName) : -1;
    if (techniqueId < 0) return -1;
  }
  int drawn = 0;
  if (options.passes & ZE_PASS_CAMERA)
    for (const SZeDrawItem& item : list.pass(ZE_PASS_CAMERA)) {
      item.node->render();
      ++drawn;
    }
  if (options.passes & ZE_PASS_LIGHT) drawn += lightPass(driver, list);
  CZeEffectCallback* callback = engineCallback();
  for (ZeDrawPass pass : {ZE_PASS_SOLID, ZE_PASS_TRANSPARENT, ZE_PASS_EFFECT}) {
    if (!(options.passes & pass)) continue;
    const scene::ISceneNode* previous = nullptr;
    for (const SZeDrawItem& item : list.pass(pass)) {
      const bool drew = zeGLDrawItem(driver, callback, item, options, techniqueId, item.node != previous);
      drawn += drew ? 1 : 0;
      // The world stays set for the node's next buffer; an effect draw (or
      // none) leaves it to be set again.
      previous = drew && !item.effect ? item.node : nullptr;
    }
  }
  return drawn;
}
