#include "scene/CZeDeformedMeshSceneNode.h"

using namespace irr;

CZeDeformedMeshSceneNode::CZeDeformedMeshSceneNode(scene::IMesh* mesh, scene::ISceneNode* parent,
                                                   scene::ISceneManager* manager, s32 id)
    : ISceneNode(parent, manager, id), Mesh(mesh) {
  Mesh->grab();
  for (u32 b = 0; b < Mesh->getMeshBufferCount(); ++b) Materials.push_back(Mesh->getMeshBuffer(b)->getMaterial());
}

CZeDeformedMeshSceneNode::~CZeDeformedMeshSceneNode() { Mesh->drop(); }

video::SMaterial& CZeDeformedMeshSceneNode::getMaterial(u32 i) {
  return i < Materials.size() ? Materials[i] : ISceneNode::getMaterial(i);
}

void CZeDeformedMeshSceneNode::OnRegisterSceneNode() {
  if (IsVisible) {
    video::IVideoDriver* driver = SceneManager->getVideoDriver();
    bool solid = false, transparent = false;
    for (u32 i = 0; i < Materials.size(); ++i) {
      video::IMaterialRenderer* r = driver->getMaterialRenderer(Materials[i].MaterialType);
      (r && r->isTransparent() ? transparent : solid) = true;
    }
    if (solid) SceneManager->registerNodeForRendering(this, scene::ESNRP_SOLID);
    if (transparent) SceneManager->registerNodeForRendering(this, scene::ESNRP_TRANSPARENT);
  }
  ISceneNode::OnRegisterSceneNode();
}

void CZeDeformedMeshSceneNode::render() {
  video::IVideoDriver* driver = SceneManager->getVideoDriver();
  driver->setTransform(video::ETS_WORLD, AbsoluteTransformation);
  const bool transparentPass = SceneManager->getSceneNodeRenderPass() == scene::ESNRP_TRANSPARENT;
  for (u32 b = 0; b < Mesh->getMeshBufferCount() && b < Materials.size(); ++b) {
    video::IMaterialRenderer* r = driver->getMaterialRenderer(Materials[b].MaterialType);
    if ((r && r->isTransparent()) != transparentPass) continue;
    driver->setMaterial(Materials[b]);
    driver->drawMeshBuffer(Mesh->getMeshBuffer(b));
  }
}

void CZeDeformedMeshSceneNode::copyInto(CZeDeformedMeshSceneNode* clone) {
  clone->cloneMembers(this, SceneManager);
  clone->Materials = Materials;
}
