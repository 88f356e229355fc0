// Particles and the pools they come from. A pool is one 64-byte aligned
// block of particles linked as a free list; an emitter takes particles from
// it into its ring of live particles and gives them back, so the simulation
// allocates nothing per particle.
//
// Links are indices into the pool (ZE_PARTICLE_NONE ends a list), which keeps
// a particle at 48 bytes with a 64-bit pointer size.
#pragma once

#include <cstdint>

constexpr uint32_t ZE_PARTICLE_NONE = 0xFFFFFFFFu;
// Particles of a private pool created with a count of 0.
constexpr uint32_t ZE_PARTICLE_POOL_DEFAULT = 65536;
// The process-wide shared pool.
constexpr uint32_t ZE_PARTICLE_POOL_SHARED = 0x40000;

struct alignas(16) SZeParticle {
  uint32_t next;
  float birth;    // seconds
  float death;    // seconds
  float sortKey;  // squared distance to the sort reference
  float position[4];  // w = 1
  float velocity[4];  // units per second, w = 0
};
static_assert(sizeof(SZeParticle) == 48, "a particle is 48 bytes");

class CZeParticlePool {
 public:
  // A pool of `count` free particles; nullptr when memory runs out.
  static CZeParticlePool* create(uint32_t count);
  ~CZeParticlePool();
  CZeParticlePool(const CZeParticlePool&) = delete;
  CZeParticlePool& operator=(const CZeParticlePool&) = delete;

  SZeParticle* nodes() const { return nodes_; }
  uint32_t count() const { return count_; }
  uint32_t freeCount() const { return freeCount_; }

  // A free particle's index, or ZE_PARTICLE_NONE when the pool is empty.
  uint32_t take() {
    const uint32_t i = freeHead_;
    if (i == ZE_PARTICLE_NONE) return i;
    freeHead_ = nodes_[i].next;
    --freeCount_;
    return i;
  }
  // Gives back a list of `n` particles from `head` to `tail` (linked by next).
  void giveList(uint32_t head, uint32_t tail, uint32_t n) {
    if (head == ZE_PARTICLE_NONE) return;
    nodes_[tail].next = freeHead_;
    freeHead_ = head;
    freeCount_ += n;
  }

 private:
  CZeParticlePool() = default;
  SZeParticle* nodes_ = nullptr;
  uint32_t count_ = 0;
  uint32_t freeHead_ = ZE_PARTICLE_NONE;
  uint32_t freeCount_ = 0;
};

// The shared pool, made on first use and freed when its last user lets go.
// nullptr when it cannot be made.
CZeParticlePool* zeSharedParticlePoolGrab();
void zeSharedParticlePoolDrop();
// Users of the shared pool (tests).
int zeSharedParticlePoolUsers();
