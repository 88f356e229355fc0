// The engine's mesh manipulator: normals, tangent copies, point clouds and
// vertex numbers.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <cstring>
#include <set>
#include <sys/resource.h>

#include "mesh/CZeMeshManipulator.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "meshTestSupport.h"

using namespace irr;

namespace {

// Triangles given by corner positions, each triangle its own three vertices
// unless `shared` indices are given.
CZeSkinMeshBuffer* makeBuffer(const std::vector<core::vector3df>& positions, const std::vector<u32>& indices,
                              video::E_VERTEX_TYPE type = video::EVT_STANDARD) {
  CZeSkinMeshBuffer* buffer = new CZeSkinMeshBuffer(type);
  buffer->setIndexType(positions.size() > 65535 ? video::EIT_32BIT : video::EIT_16BIT);
  for (std::size_t i = 0; i < positions.size(); ++i) {
    const core::vector3df n(0, 1, 0);
    const core::vector2df uv(positions[i].X, positions[i].Y);
    if (type == video::EVT_2TCOORDS)
      buffer->Vertices_2TCoords.push_back(video::S3DVertex2TCoords(positions[i], n, video::SColor(0xFFFFFFFF), uv,
                                                                   core::vector2df(0.5f + i, 0.25f * i)));
    else if (type == video::EVT_TANGENTS)
      buffer->Vertices_Tangents.push_back(video::S3DVertexTangents(positions[i], n, video::SColor(0xFFFFFFFF), uv));
    else
      buffer->Vertices_Standard.push_back(video::S3DVertex(positions[i], n, video::SColor(0xFFFFFFFF), uv));
  }
  for (u32 i : indices) buffer->pushIndex(i);
  buffer->recalculateBoundingBox();
  return buffer;
}

scene::SMesh* meshOf(std::initializer_list<CZeSkinMeshBuffer*> buffers) {
  scene::SMesh* mesh = new scene::SMesh();
  for (CZeSkinMeshBuffer* b : buffers) {
    mesh->addMeshBuffer(b);
    b->drop();
  }
  mesh->recalculateBoundingBox();
  return mesh;
}

// A flat quad in z = 0 made of a large and a small triangle.
CZeSkinMeshBuffer* lopsidedQuad() {
  return makeBuffer({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 1, 0}}, {0, 1, 2, 0, 2, 3});
}

CZeSkinMeshBuffer* gridBuffer(u32 vertices) {
  std::vector<core::vector3df> p;
  std::vector<u32> idx;
  for (u32 i = 0; i < vertices; ++i) p.push_back(core::vector3df(static_cast<f32>(i % 300), static_cast<f32>(i / 300), 0));
  for (u32 i = 0; i + 301 < vertices; i += 2) {
    idx.push_back(i);
    idx.push_back(i + 1);
    idx.push_back(i + 300);
  }
  return makeBuffer(p, idx);
}

class Manipulator : public ::testing::Test {
 protected:
  void SetUp() override { testLog().Lines.clear(); }
};

}  // namespace

TEST_F(Manipulator, NormalsOfAFlatQuadAreTheFaceNormalWhateverTheTriangleSizes) {
  for (video::E_VERTEX_TYPE type : {video::EVT_STANDARD, video::EVT_2TCOORDS, video::EVT_TANGENTS}) {
    CZeSkinMeshBuffer* quad = makeBuffer({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 1, 0}, {5, 5, 5}},
                                         {0, 1, 2, 0, 2, 3}, type);
    // The same with 32-bit indices.
    CZeSkinMeshBuffer* wide = makeBuffer({{0, 0, 0}, {10, 0, 0}, {10, 10, 0}, {0, 1, 0}}, {0, 1, 2, 0, 2, 3}, type);
    wide->setIndexType(video::EIT_32BIT);
    scene::SMesh* mesh = meshOf({quad, wide});
    CZeMeshManipulator::recalculateNormals(mesh);
    for (u32 b = 0; b < 2; ++b)
      for (u32 v = 0; v < 4; ++v) {
        const core::vector3df n = mesh->getMeshBuffer(b)->getNormal(v);
        EXPECT_NEAR(n.X, 0.0f, 1e-6f);
        EXPECT_NEAR(n.Y, 0.0f, 1e-6f);
        // The approximate reciprocal square root is good to about 12 bits.
        EXPECT_NEAR(n.Z, 1.0f, 1e-3f);
      }
    // A vertex no triangle uses keeps its normal.
    EXPECT_EQ(mesh->getMeshBuffer(0)->getNormal(4), core::vector3df(0, 1, 0));
    mesh->drop();
  }
}

TEST_F(Manipulator, NormalsSkipBuffersOfMoreThan65536Vertices) {
  scene::SMesh* mesh = meshOf({gridBuffer(65537), gridBuffer(65536)});
  CZeMeshManipulator::recalculateNormals(mesh);
  EXPECT_EQ(testLog().count(
                "CZeMeshManipulator::recalculateNormals : Too many vertices 65537. Does not support more than 65536",
                ELL_WARNING),
            1);
  EXPECT_EQ(mesh->getMeshBuffer(0)->getNormal(0), core::vector3df(0, 1, 0));
  EXPECT_NEAR(std::fabs(mesh->getMeshBuffer(1)->getNormal(0).Z), 1.0f, 1e-3f);
  mesh->drop();
}

TEST_F(Manipulator, TangentCopyCarriesSecondCoordinatesAndEngineData) {
  scene::IMeshManipulator* library = testDevice()->getSceneManager()->getMeshManipulator();
  EXPECT_EQ(CZeMeshManipulator::createTangentMeshCopy(library, nullptr, true), nullptr);
  for (bool keep : {false, true}) {
    CZeSkinMeshBuffer* two = makeBuffer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, video::EVT_2TCOORDS);
    two->UV2Mask = 3;
    two->OriginalVerticesIndices.push_back(7);
    two->OriginalVerticesIndices.push_back(8);
    two->OriginalVerticesIndices.push_back(9);
    two->setHardwareMappingHint(scene::EHM_STATIC);
    CZeSkinMeshBuffer* wide = makeBuffer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2});
    wide->setIndexType(video::EIT_32BIT);
    scene::SMesh* mesh = meshOf({two, wide});
    scene::SMesh* copy = CZeMeshManipulator::createTangentMeshCopy(library, mesh, keep);
    ASSERT_NE(copy, nullptr);
    ASSERT_EQ(copy->getMeshBufferCount(), 2u);
    scene::IMeshBuffer* out = copy->getMeshBuffer(0);
    EXPECT_EQ(out->getVertexType(), video::EVT_TANGENTS);
    EXPECT_EQ(out->getHardwareMappingHint_Vertex(), scene::EHM_STATIC);
    EXPECT_EQ(zeMeshBufferUV2Mask(out), 3);
    ASSERT_NE(zeMeshBufferOriginalIndices(out), nullptr);
    EXPECT_EQ(zeMeshBufferOriginalIndices(out)[2], 9u);
    EXPECT_EQ(copy->getMeshBuffer(1)->getIndexType(), video::EIT_32BIT);
    const video::S3DVertexTangents* v = static_cast<const video::S3DVertexTangents*>(out->getVertices());
    const video::S3DVertexTangents* w = static_cast<const video::S3DVertexTangents*>(copy->getMeshBuffer(1)->getVertices());
    for (u32 i = 0; i < 3; ++i) {
      // The tangent is always the computed one.
      EXPECT_NE(v[i].Tangent, core::vector3df(0, 0, 0));
      if (keep) {
        EXPECT_EQ(v[i].Binormal.X, 0.5f + i);
        EXPECT_EQ(v[i].Binormal.Y, 0.25f * i);
        EXPECT_EQ(v[i].Binormal.Z, w[i].Binormal.Z);
      } else {
        EXPECT_EQ(v[i].Binormal, w[i].Binormal);
      }
      // A standard-vertex source keeps the computed binormal either way.
      EXPECT_NE(w[i].Binormal, core::vector3df(0, 0, 0));
    }
    copy->drop();
    mesh->drop();
  }
}

TEST_F(Manipulator, PointCloudSpreadsPointsByAreaAndNumbersThem) {
  scene::SMesh* mesh = meshOf({lopsidedQuad(), makeBuffer({{0, 0, 1}, {2, 0, 1}, {0, 2, 1}}, {0, 1, 2})});
  scene::SMesh* cloud = CZeMeshManipulator::createPointCloudMesh(mesh, 1000, false);
  ASSERT_EQ(cloud->getMeshBufferCount(), 2u);
  EXPECT_EQ(testLog().count(ELL_WARNING), 0) << testLog().all();
  // Areas 50, 5 and 2 of 57: 877 + 87 + (35 + the one left over) points.
  EXPECT_EQ(cloud->getMeshBuffer(0)->getVertexCount(), 877u + 87u);
  EXPECT_EQ(cloud->getMeshBuffer(1)->getVertexCount(), 36u);
  EXPECT_EQ(cloud->getMeshBuffer(0)->getIndexCount(), 0u);
  u32 running = 0;
  for (u32 b = 0; b < 2; ++b) {
    const video::S3DVertex* p = static_cast<const video::S3DVertex*>(cloud->getMeshBuffer(b)->getVertices());
    for (u32 i = 0; i < cloud->getMeshBuffer(b)->getVertexCount(); ++i) {
      EXPECT_EQ(p[i].Color.color, running++);
      EXPECT_EQ(p[i].Pos.Z, b == 0 ? 0.0f : 1.0f);
      EXPECT_GE(p[i].Pos.X, -1e-4f);
      EXPECT_GE(p[i].Pos.Y, -1e-4f);
      EXPECT_LE(p[i].Pos.X + (b == 0 ? 0.0f : p[i].Pos.Y), b == 0 ? 10.0001f : 2.0001f);
    }
  }
  // Deterministic: a second call gives the same cloud, point numbers included.
  scene::SMesh* again = CZeMeshManipulator::createPointCloudMesh(mesh, 1000, false);
  for (u32 b = 0; b < 2; ++b)
    EXPECT_EQ(0, std::memcmp(cloud->getMeshBuffer(b)->getVertices(), again->getMeshBuffer(b)->getVertices(),
                             cloud->getMeshBuffer(b)->getVertexCount() * sizeof(video::S3DVertex)));
  // Shuffled: the same points, numbers out of order, and the same on every call.
  scene::SMesh* shuffled = CZeMeshManipulator::createPointCloudMesh(mesh, 1000, true);
  scene::SMesh* shuffledAgain = CZeMeshManipulator::createPointCloudMesh(mesh, 1000, true);
  const video::S3DVertex* s = static_cast<const video::S3DVertex*>(shuffled->getMeshBuffer(0)->getVertices());
  std::set<u32> numbers;
  bool ordered = true;
  for (u32 i = 0; i < shuffled->getMeshBuffer(0)->getVertexCount(); ++i) {
    numbers.insert(s[i].Color.color);
    if (s[i].Color.color != i) ordered = false;
  }
  EXPECT_FALSE(ordered);
  EXPECT_EQ(numbers.size(), 964u);
  EXPECT_EQ(0, std::memcmp(shuffled->getMeshBuffer(1)->getVertices(), shuffledAgain->getMeshBuffer(1)->getVertices(),
                           shuffled->getMeshBuffer(1)->getVertexCount() * sizeof(video::S3DVertex)));
  for (scene::SMesh* m : {cloud, again, shuffled, shuffledAgain}) m->drop();
  mesh->drop();
}

TEST_F(Manipulator, PointCloudEdgeCases) {
  struct Case {
    const char* what;
    std::vector<std::vector<core::vector3df>> buffers;  // triangles (three corners each)
    u32 points;
    std::vector<u32> expected;
    const char* warning;
  } cases[] = {
      {"no points", {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}}, 0, {0}, nullptr},
      {"zero area: the last triangle takes all",
       {{{0, 0, 0}, {1, 0, 0}, {2, 0, 0}}, {{0, 0, 0}, {0, 0, 0}, {0, 0, 0}}},
       10,
       {0, 10},
       nullptr},
      {"last buffer without triangles", {{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 0}, {1, 0, 0}, {0, 3, 0}}, {}}, 7, {6, 0},
       "CZeMeshManipulator::createPointCloudMesh : Warning, total=6 different from expected numVertices=7"},
  };
  for (const Case& c : cases) {
    testLog().Lines.clear();
    scene::SMesh* mesh = new scene::SMesh();
    for (const auto& corners : c.buffers) {
      std::vector<u32> idx;
      for (u32 i = 0; i < corners.size(); ++i) idx.push_back(i);
      CZeSkinMeshBuffer* b = makeBuffer(corners, idx);
      mesh->addMeshBuffer(b);
      b->drop();
    }
    scene::SMesh* cloud = CZeMeshManipulator::createPointCloudMesh(mesh, c.points, false);
    ASSERT_EQ(cloud->getMeshBufferCount(), c.expected.size()) << c.what;
    for (u32 b = 0; b < c.expected.size(); ++b)
      EXPECT_EQ(cloud->getMeshBuffer(b)->getVertexCount(), c.expected[b]) << c.what;
    if (c.warning)
      EXPECT_EQ(testLog().count(c.warning, ELL_WARNING), 1) << c.what << "\n" << testLog().all();
    else
      EXPECT_EQ(testLog().count(ELL_WARNING), 0) << c.what << "\n" << testLog().all();
    cloud->drop();
    mesh->drop();
  }
  // Tangent vertices are refused: an empty buffer, and the error again for the shuffle.
  testLog().Lines.clear();
  scene::SMesh* mesh = meshOf({makeBuffer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2}, video::EVT_TANGENTS)});
  scene::SMesh* cloud = CZeMeshManipulator::createPointCloudMesh(mesh, 5, true);
  EXPECT_EQ(cloud->getMeshBuffer(0)->getVertexCount(), 0u);
  EXPECT_EQ(testLog().count("CZeMeshManipulator::createPointCloudMesh : error, video::EVT_TANGENTS is not supported",
                            ELL_ERROR),
            2);
  cloud->drop();
  mesh->drop();
}

TEST_F(Manipulator, PointCloudThatDoesNotFitInMemoryFailsWithAMessage) {
#if defined(__SANITIZE_ADDRESS__)
  GTEST_SKIP() << "address-space limits and the address sanitizer do not mix";
#endif
  // The count comes from a scene file: 4 G points need 144 GB. In a child
  // whose address space is limited, so the refusal does not depend on the
  // machine.
  EXPECT_EXIT(
      {
        rlimit limit;
        limit.rlim_cur = limit.rlim_max = rlim_t(8) << 30;
        setrlimit(RLIMIT_AS, &limit);
        testLog().Lines.clear();
        scene::SMesh* mesh = meshOf({makeBuffer({{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {0, 1, 2})});
        scene::SMesh* cloud = CZeMeshManipulator::createPointCloudMesh(mesh, 4000000000u, false);
        const bool said =
            testLog().count("CZeMeshManipulator::createPointCloudMesh : failed to alloc 4000000000 points", ELL_ERROR) == 1;
        std::_Exit(cloud == nullptr && said ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(Manipulator, VertexIdsRunThroughAllBuffers) {
  scene::SMesh* mesh = meshOf({lopsidedQuad(), makeBuffer({{0, 0, 1}, {2, 0, 1}, {0, 2, 1}}, {0, 1, 2}, video::EVT_TANGENTS),
                               makeBuffer({{0, 0, 1}, {2, 0, 1}}, {}, video::EVT_2TCOORDS)});
  CZeMeshManipulator::writeVertexIds(mesh);
  u32 expected = 0;
  for (u32 b = 0; b < 3; ++b) {
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
      const video::S3DVertex* vertex = buffer->getVertexType() == video::EVT_TANGENTS
                                           ? &static_cast<video::S3DVertexTangents*>(buffer->getVertices())[v]
                                       : buffer->getVertexType() == video::EVT_2TCOORDS
                                           ? &static_cast<video::S3DVertex2TCoords*>(buffer->getVertices())[v]
                                           : &static_cast<video::S3DVertex*>(buffer->getVertices())[v];
      EXPECT_EQ(vertex->Color.color, expected++);
    }
  }
  EXPECT_EQ(expected, 9u);
  mesh->drop();
}
