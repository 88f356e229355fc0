#include "scene/CZeMorphMeshSceneNode.h"

#include <cstring>

using namespace irr;

CZeMorphMeshSceneNode::CZeMorphMeshSceneNode(IZeMorphMesh* map, scene::ISceneNode* parent,
                                             scene::ISceneManager* manager, s32 id)
    : CZeDeformedMeshSceneNode(map, parent, manager, id) {
  // The loop starts as the map's frames (those of its skeleton, when skinned).
  setFrameLoop(map->getStartFrame(), map->getEndFrame());
  Frame = static_cast<float>(Start);
  Dirty = true;
}

scene::ISceneNode* CZeMorphMeshSceneNode::clone(scene::ISceneNode* newParent, scene::ISceneManager* newManager) {
  CZeMorphMeshMorphMapZN* map = static_cast<CZeMorphMeshMorphMapZN*>(getMorphMesh())->clone();
  if (!map) return nullptr;
  if (!newParent) newParent = Parent;
  if (!newManager) newManager = SceneManager;
  CZeMorphMeshSceneNode* node = new CZeMorphMeshSceneNode(map, newParent, newManager, ID);
  map->drop();
  copyInto(node);
  node->Indices = Indices;
  node->Weights = Weights;
  node->Frame = Frame;
  node->Start = Start;
  node->End = End;
  node->Dirty = true;
  if (newParent) node->drop();
  return node;
}

void CZeMorphMeshSceneNode::setMorph(int count, const uint32_t* indices, const float* weights) {
  const std::size_t n = count > 0 && indices && weights ? static_cast<std::size_t>(count) : 0;
  if (n == Indices.size() && (n == 0 || (std::memcmp(Indices.data(), indices, n * 4) == 0 &&
                                         std::memcmp(Weights.data(), weights, n * 4) == 0)))
    return;
  Indices.assign(indices, indices + n);
  Weights.assign(weights, weights + n);
  Dirty = true;
}

void CZeMorphMeshSceneNode::setFrameLoop(s32 begin, s32 end) {
  const s32 last = getMorphMesh()->getFrameCount() > 0 ? getMorphMesh()->getFrameCount() - 1 : 0;
  auto clamp = [last](s32 v) { return v < 0 ? 0 : (v > last ? last : v); };
  Start = clamp(begin);
  End = clamp(end);
  setFrame(Frame);
}

void CZeMorphMeshSceneNode::setFrame(float frame) {
  if (!(frame >= static_cast<float>(Start))) frame = static_cast<float>(Start);
  if (frame > static_cast<float>(End)) frame = static_cast<float>(End);
  if (frame != Frame) Dirty = true;
  Frame = frame;
}

void CZeMorphMeshSceneNode::update() {
  if (!Dirty) return;
  Pairs.clear();
  for (std::size_t i = 0; i < Indices.size(); ++i) Pairs.emplace_back(Indices[i], Weights[i]);
  getMorphMesh()->animate(Pairs, Frame);
  Dirty = false;
}

void CZeMorphMeshSceneNode::OnAnimate(u32 timeMs) {
  if (IsVisible) update();
  CZeDeformedMeshSceneNode::OnAnimate(timeMs);
}
