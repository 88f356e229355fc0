#include "particles/IZeParticleDrawer.h"

#include "base/zeMessage.h"

namespace {

class Unbuilt : public IZeParticleDrawer {
 public:
  void draw(const SZeParticleBatch&) override { zeNotBuilt("particle drawing"); }
};

Unbuilt unbuilt;
IZeParticleDrawer* current = &unbuilt;

}  // namespace

void zeSetParticleDrawer(IZeParticleDrawer* drawer) { current = drawer ? drawer : &unbuilt; }
IZeParticleDrawer* zeParticleDrawer() { return current; }
