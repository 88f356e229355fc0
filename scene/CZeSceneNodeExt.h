// The object node extension (animator type 4321).
#pragma once

#include <irrlicht.h>

#include "mesh/IZeSurface.h"
#include "scene/IZeSceneNodeExt.h"

class CZeSceneNodeExt final : public IZeSceneNodeExt {
 public:
  // One row per material of `node`. The node is not grabbed: it owns the extension.
  explicit CZeSceneNodeExt(irr::scene::ISceneNode* node);
  ~CZeSceneNodeExt() override;

  // Animator part: nothing moves, the extension only carries data.
  void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override {}
  // A new extension for `node` with the rows copied (surfaces cloned, effects
  // shared); the caller runs update() on it.
  irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                              irr::scene::ISceneManager* newManager = nullptr) override;
  irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
    return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(ZE_NODE_EXT_TYPE);
  }

  void setCastsShadows(bool casts) override { castsShadows_ = casts; }
  bool getCastsShadows() const override { return castsShadows_; }

  irr::u32 getRowCount() const override { return rows_.size(); }
  SZeMaterialRecord* getMaterialRecord(irr::u32 row) override;
  IZeEffect* getEffect(irr::u32 row) const override;
  void setEffect(irr::u32 row, IZeEffect* effect, int technique, int secondIndex) override;
  void setIndices(irr::u32 row, int technique, int secondIndex) override;
  void setTechnique(irr::u32 row, int technique) override;
  void setSecondIndex(irr::u32 row, int secondIndex) override;
  void clearEffect(irr::u32 row) override;
  void clearEffects() override;
  IZeSurface* getSurface(irr::u32 row) const override;
  void setSurface(irr::u32 row, IZeSurface* surface) override;
  void clearSurface(irr::u32 row) override;
  void clearSurfaces() override;
  bool usesSecondUV() const override;
  void getBufferUVPair(irr::u32 row, irr::s32* uvValue, irr::s32* uv2Mask) const override;

  void setTangentMode(int mode) override { tangentMode_ = mode; }
  int getTangentMode() const override { return tangentMode_; }
  bool needTangents() const override;
  bool update() override;
  void refreshRow(irr::u32 row) override { applyRow(row, true); }

  void saveEffects() override;
  void restoreEffects() override;

  void setCubeMap1(irr::IReferenceCounted* cubeTexture) override;
  irr::IReferenceCounted* getCubeMap1() const override { return cubeMap1_; }
  void setCubeMap2(irr::IReferenceCounted* cubeTexture) override;
  irr::IReferenceCounted* getCubeMap2() const override { return cubeMap2_; }
  void setCubeMapBlend(float blend) override { cubeMapBlend_ = blend; }
  float getCubeMapBlend() const override { return cubeMapBlend_; }
  void setBoxProjection(bool on) override;
  void setBox(const irr::core::vector3df& position, const irr::core::vector3df& size) override;
  bool getBoxProjection() const override { return boxProjection_; }
  const irr::core::vector3df& getBoxPosition() const override { return boxPosition_; }
  const irr::core::vector3df& getBoxSize() const override { return boxSize_; }

  irr::u32 getSelectionMask() const override { return selectionMask_; }
  irr::u32 setSelectionMask(irr::u32 mask) override;

  void setMatrix(const irr::core::matrix4& matrix) override { matrix_ = matrix; }
  const irr::core::matrix4& getMatrix() const override { return matrix_; }

  irr::scene::ISceneNode* getNode() const { return node_; }

 private:
  struct Row {
    SZeMaterialRecord record;
    IZeSurface* surface = nullptr;  // one reference
    // The material as the surface wrote it, per technique: an effect may empty
    // texture layers, and the surface's non-empty ones are copied back.
    irr::core::array<irr::video::SMaterial> saved;
  };
  struct SavedEffect {
    IZeEffect* effect = nullptr;  // one reference
    int technique = 0;
    int secondIndex = 0;
  };

  // valuesOnly: the surface's values changed, its image maps and the effect did not.
  void applyRow(irr::u32 row, bool valuesOnly = false);
  void releaseRow(Row& row);
  void releaseSavedEffects();
  bool makeTangentCopy();

  irr::scene::ISceneNode* node_;
  bool castsShadows_ = false;
  int tangentMode_ = ZE_TANGENTS_AUTO;
  irr::core::array<Row> rows_;
  irr::core::array<SavedEffect> savedEffects_;
  irr::IReferenceCounted* cubeMap1_ = nullptr;
  irr::IReferenceCounted* cubeMap2_ = nullptr;
  float cubeMapBlend_ = 0.0f;
  bool boxProjection_ = false;
  irr::core::vector3df boxPosition_{1000000.0f, 1000000.0f, 1000000.0f};
  irr::core::vector3df boxSize_{0.0f, 0.0f, 0.0f};
  irr::u32 selectionMask_ = 0;
  irr::core::matrix4 matrix_;
};

// Tangent copies of a mesh (the mesh manipulator's, keeping the second
// coordinate set when asked). Replaceable for tests; nullptr restores it.
using ZeTangentCopyFunction = irr::scene::IMesh* (*)(irr::scene::ISceneManager* sceneManager,
                                                      irr::scene::IMesh* mesh, bool keepSecondUV);
void zeSetTangentCopyFunction(ZeTangentCopyFunction function);

// What a row's surface needs to know of the object for its compile macros.
SZeSurfaceNodeFacts zeSurfaceNodeFacts(irr::scene::ISceneNode* node, irr::u32 row);
