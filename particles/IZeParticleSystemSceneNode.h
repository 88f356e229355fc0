// A scene node that carries one emitter, animates it every frame and hands
// its live particles to the particle drawer.
#pragma once

#include <irrlicht.h>

class CZeFxEmitter;
struct SZeParticleLook;

// The node type of particle nodes.
constexpr irr::s32 ZE_PARTICLE_NODE_TYPE = MAKE_IRR_ID('z', 'p', 's', 'n');

class IZeParticleSystemSceneNode : public irr::scene::ISceneNode {
 public:
  using irr::scene::ISceneNode::ISceneNode;
  virtual CZeFxEmitter& emitter() = 0;
  virtual SZeParticleLook& look() = 0;
  // A static node shows one particle per vertex of a mesh; the simulation's
  // setters leave it alone.
  virtual bool isStatic() const = 0;
  // Rides on the active camera (on) or goes back to the scene root (off).
  virtual void lockToCamera(bool on) = 0;
};
