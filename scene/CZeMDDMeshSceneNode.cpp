#include "scene/CZeMDDMeshSceneNode.h"

using namespace irr;

scene::ISceneNode* CZeMDDMeshSceneNode::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
  CZeMDDMesh* mesh = getMDDMesh()->clone();
  if (!mesh) return nullptr;
  if (!newParent) newParent = Parent;
  if (!newManager) newManager = SceneManager;
  CZeMDDMeshSceneNode* node = new CZeMDDMeshSceneNode(mesh, newParent, newManager, ID);
  mesh->drop();
  copyInto(node);
  if (newParent) node->drop();  // the parent holds it
  return node;
}
