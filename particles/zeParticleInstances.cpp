#include "particles/zeParticleInstances.h"

#include <new>

#include "particles/CZeFxEmitter.h"

namespace {
SZeParticleInstance* staging = nullptr;
int users = 0;
}  // namespace

SZeParticleInstance* zeParticleInstancesGrab() {
  if (!staging) staging = new (std::nothrow) SZeParticleInstance[ZE_PARTICLE_INSTANCE_CAPACITY];
  if (!staging) return nullptr;
  ++users;
  return staging;
}

void zeParticleInstancesDrop() {
  if (users <= 0) return;
  if (--users == 0) {
    delete[] staging;
    staging = nullptr;
  }
}

int zeParticleInstancesUsers() { return users; }

uint32_t zeParticleFillInstances(const CZeFxEmitter& emitter, SZeParticleInstance* out, uint32_t capacity) {
  uint32_t n = 0;
  emitter.forEachLive([&](const SZeParticle& p) {
    if (n >= capacity) return;
    SZeParticleInstance& r = out[n++];
    r.position[0] = p.position[0], r.position[1] = p.position[1], r.position[2] = p.position[2];
    r.birth = p.birth, r.death = p.death, r.zero = 0;
    r.velocity[0] = p.velocity[0], r.velocity[1] = p.velocity[1], r.velocity[2] = p.velocity[2];
  });
  return n;
}
