// Morph-skin buffers: joint bindings, skinning, blending and the checks
// before writing back into a mesh.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include "mesh/CZeMeshZN.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "meshTestSupport.h"

using namespace irr;

namespace {

// A skinned mesh of one buffer with `vertices` vertices on the x axis and
// `joints` root joints; weights are added by the test.
scene::ISkinnedMesh* skinnedMesh(u32 vertices, u32 joints) {
  scene::ISkinnedMesh* mesh = testDevice()->getSceneManager()->createSkinnedMesh();
  CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer();
  for (u32 v = 0; v < vertices; ++v)
    buffer->Vertices_Standard.push_back(
        video::S3DVertex(static_cast<f32>(v), 0, 0, 0, 0, 1, video::SColor(0xFFFFFFFF), 0, 0));
  mesh->getMeshBuffers().push_back(buffer);
  for (u32 j = 0; j < joints; ++j) {
    scene::ISkinnedMesh::SJoint* joint = mesh->addJoint(nullptr);
    joint->Name = ("j" + std::to_string(j)).c_str();
  }
  return mesh;
}

void weigh(scene::ISkinnedMesh* mesh, u32 joint, u32 vertex, f32 strength) {
  scene::ISkinnedMesh::SWeight* w = mesh->addWeight(mesh->getAllJoints()[joint]);
  w->buffer_id = 0;
  w->vertex_id = vertex;
  w->strength = strength;
}

class MeshZN : public ::testing::Test {
 protected:
  void SetUp() override { testLog().Lines.clear(); }
};

}  // namespace

TEST_F(MeshZN, BindingKeepsEightJointsAndIgnoresTinyWeights) {
  scene::ISkinnedMesh* mesh = skinnedMesh(4, 9);
  weigh(mesh, 0, 0, 0.0001f);   // ignored
  weigh(mesh, 0, 1, 0.00011f);  // binds
  for (u32 j = 0; j < 9; ++j) {
    weigh(mesh, j, 2, 0.1f);
    weigh(mesh, j, 3, 0.1f);
  }
  CZeMeshZN zn;
  ASSERT_TRUE(zn.create(mesh));
  EXPECT_EQ(zn.jointCount(), 9u);
  const CZeAlignedRecords<SZeWorkVertexZN>& v = zn.Buffers[0].Vertices;
  EXPECT_EQ(reinterpret_cast<uintptr_t>(v.data()) % 64, 0u);
  EXPECT_EQ(reinterpret_cast<uintptr_t>(zn.jointMatrix(0)) % 64, 0u);
  // Vertex 0: no binding left, so the identity at index J.
  EXPECT_EQ(v[0].jointCount, 1u);
  EXPECT_EQ(v[0].joints[0], 9u);
  EXPECT_EQ(v[0].weights[0], 1.0f);
  EXPECT_EQ(v[1].jointCount, 1u);
  EXPECT_EQ(v[1].joints[0], 0u);
  EXPECT_EQ(v[2].jointCount, 8u);
  EXPECT_EQ(v[2].joints[7], 7u);
  EXPECT_EQ(testLog().count("CZeMeshZN::create: Warning, too much joints > MAX 8 on MeshBuffer=0 Vertice=2",
                            ELL_WARNING),
            1)
      << testLog().all();
  EXPECT_EQ(testLog().count(ELL_WARNING), 1);
  mesh->drop();
}

TEST_F(MeshZN, SkinningBlendsJointMatricesByWeight) {
  scene::ISkinnedMesh* mesh = skinnedMesh(3, 2);
  weigh(mesh, 0, 0, 1.0f);
  weigh(mesh, 0, 1, 0.5f);
  weigh(mesh, 1, 1, 0.5f);
  mesh->finalize();
  // Joint 0 moves by (0, 10, 0); joint 1 turns a quarter around z.
  mesh->getAllJoints()[0]->GlobalAnimatedMatrix.setTranslation(core::vector3df(0, 10, 0));
  mesh->getAllJoints()[1]->GlobalAnimatedMatrix.setRotationDegrees(core::vector3df(0, 0, 90));
  CZeMeshZN zn;
  ASSERT_TRUE(zn.create(mesh));
  zn.updateJointMatrices(mesh);
  ASSERT_TRUE(zn.skinMesh(mesh));
  scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
  // Vertex 0 at (0,0,0) moved by joint 0 alone.
  EXPECT_EQ(buffer->getPosition(0), core::vector3df(0, 10, 0));
  // Vertex 1 at (1,0,0): half of (1,10,0) and half of the turned (0,1,0);
  // the normal (0,0,1) is unchanged by both.
  const core::vector3df turned = [] {
    core::matrix4 m;
    m.setRotationDegrees(core::vector3df(0, 0, 90));
    core::vector3df p(1, 0, 0);
    m.transformVect(p);
    return p;
  }();
  const core::vector3df expected = core::vector3df(1, 10, 0) * 0.5f + turned * 0.5f;
  EXPECT_NEAR(buffer->getPosition(1).X, expected.X, 1e-5f);
  EXPECT_NEAR(buffer->getPosition(1).Y, expected.Y, 1e-5f);
  EXPECT_NEAR(buffer->getNormal(1).Z, 1.0f, 1e-5f);
  // Vertex 2 has no joint: it keeps its base position through the identity.
  EXPECT_EQ(buffer->getPosition(2), core::vector3df(2, 0, 0));
  mesh->drop();
}

TEST_F(MeshZN, MorphBlendingIsLinearAndSkipsEmptyPairs) {
  scene::ISkinnedMesh* mesh = skinnedMesh(3, 0);
  CZeStaticMeshZN base;
  ASSERT_TRUE(base.create(mesh));
  CZeMeshZN zn;
  ASSERT_TRUE(zn.createBuffers(mesh));
  SZeMorphTargetZN up;
  SZeMorphTargetPartZN part;
  part.buffer = 0;
  part.vertices = {1, 2, 99};  // 99 is past the buffer and is skipped
  part.deltas.resize(3);
  for (SZeBaseVertexZN& d : part.deltas) {
    d = SZeBaseVertexZN{{0, 2, 0, 0}, {0, 0, 0, 0}};
  }
  up.parts.push_back(part);
  std::vector<SZeMorphTargetZN> targets{up, up};
  targets[1].parts[0].deltas[0].position[0] = 4;
  struct Case {
    std::vector<std::pair<uint32_t, float>> weights;
    core::vector3df vertex1;
  } cases[] = {
      {{{0, 1.0f}, {1, 0.0f}, {3, 1.0f}}, {1, 0, 0}},  // no target 0 or 3, weight 0
      {{{1, 0.5f}}, {1, 1, 0}},
      {{{1, 0.5f}, {2, 0.25f}}, {2, 1.5f, 0}},
  };
  for (const Case& c : cases) {
    zn.resetFromBase(base);
    zn.blend(c.weights, targets);
    ASSERT_TRUE(zn.copyToMesh(mesh));
    EXPECT_EQ(mesh->getMeshBuffer(0)->getPosition(1), c.vertex1);
    EXPECT_EQ(mesh->getMeshBuffer(0)->getPosition(0), core::vector3df(0, 0, 0));
  }
  mesh->drop();
}

TEST_F(MeshZN, WritingBackChecksTheMesh) {
  scene::ISkinnedMesh* source = skinnedMesh(3, 1);
  CZeMeshZN zn;
  ASSERT_TRUE(zn.create(source));
  zn.updateJointMatrices(source);

  scene::SMesh* twoBuffers = new scene::SMesh();
  scene::SMesh* tangents = new scene::SMesh();
  scene::SMesh* fewer = new scene::SMesh();
  for (int i = 0; i < 2; ++i) {
    CZeSkinMeshBuffer* b = new CZeSkinMeshBuffer();
    twoBuffers->addMeshBuffer(b);
    b->drop();
  }
  CZeSkinMeshBuffer* t = new CZeSkinMeshBuffer(video::EVT_TANGENTS);
  t->Vertices_Tangents.set_used(3);
  tangents->addMeshBuffer(t);
  t->drop();
  CZeSkinMeshBuffer* f = new CZeSkinMeshBuffer();
  f->Vertices_Standard.set_used(2);
  fewer->addMeshBuffer(f);
  f->drop();
  struct Case {
    scene::IMesh* mesh;
    const char* copyMessage;
  } cases[] = {
      {twoBuffers, "CZeMeshZN::copyToMesh: not same number of buffers"},
      {tangents, "CZeMeshZN::copyToMesh: not EVT_STANDARD vertex type"},
      {fewer, "CZeMeshZN::copyToMesh: not same number of vertices"},
  };
  for (const Case& c : cases) {
    testLog().Lines.clear();
    EXPECT_FALSE(zn.copyToMesh(c.mesh));
    EXPECT_EQ(testLog().count(c.copyMessage, ELL_ERROR), 1) << testLog().all();
  }
  // The skinning path says the same under its own name.
  scene::ISkinnedMesh* other = skinnedMesh(2, 1);
  testLog().Lines.clear();
  EXPECT_FALSE(zn.skinMesh(other));
  EXPECT_EQ(testLog().count("CZeMeshZN::skinMesh: not same number of vertices", ELL_ERROR), 1);
  for (scene::IMesh* m : {static_cast<scene::IMesh*>(twoBuffers), static_cast<scene::IMesh*>(tangents),
                          static_cast<scene::IMesh*>(fewer), static_cast<scene::IMesh*>(source),
                          static_cast<scene::IMesh*>(other)})
    m->drop();
}

TEST_F(MeshZN, VerticesWithASecondUVSetAreWrittenInPlace) {
  // Objects with a second texture-coordinate set have two-coordinate
  // vertices: positions and normals land in them, the coordinates stay.
  scene::ISkinnedMesh* source = skinnedMesh(3, 1);
  CZeMeshZN zn;
  ASSERT_TRUE(zn.create(source));
  zn.updateJointMatrices(source);
  scene::SMesh* mesh = new scene::SMesh();
  CZeSkinMeshBuffer* b = new CZeSkinMeshBuffer(video::EVT_2TCOORDS);
  b->Vertices_2TCoords.set_used(3);
  for (u32 v = 0; v < 3; ++v) b->Vertices_2TCoords[v].TCoords2.set(0.25f * v, 0.5f);
  mesh->addMeshBuffer(b);
  b->drop();
  for (bool skin : {false, true}) {
    SCOPED_TRACE(skin ? "skinMesh" : "copyToMesh");
    for (u32 v = 0; v < 3; ++v) b->Vertices_2TCoords[v].Pos.set(9, 9, 9);
    ASSERT_TRUE(skin ? zn.skinMesh(mesh) : zn.copyToMesh(mesh)) << testLog().all();
    for (u32 v = 0; v < 3; ++v) {
      EXPECT_EQ(b->Vertices_2TCoords[v].Pos, source->getMeshBuffer(0)->getPosition(v)) << v;
      EXPECT_EQ(b->Vertices_2TCoords[v].TCoords2, core::vector2df(0.25f * v, 0.5f)) << v;
    }
  }
  mesh->drop();
  source->drop();
}
