// The morph object node (type "morp"): draws its morph map and blends it
// again when its target list changed (dirty) and the node is animated.
#pragma once

#include <cstdint>
#include <vector>

#include "mesh/CZeMorphMesh.h"
#include "scene/CZeDeformedMeshSceneNode.h"
#include "scene/zeNodeKind.h"

class CZeMorphMeshSceneNode : public CZeDeformedMeshSceneNode {
 public:
  CZeMorphMeshSceneNode(IZeMorphMesh* map, irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager,
                        irr::s32 id);
  irr::scene::ESCENE_NODE_TYPE getType() const override {
    return static_cast<irr::scene::ESCENE_NODE_TYPE>(ZE_NODE_TYPE_MORPH);
  }
  IZeMorphMesh* getMorphMesh() const { return static_cast<IZeMorphMesh*>(Mesh); }
  irr::scene::ISceneNode* clone(irr::scene::ISceneNode* newParent = nullptr,
                                irr::scene::ISceneManager* newManager = nullptr) override;

  // Stores the list when it differs (byte for byte) from the current one and
  // marks the node dirty. Indices count targets from 1.
  void setMorph(int count, const uint32_t* indices, const float* weights);
  bool isDirty() const { return Dirty; }
  // Frame and loop, clamped to the map's frames. The loop starts as the
  // map's start and end frames and is not changed by any command.
  void setFrame(float frame);
  void setFrameLoop(irr::s32 begin, irr::s32 end);
  irr::s32 getStartFrame() const { return Start; }
  irr::s32 getEndFrame() const { return End; }
  float getFrame() const { return Frame; }
  // Blends when dirty (also done when the scene graph animates the node).
  void update();
  void OnAnimate(irr::u32 timeMs) override;

 private:
  std::vector<uint32_t> Indices;
  std::vector<float> Weights;
  std::vector<std::pair<uint32_t, float>> Pairs;
  float Frame = 0.0f;
  irr::s32 Start = 0, End = 0;
  bool Dirty = true;
};
