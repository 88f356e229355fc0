#include "particles/IZeParticleDrawer.h"

#include "base/zeMessage.h"

namespace {

class Unbuilt : public IZeParticleDrawer {
 public:
  void draw(const SZeParticleBatch&) override {
    if (said_) return;
    said_ = true;
    zeMessage(ZE_INFO, "particle drawing is not built yet");
  }

 private:
  bool said_ = false;
};

Unbuilt unbuilt;
IZeParticleDrawer* current = &unbuilt;

}  // namespace

void zeSetParticleDrawer(IZeParticleDrawer* drawer) { current = drawer ? drawer : &unbuilt; }
IZeParticleDrawer* zeParticleDrawer() { return current; }
