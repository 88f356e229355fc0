#include "render/gl/ZeGLEffectDraw.h"

#include "effect/CZeEffect.h"
#include "effect/CZeEffectCallback.h"
#include "render/gl/ZeGLEngineMaterial.h"
#include "scene/IZeSceneNodeExt.h"

using namespace irr;

bool zeGLDrawBufferWithEffect(video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                              int technique, scene::ISceneNode* node, IZeSceneNodeExt* nodeExt,
                              scene::IMeshBuffer* buffer, const video::SMaterial& material, int materialIndex) {
  if (!driver || !callback || !effect || !buffer || technique < 0 ||
      size_t(technique) >= effect->techniques().size() || effect->techniques()[size_t(technique)].passes.empty())
    return false;
  if (node) driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
  const size_t passes = effect->techniques()[size_t(technique)].passes.size();
  for (size_t p = 0; p < passes; ++p) {
    video::SMaterial m = material;
    SZeFxMaterial record;
    if (!effect->applyPass(technique, int(p), m, record)) continue;
    SZeEffectDrawContext context;
    context.node = node;
    context.nodeExt = nodeExt;
    context.meshBuffer = buffer;
    context.material = &m;
    context.record = &record;
    context.materialIndex = materialIndex;
    callback->setDraw(effect, technique, int(p), &context);
    zeGLSetEngineMaterial(&record);
    driver->setMaterial(m);
    driver->drawMeshBuffer(buffer);
    // The context lives on this stack: nothing may reach it after the draw.
    callback->clearDraw();
    zeGLSetEngineMaterial(nullptr);
  }
  return true;
}

void zeGLDrawMeshWithEffects(video::IVideoDriver* driver, CZeEffectCallback* callback, scene::ISceneNode* node,
                             IZeSceneNodeExt* nodeExt, scene::IMesh* mesh) {
  if (!driver || !mesh) return;
  for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
    const video::SMaterial& material =
        node && i < node->getMaterialCount() ? node->getMaterial(i) : buffer->getMaterial();
    auto* effect = nodeExt ? dynamic_cast<CZeEffect*>(nodeExt->getEffect(i)) : nullptr;
    if (effect) {
      const SZeMaterialRecord* record = nodeExt->getMaterialRecord(i);
      zeGLDrawBufferWithEffect(driver, callback, effect, record ? record->technique : 0, node, nodeExt, buffer,
                               material, int(i));
      continue;
    }
    if (node) driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
    driver->setMaterial(material);
    driver->drawMeshBuffer(buffer);
  }
}
