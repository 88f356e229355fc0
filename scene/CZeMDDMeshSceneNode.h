// The point-cache object node (type "mddm"): draws its CZeMDDMesh.
#pragma once

#include "mesh/CZeMDDMesh.h"
#include "scene/CZeDeformedMeshSceneNode.h"
#include "scene/zeNodeKind.h"

class CZeMDDMeshSceneNode : public CZeDeformedMeshSceneNode {
 public:
  CZeMDDMeshSceneNode(CZeMDDMesh* mesh, irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                      irr::s32 id)
      : CZeDeformedMeshSceneNode(mesh, parent, manager, id) {}
  irr::scene::ESCENE_NODE_TYPE getType() const override {
    return static_cast<irr::scene::ESCENE_NODE_TYPE>(ZE_NODE_TYPE_MDD);
  }
  CZeMDDMesh* getMDDMesh() const { return static_cast<CZeMDDMesh*>(Mesh); }
  // A clone draws its own copy of the mesh, sharing the frames.
  irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                irr::scene::ISceneManager* newManager = nullptr) override;
};
