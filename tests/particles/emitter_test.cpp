// The emitter's simulation: emission with carry, limits and reset, parent
// motion, the step against closed forms and a scalar reference in all 32
// variants, generators, curl lookups and the back-to-front sort.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <vector>

#include "particles/CZeFxEmitter.h"
#include "particles/zeParticleRandom.h"
#include "particles/zeParticleStep.h"
#include "particles/zeCurlNoise.h"

using namespace irr;

namespace {

std::unique_ptr<CZeFxEmitter> emitter(int32_t poolSize = 1000) {
  auto e = std::make_unique<CZeFxEmitter>();
  EXPECT_TRUE(e->init(poolSize, false));
  e->setLifeTime(1000, 0);
  e->setResistance(0, 0);
  return e;
}

std::vector<SZeParticle> live(const CZeFxEmitter& e) {
  std::vector<SZeParticle> out;
  e.forEachLive([&](const SZeParticle& p) { out.push_back(p); });
  return out;
}

core::matrix4 at(float x, float y, float z) {
  core::matrix4 m;
  m.setTranslation({x, y, z});
  return m;
}

}  // namespace

TEST(FxEmitter, BirthRate30Over16msFramesCarriesTheFraction) {
  auto e = emitter();
  e->setBirthRate(30);
  e->update(1000);  // the first update only starts the clock
  uint32_t before = 0;
  for (int frame = 1; frame <= 125; ++frame) {
    e->update(1000 + 16 * frame);
    const uint32_t now = e->emittedCount();
    EXPECT_LE(now - before, 1u) << "frame " << frame;
    before = now;
    // 30 per second on average: never more than the fraction behind.
    EXPECT_EQ(now, static_cast<uint32_t>(std::floor(30.0 * 0.016 * frame + 1e-4))) << "frame " << frame;
  }
  EXPECT_EQ(e->emittedCount(), 60u);  // 2 s
}

TEST(FxEmitter, LimitHoldsItsCountAndResetsStartOver) {
  auto e = emitter();
  e->setBirthRate(1000);
  e->setParticleLimit(10);
  for (uint32_t t = 0; t <= 200; t += 20) e->update(t);
  EXPECT_EQ(e->emittedCount(), 10u);
  EXPECT_EQ(e->getLiveCount(), 10u);
  e->resetEmittedCount();
  e->update(220);
  e->update(240);
  EXPECT_EQ(e->emittedCount(), 10u);  // 10 more after the count went back to 0
  EXPECT_EQ(e->getLiveCount(), 20u);
  e->reset();
  EXPECT_EQ(e->getLiveCount(), 0u);
  EXPECT_EQ(e->pool()->freeCount(), 1000u);  // every particle went back to the pool
  e->update(260);
  EXPECT_EQ(e->emittedCount(), 10u);  // the limit counts again from 0
}

TEST(FxEmitter, AnEmptyPoolStopsTheFramesEmissionEarly) {
  auto e = emitter(5);
  e->setBirthRate(1000);
  e->update(0);
  e->update(100);  // 100 births asked for, 5 particles to give
  EXPECT_EQ(e->getLiveCount(), 5u);
  EXPECT_EQ(e->emittedCount(), 5u);
}

TEST(FxEmitter, HugeStepsAndRatesNeverOverflowTheBirthCount) {
  for (float rate : {1e9f, 3e38f, INFINITY, NAN, -50.0f}) {
    auto e = emitter(64);
    e->setBirthRate(rate);
    e->update(1);
    e->update(4000000000u);
    EXPECT_EQ(e->getLiveCount(), rate > 0 ? 64u : 0u) << rate;
  }
}

TEST(FxEmitter, ZeroLifeParticlesDieInTheirFirstStep) {
  auto e = emitter();
  e->setBirthRate(1000);
  e->setLifeTime(1, 10);  // life = 1 + (u - 0.5) x 10: below 0 for about four in ten
  zeParticleRandomSeed(7);
  e->update(0);
  e->update(100);
  const uint32_t born = e->emittedCount();
  EXPECT_EQ(born, 100u);
  EXPECT_GT(born - e->getLiveCount(), 25u);
  EXPECT_LT(born - e->getLiveCount(), 55u);
  for (const SZeParticle& p : live(*e)) EXPECT_GT(p.death, p.birth);
}

TEST(FxEmitter, ParentMotionCarriesParticlesBornInAMovingFrame) {
  auto e = emitter();
  e->setGeneratorSize(0, 0, 0);  // a point: no direction, never NaN
  e->setExplosion(5);
  e->setBirthRate(25);  // one particle in a 40 ms frame
  e->setWorldMatrix(at(0, 0, 0));
  e->update(1000);
  e->setWorldMatrix(at(1, 0, 0));
  e->update(1040);  // 1 unit in 40 ms: 25 units per second
  std::vector<SZeParticle> p = live(*e);
  ASSERT_EQ(p.size(), 1u);
  EXPECT_FLOAT_EQ(p[0].velocity[0], 25.0f);
  EXPECT_FLOAT_EQ(p[0].velocity[1], 0.0f);
  // Born on the path at the frame's start and carried for one step of 40 ms.
  EXPECT_NEAR(p[0].position[0], 0.0f + 25.0f * 0.04f, 1e-5f);
  e->setParentMotion(0);
  e->setWorldMatrix(at(2, 0, 0));
  e->update(1080);
  p = live(*e);
  ASSERT_EQ(p.size(), 2u);
  EXPECT_FLOAT_EQ(p[1].velocity[0], 0.0f);  // parent motion 0: the new one stands still
}

TEST(FxEmitter, PositionsUnderGravityFollowTheClosedForm) {
  auto e = emitter();
  e->setGeneratorSize(0, 0, 0);
  e->setBirthRate(1);
  e->setVelocity(2, 3, 0);
  e->setGravity(0, -9.8f, 0);
  e->setWorldMatrix(at(5, 0, 0));
  e->update(0);
  e->update(1000);  // one particle, born at 1 s, stepped once
  const float dt = 0.02f;
  for (int n = 1; n <= 50; ++n) e->update(1000 + 20 * n);
  // Births of later frames came after; the first is the ring's oldest.
  const SZeParticle p = live(*e).front();
  // Velocity first, then position, each step: x_n = x_1 + v_1 n dt + g dt^2 n (n + 1) / 2,
  // with the particle's first step taken with the 1 s frame.
  const float v1y = 3.0f - 9.8f * 1.0f, x1y = v1y * 1.0f;
  const int n = 50;
  EXPECT_NEAR(p.position[0], 5.0f + 2.0f * (1.0f + n * dt), 1e-3f);
  EXPECT_NEAR(p.position[1], x1y + v1y * n * dt - 9.8f * dt * dt * n * (n + 1) / 2.0f, 1e-3f);
  EXPECT_NEAR(p.velocity[1], v1y - 9.8f * dt * n, 1e-3f);
  EXPECT_FLOAT_EQ(p.position[3], 1.0f);
  EXPECT_FLOAT_EQ(p.velocity[3], 0.0f);
}

TEST(FxEmitter, ParticlesOfOneFrameSpreadAlongThePath) {
  auto e = emitter();
  e->setGeneratorSize(0, 0, 0);
  e->setBirthRate(100);
  e->setParentMotion(0);
  e->setWorldMatrix(at(0, 0, 0));
  e->update(0);
  e->setWorldMatrix(at(10, 0, 0));
  e->update(100);  // 10 particles between x = 0 and x = 10, standing still
  std::vector<SZeParticle> p = live(*e);
  ASSERT_EQ(p.size(), 10u);
  for (size_t i = 0; i < p.size(); ++i) EXPECT_NEAR(p[i].position[0], float(i), 1e-5f);
}

TEST(FxEmitter, BoxAndSphereStayInsideTheirGenerator) {
  zeParticleRandomSeed(11);
  for (int kind : {ZE_EMITTER_BOX, ZE_EMITTER_SPHERE}) {
    auto e = emitter();
    e->setKind(kind);
    e->setGeneratorSize(2, 4, 6);
    e->setExplosion(1);
    e->setBirthRate(1000);
    e->update(0);
    e->update(100);
    for (const SZeParticle& p : live(*e)) {
      // One step of 0.1 s at explosion 1 moves a particle 0.1 along its direction.
      const float x = p.position[0] - p.velocity[0] * 0.1f, y = p.position[1] - p.velocity[1] * 0.1f,
                  z = p.position[2] - p.velocity[2] * 0.1f;
      if (kind == ZE_EMITTER_BOX) {
        EXPECT_LE(std::fabs(x), 1.0001f);
        EXPECT_LE(std::fabs(y), 2.0001f);
        EXPECT_LE(std::fabs(z), 3.0001f);
      } else {
        EXPECT_LE(x * x / 4 + y * y / 16 + z * z / 36, 0.2501f);  // radius u / 2, times the size
      }
      EXPECT_NEAR(std::sqrt(p.velocity[0] * p.velocity[0] + p.velocity[1] * p.velocity[1] +
                            p.velocity[2] * p.velocity[2]), 1.0f, 1e-4f);
    }
  }
}

namespace {

// Two buffers (three vertices, then an empty one, then one triangle) along x.
scene::SMesh* meshOfTwoBuffers() {
  auto* mesh = new scene::SMesh;
  auto* a = new scene::SMeshBuffer;
  for (int i = 0; i < 3; ++i) a->Vertices.push_back(video::S3DVertex(float(i), 0, 0, 0, 1, 0, 0, 0, 0));
  a->Indices.push_back(0), a->Indices.push_back(1), a->Indices.push_back(2);
  auto* empty = new scene::SMeshBuffer;
  auto* b = new scene::SMeshBuffer;
  for (int i = 0; i < 3; ++i) b->Vertices.push_back(video::S3DVertex(10.0f + i, 0, 0, 0, 0, 1, 0, 0, 0));
  b->Indices.push_back(0), b->Indices.push_back(1), b->Indices.push_back(2);
  for (scene::SMeshBuffer* buffer : {a, empty, b}) {
    mesh->addMeshBuffer(buffer);
    buffer->drop();
  }
  return mesh;
}

}  // namespace

TEST(FxEmitter, MeshVerticesAndNormalsComeInOrderAndWrap) {
  scene::SMesh* mesh = meshOfTwoBuffers();
  for (int kind : {ZE_EMITTER_MESH_VERTICES, ZE_EMITTER_MESH_NORMALS}) {
    auto e = emitter();
    e->setKind(kind);
    ASSERT_TRUE(e->setMesh(mesh));
    e->setExplosion(1);
    e->setBirthRate(80);
    e->update(0);
    e->update(100);  // 8 particles over 6 vertices: the first two again
    std::vector<SZeParticle> p = live(*e);
    ASSERT_EQ(p.size(), 8u);
    const float xs[] = {0, 1, 2, 10, 11, 12, 0, 1};
    for (size_t i = 0; i < p.size(); ++i) {
      const float x = p[i].position[0] - p[i].velocity[0] * 0.1f;
      EXPECT_NEAR(x, xs[i], 1e-4f) << i;
      if (kind == ZE_EMITTER_MESH_NORMALS) {
        EXPECT_FLOAT_EQ(p[i].velocity[i % 6 < 3 ? 1 : 2], 1.0f) << i;
      }
    }
  }
  mesh->drop();
}

TEST(FxEmitter, MeshSurfacePointsLieOnTheTriangles) {
  scene::SMesh* mesh = meshOfTwoBuffers();
  // Lift the third vertex of each triangle so the triangles have area.
  static_cast<scene::SMeshBuffer*>(mesh->getMeshBuffer(0))->Vertices[2].Pos.Y = 1;
  static_cast<scene::SMeshBuffer*>(mesh->getMeshBuffer(2))->Vertices[2].Pos.Y = 1;
  auto e = emitter();
  e->setKind(ZE_EMITTER_MESH_SURFACE);
  ASSERT_TRUE(e->setMesh(mesh));
  e->setBirthRate(1000);
  e->update(0);
  e->update(100);
  int inFirst = 0;
  for (const SZeParticle& p : live(*e)) {
    const float base = p.position[0] < 5 ? 0.0f : 10.0f;
    inFirst += base == 0;
    EXPECT_GE(p.position[1], -1e-5f);
    EXPECT_LE(p.position[1], 1.0f + 1e-5f);
    EXPECT_GE(p.position[0] - base, -1e-5f);
    EXPECT_LE(p.position[0] - base, 2.0f + 1e-5f);
    EXPECT_FLOAT_EQ(p.position[2], 0.0f);
  }
  EXPECT_GT(inFirst, 20);   // both triangles are used, never the empty buffer
  EXPECT_LT(inFirst, 80);
  mesh->drop();
}

TEST(FxEmitter, AMeshWithNothingToEmitFromIsRefused) {
  auto* mesh = new scene::SMesh;
  auto* empty = new scene::SMeshBuffer;
  mesh->addMeshBuffer(empty);
  empty->drop();
  auto e = emitter();
  e->setKind(ZE_EMITTER_MESH_VERTICES);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(e->setMesh(mesh));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("the mesh has no vertices to emit from"), std::string::npos);
  e->setBirthRate(100);
  e->update(0);
  e->update(100);
  EXPECT_EQ(e->getLiveCount(), 0u);  // nothing, and no endless search
  CZeFxEmitter still;
  testing::internal::CaptureStdout();
  EXPECT_FALSE(still.initStatic(mesh));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("needs a mesh with vertices"), std::string::npos);
  // Vertices but no triangles: the surface kind is refused.
  auto* points = new scene::SMeshBuffer;
  points->Vertices.push_back(video::S3DVertex());
  mesh->addMeshBuffer(points);
  points->drop();
  e->setKind(ZE_EMITTER_MESH_SURFACE);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(e->setMesh(mesh));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("no triangles"), std::string::npos);
  mesh->drop();
}

TEST(FxEmitter, ChildrenEmitFromTheParentsLiveAndDeadParticles) {
  auto parent = emitter();
  parent->setGeneratorSize(0, 0, 0);
  parent->setBirthRate(30);
  parent->setVelocity(0, 1, 0);
  parent->setLifeTime(0.05f, 0);
  auto fromLive = emitter(), fromDead = emitter();
  fromLive->setKind(ZE_EMITTER_PARENT_LIVE);
  fromDead->setKind(ZE_EMITTER_PARENT_DEAD);
  for (auto* child : {fromLive.get(), fromDead.get()}) {
    child->setParent(parent.get());
    child->setBirthRate(10);
    child->setParentMotion(2);
  }
  parent->setWorldMatrix(at(3, 0, 0));
  for (auto* e : {parent.get(), fromLive.get(), fromDead.get()}) e->update(0);
  parent->update(100);  // 3 parent particles, dying at 0.15 s
  fromLive->update(100);
  for (const SZeParticle& p : live(*fromLive)) {
    EXPECT_FLOAT_EQ(p.position[0], 3.0f);                // where a parent particle was
    EXPECT_FLOAT_EQ(p.velocity[1], 2.0f);                // parent motion x its velocity
  }
  EXPECT_EQ(fromLive->getLiveCount(), 1u);
  parent->update(200);  // they die
  fromDead->update(200);
  EXPECT_EQ(fromDead->getLiveCount(), 2u);  // 10 per second x 0.2 s
  for (const SZeParticle& p : live(*fromDead)) EXPECT_FLOAT_EQ(p.velocity[1], 2.0f);
  // A deleted parent leaves its children without one, never dangling.
  parent.reset();
  fromLive->update(300);
  fromDead->update(300);
  const std::vector<SZeParticle> after = live(*fromLive);
  ASSERT_EQ(after.size(), 3u);
  EXPECT_FLOAT_EQ(after[2].position[0], 0.0f);  // no parent: the origin, no velocity
  EXPECT_FLOAT_EQ(after[2].velocity[1], 0.0f);
}

TEST(FxEmitter, TheSharedPoolLivesAsLongAsItsUsers) {
  testing::internal::CaptureStdout();
  {
    CZeFxEmitter a, b;
    ASSERT_TRUE(a.init(0, true));
    ASSERT_TRUE(b.init(0, true));
    EXPECT_EQ(zeSharedParticlePoolUsers(), 2);
    EXPECT_EQ(a.pool(), b.pool());
    EXPECT_EQ(a.pool()->count(), ZE_PARTICLE_POOL_SHARED);
  }
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(zeSharedParticlePoolUsers(), 0);
  CZeFxEmitter c;
  EXPECT_FALSE(c.init(-1, false));  // a negative count fails the creation
  ASSERT_TRUE(c.init(0, false));
  EXPECT_EQ(c.pool()->count(), ZE_PARTICLE_POOL_DEFAULT);
}

// --- The step ---------------------------------------------------------------------------------------

namespace {

struct Scalar {
  float x[3], v[3], key;
};

// The step's maths written plainly, one float at a time.
Scalar scalarStep(Scalar p, const SZeParticleStep& s) {
  if (s.variant & ZE_STEP_RANDOM)
    for (int a = 0; a < 3; ++a) p.v[a] += s.randomVelocity[a];
  if (s.variant & ZE_STEP_CURL) {
    float c[3];
    zeParticleCurl(p.x, s.curlFrequency, c);
    for (int a = 0; a < 3; ++a) p.x[a] += c[a] * s.dt * s.curlPower;
  }
  if (s.variant & ZE_STEP_RESISTANCE)
    for (int a = 0; a < 3; ++a) p.v[a] -= p.v[a] * s.drag;
  if (s.variant & ZE_STEP_GRAVITY)
    for (int a = 0; a < 3; ++a) p.v[a] += s.gravity[a] * s.dt;
  for (int a = 0; a < 3; ++a) p.x[a] += p.v[a] * s.dt;
  if (s.variant & ZE_STEP_SORTED) {
    p.key = 0;
    for (int a = 0; a < 3; ++a) p.key += (p.x[a] - s.sortReference[a]) * (p.x[a] - s.sortReference[a]);
  }
  return p;
}

}  // namespace

TEST(ParticleStep, EveryVariantMatchesTheScalarMaths) {
  generateCurlNoise();
  std::unique_ptr<CZeParticlePool> pool(CZeParticlePool::create(64));
  for (unsigned variant = 0; variant < ZE_STEP_VARIANTS; ++variant) {
    SZeParticle* nodes = pool->nodes();
    // A ring of 40 particles; every fourth one's time has come.
    uint32_t tail = ZE_PARTICLE_NONE;
    std::vector<Scalar> expected;
    for (uint32_t i = 0; i < 40; ++i) {
      SZeParticle& p = nodes[i];
      p = SZeParticle{};
      p.death = i % 4 == 0 ? 1.0f : 9.0f;
      for (int a = 0; a < 3; ++a) {
        p.position[a] = 0.37f * float(i) - 3.0f * float(a);
        p.velocity[a] = 0.5f - 0.11f * float(i * (a + 1));
      }
      p.position[3] = 1;
      p.next = tail == ZE_PARTICLE_NONE ? i : nodes[tail].next;
      if (tail != ZE_PARTICLE_NONE) nodes[tail].next = i;
      tail = i;
    }
    SZeParticleStep s;
    s.variant = variant;
    s.time = 1.0f;
    s.dt = 0.016f;
    s.randomVelocity[0] = 0.2f, s.randomVelocity[1] = -0.1f, s.randomVelocity[2] = 0.05f;
    s.curlPower = 0.01f, s.curlFrequency = 4;
    s.drag = 0.03f;
    s.gravity[1] = -9.8f, s.gravity[2] = 1;
    s.sortReference[0] = 1, s.sortReference[1] = 2, s.sortReference[2] = 3;
    for (uint32_t i = 0; i < 40; ++i)
      if (i % 4) {
        Scalar p{};
        for (int a = 0; a < 3; ++a) p.x[a] = nodes[i].position[a], p.v[a] = nodes[i].velocity[a];
        expected.push_back(scalarStep(p, s));
      }
    SZeParticleList dead;
    EXPECT_EQ(zeParticleStep(nodes, &tail, 40, &dead, s), 30u);
    EXPECT_EQ(dead.count, 10u);
    uint32_t i = nodes[tail].next;
    for (const Scalar& e : expected) {
      for (int a = 0; a < 3; ++a) {
        EXPECT_NEAR(nodes[i].position[a], e.x[a], 1e-5f) << "variant " << variant;
        EXPECT_NEAR(nodes[i].velocity[a], e.v[a], 1e-5f) << "variant " << variant;
      }
      if (variant & ZE_STEP_SORTED) {
        EXPECT_NEAR(nodes[i].sortKey, e.key, 1e-3f);
      }
      i = nodes[i].next;
    }
    EXPECT_EQ(i, nodes[tail].next) << "the ring closes after the survivors";
  }
  releaseCurlNoise();
}

TEST(ParticleStep, CurlLookupsWrapAndStayFinite) {
  generateCurlNoise();
  const int n = zeCurlNoiseEdge();
  signed char voxel[3];
  zeCurlNoiseAt(3, 5, 7, voxel);
  float c[3];
  const float at[3] = {3, 5, 7};
  zeParticleCurl(at, 1, c);  // on a voxel: that voxel
  for (int a = 0; a < 3; ++a) EXPECT_FLOAT_EQ(c[a], voxel[a]);
  const float wrapped[3] = {3.0f + 2 * n, 5.0f - 3 * n, 7.0f + 10 * n};
  float w[3];
  zeParticleCurl(wrapped, 1, w);
  for (int a = 0; a < 3; ++a) EXPECT_FLOAT_EQ(w[a], c[a]);
  // Halfway between two voxels: their mean.
  signed char next[3];
  zeCurlNoiseAt(4, 5, 7, next);
  const float half[3] = {3.5f, 5, 7};
  zeParticleCurl(half, 1, w);
  for (int a = 0; a < 3; ++a) EXPECT_NEAR(w[a], (voxel[a] + next[a]) / 2.0f, 1e-4f);
  for (float bad : {NAN, INFINITY, -INFINITY, 3e38f, -1e30f, 2147483648.0f}) {
    const float p[3] = {bad, 1.5f, bad};
    zeParticleCurl(p, 4, w);
    for (float x : w) EXPECT_TRUE(std::isfinite(x) && std::fabs(x) <= 128) << bad;
  }
  releaseCurlNoise();
  zeParticleCurl(at, 1, w);  // the empty volume: a zero vector
  for (float x : w) EXPECT_EQ(x, 0.0f);
}

TEST(ParticleStep, SortPutsTheFarthestFirstAndKeepsTiesInOrder) {
  const uint32_t count = 1000;
  std::unique_ptr<CZeParticlePool> pool(CZeParticlePool::create(count));
  SZeParticle* nodes = pool->nodes();
  uint32_t tail = ZE_PARTICLE_NONE;
  zeParticleRandomSeed(3);
  for (uint32_t i = 0; i < count; ++i) {
    nodes[i].sortKey = float(zeParticleRandomDraw() % 97);  // many ties
    nodes[i].next = tail == ZE_PARTICLE_NONE ? i : nodes[tail].next;
    if (tail != ZE_PARTICLE_NONE) nodes[tail].next = i;
    tail = i;
  }
  std::vector<std::pair<float, uint32_t>> expected;
  for (uint32_t i = 0; i < count; ++i) expected.push_back({nodes[i].sortKey, i});
  std::stable_sort(expected.begin(), expected.end(), [](auto& a, auto& b) { return a.first > b.first; });
  tail = zeParticleSortRing(nodes, tail);
  uint32_t i = nodes[tail].next;
  for (const auto& e : expected) {
    EXPECT_EQ(i, e.second);
    i = nodes[i].next;
  }
  EXPECT_EQ(i, nodes[tail].next);
}

TEST(FxEmitter, SortedEmittersDrawBackToFront) {
  auto e = emitter();
  e->setSorted(true);
  e->setGeneratorSize(10, 10, 10);
  e->setBirthRate(1000);
  e->setSortReference(0, 0, -20);
  e->update(0);
  e->update(100);
  e->update(116);
  EXPECT_EQ(e->stepVariant(), unsigned(ZE_STEP_SORTED));
  float previous = INFINITY;
  for (const SZeParticle& p : live(*e)) {
    const float d = p.position[0] * p.position[0] + p.position[1] * p.position[1] +
                    (p.position[2] + 20) * (p.position[2] + 20);
    EXPECT_NEAR(p.sortKey, d, 1e-3f);
    EXPECT_LE(p.sortKey, previous);
    previous = p.sortKey;
  }
}

TEST(FxEmitter, EachTermThatIsOffCostsNothing) {
  auto e = emitter();
  EXPECT_EQ(e->stepVariant(), 0u);
  e->setRandomVelocity(1);
  e->setCurlNoisePower(1);
  e->setResistance(1, 0);
  e->setGravity(0, 0, -1);
  e->setSorted(true);
  EXPECT_EQ(e->stepVariant(), 31u);
  e->setWeight(0, 0);  // resistance / weight: the term is left out
  EXPECT_EQ(e->stepVariant(), 31u & ~unsigned(ZE_STEP_RESISTANCE));
}
