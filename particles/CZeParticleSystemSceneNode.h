// The particle node: its emitter (shared pool, or a private one over a
// mesh's vertices for a static node), one material, the particle look, and
// the draw handed to the particle drawer with at most 65,536 instances.
#pragma once

#include "particles/CZeFxEmitter.h"
#include "particles/IZeParticleSystemSceneNode.h"
#include "particles/zeParticleLook.h"

struct SZeParticleInstance;

class CZeParticleSystemSceneNode : public IZeParticleSystemSceneNode {
 public:
  // An emitter node (shared pool), or a static node over `mesh`. Check
  // valid(): a pool that cannot be had, or a mesh without vertices, leaves
  // the node without one.
  CZeParticleSystemSceneNode(irr::scene::ISceneNode* parent, irr::scene::ISceneManager* manager, irr::s32 id,
                             irr::scene::IMesh* staticMesh = nullptr);
  ~CZeParticleSystemSceneNode() override;

  bool valid() const { return valid_; }

  void OnRegisterSceneNode() override;
  void OnAnimate(irr::u32 timeMs) override;
  void render() override;
  const irr::core::aabbox3d<irr::f32>& getBoundingBox() const override { return box_; }
  irr::u32 getMaterialCount() const override { return 1; }
  irr::video::SMaterial& getMaterial(irr::u32) override { return material_; }
  irr::scene::ESCENE_NODE_TYPE getType() const override {
    return static_cast<irr::scene::ESCENE_NODE_TYPE>(ZE_PARTICLE_NODE_TYPE);
  }

  CZeFxEmitter& emitter() override { return emitter_; }
  SZeParticleLook& look() override { return look_; }
  bool isStatic() const override { return static_; }
  void lockToCamera(bool on) override;

 private:
  CZeFxEmitter emitter_;
  SZeParticleLook look_;
  irr::video::SMaterial material_;
  irr::core::aabbox3d<irr::f32> box_{-1, -1, -1, 1, 1, 1};
  SZeParticleInstance* instances_ = nullptr;  // the shared staging array
  bool static_ = false;
  bool valid_ = false;
  bool saidCut_ = false;
};
