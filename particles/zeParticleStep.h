// The particle step: one simulation step over an emitter's ring of live
// particles, in 32 variants (random velocity, curl noise, resistance,
// gravity, sorted: each on or off) so that a term that is off costs nothing;
// the curl-noise lookup; the back-to-front merge sort of a ring.
//
// Vectors are four-wide single precision (SSE): a particle's position and
// velocity are one register each.
#pragma once

#include <cstdint>

#include "particles/zeParticlePool.h"

enum : unsigned {
  ZE_STEP_RANDOM = 1,
  ZE_STEP_CURL = 2,
  ZE_STEP_RESISTANCE = 4,
  ZE_STEP_GRAVITY = 8,
  ZE_STEP_SORTED = 16,
  ZE_STEP_VARIANTS = 32,
};

// A singly linked list of particles (the dead of the last step).
struct SZeParticleList {
  uint32_t head = ZE_PARTICLE_NONE, tail = ZE_PARTICLE_NONE, count = 0;
};

struct SZeParticleStep {
  unsigned variant = 0;  // ZE_STEP_ bits
  float time = 0;        // t, seconds
  float dt = 0;          // seconds
  float randomVelocity[4] = {};  // the update's random push (w 0)
  float curlPower = 0, curlFrequency = 0;
  // The share of the velocity resistance takes this step: resistance /
  // weight x dt, at most 1 (drag never turns a particle round).
  float drag = 0;
  float gravity[4] = {};
  float sortReference[4] = {0, 0, 0, 1};
};

// Steps the `count` particles of the ring ending at *tail (ZE_PARTICLE_NONE:
// empty). A particle whose death time has come (t >= death) leaves the ring
// for the end of `dead`. Returns the survivors; *tail follows the ring.
uint32_t zeParticleStep(SZeParticle* nodes, uint32_t* tail, uint32_t count, SZeParticleList* dead,
                        const SZeParticleStep& step);

// The curl-noise vector at `position` x `frequency` (in voxels), trilinear
// between the eight surrounding voxels, coordinates wrapped modulo the edge
// of the volume, components as signed bytes (-128..127). A coordinate that
// is not finite reads as 0.
void zeParticleCurl(const float position[3], float frequency, float out[3]);

// Sorts the ring ending at `tail` by sort key, largest first (back to front),
// stable; returns the new tail.
uint32_t zeParticleSortRing(SZeParticle* nodes, uint32_t tail);
