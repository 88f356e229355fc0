// Where particle nodes hand over what they draw: the node, its material and
// look, and its instance records. Drawing particles is not built yet: the
// default drawer says so once and draws nothing; the renderer installs its
// own (instanced quads in the transparent-effect pass).
#pragma once

#include <irrlicht.h>

#include <cstdint>

struct SZeParticleInstance;
struct SZeParticleLook;

struct SZeParticleBatch {
  irr::scene::ISceneNode* node = nullptr;
  const irr::video::SMaterial* material = nullptr;
  const SZeParticleLook* look = nullptr;
  const SZeParticleInstance* instances = nullptr;  // valid during draw() only
  uint32_t count = 0;                               // 1 .. 65,536
};

class IZeParticleDrawer {
 public:
  virtual ~IZeParticleDrawer() = default;
  virtual void draw(const SZeParticleBatch& batch) = 0;
};

// The drawer in use; nullptr puts the default back.
void zeSetParticleDrawer(IZeParticleDrawer* drawer);
IZeParticleDrawer* zeParticleDrawer();
