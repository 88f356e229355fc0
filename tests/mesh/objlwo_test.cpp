// The engine's .obj and .lwo loaders: what they make of sound files, and
// hostile files that must fail with a message (the stock loaders crashed or
// looped on them). The fuzz corpora of both are replayed here.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "mesh/CZeLwoMeshFileLoader.h"
#include "mesh/CZeObjMeshFileLoader.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/CZeSurfaceLightwave.h"
#include "mesh/zeMeshLoaders.h"
#include "meshTestSupport.h"
#include "support/lwoWriter.h"

using namespace irr;

namespace {

std::string tempDir() { return testTempDir(); }

std::vector<std::string> corpusFiles(const std::string& dirName) {
  std::vector<std::string> files;
  DIR* dir = opendir(dirName.c_str());
  if (!dir) return files;
  while (dirent* entry = readdir(dir))
    if (entry->d_name[0] != '.') files.push_back(dirName + "/" + entry->d_name);
  closedir(dir);
  return files;
}

// --- LWO2 writing ----------------------------------------------------------

using lwo::be16;
using lwo::be32;
using lwo::chunk;
using lwo::f4;
using lwo::form;
using lwo::s0;
using lwo::sub;

// Two surfaces on one layer: a quad "Red" (textured through its UV map) and
// a triangle "Blue", one corner of the quad split by a per-polygon UV.
std::string twoSurfaceLwo() {
  std::string points;
  const float p[6][3] = {{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, {2, 0, 0}, {2, 1, 0}};
  for (auto& v : p) points += f4(v[0]) + f4(v[1]) + f4(v[2]);
  std::string polygons = "FACE";
  polygons += be16(4) + be16(0) + be16(1) + be16(2) + be16(3);
  polygons += be16(3) + be16(3) + be16(2) + be16(5);
  std::string tags = "SURF" + be16(0) + be16(0) + be16(1) + be16(1);
  std::string uv = "TXUV" + be16(2) + s0("uvs");
  for (u32 i = 0; i < 4; ++i) uv += be16(i) + f4(i == 2 || i == 3 ? 1.0f : 0.0f) + f4(i == 1 || i == 2 ? 1.0f : 0.0f);
  std::string uvPoly = "TXUV" + be16(2) + s0("uvs") + be16(3) + be16(0) + f4(0.5f) + f4(0.25f);
  std::string red = s0("Red") + s0("") + sub("COLR", f4(1) + f4(0) + f4(0) + be16(0)) + sub("DIFF", f4(1) + be16(0));
  red += sub("BLOK", sub("IMAP", s0("\x80") + sub("CHAN", "COLR") + sub("ENAB", be16(1))) + sub("PROJ", be16(5)) +
                         sub("IMAG", be16(1)) + sub("VMAP", s0("uvs")));
  std::string blue = s0("Blue") + s0("") + sub("COLR", f4(0) + f4(0) + f4(1) + be16(0)) + sub("SIDE", be16(3));
  std::string clip = be32(1) + sub("STIL", s0("images/missing.png"));
  return form(chunk("TAGS", s0("Red") + s0("Blue")) +
              chunk("LAYR", be16(0) + be16(0) + f4(0) + f4(0) + f4(0) + s0("layer")) + chunk("PNTS", points) +
              chunk("VMAP", uv) + chunk("POLS", polygons) + chunk("PTAG", tags) + chunk("VMAD", uvPoly) +
              chunk("CLIP", clip) + chunk("SURF", red) + chunk("SURF", blue));
}

class MeshLoaders : public ::testing::Test {
 protected:
  void SetUp() override {
    testLog().Lines.clear();
    Obj = static_cast<CZeObjMeshFileLoader*>(zeCreateObjMeshLoader(testDevice()->getSceneManager()));
    Lwo = static_cast<CZeLwoMeshFileLoader*>(zeCreateLwoMeshLoader(testDevice()->getSceneManager()));
  }
  void TearDown() override {
    Obj->drop();
    Lwo->drop();
  }
  scene::IAnimatedMesh* obj(const std::string& data, const std::string& name = "mem.obj") {
    return Obj->createMeshFromMemory(data.data(), data.size(), (tempDir() + name).c_str());
  }
  scene::IAnimatedMesh* lwo(const std::string& data) {
    return Lwo->createMeshFromMemory(data.data(), data.size(), (tempDir() + "mem.lwo").c_str());
  }
  CZeObjMeshFileLoader* Obj = nullptr;
  CZeLwoMeshFileLoader* Lwo = nullptr;
};

TEST_F(MeshLoaders, ObjQuadKeepsTheEngineConventions) {
  // The same quad with positive and with negative (relative) indices.
  const std::string head = "# quad\nv 1 0 0\nv 2 0 0\nv 2 1 0\nv 1 1 0\nvt 0 0\nvt 1 0\nvt 1 1\nvt 0 1\nvn 0 0 1\n";
  for (const std::string& faces : {std::string("f 1/1/1 2/2/1 3/3/1 4/4/1\n"),
                                  std::string("f -4/-4/-1 -3/-3/-1 -2/-2/-1 -1/-1/-1\r\n")}) {
    SCOPED_TRACE(faces);
    scene::IAnimatedMesh* mesh = obj(head + faces);
    ASSERT_NE(mesh, nullptr) << testLog().all();
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    scene::IMeshBuffer* b = mesh->getMeshBuffer(0);
    ASSERT_EQ(b->getVertexCount(), 4u);
    ASSERT_EQ(b->getIndexCount(), 6u);
    const video::S3DVertex* v = static_cast<const video::S3DVertex*>(b->getVertices());
    // Corner order of the first triangle: mirrored X turns the winding round.
    const u16* i = b->getIndices();
    EXPECT_EQ(v[i[0]].Pos, core::vector3df(-2, 1, 0));
    EXPECT_EQ(v[i[1]].Pos, core::vector3df(-2, 0, 0));
    EXPECT_EQ(v[i[2]].Pos, core::vector3df(-1, 0, 0));
    EXPECT_EQ(v[i[0]].TCoords, core::vector2df(1, 0));  // V from the top
    EXPECT_EQ(v[i[2]].Normal, core::vector3df(0, 0, 1));
    const u32* original = zeMeshBufferOriginalIndices(b);
    ASSERT_NE(original, nullptr);
    EXPECT_EQ(original[i[0]], 2u);
    mesh->drop();
  }
}

TEST_F(MeshLoaders, ObjMaterialsMakeBuffersAndMissingNormalsAreComputed) {
  writeFile(tempDir() + "two.mtl", "newmtl red\nKd 1 0 0\nNs 20\nnewmtl blue\nKd 0 0 1\nd 0.5\n");
  const std::string text =
      "mtllib two.mtl\nv 0 0 0\nv 0 1 0\nv 1 0 0\nv 1 1 0\nusemtl red\nf 1 2 3\nusemtl blue\nf 2 4 3\n"
      "usemtl red\nf 1 3 2\nusemtl nothing\nf 1 2 4\n";
  scene::IAnimatedMesh* mesh = obj(text, "two.obj");
  ASSERT_NE(mesh, nullptr) << testLog().all();
  ASSERT_EQ(mesh->getMeshBufferCount(), 3u);
  EXPECT_EQ(mesh->getMeshBuffer(0)->getMaterial().DiffuseColor, video::SColor(255, 255, 0, 0));
  EXPECT_EQ(mesh->getMeshBuffer(0)->getIndexCount(), 6u);  // both red faces
  EXPECT_EQ(mesh->getMeshBuffer(0)->getMaterial().Shininess, 20.0f);
  EXPECT_EQ(mesh->getMeshBuffer(1)->getMaterial().DiffuseColor, video::SColor(128, 0, 0, 255));
  EXPECT_EQ(testLog().count("material nothing not found", ELL_WARNING), 1);
  const video::S3DVertex* v = static_cast<const video::S3DVertex*>(mesh->getMeshBuffer(1)->getVertices());
  EXPECT_NEAR(std::fabs(v[0].Normal.Z), 1.0f, 1e-6f);
  mesh->drop();
}

TEST_F(MeshLoaders, ObjFilesThatNameWhatIsNotThereFail) {
  const std::string tri = "v 0 0 0\nv 1 0 0\nv 0 1 0\nvt 0 0\nvn 0 0 1\n";
  struct Case {
    std::string text;
    std::string message;
  } cases[] = {
      {tri + "f 1 2 2147483647\n", "face uses vertex 2147483647 of 3 (line 6"},
      {tri + "f 1 2 99999999999999999999999\n", "face uses vertex"},
      {tri + "f -4 1 2\n", "face uses vertex -4 of 3"},
      {tri + "f 1/2 2/1 3/1\n", "face uses texture coordinate 2 of 1"},
      {tri + "f 1/-2 2/1 3/1\n", "face uses texture coordinate -2 of 1"},
      {tri + "f 1//2 2//1 3//1\n", "face uses normal 2 of 1"},
      {tri + "f 0 1 2\n", "bad face corner"},
      {tri + "f 1 x 2\n", "bad face corner"},
      {tri + "f 1/1/1/1 2 3\n", "bad face corner"},
      {"f 1 2 3\nv 0 0 0\nv 1 0 0\nv 0 1 0\n", "face uses vertex 1 of 0 (line 1"},
      {"v 0 0\n", "a vertex needs three numbers (line 1"},
      {"v 0 0 zero\n", "a vertex needs three numbers"},
      {"vn 1e999999 0\n", "a normal needs three numbers"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    testLog().Lines.clear();
    EXPECT_EQ(obj(c.text), nullptr);
    EXPECT_EQ(testLog().count(c.message, ELL_ERROR), 1) << testLog().all();
    EXPECT_EQ(testLog().count("CZeObjMeshFileLoader: failed to load", ELL_ERROR), 1);
  }
}

TEST_F(MeshLoaders, LwoSurfacesBecomeBuffersWithTheirUVs) {
  scene::IAnimatedMesh* mesh = lwo(twoSurfaceLwo());
  ASSERT_NE(mesh, nullptr) << testLog().all();
  ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
  scene::IMeshBuffer* red = mesh->getMeshBuffer(0);
  scene::IMeshBuffer* blue = mesh->getMeshBuffer(1);
  EXPECT_EQ(red->getMaterial().DiffuseColor, video::SColor(255, 255, 0, 0));
  EXPECT_EQ(blue->getMaterial().DiffuseColor, video::SColor(255, 0, 0, 255));
  EXPECT_TRUE(red->getMaterial().BackfaceCulling);
  EXPECT_FALSE(blue->getMaterial().BackfaceCulling);  // double-sided
  // The quad's fourth corner has its own UV on this polygon only.
  ASSERT_EQ(red->getVertexCount(), 4u);
  ASSERT_EQ(red->getIndexCount(), 6u);
  ASSERT_EQ(blue->getVertexCount(), 3u);
  const video::S3DVertex* v = static_cast<const video::S3DVertex*>(red->getVertices());
  const u16* i = red->getIndices();
  EXPECT_EQ(v[i[0]].Pos, core::vector3df(0, 0, 0));
  EXPECT_EQ(v[i[1]].Pos, core::vector3df(0, 1, 0));
  EXPECT_EQ(v[i[2]].Pos, core::vector3df(1, 1, 0));
  EXPECT_EQ(v[i[1]].TCoords, core::vector2df(0, 0));  // V from the top
  EXPECT_EQ(v[i[5]].TCoords, core::vector2df(0.5f, 0.75f));
  // Clockwise corners face -Z, towards a viewer on the -Z side.
  EXPECT_NEAR(v[i[0]].Normal.Z, -1.0f, 1e-6f);
  const u32* original = zeMeshBufferOriginalIndices(blue);
  ASSERT_NE(original, nullptr);
  EXPECT_EQ(original[0], 3u);
  EXPECT_EQ(testLog().count("texture images/missing.png not found", ELL_WARNING), 1) << testLog().all();
  mesh->drop();
}

TEST_F(MeshLoaders, LwoLayerAskedForIsTheOnlyOneLoaded) {
  // Layer 1 a triangle, layer 2 a quad, each with its own points.
  auto layer = [](u32 n, const std::vector<std::vector<float>>& p) {
    std::string points;
    for (const auto& v : p) points += f4(v[0]) + f4(v[1]) + f4(v[2]);
    std::string face = "FACE" + be16(static_cast<u32>(p.size()));
    for (u32 i = 0; i < p.size(); ++i) face += be16(i);
    return chunk("LAYR", be16(n) + be16(0) + f4(0) + f4(0) + f4(0) + s0("")) + chunk("PNTS", points) +
           chunk("POLS", face);
  };
  const std::string file = form(layer(0, {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}) +
                                layer(1, {{5, 0, 0}, {5, 1, 0}, {6, 1, 0}, {6, 0, 0}}));
  struct Case {
    int layer;
    u32 indices;
    float minX;
  } cases[] = {{0, 9, 0.0f}, {1, 3, 0.0f}, {2, 6, 5.0f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.layer);
    scene::IAnimatedMesh* mesh = Lwo->createMeshFromMemory(file.data(), file.size(), "mem.lwo", c.layer);
    ASSERT_NE(mesh, nullptr) << testLog().all();
    u32 indices = 0;
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) indices += mesh->getMeshBuffer(b)->getIndexCount();
    EXPECT_EQ(indices, c.indices);
    EXPECT_FLOAT_EQ(mesh->getBoundingBox().MinEdge.X, c.minX);
    mesh->drop();
  }
  EXPECT_EQ(Lwo->createMeshFromMemory(file.data(), file.size(), "mem.lwo", 3), nullptr);
  EXPECT_NE(testLog().all().find("mem.lwo has no layer 3 (it has 2)"), std::string::npos) << testLog().all();

  // The object name that asks for a layer.
  struct Name {
    const char* name;
    const char* file;
    int layer;
  } names[] = {{"Objects/rig.lwo|2", "Objects/rig.lwo", 2}, {"rig.lwo", "rig.lwo", 0}, {"rig.lwo|", "rig.lwo|", 0},
               {"rig.lwo|0", "rig.lwo|0", 0}, {"a|b.lwo", "a|b.lwo", 0}, {"rig.lwo|1234567", "rig.lwo|1234567", 0}};
  for (const Name& n : names) {
    int got = -1;
    EXPECT_EQ(zeMeshLayerOf(n.name, &got), n.file) << n.name;
    EXPECT_EQ(got, n.layer) << n.name;
  }
}

// A picture beside the objects the tests write.
void writePicture(const std::string& name, video::SColor colour) {
  video::IVideoDriver* driver = testDevice()->getVideoDriver();
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
  image->fill(colour);
  driver->writeImageToFile(image, (tempDir() + name).c_str());
  image->drop();
}

const IZeSurfaceLightwave* surfaceOf(scene::IAnimatedMesh* mesh, u32 buffer) {
  const IZeSurface* s = zeMeshBufferSurface(mesh->getMeshBuffer(buffer));
  return s && s->getKind() == ZE_SURFACE_LIGHTWAVE ? static_cast<const IZeSurfaceLightwave*>(s) : nullptr;
}

TEST_F(MeshLoaders, LwoSurfaceChunksFillTheSurfaceOfTheirBuffer) {
  writePicture("lwo-colour.bmp", video::SColor(255, 10, 200, 30));
  writePicture("lwo-sky.bmp", video::SColor(255, 0, 0, 255));
  const std::string full =
      lwo::colour(1, 0.5f, 0) + lwo::scalar("DIFF", 0.9f) + lwo::scalar("LUMI", 0.1f) + lwo::scalar("SPEC", 0.6f) +
      lwo::scalar("GLOS", 0.7f) + lwo::scalar("REFL", 0.2f) + lwo::scalar("TRAN", 0.25f) +
      lwo::scalar("TRNL", 0.3f) + lwo::scalar("RIND", 1.5f) + lwo::scalar("BUMP", 0.8f) +
      lwo::sub("SMAN", f4(1.2f)) + lwo::sub("SIDE", be16(3)) + lwo::scalar("CLRH", 0.4f) +
      lwo::scalar("CLRF", 0.5f) + lwo::scalar("ADTR", 0.6f) + lwo::scalar("RBLR", 0.05f) +
      lwo::sub("GLOW", be16(0) + f4(0.7f) + be16(0) + f4(0.5f) + be16(0)) + lwo::sub("RFOP", be16(2)) +
      lwo::sub("RIMG", be16(2)) + lwo::imageBlock("COLR", 1, 5, 2, "uv") + lwo::imageBlock("DIFF", 9);
  std::string uv = "TXUV" + be16(2) + s0("uv");
  for (u32 i = 0; i < 3; ++i) uv += be16(i) + f4(0.5f) + f4(0.25f);
  const std::string file = form(chunk("TAGS", s0("Full")) + lwo::layer({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}}) +
                                chunk("VMAP", uv) + lwo::clip(1, "lwo-colour.bmp") + lwo::clip(2, "lwo-sky.bmp") +
                                lwo::surface("Full", full));
  scene::IAnimatedMesh* mesh = lwo(file);
  ASSERT_NE(mesh, nullptr) << testLog().all();
  const IZeSurfaceLightwave* s = surfaceOf(mesh, 0);
  ASSERT_NE(s, nullptr);
  const struct {
    int channel;
    float value;
  } floats[] = {{ZE_LW_DIFFUSE, 0.9f},       {ZE_LW_LUMINOSITY, 0.1f},         {ZE_LW_SPECULARITY, 0.6f},
                {ZE_LW_GLOSSINESS, 0.7f},    {ZE_LW_REFLECTIVITY, 0.2f},       {ZE_LW_TRANSPARENCY, 0.25f},
                {ZE_LW_TRANSLUCENCY, 0.3f},  {ZE_LW_IOR, 1.5f},                {ZE_LW_BUMP, 0.8f},
                {ZE_LW_SMOOTHING_ANGLE, 1.2f}, {ZE_LW_COLOR_HIGHLIGHTS, 0.4f}, {ZE_LW_ADDITIVE_TRANSPARENCY, 0.6f},
                {ZE_LW_REFLECTION_BLURRING, 0.05f}, {ZE_LW_GLOW_VALUE, 0.7f},  {ZE_LW_VERTEX_COLORING, 0.0f}};
  for (const auto& c : floats) EXPECT_FLOAT_EQ(s->getFloat(c.channel), c.value) << ZE_LW_CHANNEL_NAMES[c.channel];
  EXPECT_FLOAT_EQ(s->getValue(ZE_LW_BASE_COLOR)[1], 0.5f);
  EXPECT_FLOAT_EQ(s->getValue(ZE_LW_COLOR_FILTER)[2], 0.5f);
  EXPECT_EQ(s->getInt(ZE_LW_SIDEDNESS), 3);
  EXPECT_EQ(s->getInt(ZE_LW_REFLECTION_OPTIONS), 2);
  EXPECT_EQ(s->getInt(ZE_LW_GLOW), 1);
  ASSERT_NE(s->getTexture(ZE_LW_BASE_COLOR), nullptr);
  EXPECT_NE(std::string(s->getTexture(ZE_LW_BASE_COLOR)->getName().getPath().c_str()).find("lwo-colour.bmp"),
            std::string::npos);
  ASSERT_NE(s->getTexture(ZE_LW_REFLECTION_IMAGE), nullptr);
  EXPECT_EQ(s->getTexture(ZE_LW_DIFFUSE), nullptr);  // its image is in no CLIP
  EXPECT_EQ(testLog().count("surface 'Full' names image 9, which no CLIP holds", ELL_WARNING), 1) << testLog().all();

  // The buffer's material is the surface written, its vertices carry the opacity.
  scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
  const video::SMaterial& m = buffer->getMaterial();
  EXPECT_EQ(m.MaterialType, video::EMT_TRANSPARENT_REFLECTION_2_LAYER);
  EXPECT_FALSE(m.BackfaceCulling);
  EXPECT_EQ(m.getTexture(0), s->getTexture(ZE_LW_BASE_COLOR));
  EXPECT_EQ(static_cast<const video::S3DVertex*>(buffer->getVertices())[0].Color.getAlpha(), 191u);
  // The UV-mapped colour map lays the buffer out.
  EXPECT_EQ(static_cast<const video::S3DVertex*>(buffer->getVertices())[0].TCoords, core::vector2df(0.5f, 0.75f));
  mesh->drop();
}

TEST_F(MeshLoaders, LwoProjectionsComputeTheCoordinates) {
  // Hand-worked: V counts from the bottom in the file, so the buffer holds 1 - v.
  const std::string sizeTwo = lwo::sub("SIZE", f4(2) + f4(2) + f4(2) + be16(0));
  const std::string shifted = lwo::sub("CNTR", f4(1) + f4(0) + f4(0) + be16(0));
  const std::string turned = lwo::sub("ROTA", f4(core::HALF_PI) + f4(0) + f4(0) + be16(0));
  const struct {
    const char* what;
    u32 projection, axis;
    std::string textureMap;
    std::vector<float> point;
    core::vector2df uv;
  } cases[] = {
      {"planar Z", 0, 2, sizeTwo, {1, 1, 0}, {1, 0}},
      {"planar Z", 0, 2, sizeTwo, {0.5f, -0.5f, 3}, {0.75f, 0.75f}},
      {"planar X", 0, 0, "", {5, 0.5f, -0.5f}, {0, 0}},
      {"planar Y", 0, 1, "", {0.25f, 7, 0.25f}, {0.75f, 0.25f}},
      {"planar Z, centre at x 1", 0, 2, shifted, {1, 0, 0}, {0.5f, 0.5f}},
      {"planar Z turned a quarter by heading", 0, 2, turned, {0.4f, 0, 0}, {0.5f, 0.5f}},
      {"cylindrical Y", 1, 1, "", {1, 0.5f, 0}, {0.75f, 0}},
      {"cylindrical Y", 1, 1, "", {0, 0, 1}, {0.5f, 0.5f}},
      {"cylindrical Y", 1, 1, "", {-1, 0, 0}, {0.25f, 0.5f}},
      {"spherical Y", 2, 1, "", {0, 1, 0}, {0.5f, 0}},
      {"spherical Y", 2, 1, "", {1, 0, 0}, {0.75f, 0.5f}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    // A triangle whose first corner is the point, the others near it.
    const std::vector<float>& p = c.point;
    const std::string file =
        form(chunk("TAGS", s0("S")) +
             lwo::layer({p, {p[0], p[1] - 0.01f, p[2]}, {p[0] + 0.01f, p[1], p[2]}}, {{0, 1, 2}}) +
             lwo::clip(1, "none.bmp") + lwo::surface("S", lwo::imageBlock("COLR", 1, c.projection, c.axis, "", c.textureMap)));
    scene::IAnimatedMesh* mesh = lwo(file);
    ASSERT_NE(mesh, nullptr) << testLog().all();
    const core::vector2df t = static_cast<const video::S3DVertex*>(mesh->getMeshBuffer(0)->getVertices())[0].TCoords;
    EXPECT_NEAR(t.X, c.uv.X, 1e-5f);
    EXPECT_NEAR(t.Y, c.uv.Y, 1e-5f);
    mesh->drop();
  }

  // A polygon across the seam behind the axis takes its corners from one side.
  const std::string seam = form(chunk("TAGS", s0("S")) +
                                lwo::layer({{-0.1f, 0, -1}, {0.1f, 0, -1}, {0.1f, 1, -1}}, {{0, 1, 2}}) +
                                lwo::surface("S", lwo::imageBlock("COLR", 1, 1, 1)));
  scene::IAnimatedMesh* mesh = lwo(seam);
  ASSERT_NE(mesh, nullptr);
  const auto* v = static_cast<const video::S3DVertex*>(mesh->getMeshBuffer(0)->getVertices());
  const float left = std::atan2(-0.1f, -1.0f) / (2 * core::PI) + 0.5f + 1.0f;
  const float right = std::atan2(0.1f, -1.0f) / (2 * core::PI) + 0.5f;
  EXPECT_NEAR(v[0].TCoords.X, left, 1e-5f);
  EXPECT_NEAR(v[1].TCoords.X, right, 1e-5f);
  mesh->drop();

  // A UV-mapped block lays the buffer out even when a projected one comes first.
  std::string uv = "TXUV" + be16(2) + s0("uv");
  for (u32 i = 0; i < 3; ++i) uv += be16(i) + f4(0.125f) + f4(0.25f);
  mesh = lwo(form(chunk("TAGS", s0("S")) + lwo::layer({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}}) +
                  chunk("VMAP", uv) +
                  lwo::surface("S", lwo::imageBlock("COLR", 1, 0, 2) + lwo::imageBlock("DIFF", 1, 5, 2, "uv"))));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(static_cast<const video::S3DVertex*>(mesh->getMeshBuffer(0)->getVertices())[0].TCoords,
            core::vector2df(0.125f, 0.75f));
  mesh->drop();

  // Cubic and front projections are not computed, and say so.
  testLog().Lines.clear();
  mesh = lwo(form(chunk("TAGS", s0("S")) + lwo::layer({{0, 0, 0}, {0, 1, 0}, {1, 0, 0}}, {{0, 1, 2}}) +
                  lwo::surface("S", lwo::imageBlock("COLR", 1, 3))));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(testLog().count("surface 'S' uses projection 3, which is not computed", ELL_WARNING), 1) << testLog().all();
  mesh->drop();
}

TEST_F(MeshLoaders, LwoChunksAndIndicesAreCheckedAgainstTheFile) {
  const std::string points = chunk("PNTS", f4(0) + f4(0) + f4(0) + f4(1) + f4(0) + f4(0) + f4(0) + f4(1) + f4(0));
  const std::string triangle = chunk("POLS", "FACE" + be16(3) + be16(0) + be16(1) + be16(2));
  struct Case {
    std::string data;
    std::string message;
  } cases[] = {
      // The reproducer: FORM and PNTS both claim far more than the 32 bytes.
      {std::string("FORM\xff\xff\xff\xf0LWO2PNTS\x7f\xff\xff\xf0", 20) + std::string(12, '\0'),
       "FORM size is more than the file holds"},
      {form(std::string("PNTS\x7f\xff\xff\xf0", 8) + std::string(12, '\0')), "chunk runs past the end"},
      {form(points + chunk("POLS", "FACE" + be16(3) + be16(0) + be16(1) + be16(3))), "bad POLS chunk"},
      {form(points + chunk("POLS", "FACE" + be16(3) + be16(0) + be16(1))), "bad POLS chunk"},
      {form(points + chunk("POLS", "FACE" + be16(3) + std::string("\xff\x7f\xff\xff", 4) + be16(1) + be16(2))),
       "bad POLS chunk"},
      {form(chunk("TAGS", s0("a")) + points + triangle + chunk("PTAG", "SURF" + be16(0) + be16(1))),
       "bad PTAG chunk"},
      {form(chunk("TAGS", s0("a")) + points + triangle + chunk("PTAG", "SURF" + be16(1) + be16(0))),
       "bad PTAG chunk"},
      {form(points + chunk("VMAP", "TXUV" + be16(2) + s0("uv") + be16(3) + f4(0) + f4(0))), "bad VMAP chunk"},
      {form(points + triangle + chunk("VMAD", "TXUV" + be16(2) + s0("uv") + be16(0) + be16(1) + f4(0) + f4(0))),
       "bad VMAD chunk"},
      {form(points + chunk("VMAP", "TXUV" + be16(2) + s0("uv") + be16(0) + f4(0))), "bad VMAP chunk"},
      {form(chunk("TAGS", "abc")), "bad TAGS chunk"},
      {form(chunk("PNTS", f4(0) + f4(0))), "bad PNTS chunk"},
      {form(chunk("SURF", s0("s") + s0("") + std::string("COLR\x00\x40", 6) + f4(1))), "bad SURF chunk"},
      {form(chunk("SURF", s0("s") + s0("") + sub("BLOK", std::string("IMAP\x00\x10", 6)))), "bad SURF chunk"},
      {form(chunk("CLIP", be32(1) + std::string("STIL\x00\x04", 6) + "abcd")), "bad CLIP chunk"},
      {"FORM" + be32(12) + "LWOB" + chunk("PNTS", ""), "LightWave 5 objects (LWOB) are not read"},
      {"FORM" + be32(4) + "ILBM", "no LWO2"},
      {"not a LightWave object at all", "no FORM"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.message);
    testLog().Lines.clear();
    EXPECT_EQ(lwo(c.data), nullptr);
    EXPECT_EQ(testLog().count(c.message, ELL_ERROR), 1) << testLog().all();
  }
}

TEST_F(MeshLoaders, FuzzCorporaReplayWithoutFault) {
  const char* const dirs[] = {"corpus-obj", "corpus-lwo"};
  for (const char* dir : dirs) {
    const std::vector<std::string> files = corpusFiles(dir);
    EXPECT_GT(files.size(), 5u) << dir;
    for (const std::string& file : files) {
      const std::string data = readFile(file);
      scene::IAnimatedMesh* mesh = std::string(dir) == "corpus-obj" ? obj(data) : lwo(data);
      if (mesh) mesh->drop();
    }
  }
}

TEST_F(MeshLoaders, EngineLoadersAnswerTheirKindsFirst) {
  CZeMeshLoaders loaders(testDevice()->getSceneManager());
  EXPECT_NE(loaders.find("a/b.OBJ"), nullptr);
  EXPECT_NE(loaders.find("b.lwo"), nullptr);
  EXPECT_NE(loaders.find("b.x"), nullptr);
  EXPECT_EQ(loaders.find("b.3ds"), nullptr);

  // Through the scene manager as well: ours go ahead of the stock loaders
  // (which still get a file ours refuse, so the engine asks ours directly).
  scene::ISceneManager* smgr = testDevice()->getSceneManager();
  zeRegisterMeshLoaders(smgr);
  const std::string good = tempDir() + "two.lwo";
  writeFile(good, twoSurfaceLwo());
  scene::IAnimatedMesh* mesh = smgr->getMesh(good.c_str());
  ASSERT_NE(mesh, nullptr);
  EXPECT_NE(zeMeshBufferExt(mesh->getMeshBuffer(0)), nullptr);  // one of ours
}

}  // namespace
