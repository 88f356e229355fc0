#include "particles/zeParticlePool.h"

#include <cstdlib>
#include <new>

#include "base/zeMessage.h"

CZeParticlePool* CZeParticlePool::create(uint32_t count) {
  CZeParticlePool* pool = new (std::nothrow) CZeParticlePool;
  if (!pool) return nullptr;
  // A whole number of 64-byte lines, as aligned_alloc asks.
  const size_t bytes = ((size_t(count ? count : 1) * sizeof(SZeParticle)) + 63) / 64 * 64;
  pool->nodes_ = static_cast<SZeParticle*>(std::aligned_alloc(64, bytes));
  if (!pool->nodes_) {
    delete pool;
    return nullptr;
  }
  pool->count_ = count;
  for (uint32_t i = 0; i < count; ++i) {
    SZeParticle& p = pool->nodes_[i];
    p = SZeParticle{};
    p.next = i + 1 < count ? i + 1 : ZE_PARTICLE_NONE;
  }
  pool->freeHead_ = count ? 0 : ZE_PARTICLE_NONE;
  pool->freeCount_ = count;
  return pool;
}

CZeParticlePool::~CZeParticlePool() { std::free(nodes_); }

namespace {
CZeParticlePool* shared = nullptr;
int sharedUsers = 0;
}  // namespace

CZeParticlePool* zeSharedParticlePoolGrab() {
  if (!shared) {
    zeMessage(ZE_DEBUG, "CZeFxEmitter: Allocate Shared ParticleBuffer");
    shared = CZeParticlePool::create(ZE_PARTICLE_POOL_SHARED);
    if (!shared) return nullptr;
  }
  ++sharedUsers;
  return shared;
}

void zeSharedParticlePoolDrop() {
  if (sharedUsers <= 0) return;
  if (--sharedUsers == 0) {
    delete shared;
    shared = nullptr;
  }
}

int zeSharedParticlePoolUsers() { return sharedUsers; }
