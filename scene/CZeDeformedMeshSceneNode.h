// A scene node that draws a mesh the engine deforms itself (point caches,
// morphs): one material per mesh buffer, taken from the buffers when the
// node is made, and the mesh's own bounding box.
#pragma once
#include <irrlicht.h>

class CZeDeformedMeshSceneNode : public irr::scene::ISceneNode {
 public:
  // Holds one reference to `mesh`.
  CZeDeformedMeshSceneNode(irr::scene::IMesh* mesh, irr::scene::ISceneNode* parent,
                           irr::scene::ISceneManager* manager, irr::s32 id);
  ~CZeDeformedMeshSceneNode() override;

  void OnRegisterSceneNode() override;
  void render() override;
  const irr::core::aabbox3d<irr::f32>& getBoundingBox() const override { return Mesh->getBoundingBox(); }
  irr::video::SMaterial& getMaterial(irr::u32 i) override;
  irr::u32 getMaterialCount() const override { return Materials.size(); }
  irr::scene::IMesh* getMesh() const { return Mesh; }

 protected:
  // Copies what every scene node carries and the materials into `clone`.
  void copyInto(CZeDeformedMeshSceneNode* clone);

  irr::scene::IMesh* Mesh;
  irr::core::array<irr::video::SMaterial> Materials;
};
