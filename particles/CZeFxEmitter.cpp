#include "particles/CZeFxEmitter.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "base/zeMessage.h"
#include "particles/zeParticleRandom.h"

using namespace irr;

namespace {

// A zero (or not finite) vector normalises to zero: a point emitter or a
// zero-size box gives no direction, never NaN.
void normalise(float v[3]) {
  const float length2 = v[0] * v[0] + v[1] * v[1] + v[2] * v[2];
  if (!(length2 > 0) || !std::isfinite(length2)) {
    v[0] = v[1] = v[2] = 0;
    return;
  }
  const float k = 1.0f / std::sqrt(length2);
  v[0] *= k, v[1] *= k, v[2] *= k;
}

// x^(-1/2) by the bit trick and two Newton steps.
float fastInverseSqrt(float x) {
  uint32_t i;
  std::memcpy(&i, &x, 4);
  i = 0x5F3759DFu - (i >> 1);
  float y;
  std::memcpy(&y, &i, 4);
  y = y * (1.5f - 0.5f * x * y * y);
  y = y * (1.5f - 0.5f * x * y * y);
  return y;
}

void transform(const core::matrix4& m, const float p[3], float out[3]) {
  out[0] = p[0] * m[0] + p[1] * m[4] + p[2] * m[8] + m[12];
  out[1] = p[0] * m[1] + p[1] * m[5] + p[2] * m[9] + m[13];
  out[2] = p[0] * m[2] + p[1] * m[6] + p[2] * m[10] + m[14];
}

void rotate(const core::matrix4& m, const float v[3], float out[3]) {
  out[0] = v[0] * m[0] + v[1] * m[4] + v[2] * m[8];
  out[1] = v[0] * m[1] + v[1] * m[5] + v[2] * m[9];
  out[2] = v[0] * m[2] + v[1] * m[6] + v[2] * m[10];
}

// An index in [0, count) from a raw draw r (0..32767).
u32 pick(u32 count, int r) {
  const u32 i = static_cast<u32>((static_cast<float>(count) - 0.001f) / 32767.0f * static_cast<float>(r));
  return i < count ? i : count - 1;
}

}  // namespace

CZeFxEmitter::~CZeFxEmitter() { release(); }

void CZeFxEmitter::release() {
  detachChildren();
  setParent(nullptr);
  if (pool_) {
    reset();
    if (shared_) zeSharedParticlePoolDrop();
    else delete pool_;
    pool_ = nullptr;
  }
  if (mesh_) mesh_->drop();
  mesh_ = nullptr;
}

void CZeFxEmitter::detachChildren() {
  for (CZeFxEmitter* child : children_) child->parent_ = nullptr;
  children_.clear();
}

bool CZeFxEmitter::init(int32_t count, bool shared) {
  if (pool_ || count < 0) return false;
  if (shared) {
    pool_ = zeSharedParticlePoolGrab();
  } else {
    pool_ = CZeParticlePool::create(count == 0 ? ZE_PARTICLE_POOL_DEFAULT : static_cast<uint32_t>(count));
  }
  if (!pool_) {
    zeMessage(ZE_ERROR, "CZeFxEmitter: no memory for %s particle pool", shared ? "the shared" : "a");
    return false;
  }
  shared_ = shared;
  return true;
}

bool CZeFxEmitter::initStatic(scene::IMesh* mesh) {
  u64 total = 0;
  for (u32 b = 0; mesh && b < mesh->getMeshBufferCount(); ++b) total += mesh->getMeshBuffer(b)->getVertexCount();
  if (total == 0 || total > 0x7FFFFFFF) {
    zeMessage(ZE_ERROR, "CZeFxEmitter: a static emitter needs a mesh with vertices");
    return false;
  }
  if (!init(static_cast<int32_t>(total), false)) return false;
  SZeParticle* nodes = pool_->nodes();
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
      const u32 i = pool_->take();
      SZeParticle& q = nodes[i];
      const core::vector3df& at = buffer->getPosition(v);
      q.birth = 0;
      q.death = ZE_EMITTER_NEVER;
      q.sortKey = 0;
      const float position[4] = {at.X, at.Y, at.Z, 1}, velocity[4] = {0, 0, 0, 0};
      std::memcpy(q.position, position, sizeof position);
      std::memcpy(q.velocity, velocity, sizeof velocity);
      q.next = tail_ == ZE_PARTICLE_NONE ? i : nodes[tail_].next;
      if (tail_ != ZE_PARTICLE_NONE) nodes[tail_].next = i;
      tail_ = i;
      ++live_;
    }
  }
  p_.birthRate = 0;  // the vertices are all it shows
  return true;
}

void CZeFxEmitter::setGeneratorSize(float x, float y, float z) {
  p_.generatorSize[0] = x, p_.generatorSize[1] = y, p_.generatorSize[2] = z;
}

void CZeFxEmitter::setVelocity(float x, float y, float z) {
  p_.velocity[0] = x, p_.velocity[1] = y, p_.velocity[2] = z, p_.velocity[3] = 0;
}

void CZeFxEmitter::setGravity(float x, float y, float z) {
  p_.gravity[0] = x, p_.gravity[1] = y, p_.gravity[2] = z, p_.gravity[3] = 0;
}

void CZeFxEmitter::setSortReference(float x, float y, float z) {
  p_.sortReference[0] = x, p_.sortReference[1] = y, p_.sortReference[2] = z, p_.sortReference[3] = 1;
}

bool CZeFxEmitter::setMesh(scene::IMesh* mesh) {
  if (mesh) mesh->grab();
  if (mesh_) mesh_->drop();
  mesh_ = mesh;
  vertexBuffers_.clear();
  triangleBuffers_.clear();
  bufferCursor_ = vertexCursor_ = 0;
  if (!mesh) return true;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    const scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    if (buffer->getVertexCount() > 0) vertexBuffers_.push_back(b);
    if (buffer->getVertexCount() > 0 && buffer->getIndexCount() >= 3) triangleBuffers_.push_back(b);
  }
  if (vertexBuffers_.empty()) {
    zeMessage(ZE_ERROR, "CZeFxEmitter: the mesh has no vertices to emit from");
    return false;
  }
  if (p_.kind == ZE_EMITTER_MESH_SURFACE && triangleBuffers_.empty()) {
    zeMessage(ZE_ERROR, "CZeFxEmitter: the mesh has no triangles to emit from");
    return false;
  }
  return true;
}

void CZeFxEmitter::setParent(IZeFxEmitter* parent) {
  CZeFxEmitter* p = dynamic_cast<CZeFxEmitter*>(parent);
  if (p == this) p = nullptr;  // its own particles would feed themselves
  if (parent_) parent_->children_.erase(std::find(parent_->children_.begin(), parent_->children_.end(), this));
  parent_ = p;
  if (p) p->children_.push_back(this);
}

void CZeFxEmitter::reset() {
  if (!pool_) return;
  SZeParticle* nodes = pool_->nodes();
  if (tail_ != ZE_PARTICLE_NONE) {
    const uint32_t head = nodes[tail_].next;
    nodes[tail_].next = ZE_PARTICLE_NONE;
    pool_->giveList(head, tail_, live_);
  }
  pool_->giveList(dead_.head, dead_.tail, dead_.count);
  tail_ = ZE_PARTICLE_NONE;
  dead_ = SZeParticleList{};
  live_ = 0;
  emitted_ = 0;
}

unsigned CZeFxEmitter::stepVariant() const {
  unsigned v = 0;
  if (p_.randomVelocity != 0) v |= ZE_STEP_RANDOM;
  if (p_.curlNoisePower != 0) v |= ZE_STEP_CURL;
  // A weight of 0 would divide by zero: the term is left out.
  if (p_.resistance != 0 && p_.weight != 0) v |= ZE_STEP_RESISTANCE;
  if (p_.gravity[0] != 0 || p_.gravity[1] != 0 || p_.gravity[2] != 0) v |= ZE_STEP_GRAVITY;
  if (p_.sorted) v |= ZE_STEP_SORTED;
  return v;
}

// --- Update ------------------------------------------------------------------------------------------

void CZeFxEmitter::update(uint32_t nowMs) {
  if (!pool_) return;
  pool_->giveList(dead_.head, dead_.tail, dead_.count);
  dead_ = SZeParticleList{};
  const float* at = &p_.world[12];
  if (!started_) {
    started_ = true;
    lastMs_ = sampleMs_ = nowMs;
    std::memcpy(samplePosition_, at, sizeof samplePosition_);
    previousWorld_ = p_.world;
    return;
  }
  // Time going back (a scene played from an earlier point) is no step.
  const uint32_t dtMs = nowMs >= lastMs_ ? nowMs - lastMs_ : 0;
  lastMs_ = nowMs;
  if (nowMs < sampleMs_) {
    sampleMs_ = nowMs;
    std::memcpy(samplePosition_, at, sizeof samplePosition_);
  } else if (nowMs - sampleMs_ >= 11) {
    const float k = 1000.0f / static_cast<float>(nowMs - sampleMs_);
    for (int a = 0; a < 3; ++a) velocity_[a] = (at[a] - samplePosition_[a]) * k;
    sampleMs_ = nowMs;
    std::memcpy(samplePosition_, at, sizeof samplePosition_);
  }

  const float t = static_cast<float>(nowMs) / 1000.0f;
  const float dt = static_cast<float>(dtMs) / 1000.0f;
  if (p_.particleLimit <= 0 || emitted_ < static_cast<uint32_t>(p_.particleLimit)) {
    const uint32_t budget =
        p_.particleLimit > 0 ? static_cast<uint32_t>(p_.particleLimit) - emitted_ : ZE_EMITTER_MAX_BIRTHS;
    emitted_ += emit(t, dtMs, budget);
  }

  SZeParticleStep step;
  step.variant = stepVariant();
  step.time = t;
  step.dt = dt;
  if (step.variant & ZE_STEP_RANDOM) {
    const float k = p_.randomVelocity * 0.05f;
    for (int a = 0; a < 3; ++a) step.randomVelocity[a] = zeParticleRandomCentred() * k;
  }
  step.curlPower = p_.curlNoisePower;
  step.curlFrequency = p_.curlNoiseFrequency;
  // Drag never turns a particle round, however long the step.
  if (step.variant & ZE_STEP_RESISTANCE) step.drag = std::min(p_.resistance / p_.weight * dt, 1.0f);
  std::memcpy(step.gravity, p_.gravity, sizeof step.gravity);
  std::memcpy(step.sortReference, p_.sortReference, sizeof step.sortReference);
  live_ = zeParticleStep(pool_->nodes(), &tail_, live_, &dead_, step);
  if (p_.sorted && live_ >= 2) tail_ = zeParticleSortRing(pool_->nodes(), tail_);
}

// --- Emission ----------------------------------------------------------------------------------------

uint32_t CZeFxEmitter::emit(float t, uint32_t dtMs, uint32_t budget) {
  // In double from the milliseconds: 25 per second over 40 ms is one birth.
  double f = static_cast<double>(p_.birthRate) * dtMs / 1000.0 + carry_;
  uint32_t n = 0;
  if (!(f > 0)) {
    carry_ = 0;  // a negative or NaN rate emits nothing and carries nothing
  } else if (f >= ZE_EMITTER_MAX_BIRTHS) {
    n = ZE_EMITTER_MAX_BIRTHS;
    carry_ = 0;
  } else {
    // A sum of carried fractions lands a hair under a whole birth: a tiny
    // tolerance keeps 30 per second at 30.
    n = static_cast<uint32_t>(f + 1e-9);
    carry_ = std::max(f - n, 0.0);
  }
  n = std::min(n, budget);

  const core::matrix4& m = p_.world;
  const core::matrix4& m0 = previousWorld_;
  float motion[3], motionChange[3];
  for (int a = 0; a < 3; ++a) {
    motion[a] = p_.parentMotion * velocity_[a];
    motionChange[a] = motion[a] - previousMotion_[a];
    previousMotion_[a] = motion[a];
  }
  const int32_t kind = p_.kind;
  const bool fromParent = kind == ZE_EMITTER_PARENT_LIVE || kind == ZE_EMITTER_PARENT_DEAD;
  const bool fromMesh = kind == ZE_EMITTER_MESH_VERTICES || kind == ZE_EMITTER_MESH_NORMALS ||
                        kind == ZE_EMITTER_MESH_SURFACE;
  if (fromMesh && (kind == ZE_EMITTER_MESH_SURFACE ? triangleBuffers_.empty() : vertexBuffers_.empty())) n = 0;
  if (kind < ZE_EMITTER_BOX || kind > ZE_EMITTER_PARENT_DEAD) n = 0;

  SZeParticle* nodes = pool_->nodes();
  parentCursor_ = ZE_PARTICLE_NONE;
  uint32_t made = 0;
  for (uint32_t i = 0; i < n; ++i) {
    const uint32_t index = pool_->take();
    if (index == ZE_PARTICLE_NONE) break;  // the pool is empty: the rest of the frame's births are lost
    SZeParticle& q = nodes[index];
    q.next = tail_ == ZE_PARTICLE_NONE ? index : nodes[tail_].next;
    if (tail_ != ZE_PARTICLE_NONE) nodes[tail_].next = index;
    tail_ = index;
    ++live_;
    ++made;

    q.birth = t;
    float life = p_.lifeTime + zeParticleRandomCentred() * p_.lifeTimeVariation;
    if (!(life > 0)) life = 0;
    q.death = t + life;
    q.sortKey = 0;

    Sample s;
    generate(&s);
    const float share = static_cast<float>(i) / static_cast<float>(n);
    float world[3];
    if (s.fromParent) {
      std::memcpy(world, s.position, sizeof world);
    } else {
      float a[3], b[3];
      transform(m0, s.position, a);
      transform(m, s.position, b);
      for (int k = 0; k < 3; ++k) world[k] = a[k] + (b[k] - a[k]) * share;
    }
    float shake[3] = {zeParticleRandomCentred(), zeParticleRandomCentred(), zeParticleRandomCentred()};
    normalise(shake);
    normalise(s.direction);
    float local[3], v[3];
    for (int k = 0; k < 3; ++k) local[k] = p_.velocity[k] + p_.vibration * shake[k] + p_.explosion * s.direction[k];
    rotate(m, local, v);
    for (int k = 0; k < 3; ++k)
      v[k] += fromParent ? p_.parentMotion * s.parentVelocity[k] : motion[k] + motionChange[k] * share;
    const float position[4] = {world[0], world[1], world[2], 1}, velocity[4] = {v[0], v[1], v[2], 0};
    std::memcpy(q.position, position, sizeof position);
    std::memcpy(q.velocity, velocity, sizeof velocity);
  }
  previousWorld_ = m;
  return made;
}

void CZeFxEmitter::generate(Sample* s) {
  std::memset(s, 0, sizeof *s);
  const float* size = p_.generatorSize;
  switch (p_.kind) {
    case ZE_EMITTER_BOX:
      for (int a = 0; a < 3; ++a) s->position[a] = zeParticleRandomCentred() * size[a];
      std::memcpy(s->direction, s->position, sizeof s->direction);
      break;
    case ZE_EMITTER_SPHERE: {
      float v[3] = {zeParticleRandomCentred(), zeParticleRandomCentred(), zeParticleRandomCentred()};
      normalise(v);
      const float radius = zeParticleRandomUnit() * 0.5f;
      for (int a = 0; a < 3; ++a) s->position[a] = v[a] * radius * size[a];
      std::memcpy(s->direction, s->position, sizeof s->direction);
      break;
    }
    case ZE_EMITTER_MESH_VERTICES:
    case ZE_EMITTER_MESH_NORMALS: {
      float normal[3];
      nextMeshVertex(s->position, normal);
      std::memcpy(s->direction, p_.kind == ZE_EMITTER_MESH_NORMALS ? normal : s->position, sizeof s->direction);
      break;
    }
    case ZE_EMITTER_MESH_SURFACE:
      meshSurfacePoint(s->position);
      std::memcpy(s->direction, s->position, sizeof s->direction);
      break;
    case ZE_EMITTER_PARENT_LIVE:
    case ZE_EMITTER_PARENT_DEAD: {
      s->fromParent = true;
      const SZeParticle* q = nextParentParticle();
      if (q) {
        std::memcpy(s->position, q->position, sizeof s->position);
        std::memcpy(s->direction, q->velocity, sizeof s->direction);
        std::memcpy(s->parentVelocity, q->velocity, sizeof s->parentVelocity);
      }
      break;
    }
    default:
      break;
  }
}

bool CZeFxEmitter::nextMeshVertex(float position[3], float normal[3]) {
  if (bufferCursor_ >= vertexBuffers_.size()) bufferCursor_ = 0;
  const scene::IMeshBuffer* buffer = mesh_->getMeshBuffer(vertexBuffers_[bufferCursor_]);
  if (vertexCursor_ >= buffer->getVertexCount()) vertexCursor_ = 0;
  const core::vector3df& p = buffer->getPosition(vertexCursor_);
  const core::vector3df& n = buffer->getNormal(vertexCursor_);
  position[0] = p.X, position[1] = p.Y, position[2] = p.Z;
  normal[0] = n.X, normal[1] = n.Y, normal[2] = n.Z;
  if (++vertexCursor_ >= buffer->getVertexCount()) {
    vertexCursor_ = 0;
    if (++bufferCursor_ >= vertexBuffers_.size()) bufferCursor_ = 0;
  }
  return true;
}

void CZeFxEmitter::meshSurfacePoint(float position[3]) {
  const u32 b = triangleBuffers_[pick(static_cast<u32>(triangleBuffers_.size()), zeParticleRandomDraw())];
  const scene::IMeshBuffer* buffer = mesh_->getMeshBuffer(b);
  const u32 triangles = buffer->getIndexCount() / 3;
  const u32 first = pick(triangles, zeParticleRandomDraw()) * 3;
  const u32 vertices = buffer->getVertexCount();
  u32 corner[3];
  for (int k = 0; k < 3; ++k) {
    const u32 i = buffer->getIndexType() == video::EIT_16BIT
                      ? static_cast<const u16*>(buffer->getIndices())[first + k]
                      : static_cast<const u32*>(static_cast<const void*>(buffer->getIndices()))[first + k];
    corner[k] = i < vertices ? i : 0;  // an index past the vertices reads the first one
  }
  const float u1 = zeParticleRandomUnit(), u2 = zeParticleRandomUnit();
  const float r = u1 * fastInverseSqrt(u1);  // sqrt(u1); 0 stays 0
  const float wa = 1 - r, wb = r * (1 - u2), wc = r * u2;
  const core::vector3df &a = buffer->getPosition(corner[0]), &bb = buffer->getPosition(corner[1]),
                        &c = buffer->getPosition(corner[2]);
  position[0] = wa * a.X + wb * bb.X + wc * c.X;
  position[1] = wa * a.Y + wb * bb.Y + wc * c.Y;
  position[2] = wa * a.Z + wb * bb.Z + wc * c.Z;
}

// The parent's particles in order, from its oldest, wrapping round: its
// live ring, or the list of those that died in its last update.
const SZeParticle* CZeFxEmitter::nextParentParticle() {
  if (!parent_ || !parent_->pool_) return nullptr;
  const SZeParticle* nodes = parent_->pool_->nodes();
  uint32_t first;
  if (p_.kind == ZE_EMITTER_PARENT_LIVE) first = parent_->tail_ == ZE_PARTICLE_NONE ? ZE_PARTICLE_NONE : nodes[parent_->tail_].next;
  else first = parent_->dead_.head;
  if (first == ZE_PARTICLE_NONE) return nullptr;
  if (parentCursor_ == ZE_PARTICLE_NONE) parentCursor_ = first;
  const SZeParticle* q = &nodes[parentCursor_];
  parentCursor_ = q->next == ZE_PARTICLE_NONE ? first : q->next;
  return q;
}
