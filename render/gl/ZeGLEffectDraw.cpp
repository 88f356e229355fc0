#include "render/gl/ZeGLEffectDraw.h"

#include "effect/CZeEffect.h"
#include "effect/CZeEffectCallback.h"
#include "render/gl/ZeGLEngineMaterial.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeNodeKind.h"

#include <vector>

using namespace irr;

namespace {

bool hasPass(CZeEffect* effect, int technique, int pass) {
  if (!effect || technique < 0 || size_t(technique) >= effect->techniques().size()) return false;
  return pass >= 0 && size_t(pass) < effect->techniques()[size_t(technique)].passes.size();
}

void drawPass(video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect, int technique, int pass,
              scene::ISceneNode* node, IZeSceneNodeExt* nodeExt, scene::IMeshBuffer* buffer,
              const video::SMaterial& material, int materialIndex, bool noDepth = false) {
  video::SMaterial m = material;
  SZeFxMaterial record;
  if (!effect->applyPass(technique, pass, m, record, noDepth)) return;
  if (const SZeMaterialRecord* row = nodeExt ? nodeExt->getMaterialRecord(u32(materialIndex)) : nullptr)
    effect->applyRowTextures(technique, pass, *row, m, record);
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
                              scene::IMeshBuffer* buffer, const video::SMaterial& material, int materialIndex) {
  if (!driver || !callback || !buffer || !hasPass(effect, technique, 0)) return false;
  if (node) driver->setTransform(video::ETS_WORLD, node->getAbsoluteTransformation());
  const size_t passes = effect->techniques()[size_t(technique)].passes.size();
  for (size_t p = 0; p < passes; ++p)
    drawPass(driver, callback, effect, technique, int(p), node, nodeExt, buffer, material, materialIndex);
  return true;
}

bool zeGLDrawBufferWithEffectPass(video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                                  int technique, int pass, scene::IMeshBuffer* buffer,
                                  const video::SMaterial& material) {
  if (!driver || !callback || !buffer || !hasPass(effect, technique, pass)) return false;
  drawPass(driver, callback, effect, technique, pass, nullptr, nullptr, buffer, material, 0, true);
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

namespace {

struct EffectNode {
  scene::ISceneNode* node;
  IZeSceneNodeExt* ext;
};
struct HiddenRow {
  scene::ISceneNode* node;
  u32 row;
  video::SMaterial saved;
};

bool rowHasEffect(IZeSceneNodeExt* ext, u32 row) { return dynamic_cast<CZeEffect*>(ext->getEffect(row)) != nullptr; }

// The mesh the node draws this frame (an animated mesh's current frame).
scene::IMesh* frameMesh(scene::ISceneNode* node) {
  if (zeObjectKind(node) == ZE_KIND_ANIMATED) {
    auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
    scene::IAnimatedMesh* mesh = animated->getMesh();
    return mesh ? mesh->getMesh(s32(animated->getFrameNr())) : nullptr;
  }
  return zeObjectMesh(node);
}

// Visible subtrees only, as Irrlicht's own registration walks them.
void collect(scene::ISceneNode* node, std::vector<EffectNode>& out) {
  if (!node->isVisible()) return;
  if (IZeSceneNodeExt* ext = zeFindNodeExt(node)) {
    scene::IMesh* mesh = zeObjectMesh(node);
    const u32 rows = mesh ? mesh->getMeshBufferCount() : 0;
    for (u32 i = 0; i < rows; ++i)
      if (rowHasEffect(ext, i)) {
        out.push_back({node, ext});
        break;
      }
  }
  for (scene::ISceneNode* child : node->getChildren()) collect(child, out);
}

}  // namespace

void zeGLDrawSceneWithEffects(scene::ISceneManager* smgr, video::IVideoDriver* driver, CZeEffectCallback* callback) {
  if (!smgr) return;
  // Kept between frames: no allocation once they have grown.
  static std::vector<EffectNode> nodes;
  static std::vector<HiddenRow> hidden;
  nodes.clear();
  hidden.clear();
  if (driver && callback) collect(smgr->getRootSceneNode(), nodes);
  video::SMaterial writesNothing;
  writesNothing.Lighting = false;
  writesNothing.ZWriteEnable = false;
  writesNothing.ColorMask = video::ECP_NONE;
  for (const EffectNode& e : nodes) {
    // An animator may delete the node during the scene manager's draw.
    e.node->grab();
    for (u32 i = 0; i < e.node->getMaterialCount(); ++i)
      if (rowHasEffect(e.ext, i)) {
        hidden.push_back({e.node, i, e.node->getMaterial(i)});
        e.node->getMaterial(i) = writesNothing;
      }
  }
  smgr->drawAll();
  for (const HiddenRow& h : hidden) h.node->getMaterial(h.row) = h.saved;
  // The scene manager left the active camera's view and projection set.
  for (const EffectNode& e : nodes) {
    if (e.node->getParent() && e.node->isTrulyVisible() && !smgr->isCulled(e.node))
      zeGLDrawMeshWithEffects(driver, callback, e.node, e.ext, frameMesh(e.node));
    e.node->drop();
  }
}
