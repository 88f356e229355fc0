// The particle simulation's random numbers: one process-wide 32-bit linear
// congruential generator (s = s * 214013 + 2531011; a draw is the 15 bits
// above bit 16), so a seeded run emits the same particles every time.
#pragma once

#include <cstdint>

void zeParticleRandomSeed(uint32_t seed);
uint32_t zeParticleRandomState();
// The next raw draw, 0..32767.
int zeParticleRandomDraw();
// A uniform draw in [0, 1].
inline float zeParticleRandomUnit() { return static_cast<float>(zeParticleRandomDraw()) / 32767.0f; }
// A centred draw in [-0.5, 0.5].
inline float zeParticleRandomCentred() { return zeParticleRandomUnit() - 0.5f; }
