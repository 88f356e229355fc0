// The particle step and sort. Update of 100,000 particles in the plainest
// variant (integration only) and the fullest (random velocity, curl noise,
// resistance, gravity, sort keys), each against a plain scalar loop of the
// same maths over the same ring; the back-to-front merge sort of 65,536
// particles against std::sort of their keys.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include "particles/zeParticleRandom.h"
#include "particles/zeParticleStep.h"
#include "particles/zeCurlNoise.h"

namespace {

// A ring of `count` particles spread over a cube, none dying.
struct Ring {
  explicit Ring(uint32_t count) : pool(CZeParticlePool::create(count)), count(count) {
    SZeParticle* nodes = pool->nodes();
    zeParticleRandomSeed(1);
    for (uint32_t i = 0; i < count; ++i) {
      SZeParticle& p = nodes[i];
      p.birth = 0;
      p.death = 1e9f;
      for (int a = 0; a < 3; ++a) {
        p.position[a] = zeParticleRandomCentred() * 20;
        p.velocity[a] = zeParticleRandomCentred();
      }
      p.position[3] = 1;
      p.velocity[3] = 0;
      p.next = i + 1 < count ? i + 1 : 0;
    }
    tail = count - 1;
  }
  std::unique_ptr<CZeParticlePool> pool;
  uint32_t count;
  uint32_t tail;
};

SZeParticleStep stepOf(unsigned variant) {
  SZeParticleStep s;
  s.variant = variant;
  s.time = 1;
  s.dt = 0.016f;
  s.randomVelocity[0] = 0.01f, s.randomVelocity[1] = -0.02f, s.randomVelocity[2] = 0.005f;
  s.curlPower = 0.001f, s.curlFrequency = 0.5f;
  s.drag = 0.016f;
  s.gravity[1] = -9.8f;
  s.sortReference[2] = -30;
  return s;
}

void BM_StepFourWide(benchmark::State& state) {
  generateCurlNoise();
  Ring ring(100000);
  const SZeParticleStep s = stepOf(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) {
    SZeParticleList dead;
    benchmark::DoNotOptimize(zeParticleStep(ring.pool->nodes(), &ring.tail, ring.count, &dead, s));
  }
  state.counters["ns/particle"] = benchmark::Counter(double(state.iterations()) * ring.count,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  releaseCurlNoise();
}

// The same maths one float at a time.
void BM_StepScalar(benchmark::State& state) {
  generateCurlNoise();
  Ring ring(100000);
  const SZeParticleStep s = stepOf(static_cast<unsigned>(state.range(0)));
  for (auto _ : state) {
    SZeParticle* nodes = ring.pool->nodes();
    uint32_t i = nodes[ring.tail].next;
    for (uint32_t k = 0; k < ring.count; ++k, i = nodes[i].next) {
      SZeParticle& p = nodes[i];
      if (s.time >= p.death) continue;
      if (s.variant & ZE_STEP_RANDOM)
        for (int a = 0; a < 3; ++a) p.velocity[a] += s.randomVelocity[a];
      if (s.variant & ZE_STEP_CURL) {
        float c[3];
        zeParticleCurl(p.position, s.curlFrequency, c);
        for (int a = 0; a < 3; ++a) p.position[a] += c[a] * s.dt * s.curlPower;
      }
      if (s.variant & ZE_STEP_RESISTANCE)
        for (int a = 0; a < 3; ++a) p.velocity[a] -= p.velocity[a] * s.drag;
      if (s.variant & ZE_STEP_GRAVITY)
        for (int a = 0; a < 3; ++a) p.velocity[a] += s.gravity[a] * s.dt;
      for (int a = 0; a < 3; ++a) p.position[a] += p.velocity[a] * s.dt;
      if (s.variant & ZE_STEP_SORTED) {
        float d = 0;
        for (int a = 0; a < 3; ++a) d += (p.position[a] - s.sortReference[a]) * (p.position[a] - s.sortReference[a]);
        p.sortKey = d;
      }
    }
    benchmark::ClobberMemory();
  }
  state.counters["ns/particle"] = benchmark::Counter(double(state.iterations()) * ring.count,
                                                    benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
  releaseCurlNoise();
}

BENCHMARK(BM_StepFourWide)->Arg(0)->Arg(31)->ArgName("variant");
BENCHMARK(BM_StepScalar)->Arg(0)->Arg(31)->ArgName("variant");

// Both sorts start from the same shuffled keys each time (the O(n) restore is in both).
void BM_SortRing(benchmark::State& state) {
  Ring ring(65536);
  SZeParticle* nodes = ring.pool->nodes();
  for (uint32_t i = 0; i < ring.count; ++i) nodes[i].sortKey = float(zeParticleRandomDraw());
  for (auto _ : state) {
    for (uint32_t i = 0; i < ring.count; ++i) nodes[i].next = i + 1 < ring.count ? i + 1 : 0;
    benchmark::DoNotOptimize(zeParticleSortRing(nodes, ring.count - 1));
  }
}

void BM_StdSortKeys(benchmark::State& state) {
  Ring ring(65536);
  std::vector<float> keys(ring.count), work(ring.count);
  for (float& k : keys) k = float(zeParticleRandomDraw());
  for (auto _ : state) {
    std::copy(keys.begin(), keys.end(), work.begin());
    std::sort(work.begin(), work.end(), std::greater<float>());
    benchmark::DoNotOptimize(work.data());
  }
}

BENCHMARK(BM_SortRing);
BENCHMARK(BM_StdSortKeys);

}  // namespace

BENCHMARK_MAIN();
