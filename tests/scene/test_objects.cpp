// The object layer on the NULL driver: node kinds, creation and its failures,
// transforms, lock, frames, clone and instance, the node extension, and the
// messages for identifiers that do not resolve.
#include <cmath>
#include <functional>

#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "sceneFixture.h"
#include "scene/CZeSceneNodeExt.h"
#include "scene/IZeEffect.h"
#include "mesh/IZeSurface.h"
#include "scene/zeNodeKind.h"
#include "scene/zeObject.h"

using namespace irr;

namespace {

const char* kCubeObj =
    "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "f 1 2 3\nf 1 3 4\nf 5 8 7\nf 5 7 6\nf 1 5 6\nf 1 6 2\nf 4 3 7\nf 4 7 8\nf 1 4 8\nf 1 8 5\nf 2 6 7\nf 2 7 3\n";

// A text .x file with one static mesh (a quad), read by the stock loader.
const char* kQuadX =
    "xof 0303txt 0032\n"
    "Mesh quad {\n 4;\n -1.0;-1.0;0.0;,\n 1.0;-1.0;0.0;,\n 1.0;1.0;0.0;,\n -1.0;1.0;0.0;;\n"
    " 2;\n 3;0,2,1;,\n 3;0,3,2;;\n}\n";

}  // namespace

TEST_F(SceneTest, LoadObjectChoosesTheNodeKindFromTheMesh) {
  const std::string dir = tempDirectory();
  writeText(dir + "/cube.obj", kCubeObj);
  writeText(dir + "/quad.x", kQuadX);
  cacheStatic("static.gen");
  cacheAnimated("animated.gen", 3);
  cacheSkinned("skinned.gen", 10);
  cacheSkinned("pose.gen", 0);
  cacheStatic("skeleton.psk");

  struct Case {
    std::string file;
    u32 nodeType;
    int frames;
  } cases[] = {
      {dir + "/cube.obj", scene::ESNT_MESH, 1},       // the engine's .obj loader, static
      {dir + "/quad.x", scene::ESNT_MESH, 1},         // .x without animation: skinned mesh, no frames
      {"static.gen", scene::ESNT_MESH, 1},
      {"animated.gen", scene::ESNT_ANIMATED_MESH, 3},
      {"skinned.gen", ZE_NODE_TYPE_MORPH, 10},        // skinned with frames: its skeleton poses a morph map
      {"pose.gen", scene::ESNT_MESH, 1},               // skinned without frames
      {"skeleton.psk", scene::ESNT_ANIMATED_MESH, 1},  // skeletal files always animate
  };
  int id = 10;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    ASSERT_EQ(zeLoadObject(id, c.file.c_str()), 0) << takeError();
    scene::ISceneNode* node = zeObjectNode(id);
    ASSERT_NE(node, nullptr);
    EXPECT_EQ(static_cast<u32>(node->getType()), c.nodeType);
    EXPECT_EQ(zeTotalObjectFrames(id), c.frames);
    EXPECT_EQ(node->getPosition(), core::vector3df(0, 0, 0));
    EXPECT_EQ(node->getScale(), core::vector3df(1, 1, 1));
    IZeSceneNodeExt* ext = zeFindNodeExt(node);
    ASSERT_NE(ext, nullptr);
    EXPECT_EQ(ext->getRowCount(), node->getMaterialCount());
    // The scene graph and the table cell hold the node.
    EXPECT_EQ(node->getReferenceCount(), 2);
    ++id;
  }
  EXPECT_EQ(takeError(), "");
}

TEST_F(SceneTest, LoadObjectFailuresFreeTheIdentifier) {
  int arg = 0;
  EXPECT_EQ(zeLoadObject(3, "no/such/mesh.obj"), -1);
  EXPECT_EQ(takeError(&arg), "Failed to load mesh 'no/such/mesh.obj'");
  EXPECT_EQ(arg, 1);
  EXPECT_EQ(zeObjectExist(3), 0);

  // Garbage and truncated files: never a crash or a stray node. The engine's
  // loaders refuse bad .x, .obj and .lwo files, and no other loader gets to
  // try them.
  const std::string dir = tempDirectory();
  writeText(dir + "/garbage.obj", "this is not a mesh\n\x01\x02");
  writeText(dir + "/truncated.x", std::string(kQuadX).substr(0, 60));
  writeText(dir + "/empty.x", "");
  // The stock loaders crashed on the first and looped eating memory on the
  // second (a FORM and a PNTS chunk that claim gigabytes).
  writeText(dir + "/far-index.obj", "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 2147483647\n");
  writeText(dir + "/huge-chunk.lwo", std::string("FORM\xff\xff\xff\xf0LWO2PNTS\x7f\xff\xff\xf0", 20) +
                                         std::string(12, '\0'));
  scene::ISceneNode* root = zeEngineContext().sceneManager->getRootSceneNode();
  const size_t children = root->getChildren().size();
  struct Bad {
    std::string file;
    bool refused;  // false: either outcome is sound
  } bad[] = {{dir + "/garbage.obj", false},
             {dir + "/truncated.x", true},
             {dir + "/empty.x", true},
             {dir + "/far-index.obj", true},
             {dir + "/huge-chunk.lwo", true}};
  for (const Bad& b : bad) {
    SCOPED_TRACE(b.file);
    if (zeLoadObject(4, b.file.c_str()) == 0) {
      EXPECT_FALSE(b.refused);
      EXPECT_EQ(root->getChildren().size(), children + 1);
      zeDeleteObject(4);
    } else {
      EXPECT_EQ(takeError(), "Failed to load mesh '" + b.file + "'");
    }
    EXPECT_EQ(zeObjectExist(4), 0);
    EXPECT_EQ(root->getChildren().size(), children);
  }

  cacheStatic("a.gen");
  ASSERT_EQ(zeLoadObject(5, "a.gen"), 0);
  EXPECT_EQ(zeLoadObject(5, "a.gen"), -1);
  EXPECT_EQ(takeError(&arg), "invalid Object ID 5 : id 5 already exist");
  EXPECT_EQ(arg, 2);
  EXPECT_EQ(zeLoadObject(1000, "a.gen"), -1);
  EXPECT_EQ(takeError(&arg), "invalid Object ID 1000 : invalid ID 1000 greater or equals than 1000");
}

TEST_F(SceneTest, ObjectsLoadFromMountedArchivesAndLooselySpelledNames) {
  const std::string dir = tempDirectory();
  writeText(dir + "/cube.obj", kCubeObj);
  ASSERT_EQ(zeLoadObject(1, (dir + "/CUBE.OBJ").c_str()), 0) << takeError();  // made on Windows
  EXPECT_EQ(static_cast<u32>(zeObjectNode(1)->getType()), scene::ESNT_MESH);

  const std::string archive = dir + "/objects.dat";
  writeText(archive, storedZip({{"objects/cube.obj", kCubeObj}, {"objects/quad.x", kQuadX}}));
  ASSERT_EQ(zeMountArchiveFile(archive.c_str()), 0);
  EXPECT_EQ(zeLoadObject(2, "objects/cube.obj"), 0) << takeError();
  EXPECT_EQ(zeLoadObject(3, "objects/quad.x"), 0) << takeError();
  EXPECT_EQ(zeObjectNode(3)->getMaterialCount(), 1u);
  EXPECT_EQ(zeLoadObject(4, "objects/none.x"), -1);
  EXPECT_EQ(takeError(), "Failed to load mesh 'objects/none.x'");
  zeEngineStop();
  zeFilesystemReset(nullptr);  // forget the mount
}

TEST_F(SceneTest, SixteenBitBuffersWarnAbove65535Vertices) {
  struct Case {
    u32 vertices;
    bool warns;
  } cases[] = {{65535, false}, {65536, true}};
  int id = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.vertices);
    shownBoxes.clear();
    const std::string file = "big" + std::to_string(c.vertices) + ".gen";
    scene::SMesh* mesh = makeBigMesh(c.vertices);
    scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
    cacheMesh(file.c_str(), animated);
    animated->drop();
    mesh->drop();
    ASSERT_EQ(zeLoadObject(id, file.c_str()), 0);  // loads either way
    if (c.warns) {
      ASSERT_EQ(shownBoxes.size(), 1u);
      EXPECT_EQ(shownBoxes[0], "Object 1 '" + file +
                                   "' has too much points on surface 0 ;\n65536 points > maximum 65535.\n"
                                   "Render artifacts will occur.");
    } else {
      EXPECT_TRUE(shownBoxes.empty());
    }
    ++id;
  }
}

TEST_F(SceneTest, TransformsVisibilityAndLock) {
  cacheStatic("t.gen");
  ASSERT_EQ(zeLoadObject(1, "t.gen"), 0);
  scene::ISceneNode* node = zeObjectNode(1);

  zeScaleObject(1, 100, 50, 200);
  EXPECT_EQ(node->getScale(), core::vector3df(1, 0.5f, 2));
  zePositionObject(1, 1, 2, 3);
  EXPECT_EQ(node->getPosition(), core::vector3df(1, 2, 3));
  zeRotateObject(1, 10, 20, 30);
  EXPECT_EQ(node->getRotation(), core::vector3df(10, 20, 30));
  EXPECT_EQ(zeSetObjectRotationZYX(1), 0);
  EXPECT_EQ(node->getRotation(), core::vector3df(10, 20, 30));

  zeHideObject(1);
  EXPECT_EQ(zeObjectVisible(1), 0);
  zeShowObject(1);
  EXPECT_EQ(zeObjectVisible(1), 1);

  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  camera->setPosition(core::vector3df(100, 0, 0));
  zeLockObjectOn(1);
  EXPECT_EQ(node->getParent(), camera);
  camera->updateAbsolutePosition();
  node->updateAbsolutePosition();
  EXPECT_NEAR(node->getAbsolutePosition().X, 101.0f, 1e-4);  // moves with the camera
  zeLockObjectOff(1);
  EXPECT_EQ(node->getParent(), zeEngineContext().sceneManager->getRootSceneNode());
  node->updateAbsolutePosition();
  EXPECT_EQ(node->getAbsolutePosition(), core::vector3df(1, 2, 3));
  EXPECT_EQ(takeError(), "");
}

TEST_F(SceneTest, FramesFollowTheObjectKind) {
  cacheStatic("s.gen");
  cacheAnimated("a.gen", 5);
  ASSERT_EQ(zeLoadObject(1, "s.gen"), 0);
  ASSERT_EQ(zeLoadObject(2, "a.gen"), 0);

  EXPECT_EQ(zeSetObjectFrame(1, 3.0f), 0);  // static: nothing, and no report
  EXPECT_EQ(takeError(), "");

  auto* animated = static_cast<scene::IAnimatedMeshSceneNode*>(zeObjectNode(2));
  animated->setFrameLoop(1, 4);
  zeSetObjectFrame(2, 2.5f);
  EXPECT_FLOAT_EQ(animated->getFrameNr(), 3.5f);  // start frame + frame

  int arg = 0;
  EXPECT_EQ(zeObjectFrameTime(1, 0), 0.0f);
  EXPECT_EQ(takeError(&arg), "Object ID 1 frame time not supported. (static mesh)");
  EXPECT_EQ(arg, 1);
}

TEST_F(SceneTest, AnimationsComeFromSkinnedMeshes) {
  // Skeletal files stay animated meshes (other skinned meshes with frames are morph objects).
  cacheStatic("s.gen");
  cacheSkinned("walk.psa", 20);
  cacheSkinned("body.psk", 5);
  ASSERT_EQ(zeLoadObject(1, "s.gen"), 0);
  ASSERT_EQ(zeLoadObject(2, "body.psk"), 0);
  ASSERT_EQ(zeLoadObject(3, "walk.psa"), 0);

  int arg = 0;
  EXPECT_EQ(zeUseAnimationFromObject(1, 3), -1);
  EXPECT_EQ(takeError(&arg), "Object ID 1 is not an animated mesh");
  EXPECT_EQ(arg, 1);
  EXPECT_EQ(zeUseAnimationFromObject(2, 1), -1);
  EXPECT_EQ(takeError(&arg), "Object ID 1 is not an animated mesh");
  EXPECT_EQ(arg, 2);

  EXPECT_EQ(zeUseAnimationFromObject(2, 3), 0);
  auto* body = static_cast<scene::IAnimatedMeshSceneNode*>(zeObjectNode(2));
  EXPECT_EQ(body->getStartFrame(), 0);
  EXPECT_EQ(body->getEndFrame(), 19);  // Irrlicht keeps the loop inside frames 0..count-1

  // Irrlicht 1.8 meshes carry no list of named animations.
  EXPECT_EQ(zeObjectAnimationCount(2), 0);
  EXPECT_EQ(zeObjectAnimationName(2, 0), nullptr);
  EXPECT_EQ(takeError(&arg), "Object ID 2 has no animation 0");
  EXPECT_EQ(arg, 1);
}

namespace {

// A surface that writes a colour and a texture into layer 0, and an effect
// that empties the texture layers it binds.
struct FakeSurface : IZeSurface {
  video::ITexture* texture = nullptr;
  bool tangents = false;
  mutable int textureBinds = 0;
  u32 getKind() const override { return 0; }
  void initFromMaterial(const video::SMaterial&) override {}
  IZeSurface* clone() const override {
    FakeSurface* copy = new FakeSurface;
    copy->texture = texture;
    copy->tangents = tangents;
    return copy;
  }
  void writeToMaterial(video::SMaterial& material) const override {
    material.DiffuseColor = video::SColor(255, 10, 20, 30);
    material.setTexture(0, texture);
  }
  bool needsTangents() const override { return tangents; }
  bool getEffectCompileParameters(const SZeSurfaceNodeFacts*, SZeSurfaceMacro*, int, int*, int*) const override {
    return false;
  }
  bool setEffectTextures(IZeEffect*) const override { return true; }
  bool setEffectTexturesOnMaterial(IZeEffect*, SZeMaterialRecord& record) const override {
    ++textureBinds;
    record.clearTextures();
    return record.addTexture(0, texture, false);
  }
};

struct FakeEffect : IZeEffect {
  bool tangents = false;
  int applied = 0;
  int cleared = 0;
  void applyToMaterial(video::SMaterial& material, SZeMaterialRecord&, int, int) override {
    ++applied;
    for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) material.setTexture(i, nullptr);
  }
  void clearFromMaterial(video::SMaterial&, SZeMaterialRecord&) override { ++cleared; }
  bool needsTangents() const override { return tangents; }
  int samplerHandle(const char*) const override { return 0; }
  bool setSamplerTexture(int, video::ITexture*, bool) override { return true; }
};

video::ITexture* makeTexture() {
  video::IVideoDriver* driver = zeEngineContext().driver;
  video::IImage* image = driver->createImage(video::ECF_A8R8G8B8, core::dimension2du(2, 2));
  video::ITexture* texture = driver->addTexture("fake-surface-texture", image);
  image->drop();
  return texture;
}

}  // namespace

TEST_F(SceneTest, ExtensionRowsApplySurfaceThenEffect) {
  scene::SMesh* mesh = makeCubeMesh(2);
  scene::SAnimatedMesh* animated = new scene::SAnimatedMesh(mesh);
  cacheMesh("two.gen", animated);
  animated->drop();
  mesh->drop();
  ASSERT_EQ(zeLoadObject(1, "two.gen"), 0);
  scene::ISceneNode* node = zeObjectNode(1);
  IZeSceneNodeExt* ext = zeFindNodeExt(node);
  ASSERT_EQ(ext->getRowCount(), 2u);

  FakeSurface* surface = new FakeSurface;
  surface->texture = makeTexture();
  FakeEffect* effect = new FakeEffect;
  ext->setSurface(0, surface);
  EXPECT_EQ(node->getMaterial(0).DiffuseColor, video::SColor(255, 10, 20, 30));
  ext->setEffect(0, effect, 2, 7);
  EXPECT_EQ(effect->getReferenceCount(), 2);  // ours and the row's
  EXPECT_EQ(ext->getMaterialRecord(0)->technique, 2);
  EXPECT_EQ(ext->getMaterialRecord(0)->secondIndex, 7);
  // The effect emptied the layers; the surface's texture came back.
  EXPECT_EQ(node->getMaterial(0).getTexture(0), surface->texture);
  EXPECT_EQ(surface->textureBinds, 1);
  EXPECT_EQ(ext->getMaterialRecord(0)->textureCount, 1);  // the surface's image for the effect
  const int textureRefs = surface->texture->getReferenceCount();
  EXPECT_EQ(node->getMaterial(1).getTexture(0), nullptr);  // row 1 untouched

  // Saving keeps references; restoring re-applies what changed.
  ext->saveEffects();
  EXPECT_EQ(effect->getReferenceCount(), 3);
  ext->clearEffect(0);
  EXPECT_EQ(effect->cleared, 1);
  EXPECT_EQ(ext->getEffect(0), nullptr);
  EXPECT_EQ(ext->getMaterialRecord(0)->textureCount, 0);  // they named the effect's samplers
  EXPECT_EQ(surface->texture->getReferenceCount(), textureRefs - 1);
  ext->restoreEffects();
  EXPECT_EQ(ext->getEffect(0), effect);
  EXPECT_EQ(ext->getMaterialRecord(0)->technique, 2);

  // A stray technique index applies the effect without a saved copy for it.
  ext->setEffect(0, effect, 1 << 30, 0);
  EXPECT_EQ(surface->textureBinds, 3);
  EXPECT_EQ(node->getMaterial(0).getTexture(0), nullptr);

  // Setting the same effect again must not release it on the way.
  ext->setEffect(0, effect, 2, 7);
  EXPECT_EQ(ext->getEffect(0), effect);

  zeDeleteObject(1);
  EXPECT_EQ(effect->getReferenceCount(), 1);  // the row and the saved list let go
  EXPECT_EQ(surface->getReferenceCount(), 1);
  effect->drop();
  surface->drop();
}

TEST_F(SceneTest, UpdateMakesATangentCopyWhenARowNeedsTangents) {
  cacheStatic("t.gen");
  ASSERT_EQ(zeLoadObject(1, "t.gen"), 0);
  auto* node = static_cast<scene::IMeshSceneNode*>(zeObjectNode(1));
  IZeSceneNodeExt* ext = zeFindNodeExt(node);

  EXPECT_FALSE(ext->needTangents());
  FakeEffect* effect = new FakeEffect;
  effect->tangents = true;
  ext->setEffect(0, effect, 0, 0);
  EXPECT_TRUE(ext->needTangents());
  ext->setTangentMode(ZE_TANGENTS_NEVER);
  EXPECT_FALSE(ext->needTangents());
  ext->setTangentMode(ZE_TANGENTS_AUTO);

  ASSERT_TRUE(ext->update());
  EXPECT_EQ(node->getMesh()->getMeshBuffer(0)->getVertexType(), video::EVT_TANGENTS);
  effect->drop();
}

TEST_F(SceneTest, CloneAndInstanceCopyTheNodeAndItsRows) {
  cacheStatic("c.gen");
  ASSERT_EQ(zeLoadObject(1, "c.gen"), 0);
  scene::ISceneNode* source = zeObjectNode(1);
  FakeSurface* surface = new FakeSurface;
  FakeEffect* effect = new FakeEffect;
  zeFindNodeExt(source)->setSurface(0, surface);
  zeFindNodeExt(source)->setEffect(0, effect, 3, 1);

  const std::function<int(int, int)> makers[] = {zeCloneObject, zeInstanceObject};
  int id = 2;
  for (const auto& make : makers) {
    ASSERT_EQ(make(id, 1), 0) << takeError();
    scene::ISceneNode* copy = zeObjectNode(id);
    ASSERT_NE(copy, source);
    EXPECT_EQ(copy->getParent(), source->getParent());
    EXPECT_EQ(static_cast<scene::IMeshSceneNode*>(copy)->getMesh(),
              static_cast<scene::IMeshSceneNode*>(source)->getMesh());  // the mesh is shared
    IZeSceneNodeExt* ext = zeFindNodeExt(copy);
    ASSERT_NE(ext, nullptr);
    ASSERT_NE(ext, zeFindNodeExt(source));
    EXPECT_NE(ext->getSurface(0), surface);  // a surface of its own
    EXPECT_NE(ext->getSurface(0), nullptr);
    EXPECT_EQ(ext->getEffect(0), effect);    // the effect is shared
    EXPECT_EQ(ext->getMaterialRecord(0)->technique, 3);
    EXPECT_EQ(copy->getMaterial(0).DiffuseColor, video::SColor(255, 10, 20, 30));  // updated
    ++id;
  }

  // Onto an identifier in use: nothing changes.
  int arg = 0;
  scene::ISceneNode* before = zeObjectNode(2);
  EXPECT_EQ(zeCloneObject(2, 1), -1);
  EXPECT_EQ(takeError(&arg), "invalid Object ID 2 : id 2 already exist");
  EXPECT_EQ(arg, 1);
  EXPECT_EQ(zeObjectNode(2), before);
  EXPECT_EQ(zeObjectNode(1), source);

  EXPECT_EQ(zeCloneObject(9, 42), -1);
  EXPECT_EQ(takeError(&arg), "Object ID 42 does not exist");
  EXPECT_EQ(arg, 2);
  EXPECT_EQ(zeObjectExist(9), 0);

  // A clone whose update fails is released again.
  zeSetTangentCopyFunction([](scene::ISceneManager*, scene::IMesh*, bool) -> scene::IMesh* { return nullptr; });
  effect->tangents = true;  // the clone's row asks for tangents
  const size_t children = source->getParent()->getChildren().size();
  EXPECT_EQ(zeCloneObject(9, 1), -1);
  EXPECT_EQ(takeError(&arg), "Failed to create the cloned object");
  EXPECT_EQ(arg, -1);
  EXPECT_EQ(zeObjectExist(9), 0);
  EXPECT_EQ(source->getParent()->getChildren().size(), children);
  zeSetTangentCopyFunction(nullptr);

  effect->drop();
  surface->drop();
}

TEST_F(SceneTest, ExtensionValuesAndCubeMaps) {
  cacheStatic("e.gen");
  ASSERT_EQ(zeLoadObject(1, "e.gen"), 0);
  IZeSceneNodeExt* ext = zeFindNodeExt(zeObjectNode(1));

  zeSetObjectShadows(1, true);
  EXPECT_TRUE(ext->getCastsShadows());
  zeSetObjectSelectionMask(1, 0x30);
  EXPECT_EQ(ext->setSelectionMask(0), 0x30u);
  zeSetObjectCubeMapBlend(1, 0.25f);
  EXPECT_EQ(ext->getCubeMapBlend(), 0.25f);
  zeSetObjectBox(1, core::vector3df(1, 2, 3), core::vector3df(4, 5, 6));
  zeSetObjectBoxProjection(1, true);
  EXPECT_EQ(ext->getBoxPosition(), core::vector3df(1, 2, 3));
  zeSetObjectBoxProjection(1, false);
  EXPECT_EQ(ext->getBoxPosition(), core::vector3df(1000000, 1000000, 1000000));
  EXPECT_EQ(ext->getBoxSize(), core::vector3df(4, 5, 6));

  int arg = 0;
  EXPECT_EQ(zeSetObjectCubeMap2(1, -1), 0);  // clearing works with none set
  EXPECT_EQ(takeError(), "");
  EXPECT_EQ(zeSetObjectCubeMap1(1, 12), -1);
  EXPECT_EQ(takeError(&arg), "CubeMap ID 12 does not exist. cube maps: not built yet");
  EXPECT_EQ(arg, 2);

  // The cube-map layer's lookup answers with a texture or its table's reason.
  static IReferenceCounted* cube = nullptr;
  cube = new scene::SMesh;  // any reference-counted object stands in
  zeSetCubeMapLookup([](int id, const char** reason) -> IReferenceCounted* {
    *reason = "id 12 does not exist";
    return id == 3 ? cube : nullptr;
  });
  EXPECT_EQ(zeSetObjectCubeMap1(1, 12), -1);
  EXPECT_EQ(takeError(&arg), "CubeMap ID 12 does not exist. id 12 does not exist");
  EXPECT_EQ(zeSetObjectCubeMap1(1, 3), 0);
  EXPECT_EQ(ext->getCubeMap1(), cube);
  zeSetCubeMapLookup(nullptr);

  // A cube map that goes away is let go by every object.
  ext->setCubeMap2(cube);
  EXPECT_EQ(cube->getReferenceCount(), 3);
  zeObjectsForgetCubeMap(cube);
  EXPECT_EQ(ext->getCubeMap1(), nullptr);
  EXPECT_EQ(ext->getCubeMap2(), nullptr);
  EXPECT_EQ(cube->getReferenceCount(), 1);
  cube->drop();

  EXPECT_NEAR(zeGetObjectRadius(1), std::sqrt(12.0f) / 2, 1e-5);  // cube of side 2

  EXPECT_EQ(zeSetObjectVertexTexture(1, "vt", 0), -1);
  EXPECT_EQ(takeError(&arg), "Object ID 1 failed to create vertex texture");
  EXPECT_EQ(arg, -1);
}

TEST_F(SceneTest, CommandsOnUnknownObjectsReportTheIdentifier) {
  const std::function<void(int)> commands[] = {
      [](int id) { zeShowObject(id); },
      [](int id) { zeHideObject(id); },
      [](int id) { zeObjectVisible(id); },
      [](int id) { zePositionObject(id, 0, 0, 0); },
      [](int id) { zeRotateObject(id, 0, 0, 0); },
      [](int id) { zeScaleObject(id, 100, 100, 100); },
      [](int id) { zeGhostObjectOn(id); },
      [](int id) { zeLockObjectOn(id); },
      [](int id) { zeLockObjectOff(id); },
      [](int id) { zeTotalObjectFrames(id); },
      [](int id) { zeSetObjectFrame(id, 1); },
      [](int id) { zeObjectFrameTime(id, 1); },
      [](int id) { zeUseAnimationFromObject(id, 0); },
      [](int id) { zeObjectAnimationCount(id); },
      [](int id) { zeSetObjectShadows(id, true); },
      [](int id) { zeSetObjectSelectionMask(id, 1); },
      [](int id) { zeSetObjectCubeMap1(id, 0); },
      [](int id) { zeSetObjectCubeMap2(id, -1); },
      [](int id) { zeSetObjectVertexTexture(id, "x", 0); },
      [](int id) { zeGetObjectRadius(id); },
  };
  struct Id {
    int id;
    const char* message;
  } ids[] = {
      {7, "Object ID 7 does not exist. id 7 does not exist"},
      {1000, "Object ID 1000 does not exist. invalid ID 1000 greater or equals than 1000"},
      {-2, "Object ID -2 does not exist. invalid negative ID -2"},
  };
  for (const Id& id : ids) {
    int index = 0;
    for (const auto& command : commands) {
      SCOPED_TRACE(index++);
      command(id.id);
      int arg = 0;
      EXPECT_EQ(takeError(&arg), id.message);
      EXPECT_EQ(arg, 1);
    }
  }
  zeDeleteObject(7);  // silent
  EXPECT_EQ(zeObjectExist(7), 0);
  EXPECT_EQ(takeError(), "");
}
