#include "particles/zeParticleRandom.h"

namespace {
uint32_t state = 0;
}

void zeParticleRandomSeed(uint32_t seed) { state = seed; }
uint32_t zeParticleRandomState() { return state; }

int zeParticleRandomDraw() {
  state = state * 214013u + 2531011u;
  return static_cast<int>((state >> 16) & 0x7FFFu);
}
