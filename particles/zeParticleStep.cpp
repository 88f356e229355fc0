#include "particles/zeParticleStep.h"

#include <xmmintrin.h>

#include <array>
#include <cmath>
#include <utility>

#include "particles/zeCurlNoise.h"

// --- Curl noise ------------------------------------------------------------------------------------

namespace {

// Wraps a voxel coordinate into [0, edge) in float first, so NaN, infinities
// and values beyond the range of int never reach an index.
float wrapVoxel(float c, int edge) {
  if (!std::isfinite(c)) return 0.0f;
  const float e = static_cast<float>(edge);
  // floor is exact below 2^23 and much cheaper than fmod, which takes the rest.
  float w = std::fabs(c) < 8388608.0f ? c - std::floor(c / e) * e : std::fmod(c, e);
  if (w < 0) w += e;
  return w >= 0 && w < e ? w : 0.0f;
}

}  // namespace

void zeParticleCurl(const float position[3], float frequency, float out[3]) {
  const int edge = zeCurlNoiseEdge();
  const signed char* volume = zeCurlNoiseData();
  out[0] = out[1] = out[2] = 0.0f;
  if (!volume || edge <= 0) return;
  int lo[3], hi[3];
  float f[3];
  for (int a = 0; a < 3; ++a) {
    const float c = wrapVoxel(position[a] * frequency, edge);
    lo[a] = static_cast<int>(c);
    if (lo[a] >= edge) lo[a] = edge - 1;
    hi[a] = lo[a] + 1 == edge ? 0 : lo[a] + 1;
    f[a] = c - static_cast<float>(lo[a]);
  }
  const size_t plane = size_t(edge) * size_t(edge);
  for (int corner = 0; corner < 8; ++corner) {
    const int x = corner & 1 ? hi[0] : lo[0];
    const int y = corner & 2 ? hi[1] : lo[1];
    const int z = corner & 4 ? hi[2] : lo[2];
    const float w = (corner & 1 ? f[0] : 1 - f[0]) * (corner & 2 ? f[1] : 1 - f[1]) * (corner & 4 ? f[2] : 1 - f[2]);
    const signed char* v = volume + 3 * (size_t(x) + size_t(y) * size_t(edge) + size_t(z) * plane);
    out[0] += w * v[0];
    out[1] += w * v[1];
    out[2] += w * v[2];
  }
}

// --- The step ----------------------------------------------------------------------------------------

namespace {

template <unsigned V>
uint32_t stepVariant(SZeParticle* nodes, uint32_t* tailOut, uint32_t count, SZeParticleList* dead,
                     const SZeParticleStep& s) {
  uint32_t tail = *tailOut;
  if (tail == ZE_PARTICLE_NONE || count == 0) return 0;
  const __m128 dt = _mm_set1_ps(s.dt);
  const __m128 randomPush = _mm_loadu_ps(s.randomVelocity);
  const __m128 curlScale = _mm_set1_ps(s.dt * s.curlPower);
  const __m128 drag = _mm_set1_ps(s.drag);
  const __m128 gravity = _mm_mul_ps(_mm_loadu_ps(s.gravity), dt);
  const __m128 reference = _mm_loadu_ps(s.sortReference);
  const float t = s.time;

  uint32_t prev = tail;
  uint32_t cur = nodes[tail].next;
  uint32_t survivors = 0;
  for (uint32_t k = 0; k < count; ++k) {
    SZeParticle& q = nodes[cur];
    const uint32_t next = q.next;
    if (t >= q.death) {
      if (cur == prev) {
        tail = ZE_PARTICLE_NONE;  // the last one
      } else {
        nodes[prev].next = next;
        if (cur == tail) tail = prev;
      }
      q.next = ZE_PARTICLE_NONE;
      if (dead->tail == ZE_PARTICLE_NONE) dead->head = cur;
      else nodes[dead->tail].next = cur;
      dead->tail = cur;
      ++dead->count;
      cur = next;
      continue;
    }
    __m128 v = _mm_load_ps(q.velocity);
    __m128 x = _mm_load_ps(q.position);
    if (V & ZE_STEP_RANDOM) v = _mm_add_ps(v, randomPush);
    if (V & ZE_STEP_CURL) {
      alignas(16) float c[4] = {0, 0, 0, 0};
      zeParticleCurl(q.position, s.curlFrequency, c);
      x = _mm_add_ps(x, _mm_mul_ps(_mm_load_ps(c), curlScale));
    }
    if (V & ZE_STEP_RESISTANCE) v = _mm_sub_ps(v, _mm_mul_ps(v, drag));
    if (V & ZE_STEP_GRAVITY) v = _mm_add_ps(v, gravity);
    x = _mm_add_ps(x, _mm_mul_ps(v, dt));
    _mm_store_ps(q.velocity, v);
    _mm_store_ps(q.position, x);
    if (V & ZE_STEP_SORTED) {
      __m128 d = _mm_sub_ps(x, reference);  // w: 1 - 1 = 0
      d = _mm_mul_ps(d, d);
      d = _mm_add_ps(d, _mm_movehl_ps(d, d));
      d = _mm_add_ss(d, _mm_shuffle_ps(d, d, 1));
      _mm_store_ss(&q.sortKey, d);
    }
    prev = cur;
    cur = next;
    ++survivors;
  }
  *tailOut = tail;
  return survivors;
}

using StepFunction = uint32_t (*)(SZeParticle*, uint32_t*, uint32_t, SZeParticleList*, const SZeParticleStep&);

template <unsigned... I>
constexpr std::array<StepFunction, sizeof...(I)> makeVariants(std::integer_sequence<unsigned, I...>) {
  return {{&stepVariant<I>...}};
}
constexpr std::array<StepFunction, ZE_STEP_VARIANTS> variants =
    makeVariants(std::make_integer_sequence<unsigned, ZE_STEP_VARIANTS>{});

}  // namespace

uint32_t zeParticleStep(SZeParticle* nodes, uint32_t* tail, uint32_t count, SZeParticleList* dead,
                        const SZeParticleStep& step) {
  return variants[step.variant % ZE_STEP_VARIANTS](nodes, tail, count, dead, step);
}

// --- Sort ----------------------------------------------------------------------------------------------

namespace {

// Merges two lists sorted largest first; on equal keys `a` goes first (stable).
uint32_t merge(SZeParticle* nodes, uint32_t a, uint32_t b) {
  uint32_t head = ZE_PARTICLE_NONE;
  uint32_t* link = &head;
  while (a != ZE_PARTICLE_NONE && b != ZE_PARTICLE_NONE) {
    if (!(nodes[a].sortKey < nodes[b].sortKey)) {
      *link = a;
      link = &nodes[a].next;
      a = nodes[a].next;
    } else {
      *link = b;
      link = &nodes[b].next;
      b = nodes[b].next;
    }
  }
  *link = a != ZE_PARTICLE_NONE ? a : b;
  return head;
}

}  // namespace

uint32_t zeParticleSortRing(SZeParticle* nodes, uint32_t tail) {
  if (tail == ZE_PARTICLE_NONE || nodes[tail].next == tail) return tail;
  uint32_t head = nodes[tail].next;
  nodes[tail].next = ZE_PARTICLE_NONE;
  // Bottom-up: bin i holds a sorted run of 2^i particles, older runs higher.
  uint32_t bins[32];
  for (uint32_t& b : bins) b = ZE_PARTICLE_NONE;
  while (head != ZE_PARTICLE_NONE) {
    uint32_t run = head;
    head = nodes[head].next;
    nodes[run].next = ZE_PARTICLE_NONE;
    int i = 0;
    for (; i < 31 && bins[i] != ZE_PARTICLE_NONE; ++i) {
      run = merge(nodes, bins[i], run);
      bins[i] = ZE_PARTICLE_NONE;
    }
    if (bins[i] != ZE_PARTICLE_NONE) run = merge(nodes, bins[i], run);
    bins[i] = run;
  }
  uint32_t sorted = ZE_PARTICLE_NONE;
  for (uint32_t b : bins)
    if (b != ZE_PARTICLE_NONE) sorted = merge(nodes, b, sorted);
  uint32_t last = sorted;
  while (nodes[last].next != ZE_PARTICLE_NONE) last = nodes[last].next;
  nodes[last].next = sorted;
  return last;
}
