// Gathering a view's draw list.
//
// Contents: the list · culling · gathering · node drawers (the mesh drawer).
#include "render/zeDrawList.h"

#include <algorithm>

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "scene/CZeDeformedMeshSceneNode.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeNodeKind.h"

using namespace irr;

// --- The list -------------------------------------------------------------------------

int ZeDrawList::slot(ZeDrawPass pass) {
  switch (pass) {
    case ZE_PASS_CAMERA: return 0;
    case ZE_PASS_LIGHT: return 1;
    case ZE_PASS_SOLID: return 2;
    case ZE_PASS_TRANSPARENT: return 3;
    case ZE_PASS_EFFECT: return 4;
    default: return 5;
  }
}

size_t ZeDrawList::size() const {
  size_t n = 0;
  for (const std::vector<SZeDrawItem>& items : passes_) n += items.size();
  return n;
}

void ZeDrawList::clear() {
  for (std::vector<SZeDrawItem>& items : passes_) items.clear();
  order_ = 0;
}

void ZeDrawList::add(const SZeDrawItem& item) {
  std::vector<SZeDrawItem>& items = passes_[slot(item.pass)];
  items.push_back(item);
  items.back().order = order_++;
}

void ZeDrawList::addBuffer(scene::ISceneNode* node, IZeSceneNodeExt* ext, scene::IMeshBuffer* buffer,
                           const video::SMaterial& material, u32 row, u32 pass) {
  if (!buffer) return;
  SZeDrawItem item;
  item.node = node;
  item.ext = ext;
  item.buffer = buffer;
  item.material = &material;
  item.row = row;
  if (ext) {
    // Only a built effect draws: a row may carry another kind of effect.
    item.effect = dynamic_cast<CZeEffect*>(ext->getEffect(row));
    if (item.effect)
      if (const SZeMaterialRecord* record = ext->getMaterialRecord(row)) item.technique = record->technique;
  }
  if (pass) {
    item.pass = ZeDrawPass(pass);
  } else {
    video::IMaterialRenderer* renderer = view_.scene->getVideoDriver()->getMaterialRenderer(material.MaterialType);
    item.pass = renderer && renderer->isTransparent() ? ZE_PASS_TRANSPARENT : ZE_PASS_SOLID;
  }
  item.distance = node->getAbsolutePosition().getDistanceFromSQ(eye_);
  add(item);
}

void ZeDrawList::finish() {
  // Lights nearest first; transparent things back to front; ties keep the
  // order they were gathered in.
  auto nearest = [](const SZeDrawItem& a, const SZeDrawItem& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.order < b.order;
  };
  auto farthest = [](const SZeDrawItem& a, const SZeDrawItem& b) {
    return a.distance != b.distance ? a.distance > b.distance : a.order < b.order;
  };
  std::sort(passes_[1].begin(), passes_[1].end(), nearest);
  std::sort(passes_[3].begin(), passes_[3].end(), farthest);
  std::sort(passes_[4].begin(), passes_[4].end(), farthest);
}

// --- Culling -----------------------------------------------------------------------------

bool zeDrawViewCulls(const SZeDrawView& view, scene::ISceneNode* node) {
  if (!view.camera || node->getAutomaticCulling() == scene::EAC_OFF) return false;
  const scene::SViewFrustum* frustum = view.camera->getViewFrustum();
  if (!frustum) return false;
  core::vector3df corners[8];
  node->getBoundingBox().getEdges(corners);
  const core::matrix4& world = node->getAbsoluteTransformation();
  for (core::vector3df& corner : corners) world.transformVect(corner);
  // Outside when every corner lies in front of one plane (the planes face out).
  for (int p = 0; p < scene::SViewFrustum::VF_PLANE_COUNT; ++p) {
    bool allOutside = true;
    for (const core::vector3df& corner : corners)
      if (frustum->planes[p].classifyPointRelation(corner) != core::ISREL3D_FRONT) {
        allOutside = false;
        break;
      }
    if (allOutside) return true;
  }
  return false;
}

// --- Gathering ---------------------------------------------------------------------------

void ZeDrawList::visit(scene::ISceneNode* node) {
  if (!node->isVisible()) return;  // with its subtree, as Irrlicht's own walks do
  const u32 type = node->getType();
  SZeDrawItem item;
  item.node = node;
  item.distance = node->getAbsolutePosition().getDistanceFromSQ(eye_);
  if (type == scene::ESNT_CAMERA) {
    if (node == view_.camera) {
      item.pass = ZE_PASS_CAMERA;
      add(item);
    }
  } else if (type == scene::ESNT_LIGHT) {
    item.pass = ZE_PASS_LIGHT;
    add(item);
  } else if (IZeNodeDrawer* drawer = zeNodeDrawer(type)) {
    if (!zeDrawViewCulls(view_, node) && !drawer->collect(node, *this)) {
      item.pass = ZE_PASS_IRRLICHT;
      add(item);
    }
  } else {
    item.pass = ZE_PASS_IRRLICHT;
    add(item);
  }
  for (scene::ISceneNode* child : node->getChildren()) visit(child);
}

void zeCollectDrawList(const SZeDrawView& view, ZeDrawList* list) {
  list->clear();
  list->view_ = view;
  if (!view.scene) return;
  list->eye_ = view.camera ? view.camera->getAbsolutePosition() : core::vector3df(0, 0, 0);
  scene::ISceneNode* root = view.scene->getRootSceneNode();
  if (!root->isVisible()) return;
  for (scene::ISceneNode* child : root->getChildren()) list->visit(child);
  list->finish();
}

// --- Node drawers ------------------------------------------------------------------------

namespace {

// Objects: every buffer of the mesh the node draws this frame, with the
// node's material for it (the buffer's own when the node reads it only).
class CZeMeshNodeDrawer : public IZeNodeDrawer {
 public:
  bool collect(scene::ISceneNode* node, ZeDrawList& list) override {
    scene::IMesh* mesh = nullptr;
    bool readOnly = false;
    switch (zeObjectKind(node)) {
      case ZE_KIND_STATIC: {
        auto* meshNode = static_cast<scene::IMeshSceneNode*>(node);
        mesh = meshNode->getMesh();
        readOnly = meshNode->isReadOnlyMaterials();
        break;
      }
      case ZE_KIND_ANIMATED: {
        auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(node);
        scene::IAnimatedMesh* frames = animated->getMesh();
        // Skinning follows the node's joints: Irrlicht draws those itself.
        if (!frames || frames->getMeshType() == scene::EAMT_SKINNED) return false;
        const f32 frame = animated->getFrameNr();
        mesh = frames->getMesh(s32(frame), s32(core::fract(frame) * 1000.0f), animated->getStartFrame(),
                               animated->getEndFrame());
        readOnly = animated->isReadOnlyMaterials();
        break;
      }
      case ZE_KIND_MORPH:
      case ZE_KIND_MDD: mesh = static_cast<CZeDeformedMeshSceneNode*>(node)->getMesh(); break;
      default: return false;
    }
    if (!mesh) return true;
    IZeSceneNodeExt* ext = zeFindNodeExt(node);
    const u32 materials = node->getMaterialCount();
    for (u32 i = 0; i < mesh->getMeshBufferCount(); ++i) {
      scene::IMeshBuffer* buffer = mesh->getMeshBuffer(i);
      if (!buffer) continue;
      const video::SMaterial& material = !readOnly && i < materials ? node->getMaterial(i) : buffer->getMaterial();
      list.addBuffer(node, ext, buffer, material, i);
    }
    return true;
  }
};

CZeMeshNodeDrawer meshDrawer;

struct DrawerEntry {
  u32 type;
  IZeNodeDrawer* drawer;
};
// Few node types ever have a drawer: a short array searched in order.
DrawerEntry drawers[16] = {{scene::ESNT_MESH, &meshDrawer},
                           {scene::ESNT_ANIMATED_MESH, &meshDrawer},
                           {ZE_NODE_TYPE_MORPH, &meshDrawer},
                           {ZE_NODE_TYPE_MDD, &meshDrawer}};
int drawerCount = 4;

}  // namespace

bool zeSetNodeDrawer(u32 nodeType, IZeNodeDrawer* drawer) {
  for (int i = 0; i < drawerCount; ++i)
    if (drawers[i].type == nodeType) {
      if (drawer)
        drawers[i].drawer = drawer;
      else
        drawers[i] = drawers[--drawerCount];
      return true;
    }
  if (!drawer) return true;
  if (drawerCount == int(sizeof drawers / sizeof drawers[0])) {
    zeMessage(ZE_ERROR, "Node drawers: no room for node type %08x (%d types have one)", nodeType, drawerCount);
    return false;
  }
  drawers[drawerCount++] = {nodeType, drawer};
  return true;
}

IZeNodeDrawer* zeNodeDrawer(u32 nodeType) {
  for (int i = 0; i < drawerCount; ++i)
    if (drawers[i].type == nodeType) return drawers[i].drawer;
  return nullptr;
}
