// The particle emitter: parameters, its ring of live particles in a pool
// (private or shared), emission from seven generator kinds and the step.
#pragma once

#include <vector>

#include "particles/IZeFxEmitter.h"
#include "particles/zeParticlePool.h"
#include "particles/zeParticleStep.h"

// Births of one update are clamped here, so a huge step never overflows.
constexpr uint32_t ZE_EMITTER_MAX_BIRTHS = 1u << 30;
// Death time of the particles of a static emitter: never, in practice.
constexpr float ZE_EMITTER_NEVER = 4294967.295f;

struct SZeFxEmitterParams {
  float birthRate = 100;
  float generatorSize[3] = {1, 1, 1};
  int32_t particleLimit = 0;
  float weight = 1, weightVariation = 0;
  float size = 0, sizeVariation = 0;
  float resistance = 1, resistanceVariation = 0;
  float lifeTime = 2, lifeTimeVariation = 0;
  float velocity[4] = {0, 0, 0, 0};
  float explosion = 0;
  float vibration = 0, vibrationVariation = 0;
  float gravity[4] = {0, 0, 0, 0};
  float parentMotion = 1;
  float randomVelocity = 0;
  float curlNoisePower = 0;
  float curlNoiseFrequency = 4;
  irr::core::matrix4 world;
  float sortReference[4] = {0, 0, 0, 1};
  bool sorted = false;
  int32_t kind = ZE_EMITTER_BOX;
};

class CZeFxEmitter : public IZeFxEmitter {
 public:
  CZeFxEmitter() = default;
  ~CZeFxEmitter() override;
  CZeFxEmitter(const CZeFxEmitter&) = delete;
  CZeFxEmitter& operator=(const CZeFxEmitter&) = delete;

  void setBirthRate(float rate) override { p_.birthRate = rate; }
  void setGeneratorSize(float x, float y, float z) override;
  void setParticleLimit(int32_t limit) override { p_.particleLimit = limit; }
  void setWeight(float value, float variation) override { p_.weight = value, p_.weightVariation = variation; }
  void setSize(float value, float variation) override { p_.size = value, p_.sizeVariation = variation; }
  void setResistance(float value, float variation) override {
    p_.resistance = value, p_.resistanceVariation = variation;
  }
  void setLifeTime(float value, float variation) override { p_.lifeTime = value, p_.lifeTimeVariation = variation; }
  void setVelocity(float x, float y, float z) override;
  void setExplosion(float value) override { p_.explosion = value; }
  void setVibration(float value, float variation) override {
    p_.vibration = value, p_.vibrationVariation = variation;
  }
  void setGravity(float x, float y, float z) override;
  void setParentMotion(float value) override { p_.parentMotion = value; }
  void setRandomVelocity(float value) override { p_.randomVelocity = value; }
  void setCurlNoisePower(float value) override { p_.curlNoisePower = value; }
  void setCurlNoiseFrequency(float value) override { p_.curlNoiseFrequency = value; }
  void setWorldMatrix(const irr::core::matrix4& world) override { p_.world = world; }
  void setSortReference(float x, float y, float z) override;
  void setSorted(bool sorted) override { p_.sorted = sorted; }
  void setKind(int32_t kind) override { p_.kind = kind; }
  bool setMesh(irr::scene::IMesh* mesh) override;
  void setParent(IZeFxEmitter* parent) override;
  uint32_t getLiveCount() const override { return live_; }
  void reset() override;
  void resetEmittedCount() override { emitted_ = 0; }
  bool init(int32_t count, bool shared) override;
  void update(uint32_t nowMs) override;

  // A static emitter: a private pool with one particle per vertex of `mesh`
  // at the vertex, born at 0 and never dying. False, with a message, for a
  // mesh without vertices.
  bool initStatic(irr::scene::IMesh* mesh);

  const SZeFxEmitterParams& params() const { return p_; }
  uint32_t emittedCount() const { return emitted_; }
  // The ZE_STEP_ variant the next update runs.
  unsigned stepVariant() const;
  bool usesSharedPool() const { return shared_; }
  const CZeParticlePool* pool() const { return pool_; }

  // Calls f(const SZeParticle&) for each live particle in ring order.
  template <typename F>
  void forEachLive(F&& f) const {
    if (tail_ == ZE_PARTICLE_NONE) return;
    const SZeParticle* nodes = pool_->nodes();
    uint32_t i = nodes[tail_].next;
    for (uint32_t k = 0; k < live_; ++k, i = nodes[i].next) f(nodes[i]);
  }

 private:
  struct Sample {
    float position[3];
    float direction[3];
    float parentVelocity[3];
    bool fromParent;
  };
  uint32_t emit(float t, uint32_t dtMs, uint32_t budget);
  void generate(Sample* s);
  bool nextMeshVertex(float position[3], float normal[3]);
  void meshSurfacePoint(float position[3]);
  const SZeParticle* nextParentParticle();
  void release();
  void detachChildren();

  SZeFxEmitterParams p_;
  CZeParticlePool* pool_ = nullptr;
  bool shared_ = false;
  uint32_t tail_ = ZE_PARTICLE_NONE;  // the ring's last particle
  SZeParticleList dead_;              // died in the last update
  uint32_t live_ = 0;
  uint32_t emitted_ = 0;
  bool started_ = false;
  uint32_t lastMs_ = 0;
  uint32_t sampleMs_ = 0;
  float samplePosition_[3] = {0, 0, 0};
  float velocity_[3] = {0, 0, 0};       // the emitter's own, units per second
  float previousMotion_[3] = {0, 0, 0};
  irr::core::matrix4 previousWorld_;
  double carry_ = 0;

  irr::scene::IMesh* mesh_ = nullptr;  // grabbed
  std::vector<irr::u32> vertexBuffers_;    // buffers with vertices
  std::vector<irr::u32> triangleBuffers_;  // buffers with triangles
  irr::u32 bufferCursor_ = 0, vertexCursor_ = 0;

  CZeFxEmitter* parent_ = nullptr;
  uint32_t parentCursor_ = ZE_PARTICLE_NONE;  // within one emission
  std::vector<CZeFxEmitter*> children_;
};
