#include "render/gl/ZeGLEffectDraw.h"

#include "effect/CZeEffect.h"
#include "effect/CZeEffectCallback.h"
#include "render/gl/ZeGLEngineMaterial.h"
#include "scene/IZeSceneNodeExt.h"


using namespace irr;

namespace {

bool hasPass(CZeEffect* effect, int technique, int pass) {
  if (!effect || technique < 0 || size_t(technique) >= effect->techniques().size()) return false;
  return pass >= 0 && size_t(pass) < effect->techniques()[size_t(technique)].passes.size();
}

void drawPass(video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect, int technique, int pass,
              scene::ISceneNode* node, IZeSceneNodeExt* nodeExt, scene::IMeshBuffer* buffer,
              const video::SMaterial& material, int materialIndex, bool noDepth = false, bool flipWinding = false) {
  video::SMaterial m = material;
  SZeFxMaterial record;
  if (!effect->applyPass(technique, pass, m, record, noDepth)) return;
  if (const SZeMaterialRecord* row = nodeExt ? nodeExt->getMaterialRecord(u32(materialIndex)) : nullptr)
    effect->applyRowTextures(technique, pass, *row, m, record);
  // A mirrored view culls the other faces, the pass's own culling included.
  if (flipWinding) zeFlipWinding(m);
  SZeEffectDrawContext context;
  context.node = node;
  context.nodeExt = nodeExt;
  context.meshBuffer = buffer;
  context.material = &m;
  context.record = &record;
  context.materialIndex = materialIndex;
  callback->setDraw(effect, technique, pass, &context);
  zeGLSetEngineMaterial(&record);
  driver->setMaterial(m);
  driver->drawMeshBuffer(buffer);
  // The context lives on this stack: nothing may reach it after the draw.
  callback->clearDraw();
  zeGLSetEngineMaterial(nullptr);
}

}  // namespace

bool zeGLDrawBufferWithEffect(video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                              int technique, scene::ISceneNode* node, IZeSceneNodeExt* nodeExt,
                              scene::IMeshBuffer* buffer, const video::SMaterial& material, int materialIndex,
                              bool flipWinding) {
  if (!driver || !callback || !buffer || !hasPass(effect, technique, 0)) return false;
  if (node) driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
  const size_t passes = effect->techniques()[size_t(technique)].passes.size();
  for (size_t p = 0; p < passes; ++p)
    drawPass(driver, callback, effect, technique, int(p), node, nodeExt, buffer, material, materialIndex, false,
             flipWinding);
  return true;
}

bool zeGLDrawBufferWithEffectPass(video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                                  int technique, int pass, scene::IMeshBuffer* buffer,
                                  const video::SMaterial& material) {
  if (!driver || !callback || !buffer || !hasPass(effect, technique, pass)) return false;
  drawPass(driver, callback, effect, technique, pass, nullptr, nullptr, buffer, material, 0, true);
  return true;
}
