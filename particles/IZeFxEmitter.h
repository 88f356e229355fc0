// A particle emitter: its simulation parameters and its live particles. The
// particle node owns one and calls update() once per frame.
#pragma once

#include <irrlicht.h>

#include <cstdint>

// Generator kinds (a scene's "nozzle" picks one).
enum EZeFxEmitterKind : int32_t {
  ZE_EMITTER_BOX = 0,
  ZE_EMITTER_SPHERE = 1,
  ZE_EMITTER_MESH_VERTICES = 2,
  ZE_EMITTER_MESH_NORMALS = 3,
  ZE_EMITTER_MESH_SURFACE = 4,
  ZE_EMITTER_PARENT_LIVE = 5,
  ZE_EMITTER_PARENT_DEAD = 6,
};

class IZeFxEmitter {
 public:
  virtual ~IZeFxEmitter() = default;

  // Particles per second.
  virtual void setBirthRate(float rate) = 0;
  // The box's or sphere's size along each axis.
  virtual void setGeneratorSize(float x, float y, float z) = 0;
  // Particles emitted before the emitter stops (0 or less: no limit).
  virtual void setParticleLimit(int32_t limit) = 0;
  virtual void setWeight(float value, float variation) = 0;
  virtual void setSize(float value, float variation) = 0;
  virtual void setResistance(float value, float variation) = 0;
  // Seconds.
  virtual void setLifeTime(float value, float variation) = 0;
  virtual void setVelocity(float x, float y, float z) = 0;
  virtual void setExplosion(float value) = 0;
  virtual void setVibration(float value, float variation) = 0;
  virtual void setGravity(float x, float y, float z) = 0;
  // The share of the emitter's own motion its new particles take.
  virtual void setParentMotion(float value) = 0;
  virtual void setRandomVelocity(float value) = 0;
  virtual void setCurlNoisePower(float value) = 0;
  virtual void setCurlNoiseFrequency(float value) = 0;
  virtual void setWorldMatrix(const irr::core::matrix4& world) = 0;
  // Where the eye is: sorted particles go back to front from it.
  virtual void setSortReference(float x, float y, float z) = 0;
  virtual void setSorted(bool sorted) = 0;
  virtual void setKind(int32_t kind) = 0;
  // The mesh of the mesh kinds (null: none); both cursors go back to the
  // start. False, with a message, when the mesh has nothing to emit from.
  virtual bool setMesh(irr::scene::IMesh* mesh) = 0;
  // The emitter the parent kinds emit from (null: none).
  virtual void setParent(IZeFxEmitter* parent) = 0;
  virtual uint32_t getLiveCount() const = 0;
  // Every particle back to the pool and the emitted count to 0.
  virtual void reset() = 0;
  virtual void resetEmittedCount() = 0;

  // Takes `count` particles of a private pool (0: 65536), or uses the shared
  // pool. False when the count is negative or memory runs out.
  virtual bool init(int32_t count, bool shared) = 0;
  // One step to `nowMs` (milliseconds).
  virtual void update(uint32_t nowMs) = 0;
};
