// Morph objects on the NULL driver: targets from a series of meshes and from
// a .zmorph file, SetObjectMorph's dirty rule, the blend, and bad files.
#include <fstream>

#include "mesh/CZeMorphMesh.h"
#include "mesh/codec/zeZmorph.h"
#include "mesh/zeDeviceLog.h"
#include "sceneFixture.h"
#include "scene/CZeMorphMeshSceneNode.h"
#include "scene/zeNodeKind.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSeams.h"

using namespace irr;

namespace {

// A cube whose point 8 (the .obj's last) sits at z = `z`.
std::string cube(float z) {
  return "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 " + std::to_string(z) +
         "\nf 1 2 3\nf 1 3 4\nf 5 8 7\nf 5 7 6\nf 1 5 6\nf 1 6 2\nf 4 3 7\nf 4 7 8\nf 1 4 8\nf 1 8 5\nf 2 6 7\nf 2 7 3\n";
}

class MorphTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    dir = tempDirectory();
    previous = zeGetDeviceLogger();
    zeSetDeviceLogger(&logger);
  }
  void TearDown() override {
    zeSetDeviceLogger(previous);
    SceneTest::TearDown();
  }
  CZeMorphMeshSceneNode* morphOf(int id) {
    scene::ISceneNode* node = zeObjectNode(id);
    return node && zeObjectKind(node) == ZE_KIND_MORPH ? static_cast<CZeMorphMeshSceneNode*>(node) : nullptr;
  }
  // The blended position of the vertex made from .obj point `point` (from 0).
  core::vector3df positionOf(int id, u32 point) {
    CZeMorphMeshSceneNode* node = morphOf(id);
    node->update();
    scene::IMeshBuffer* b = node->getMesh()->getMeshBuffer(0);
    const u32* original = nullptr;
    // The map's copy keeps the file vertex numbers.
    original = reinterpret_cast<const u32*>(zeMorphOriginal(b));
    for (u32 v = 0; v < b->getVertexCount(); ++v)
      if (original[v] == point) return b->getPosition(v);
    return core::vector3df(NAN, NAN, NAN);
  }
  static const void* zeMorphOriginal(scene::IMeshBuffer* b);
  std::string dir;
  SceneDeviceLogRecorder logger;
  ILogger* previous = nullptr;
};

}  // namespace

#include "mesh/CZeSkinMeshBuffer.h"
const void* MorphTest::zeMorphOriginal(scene::IMeshBuffer* b) { return zeMeshBufferOriginalIndices(b); }

TEST_F(MorphTest, TwoTargetMeshesGiveOneTarget) {
  writeText(dir + "/car.obj", cube(1));
  writeText(dir + "/car.morph1.obj", cube(1));
  writeText(dir + "/car.morph2.obj", cube(3));
  const std::string file = dir + "/car.obj";
  ASSERT_EQ(zeLoadObject(1, file.c_str()), 0) << takeError() << logger.text;
  ASSERT_NE(morphOf(1), nullptr);
  EXPECT_EQ(zeGetObjectMorphCount(1), 1);
  EXPECT_EQ(zeTotalObjectFrames(1), 1);
  const int one[] = {1};
  const float half[] = {0.5f};
  zeSetObjectMorph(1, 1, one, half);
  EXPECT_NEAR(positionOf(1, 7).Z, 2.0f, 1e-5f);  // 1 + 0.5 x (3 - 1)
  EXPECT_NEAR(positionOf(1, 6).Z, 1.0f, 1e-5f);  // a point the target does not move
  // A clone blends on its own.
  ASSERT_EQ(zeCloneObject(2, 1), 0) << takeError();
  const float full[] = {1.0f};
  zeSetObjectMorph(2, 1, one, full);
  EXPECT_NEAR(positionOf(2, 7).Z, 3.0f, 1e-5f);
  EXPECT_NEAR(positionOf(1, 7).Z, 2.0f, 1e-5f);
  EXPECT_EQ(zeGetObjectMorphCount(2), 1);
  // The scene's weights arrive through its seam.
  const float none[] = {0.0f};
  zeSceneSeams().meshes->setMorphWeights(2, 1, one, none);
  EXPECT_NEAR(positionOf(2, 7).Z, 1.0f, 1e-5f);
}

TEST_F(MorphTest, ZmorphTargetsWeightsAndTheDirtyRule) {
  writeText(dir + "/face.obj", cube(1));
  SZeZmorphTarget up{"up", {7, 0}, {0, 0, 2, 0, 1, 0}, {0, 0, 0, 0, 0, 0}};
  SZeZmorphTarget empty{"empty", {}, {}, {}};
  const std::vector<unsigned char> bytes = zeZmorphWrite({up, empty});
  std::ofstream(dir + "/face.zmorph", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              static_cast<std::streamsize>(bytes.size()));
  ASSERT_EQ(zeLoadObject(1, (dir + "/face.obj").c_str()), 0) << takeError() << logger.text;
  EXPECT_EQ(zeGetObjectMorphCount(1), 2);
  CZeMorphMeshSceneNode* node = morphOf(1);
  ASSERT_NE(node, nullptr);

  struct Case {
    const char* what;
    std::vector<int> indices;
    std::vector<float> weights;
    float point7z, point0y;
  } cases[] = {
      {"target 1", {1}, {1.0f}, 3.0f, 0.0f},
      {"the empty target moves nothing", {2}, {1.0f}, 1.0f, -1.0f},
      {"target 0 names none", {0}, {1.0f}, 1.0f, -1.0f},
      {"past the last target", {3}, {1.0f}, 1.0f, -1.0f},
      {"weight 0", {1}, {0.0f}, 1.0f, -1.0f},
      {"cumulative", {1, 1}, {0.25f, 0.5f}, 2.5f, -0.25f},
      {"negative weight", {1}, {-1.0f}, -1.0f, -2.0f},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    zeSetObjectMorph(1, static_cast<int>(c.indices.size()), c.indices.data(), c.weights.data());
    EXPECT_TRUE(node->isDirty());
    EXPECT_NEAR(positionOf(1, 7).Z, c.point7z, 1e-5f);
    EXPECT_NEAR(positionOf(1, 0).Y, c.point0y, 1e-5f);
    EXPECT_FALSE(node->isDirty());
    // The same list again is not a change.
    zeSetObjectMorph(1, static_cast<int>(c.indices.size()), c.indices.data(), c.weights.data());
    EXPECT_FALSE(node->isDirty());
  }
  // A different weight, or an empty list, is.
  const int one[] = {1};
  const float w[] = {0.75f};
  zeSetObjectMorph(1, 1, one, w);
  EXPECT_TRUE(node->isDirty());
  node->update();
  zeSetObjectMorph(1, 0, nullptr, nullptr);
  EXPECT_TRUE(node->isDirty());
  EXPECT_NEAR(positionOf(1, 7).Z, 1.0f, 1e-5f);
  // Other kinds let weights pass and count no targets.
  writeText(dir + "/plain.obj", cube(1));
  ASSERT_EQ(zeLoadObject(2, (dir + "/plain.obj").c_str()), 0);
  EXPECT_EQ(zeSetObjectMorph(2, 1, one, w), 0);
  EXPECT_EQ(zeGetObjectMorphCount(2), 0);
}

TEST_F(MorphTest, RepeatedFileVerticesAreFoundWithAWarning) {
  // Two texture coordinates at point 1 make two vertices of it, out of order.
  writeText(dir + "/seam.obj",
            "v 0 0 0\nv 1 0 0\nv 1 1 0\nv 0 1 0\nvt 0 0\nvt 1 1\n"
            "f 3/1 2/1 1/1\nf 1/2 4/1 3/1\n");
  SZeZmorphTarget lift{"lift", {0}, {0, 0, 5}, {0, 0, 0}};
  const std::vector<unsigned char> bytes = zeZmorphWrite({lift});
  std::ofstream(dir + "/seam.zmorph", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                              static_cast<std::streamsize>(bytes.size()));
  ASSERT_EQ(zeLoadObject(1, (dir + "/seam.obj").c_str()), 0) << takeError() << logger.text;
  EXPECT_NE(logger.text.find("OriginalVerticesIndices are not ordered in meshbuffer 0, slower load"),
            std::string::npos)
      << logger.text;
  const int one[] = {1};
  const float full[] = {1.0f};
  zeSetObjectMorph(1, 1, one, full);
  CZeMorphMeshSceneNode* node = morphOf(1);
  node->update();
  scene::IMeshBuffer* b = node->getMesh()->getMeshBuffer(0);
  const u32* original = zeMeshBufferOriginalIndices(b);
  int moved = 0;
  for (u32 v = 0; v < b->getVertexCount(); ++v) {
    if (original[v] == 0) {
      EXPECT_NEAR(b->getPosition(v).Z, 5.0f, 1e-5f);
      ++moved;
    } else {
      EXPECT_NEAR(b->getPosition(v).Z, 0.0f, 1e-5f);
    }
  }
  EXPECT_EQ(moved, 2);  // both vertices of point 1
}

TEST_F(MorphTest, BadMorphFilesFailTheLoad) {
  struct Case {
    const char* what;
    std::vector<std::pair<std::string, std::string>> files;
    const char* log;
  } cases[] = {
      {"a bad .zmorph", {{"a.obj", cube(1)}, {"a.zmorph", "FORMxxxxZMOX"}}, "failed to read morphmap file"},
      {"a target mesh that does not load", {{"b.obj", cube(1)}, {"b.morph1.obj", "f 1 2 3\n"}},
       "Failed to load morph mesh"},
      {"target meshes that differ", {{"c.obj", cube(1)}, {"c.morph1.obj", cube(1)}, {"c.morph2.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 3\n"}},
       "has 3 vertices"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    for (const auto& f : c.files) writeText(dir + "/" + f.first, f.second);
    logger.text.clear();
    testing::internal::CaptureStdout();
    const std::string object = dir + "/" + c.files[0].first;
    EXPECT_EQ(zeLoadObject(3, object.c_str()), -1);
    const std::string out = testing::internal::GetCapturedStdout();
    EXPECT_EQ(takeError(), "Failed to load mesh '" + object + "'");
    EXPECT_NE((logger.text + out).find(c.log), std::string::npos) << logger.text << out;
    EXPECT_EQ(zeObjectExist(3), 0);
  }
}

TEST_F(MorphTest, TheBoxFollowsTheBlend) {
  writeText(dir + "/box.obj", cube(1));
  SZeZmorphTarget up{"up", {0, 1, 2, 3, 4, 5, 6, 7}, std::vector<float>(24, 0.0f), std::vector<float>(24, 0.0f)};
  for (int i = 0; i < 8; ++i) up.positionDeltas[3 * i + 1] = 10.0f;
  const std::vector<unsigned char> bytes = zeZmorphWrite({up});
  std::ofstream(dir + "/box.zmorph", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
  ASSERT_EQ(zeLoadObject(1, (dir + "/box.obj").c_str()), 0) << logger.text;
  const int one[] = {1};
  const float full[] = {1.0f};
  zeSetObjectMorph(1, 1, one, full);
  morphOf(1)->update();
  EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().MinEdge.Y, 9.0f, 1e-5f);
  EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().MaxEdge.Y, 11.0f, 1e-5f);
}

#include <cstring>

#include "app/zeEngine.h"
#include "mesh/CZeXMeshFileLoader.h"
#include "scene/CZeSceneManager.h"

namespace {

// A bar in a frame lifted 2 along y: point 0 bound fully to the joint "Arm",
// point 1 at half strength, points 2 and 3 to no joint. Arm turns a quarter
// about z from tick 0 to tick 10.
const char* kArmX =
    "xof 0303txt 0032\nAnimTicksPerSecond { 25; }\n"
    "Frame Root {\n FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,2,0,1;; }\n"
    " Frame Arm { FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; } }\n"
    " Mesh Bar {\n  4; 1;0;0;, 2;0;0;, 0;0;1;, 0;1;0;;\n  2; 3;0,1,2;, 3;0,2,3;;\n"
    "  SkinWeights { \"Arm\"; 2; 0, 1; 1.0, 0.5; 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n }\n}\n"
    "AnimationSet Turn { Animation { { Arm }\n"
    "  AnimationKey { 0; 2; 0;4;1,0,0,0;;, 10;4;0.70710678,0,0,0.70710678;;; } } }\n";

// The library's own software skinning of the same file is what the morph
// object must show at each frame.
class SkinnedReference {
 public:
  SkinnedReference() : loader(zeEngineContext().sceneManager) {
    mesh = loader.createMeshFromMemory(kArmX, std::strlen(kArmX), "arm.x");
  }
  ~SkinnedReference() {
    if (mesh) mesh->drop();
  }
  core::vector3df position(float frame, u32 vertex) {
    scene::ISkinnedMesh* skinned = static_cast<scene::ISkinnedMesh*>(mesh);
    skinned->animateMesh(frame, 1.0f);
    skinned->skinMesh();
    return skinned->getMeshBuffer(0)->getPosition(vertex);
  }
  CZeXMeshFileLoader loader;
  scene::IAnimatedMesh* mesh = nullptr;
};

}  // namespace

TEST_F(MorphTest, SkinnedMeshesWithFramesBecomeMorphObjectsPosedAtTheirFrame) {
  writeText(dir + "/arm.x", kArmX);
  const std::string file = dir + "/arm.x";
  ASSERT_EQ(zeLoadObject(1, file.c_str()), 0) << takeError() << logger.text;
  CZeMorphMeshSceneNode* node = morphOf(1);
  ASSERT_NE(node, nullptr) << "a morph object, not an animated mesh";
  EXPECT_EQ(zeGetObjectMorphCount(1), 0);
  SkinnedReference reference;
  ASSERT_NE(reference.mesh, nullptr);
  ASSERT_GE(reference.mesh->getFrameCount(), 10u);
  const int frames = static_cast<int>(reference.mesh->getFrameCount());
  EXPECT_EQ(zeTotalObjectFrames(1), frames);
  EXPECT_EQ(node->getStartFrame(), 0);
  EXPECT_EQ(node->getEndFrame(), frames - 1);

  scene::IMeshBuffer* shown = node->getMesh()->getMeshBuffer(0);
  struct Case {
    float frame;      // SetObjectFrame's argument
    float reference;  // the frame it shows: clamped to the loop
  } cases[] = {{0, 0}, {2.5f, 2.5f}, {7, 7}, {static_cast<float>(frames + 5), static_cast<float>(frames - 1)},
               {-3, 0}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.frame);
    zeSetObjectFrame(1, c.frame);
    node->update();
    ASSERT_EQ(shown->getVertexCount(), 4u);
    for (u32 v = 0; v < 4; ++v) {
      const core::vector3df want = reference.position(c.reference, v);
      EXPECT_TRUE(shown->getPosition(v).equals(want, 1e-4f)) << v << ": " << shown->getPosition(v).X << ","
                                                              << shown->getPosition(v).Y << " want " << want.X
                                                              << "," << want.Y;
    }
  }
  // The fixture really turns: point 0 starts at (1, 2, 0) and has left it by frame 7.
  zeSetObjectFrame(1, 0);
  node->update();
  EXPECT_TRUE(shown->getPosition(0).equals(core::vector3df(1, 2, 0), 1e-4f));
  EXPECT_TRUE(shown->getPosition(3).equals(core::vector3df(0, 3, 0), 1e-4f)) << "no joint: it stays";
  zeSetObjectFrame(1, 7);
  node->update();
  EXPECT_GT(shown->getPosition(0).getDistanceFrom(core::vector3df(1, 2, 0)), 0.5f);

  // A second object of the same file shares the skinned mesh but shows its
  // own frame; the shared mesh stays in its bind pose.
  ASSERT_EQ(zeLoadObject(2, file.c_str()), 0) << takeError();
  zeSetObjectFrame(2, 0);
  morphOf(2)->update();
  node->update();
  EXPECT_TRUE(morphOf(2)->getMesh()->getMeshBuffer(0)->getPosition(0).equals(core::vector3df(1, 2, 0), 1e-4f));
  EXPECT_TRUE(shown->getPosition(0).equals(reference.position(7, 0), 1e-4f));
  scene::IAnimatedMesh* shared =
      zeEngineContext().sceneManager->getMeshCache()->getMeshByName(zeObjectMeshName(file.c_str()).c_str());
  ASSERT_NE(shared, nullptr);
  EXPECT_TRUE(shared->getMeshBuffer(0)->getPosition(0).equals(core::vector3df(1, 2, 0), 1e-4f));
  // Clones pose on their own too.
  ASSERT_EQ(zeCloneObject(3, 1), 0) << takeError();
  EXPECT_EQ(zeTotalObjectFrames(3), frames);
  zeSetObjectFrame(3, 2.5f);
  morphOf(3)->update();
  EXPECT_TRUE(morphOf(3)->getMesh()->getMeshBuffer(0)->getPosition(0).equals(reference.position(2.5f, 0), 1e-4f));
}

TEST_F(MorphTest, TargetsOfASkinnedMeshAreBlendedBeforeItsSkeleton) {
  writeText(dir + "/arm.x", kArmX);
  // Point 0 (bound to Arm) lifted along the turn axis, point 3 (no joint) too.
  SZeZmorphTarget lift{"lift", {0, 3}, {0, 0, 1, 0, 0, 2}, {0, 0, 0, 0, 0, 0}};
  const std::vector<unsigned char> bytes = zeZmorphWrite({lift});
  std::ofstream(dir + "/arm.zmorph", std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()),
                                                             static_cast<std::streamsize>(bytes.size()));
  ASSERT_EQ(zeLoadObject(1, (dir + "/arm.x").c_str()), 0) << takeError() << logger.text;
  ASSERT_NE(morphOf(1), nullptr);
  EXPECT_EQ(zeGetObjectMorphCount(1), 1);
  SkinnedReference reference;
  EXPECT_EQ(zeTotalObjectFrames(1), static_cast<int>(reference.mesh->getFrameCount()));
  const int one[] = {1};
  const float full[] = {1.0f};
  zeSetObjectMorph(1, 1, one, full);
  for (float frame : {0.0f, 7.0f}) {
    SCOPED_TRACE(frame);
    zeSetObjectFrame(1, frame);
    // A turn about z leaves a lift along z as it is.
    EXPECT_TRUE(positionOf(1, 0).equals(reference.position(frame, 0) + core::vector3df(0, 0, 1), 1e-4f));
    EXPECT_TRUE(positionOf(1, 3).equals(core::vector3df(0, 3, 2), 1e-4f));
    EXPECT_TRUE(positionOf(1, 2).equals(reference.position(frame, 2), 1e-4f));
  }
}
