// The .x loader: the same object in every encoding, the engine's extensions,
// skins and animation, index widths, and files that must fail cleanly.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <dirent.h>
#include <fstream>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/CZeXMeshFileLoader.h"
#include "meshTestSupport.h"
#include "xFixtures.h"
#include "xwriter.h"

using namespace irr;

namespace {

std::string tempDir() { return testTempDir(); }

// A 4x4 texture beside the test meshes.
void writeTexture(const std::string& name) {
  video::IVideoDriver* driver = testDevice()->getVideoDriver();
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(4, 4));
  for (u32 y = 0; y < 4; ++y)
    for (u32 x = 0; x < 4; ++x) image->setPixel(x, y, ((x + y) & 1) ? video::SColor(255, 255, 255, 255) : video::SColor(255, 0, 0, 0));
  driver->writeImageToFile(image, (tempDir() + name).c_str());
  image->drop();
}

class XLoader : public ::testing::Test {
 protected:
  void SetUp() override {
    testLog().Lines.clear();
    Loader = static_cast<CZeXMeshFileLoader*>(zeCreateXMeshLoader(testDevice()->getSceneManager()));
  }
  void TearDown() override { Loader->drop(); }

  scene::IAnimatedMesh* load(const std::string& data, const std::string& name = "mem.x") {
    return Loader->createMeshFromMemory(data.data(), data.size(), (tempDir() + name).c_str());
  }

  CZeXMeshFileLoader* Loader = nullptr;
};

struct SBufferData {
  std::vector<video::S3DVertex> vertices;
  std::vector<u32> indices;
  std::vector<u32> original;
  video::SColor diffuse, specular, emissive;
  f32 shininess;
  std::string texture;
  s32 uvValue, uvMask;
};

std::vector<SBufferData> snapshot(scene::IMesh* mesh) {
  std::vector<SBufferData> out;
  for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    SBufferData d;
    const video::S3DVertex* v = static_cast<const video::S3DVertex*>(buffer->getVertices());
    d.vertices.assign(v, v + buffer->getVertexCount());
    for (u32 i = 0; i < buffer->getIndexCount(); ++i)
      d.indices.push_back(buffer->getIndexType() == video::EIT_32BIT
                              ? reinterpret_cast<const u32*>(buffer->getIndices())[i]
                              : buffer->getIndices()[i]);
    const u32* original = zeMeshBufferOriginalIndices(buffer);
    if (original) d.original.assign(original, original + buffer->getVertexCount());
    const video::SMaterial& m = buffer->getMaterial();
    d.diffuse = m.DiffuseColor;
    d.specular = m.SpecularColor;
    d.emissive = m.EmissiveColor;
    d.shininess = m.Shininess;
    d.texture = m.getTexture(0) ? m.getTexture(0)->getName().getPath().c_str() : "";
    d.uvValue = zeMeshBufferUVValue(buffer);
    d.uvMask = zeMeshBufferUV2Mask(buffer);
    out.push_back(d);
  }
  return out;
}

}  // namespace

TEST_F(XLoader, SameObjectFromTextBinaryAndCompressedForms) {
  writeTexture("checker.png");
  std::vector<std::vector<SBufferData>> results;
  for (XForm form : {XForm::Text, XForm::Binary, XForm::TextZip, XForm::BinaryZip}) {
    SCOPED_TRACE(xFormName(form));
    scene::IAnimatedMesh* mesh = load(writeX(cubeFile(), form), std::string("cube-") + xFormName(form) + ".x");
    ASSERT_NE(mesh, nullptr) << testLog().all();
    results.push_back(snapshot(mesh->getMesh(0)));
    mesh->drop();
  }
  const std::vector<SBufferData>& text = results[0];
  // Two materials, three quads each; every corner has its own face normal.
  ASSERT_EQ(text.size(), 2u);
  EXPECT_EQ(text[0].vertices.size(), 12u);
  EXPECT_EQ(text[0].indices.size(), 18u);
  EXPECT_EQ(text[0].diffuse, video::SColor(255, 255, 0, 0));
  EXPECT_EQ(text[1].diffuse, video::SColor(255, 0, 0, 255));
  EXPECT_EQ(text[0].shininess, 8.0f);
  EXPECT_EQ(text[0].emissive, video::SColor(255, 0, 0, 64));
  EXPECT_NE(text[0].texture.find("checker.png"), std::string::npos);
  EXPECT_EQ(text[1].texture, "");
  // The frame's transform places the cube around x = 10.
  for (const auto& v : text[0].vertices) {
    EXPECT_TRUE(v.Pos.X == 9.0f || v.Pos.X == 11.0f);
    EXPECT_FLOAT_EQ(v.Normal.getLength(), 1.0f);
  }
  // Vertex 6 of the file (1,1,1) with its colour and coordinates.
  bool found = false;
  for (std::size_t i = 0; i < text[1].vertices.size(); ++i)
    if (text[1].original[i] == 6) {
      EXPECT_EQ(text[1].vertices[i].Pos, core::vector3df(11, 1, 1));
      EXPECT_EQ(text[1].vertices[i].TCoords, core::vector2df(0, 1));
      EXPECT_EQ(text[1].vertices[i].Color, video::SColorf(0.75f, 0.5f, 1, 1).toSColor());
      found = true;
    }
  EXPECT_TRUE(found);
  for (std::size_t form = 1; form < results.size(); ++form) {
    ASSERT_EQ(results[form].size(), text.size());
    for (std::size_t b = 0; b < text.size(); ++b) {
      const SBufferData& a = text[b];
      const SBufferData& o = results[form][b];
      ASSERT_EQ(a.vertices.size(), o.vertices.size());
      EXPECT_EQ(0, std::memcmp(a.vertices.data(), o.vertices.data(), a.vertices.size() * sizeof(video::S3DVertex)))
          << "form " << form << " buffer " << b;
      EXPECT_EQ(a.indices, o.indices);
      EXPECT_EQ(a.original, o.original);
      EXPECT_EQ(a.diffuse, o.diffuse);
      EXPECT_EQ(a.specular, o.specular);
      EXPECT_EQ(a.emissive, o.emissive);
      EXPECT_EQ(a.shininess, o.shininess);
      EXPECT_EQ(a.texture, o.texture);
      EXPECT_EQ(a.uvValue, o.uvValue);
      EXPECT_EQ(a.uvMask, o.uvMask);
    }
  }
}

TEST_F(XLoader, MaterialUVPairsAndNormalMaps) {
  writeTexture("checker.png");
  writeTexture("bumps.png");
  // One pair for two materials: the second buffer gets (0, 0).
  scene::IAnimatedMesh* mesh = load(writeX(cubeFile(), XForm::Text));
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(zeMeshBufferUVValue(mesh->getMeshBuffer(0)), 7);
  EXPECT_EQ(zeMeshBufferUV2Mask(mesh->getMeshBuffer(0)), 1);
  EXPECT_EQ(zeMeshBufferUVValue(mesh->getMeshBuffer(1)), 0);
  EXPECT_EQ(zeMeshBufferUV2Mask(mesh->getMeshBuffer(1)), 0);
  EXPECT_TRUE(zeMeshUsesUV2(mesh));
  mesh->drop();

  // Without the pair object every buffer reports (0, 0); the normal map sits
  // in layer 1 without taking a layer from TextureFilename.
  std::vector<XObj> file = cubeFile();
  XObj& box = file[2].children[1];
  box.children.pop_back();
  XObj& red = box.children[3].children[0];
  red.children.clear();
  red.add(XObj("NormalmapFilename").s("bumps.png").sep());
  red.add(XObj("TextureFilename").s("checker.png").sep());
  for (XForm form : {XForm::Text, XForm::Binary}) {
    mesh = load(writeX(file, form));
    ASSERT_NE(mesh, nullptr) << testLog().all();
    for (u32 b = 0; b < 2; ++b) {
      EXPECT_EQ(zeMeshBufferUVValue(mesh->getMeshBuffer(b)), 0);
      EXPECT_EQ(zeMeshBufferUV2Mask(mesh->getMeshBuffer(b)), 0);
    }
    EXPECT_FALSE(zeMeshUsesUV2(mesh));
    const video::SMaterial& m = mesh->getMeshBuffer(0)->getMaterial();
    ASSERT_NE(m.getTexture(0), nullptr);
    ASSERT_NE(m.getTexture(1), nullptr);
    EXPECT_NE(std::string(m.getTexture(0)->getName().getPath().c_str()).find("checker.png"), std::string::npos);
    EXPECT_NE(std::string(m.getTexture(1)->getName().getPath().c_str()).find("bumps.png"), std::string::npos);
    EXPECT_EQ(m.MaterialType, video::EMT_SOLID);
    EXPECT_EQ(zeMeshBufferExt(mesh->getMeshBuffer(0))->NormalMapName, "bumps.png");
    mesh->drop();
  }
}

TEST_F(XLoader, MaterialUVPairWarnings) {
  const std::string head =
      "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n"
      "MeshMaterialList { 1; 1; 0;; Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; } }\n";
  struct Case {
    const char* tail;
    const char* warning;
  } cases[] = {
      {"MeshMaterialsUVs { 1; 3, 5 } }", "No finishing semicolon in MeshMaterialsUVs found."},
      {"MeshMaterialsUVs { 1; 3, 5; Foo { } } }", "No closing brace in MeshMaterialsUVs found in x file"},
  };
  for (const Case& c : cases) {
    testLog().Lines.clear();
    scene::IAnimatedMesh* mesh = load(head + c.tail);
    ASSERT_NE(mesh, nullptr) << c.tail << "\n" << testLog().all();
    EXPECT_EQ(testLog().count(c.warning, ELL_WARNING), 1) << testLog().all();
    EXPECT_EQ(zeMeshBufferUVValue(mesh->getMeshBuffer(0)), 3);
    EXPECT_EQ(zeMeshBufferUV2Mask(mesh->getMeshBuffer(0)), 5);
    mesh->drop();
  }
}

TEST_F(XLoader, DuplicatedVerticesKeepTheirFileIndex) {
  // Two triangles of different materials share the edge 1-2.
  const std::string text =
      "xof 0302txt 0032\nMesh { 4; 0;0;0;, 1;0;0;, 0;1;0;, 1;1;0;; 2; 3;0,1,2;, 3;2,1,3;;\n"
      "MeshMaterialList { 2; 2; 0,1;; Material { 1;0;0;1;; 0; 0;0;0;; 0;0;0;; }"
      " Material { 0;1;0;1;; 0; 0;0;0;; 0;0;0;; } } }";
  scene::IAnimatedMesh* mesh = load(text);
  ASSERT_NE(mesh, nullptr) << testLog().all();
  ASSERT_EQ(mesh->getMeshBufferCount(), 2u);
  const u32* first = zeMeshBufferOriginalIndices(mesh->getMeshBuffer(0));
  const u32* second = zeMeshBufferOriginalIndices(mesh->getMeshBuffer(1));
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_EQ(std::vector<u32>(first, first + 3), (std::vector<u32>{0, 1, 2}));
  EXPECT_EQ(std::vector<u32>(second, second + 3), (std::vector<u32>{2, 1, 3}));
  EXPECT_EQ(mesh->getMeshBuffer(1)->getPosition(0), core::vector3df(0, 1, 0));
  EXPECT_EQ(testLog().count("Duplicated vertex, animation might be corrupted.", ELL_WARNING), 1);
  // Missing normals are computed from the faces.
  EXPECT_EQ(mesh->getMeshBuffer(0)->getNormal(0), core::vector3df(0, 0, 1));
  // A plain library buffer has none of the engine data.
  scene::SMeshBuffer plain;
  EXPECT_EQ(zeMeshBufferOriginalIndices(&plain), nullptr);
  EXPECT_EQ(zeMeshBufferUV2Mask(&plain), -1);
  // The engine's copy keeps it.
  scene::SMesh* copy = zeCreateMeshCopy(mesh->getMesh(0));
  const u32* copied = zeMeshBufferOriginalIndices(copy->getMeshBuffer(1));
  ASSERT_NE(copied, nullptr);
  EXPECT_EQ(std::vector<u32>(copied, copied + 3), (std::vector<u32>{2, 1, 3}));
  EXPECT_EQ(zeMeshBufferUV2Mask(copy->getMeshBuffer(1)), 0);
  copy->drop();
  mesh->drop();
}

TEST_F(XLoader, IndexWidthFollowsTheVertexCount) {
  struct Case {
    u32 vertices;
    video::E_INDEX_TYPE type;
  } cases[] = {{65535, video::EIT_16BIT}, {65536, video::EIT_32BIT}};
  for (const Case& c : cases) {
    scene::IAnimatedMesh* mesh = load(stripFile(c.vertices));
    ASSERT_NE(mesh, nullptr);
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    EXPECT_EQ(buffer->getVertexCount(), c.vertices);
    EXPECT_EQ(buffer->getIndexType(), c.type);
    ASSERT_EQ(buffer->getIndexCount(), (c.vertices - 2) * 3);
    const u32 last = c.type == video::EIT_32BIT
                         ? reinterpret_cast<const u32*>(buffer->getIndices())[buffer->getIndexCount() - 1]
                         : buffer->getIndices()[buffer->getIndexCount() - 1];
    EXPECT_EQ(last, c.vertices - 1);
    mesh->drop();
  }
}

TEST_F(XLoader, RotationAndMatrixKeysTurnTheSameWay) {
  for (bool matrixKeys : {false, true})
    for (bool skinned : {false, true}) {
      SCOPED_TRACE(std::string(matrixKeys ? "matrix" : "rotation") + (skinned ? " skinned" : " rigid"));
      scene::IAnimatedMesh* mesh = load(turningFile(matrixKeys, skinned));
      ASSERT_NE(mesh, nullptr) << testLog().all();
      ASSERT_EQ(mesh->getMeshType(), scene::EAMT_SKINNED);
      scene::ISkinnedMesh* skin = static_cast<scene::ISkinnedMesh*>(mesh);
      EXPECT_EQ(skin->getJointCount(), 1u);
      EXPECT_EQ(mesh->getAnimationSpeed(), 30.0f);
      EXPECT_EQ(skin->getAllJoints()[0]->Weights.size(), skinned ? 2u : 3u);
      scene::IMesh* frame = mesh->getMesh(10);
      const core::vector3df p = frame->getMeshBuffer(0)->getPosition(0);
      EXPECT_NEAR(p.X, 0.0f, 1e-5f);
      EXPECT_NEAR(p.Y, 1.0f, 1e-5f);
      EXPECT_NEAR(p.Z, 0.0f, 1e-5f);
      mesh->drop();
    }
}

TEST_F(XLoader, UnknownFramesAreWarnedAndSkipped) {
  std::string text = turningFile(false, true);
  text.replace(text.find("\"Bone\""), 6, "\"Nobody\"");
  text.replace(text.find("{ Bone }"), 8, "{ Ghost }");
  scene::IAnimatedMesh* mesh = load(text);
  ASSERT_NE(mesh, nullptr);
  EXPECT_EQ(testLog().count("SkinWeights for unknown frame Nobody", ELL_WARNING), 1) << testLog().all();
  EXPECT_EQ(testLog().count("Animation for unknown frame Ghost", ELL_WARNING), 1);
  mesh->drop();
}

TEST_F(XLoader, BadFilesFailWithAMessage) {
  const std::string good = writeX(cubeFile(), XForm::Text);
  const std::string goodBinary = writeX(cubeFile(), XForm::Binary);
  const std::string goodZip = writeX(cubeFile(), XForm::TextZip);
  const std::string triangle = "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,2;;\n";
  std::string hugeList = "xof 0302bin 0032";
  hugeList += std::string("\x01\x00\x04\x00\x00\x00Mesh\x0a\x00\x06\x00\xf0\xff\xff\xff", 18);
  std::string hugeZip = good.substr(0, 8) + "tzip0032";
  hugeZip += compressMszip(good.substr(16), 0xFFFFFFF0u);
  std::string brokenZip = goodZip;
  for (std::size_t i = 40; i < brokenZip.size() && i < 60; ++i) brokenZip[i] = static_cast<char>(0x5A);
  std::string shortZip = goodZip;
  shortZip.replace(16, 4, std::string("\x10\x00\x00\x00", 4));
  std::string deep = "xof 0302txt 0032\n";
  for (int i = 0; i < 100000; ++i) deep += "Frame {";
  std::string garbage = "xof 0302bin 0032";
  for (int i = 0; i < 4000; ++i) garbage += static_cast<char>((i * 7919) & 0xFF);

  struct Case {
    const char* what;
    std::string data;
  } cases[] = {
      {"empty", ""},
      {"no header", "Mesh { }"},
      {"bad format", "xof 0302abc 0032"},
      {"text cut short", good.substr(0, good.size() / 2)},
      {"binary cut short", goodBinary.substr(0, goodBinary.size() / 3)},
      {"binary cut inside a list", goodBinary.substr(0, goodBinary.size() - 7)},
      {"compressed cut short", goodZip.substr(0, goodZip.size() - 9)},
      {"binary garbage", garbage},
      {"face index past the vertices", "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 3;0,1,5;; }"},
      {"huge vertex count", "xof 0302txt 0032\nMesh { 4000000000; 0;0;0;; }"},
      {"huge face size", "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 1; 4000000000;0,1,2;; }"},
      {"huge binary list", hugeList},
      {"huge declared inflated size", hugeZip},
      {"broken compressed block", brokenZip},
      {"inflated size differs from declared", shortZip},
      {"frames nested without end", deep},
      {"material index past the list", triangle + "MeshMaterialList { 1; 1; 3;; } }"},
      {"normal index past the normals", triangle + "MeshNormals { 1; 0;0;1;; 1; 3;0,0,1;; } }"},
      {"vertex colour past the vertices", triangle + "MeshVertexColors { 1; 9; 1;1;1;1;; } }"},
      {"skin weight past the vertices", triangle + "SkinWeights { \"B\"; 1; 3; 1.0; 1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } }"},
      {"unclosed string", triangle + "SkinWeights { \"B; 1; 0; 1.0; } }"},
      {"unclosed mesh", triangle},
      {"animation key of the wrong size",
       "xof 0302txt 0032\nAnimationSet { Animation { AnimationKey { 0; 1; 0;3;1,0,0;;; } } }"},
  };
  for (const Case& c : cases) {
    testLog().Lines.clear();
    scene::IAnimatedMesh* mesh = load(c.data);
    EXPECT_EQ(mesh, nullptr) << c.what;
    if (mesh) mesh->drop();
    EXPECT_GE(testLog().count("CZeXMeshFileLoader: failed to load", ELL_ERROR), 1) << c.what << "\n"
                                                                                   << testLog().all();
    EXPECT_GE(testLog().count(ELL_ERROR), 2) << c.what << "\n" << testLog().all();
  }
}

TEST_F(XLoader, FuzzCorpusReplaysWithoutFault) {
  // Every input the fuzzer kept: each loads or fails, none crashes.
  DIR* dir = opendir("corpus");
  ASSERT_NE(dir, nullptr);
  int files = 0;
  while (dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;
    const std::string data = readFile(std::string("corpus/") + entry->d_name);
    scene::IAnimatedMesh* mesh = load(data);
    if (mesh) mesh->drop();
    ++files;
  }
  closedir(dir);
  EXPECT_GT(files, 10);
}

TEST_F(XLoader, SceneManagerUsesOurLoaderFirst) {
  scene::ISceneManager* smgr = testDevice()->getSceneManager();
  zeRegisterXMeshLoader(smgr);
  const std::string path = tempDir() + "registered.x";
  writeFile(path, writeX(cubeFile(), XForm::BinaryZip));
  scene::IAnimatedMesh* mesh = smgr->getMesh(path.c_str());
  ASSERT_NE(mesh, nullptr);
  EXPECT_NE(zeMeshBufferExt(mesh->getMeshBuffer(0)), nullptr);
  smgr->getMeshCache()->removeMesh(mesh);
  // Other formats still go to Irrlicht's own loaders.
  const std::string obj = tempDir() + "triangle.obj";
  writeFile(obj, "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n");
  scene::IAnimatedMesh* other = smgr->getMesh(obj.c_str());
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(other->getMeshBuffer(0)->getVertexCount(), 3u);
  EXPECT_EQ(zeMeshBufferExt(other->getMeshBuffer(0)), nullptr);
  smgr->getMeshCache()->removeMesh(other);
}

TEST_F(XLoader, ExampleObjectLoadsWithItsTexture) {
  const std::string path = "../../examples/object/example.x";
  const std::string data = readFile(path);
  ASSERT_FALSE(data.empty());
  scene::IAnimatedMesh* mesh = Loader->createMeshFromMemory(data.data(), data.size(), path.c_str());
  ASSERT_NE(mesh, nullptr) << testLog().all();
  ASSERT_GE(mesh->getMeshBufferCount(), 1u);
  EXPECT_GT(mesh->getMeshBuffer(0)->getVertexCount(), 100u);
  EXPECT_NE(mesh->getMeshBuffer(0)->getMaterial().getTexture(0), nullptr);
  EXPECT_EQ(testLog().count(ELL_WARNING), 0) << testLog().all();
  mesh->drop();
}

// A triangle per texture name, each with a material naming it.
std::string texturedFile(const std::vector<std::string>& names) {
  const std::size_t n = names.size();
  std::string text = "xof 0302txt 0032\nMesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; " + std::to_string(n) + ";";
  for (std::size_t i = 0; i < n; ++i) text += std::string(i ? "," : "") + " 3;0,1,2;";
  text += "; MeshMaterialList { " + std::to_string(n) + "; " + std::to_string(n) + ";";
  for (std::size_t i = 0; i < n; ++i) text += std::string(i ? "," : " ") + std::to_string(i);
  text += ";;";
  for (const std::string& name : names)
    text += " Material { 1;1;1;1;; 0; 0;0;0;; 0;0;0;; TextureFilename { \"" + name + "\"; } }";
  return text + " } }";
}

TEST_F(XLoader, TextureNamesStayBesideTheObjectAndOpenOnlyRegularFiles) {
  // objects/deep/thing.x beside a good texture; a secret texture two folders
  // up that only a climbing name would reach; a FIFO, a folder and a link to
  // a device dressed as textures.
  const std::string root = tempDir() + "names/";
  const std::string dir = root + "objects/deep/";
  mkdir(root.c_str(), 0755);
  mkdir((root + "objects").c_str(), 0755);
  mkdir(dir.c_str(), 0755);
  mkdir((dir + "folder.png").c_str(), 0755);
  writeTexture("names/secret.png");
  writeTexture("names/objects/deep/good.png");
  mkfifo((dir + "pipe.png").c_str(), 0644);
  symlink("/dev/zero", (dir + "zero.png").c_str());
  struct Case {
    std::string name;
    bool loads;
    const char* warning;
  } cases[] = {
      {"good.png", true, nullptr},
      {"..\\..\\other\\good.png", true, nullptr},  // the bare name beside the object
      {"../../secret.png", false, "texture ../../secret.png not found"},
      {root + "secret.png", false, "not found"},
      {"/etc/passwd", false, "texture /etc/passwd not found"},
      {"/dev/zero", false, "texture /dev/zero not found"},
      {"pipe.png", false, "pipe.png for"},
      {"zero.png", false, "is not a regular file"},
      {"folder.png", false, "folder.png for"},
  };
  std::vector<std::string> names;
  for (const Case& c : cases) names.push_back(c.name);
  const std::string data = texturedFile(names);
  // Run where a blocking open would be caught by an alarm rather than hang.
  EXPECT_EXIT(
      {
        alarm(20);
        testLog().Lines.clear();
        scene::IAnimatedMesh* mesh = Loader->createMeshFromMemory(data.data(), data.size(), (dir + "thing.x").c_str());
        int wrong = mesh && mesh->getMeshBufferCount() == names.size() ? 0 : 100;
        for (std::size_t i = 0; mesh && i < names.size(); ++i) {
          const bool loaded = mesh->getMeshBuffer(i)->getMaterial().getTexture(0) != nullptr;
          if (loaded != cases[i].loads) wrong |= 1 << i;
          if (cases[i].warning && testLog().count(cases[i].warning, ELL_WARNING) == 0) wrong |= 1 << i;
        }
        if (wrong) std::fprintf(stderr, "%s", testLog().all().c_str());
        std::_Exit(wrong);
      },
      ::testing::ExitedWithCode(0), "");
  unlink((dir + "pipe.png").c_str());
  unlink((dir + "zero.png").c_str());
}

TEST_F(XLoader, DeclaredVertexDataGivesSecondCoordinates) {
  // Elements: normal (FLOAT3), texcoord 0 and texcoord 1 (FLOAT2): 7 dwords per vertex.
  XObj decl("DeclData");
  decl.i(3).sep().ints({2, 0, 3, 0}).ints({1, 0, 5, 0}).ints({1, 0, 5, 1}).i(21).sep();
  const float values[3][7] = {{0, 0, -1, 0, 0, 0.5f, 0.25f}, {0, 0, -1, 1, 0, 0.75f, 0.25f}, {0, 0, -1, 0, 1, 0.5f, 1}};
  for (const auto& vertex : values)
    for (float v : vertex) {
      uint32_t bits;
      std::memcpy(&bits, &v, 4);
      decl.i(bits);
    }
  decl.sep();
  XObj mesh("Mesh");
  mesh.i(3).sep().floats({0, 0, 0}).floats({1, 0, 0}).floats({0, 1, 0}).i(1).sep().i(3).sep().ints({0, 1, 2});
  mesh.add(decl);
  for (XForm form : {XForm::Text, XForm::BinaryZip}) {
    scene::IAnimatedMesh* loaded = load(writeX({mesh}, form));
    ASSERT_NE(loaded, nullptr) << testLog().all();
    scene::IMeshBuffer* buffer = loaded->getMeshBuffer(0);
    ASSERT_EQ(buffer->getVertexType(), video::EVT_2TCOORDS);
    const video::S3DVertex2TCoords* v = static_cast<const video::S3DVertex2TCoords*>(buffer->getVertices());
    EXPECT_EQ(v[1].TCoords, core::vector2df(1, 0));
    EXPECT_EQ(v[1].TCoords2, core::vector2df(0.75f, 0.25f));
    EXPECT_EQ(v[2].Normal, core::vector3df(0, 0, -1));
    loaded->drop();
  }
}

// Address space in use now, in bytes (VmSize).
std::size_t addressSpaceInUse() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.compare(0, 7, "VmSize:") == 0) return std::stoull(line.substr(7)) * 1024;
  return 0;
}

#if defined(__SANITIZE_ADDRESS__)
#define ZARN_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define ZARN_UNDER_ASAN 1
#endif
#endif

// Loads `data` in a child process whose address space may grow by at most
// `budget` bytes; the child exits 0 when the load failed with a device-log
// error containing `expected`, 2 when it loaded, 3 for any other message (an
// uncaught std::bad_alloc kills it instead).
void loadWithinBudget(CZeXMeshFileLoader* loader, const std::string& data, std::size_t budget,
                      const std::string& expected) {
  rlimit limit;
  limit.rlim_cur = limit.rlim_max = addressSpaceInUse() + budget;
  setrlimit(RLIMIT_AS, &limit);
  testLog().Lines.clear();
  scene::IAnimatedMesh* mesh = loader->createMeshFromMemory(data.data(), data.size(), "bomb.x");
  if (mesh) std::_Exit(2);
  std::_Exit(testLog().count(expected, ELL_ERROR) == 1 ? 0 : 3);
}

TEST_F(XLoader, CompressedBombsFailWithinBoundedMemory) {
#ifdef ZARN_UNDER_ASAN
  GTEST_SKIP() << "address-space limits and the address sanitizer do not mix";
#endif
  // 64 MiB of padding after 30 M declared faces: the count fits what the
  // data can hold, so the loader must not size anything from it before the
  // faces arrive (it used to allocate and reserve 480 MB here and die).
  const std::string head = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 30000000;";
  std::string plain = head + std::string((64u << 20) - head.size(), ' ');
  const std::string bomb = "xof 0302tzip0032" + compressMszip(plain, static_cast<uint32_t>(plain.size() + 16));
  EXPECT_LT(bomb.size(), 1u << 20);
  EXPECT_EXIT(loadWithinBudget(Loader, bomb, 200u << 20, "expected an integer (face size)"),
              ::testing::ExitedWithCode(0), "");

  // 40 M faces cannot fit in the same data (two bytes a number at least):
  // refused before anything is allocated.
  const std::string more = "Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; 40000000;";
  plain = more + std::string(plain.size() - more.size(), ' ');
  const std::string declared =
      "xof 0302tzip0032" + compressMszip(plain, static_cast<uint32_t>(plain.size() + 16));
  EXPECT_EXIT(loadWithinBudget(Loader, declared, 200u << 20, "Mesh face count 40000000 is more than the file holds"),
              ::testing::ExitedWithCode(0), "");

  // Real vertices that do not fit in the memory left: a failed load with a
  // message, not an abort.
  std::string vertices = "Mesh { 9000000;";
  vertices.reserve(64u << 20);
  while (vertices.size() < (63u << 20)) vertices += "0;0;0;,";
  const std::string many =
      "xof 0302tzip0032" + compressMszip(vertices, static_cast<uint32_t>(vertices.size() + 16));
  EXPECT_EXIT(loadWithinBudget(Loader, many, 120u << 20, "out of memory loading bomb.x"),
              ::testing::ExitedWithCode(0), "");
}

TEST_F(XLoader, FilesThatWouldMultiplyWorkAreBounded) {
  // One triangle repeated with a new normal each time, and a skin that names
  // the same vertex again and again: the loader stays linear, keeps at most
  // 16 weights per vertex on average, and says so.
  const int repeats = 20000;
  std::string text = "xof 0302txt 0032\nFrame Bone { Mesh { 3; 0;0;0;, 1;0;0;, 0;1;0;; " +
                     std::to_string(repeats) + ";\n";
  for (int i = 0; i < repeats; ++i) text += "3;0,1,2;,";
  text += ";\nMeshNormals { " + std::to_string(repeats) + ";\n";
  for (int i = 0; i < repeats; ++i) text += "0;" + std::to_string(i) + ";1;,";
  text += ";\n" + std::to_string(repeats) + ";\n";
  for (int i = 0; i < repeats; ++i) text += "3;" + std::to_string(i) + "," + std::to_string(i) + "," + std::to_string(i) + ";,";
  text += "; }\nSkinWeights { \"Bone\"; " + std::to_string(repeats) + ";\n";
  for (int i = 0; i < repeats; ++i) text += "0,";
  text += "\n";
  for (int i = 0; i < repeats; ++i) text += "0.5,";
  text += "\n1,0,0,0,0,1,0,0,0,0,1,0,0,0,0,1;; } } }\n";
  scene::IAnimatedMesh* mesh = load(text);
  ASSERT_NE(mesh, nullptr) << testLog().all();
  EXPECT_EQ(mesh->getMeshBuffer(0)->getVertexCount(), 3u * repeats);
  EXPECT_EQ(testLog().count("too many skin weights", ELL_WARNING), 1) << testLog().all();
  EXPECT_LE(static_cast<scene::ISkinnedMesh*>(mesh)->getAllJoints()[0]->Weights.size(), 16u * (3u * repeats + 1));
  mesh->drop();

  // Skeletons stop at 16384 frames.
  std::string frames = "xof 0302txt 0032\n";
  for (int i = 0; i < 16385; ++i) frames += "Frame {}\n";
  testLog().Lines.clear();
  EXPECT_EQ(load(frames), nullptr);
  EXPECT_EQ(testLog().count("too many frames", ELL_ERROR), 1) << testLog().all();
}

TEST_F(XLoader, FrameTransformsAndSkinOffsetsPlaceAnimatedVertices) {
  // Fixtures: a rigid mesh in a frame at (5,0,0) turned a quarter around z,
  // and a mesh in a frame at (0,0,3) skinned to a bone at (5,0,0) that rises
  // by 2. The vertex of the file at (1,0,0) is followed.
  struct Case {
    const char* file;
    float frame;
    core::vector3df expected;
  } cases[] = {
      {"rigid-in-moved-frame.x", 0, {6, 0, 0}},
      {"rigid-in-moved-frame.x", 10, {5, 1, 0}},
      {"skin-in-moved-frame.x", 0, {1, 0, 3}},
      {"skin-in-moved-frame.x", 10, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    const std::string data = readFile(c.file);
    scene::IAnimatedMesh* mesh = load(data);
    ASSERT_NE(mesh, nullptr) << c.file << "\n" << testLog().all();
    const core::vector3df p = mesh->getMesh(c.frame)->getMeshBuffer(0)->getPosition(0);
    EXPECT_TRUE(p.equals(c.expected, 1e-5f)) << c.file << " at " << c.frame << ": " << p.X << " " << p.Y << " " << p.Z;
    mesh->drop();
  }
}
