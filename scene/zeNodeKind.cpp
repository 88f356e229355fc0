#include "scene/zeNodeKind.h"

#include "scene/CZeMDDMeshSceneNode.h"
#include "scene/CZeMorphMeshSceneNode.h"

using namespace irr;

ZeObjectKind zeObjectKind(const scene::ISceneNode* node) {
  if (!node) return ZE_KIND_UNSUPPORTED;
  switch (static_cast<u32>(node->getType())) {
    case scene::ESNT_MESH: return ZE_KIND_STATIC;
    case scene::ESNT_ANIMATED_MESH: return ZE_KIND_ANIMATED;
    case ZE_NODE_TYPE_MORPH: return ZE_KIND_MORPH;
    case ZE_NODE_TYPE_MDD: return ZE_KIND_MDD;
    default: return ZE_KIND_UNSUPPORTED;
  }
}

scene::IMesh* zeObjectMesh(scene::ISceneNode* node) {
  switch (zeObjectKind(node)) {
    case ZE_KIND_STATIC: return static_cast<scene::IMeshSceneNode*>(node)->getMesh();
    case ZE_KIND_ANIMATED: return static_cast<scene::IAnimatedMeshSceneNode*>(node)->getMesh();
    case ZE_KIND_MDD: return static_cast<CZeMDDMeshSceneNode*>(node)->getMesh();
    case ZE_KIND_MORPH: return static_cast<CZeMorphMeshSceneNode*>(node)->getMesh();
    default: return nullptr;
  }
}

u32 zeMeshFrameCount(scene::IAnimatedMesh* mesh) {
  if (!mesh) return 0;
  const u32 frames = mesh->getFrameCount();
  // A skinned mesh counts the frames of its animation (0 without one); any
  // other mesh animates only with two key meshes or more.
  if (mesh->getMeshType() == scene::EAMT_SKINNED) return frames;
  return frames > 1 ? frames : 0;
}

