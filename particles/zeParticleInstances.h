// The instance records a particle node hands to drawing: 36 bytes per live
// particle (position; birth, death, 0; velocity), in ring order, at most
// 65,536 per node and draw. One staging array serves every particle node of
// the process (held while any node exists), rewritten by each node's draw.
#pragma once

#include <cstdint>

class CZeFxEmitter;

constexpr uint32_t ZE_PARTICLE_INSTANCE_CAPACITY = 65536;

struct SZeParticleInstance {
  float position[3];
  float birth, death, zero;  // seconds
  float velocity[3];
};
static_assert(sizeof(SZeParticleInstance) == 36, "an instance record is 36 bytes");

// The shared staging array (ZE_PARTICLE_INSTANCE_CAPACITY records), made by
// the first grab and freed by the last drop; nullptr when memory runs out.
SZeParticleInstance* zeParticleInstancesGrab();
void zeParticleInstancesDrop();
int zeParticleInstancesUsers();  // tests

// Writes the first `capacity` live particles of `emitter` in ring order;
// returns how many.
uint32_t zeParticleFillInstances(const CZeFxEmitter& emitter, SZeParticleInstance* out, uint32_t capacity);
