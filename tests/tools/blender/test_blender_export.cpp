// The Blender exporter against Blender itself: a scene built in headless
// Blender is exported, loaded by the engine on the NULL driver and played at
// several frames; objects, camera, spot light and the point cache must be
// where Blender's own evaluation puts them. Also the meshes, surfaces, the
// two document forms and the exporter's handling of bad input.
#include <gtest/gtest.h>
#include <irrlicht.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <algorithm>
#include <cstring>
#include <sstream>

#include "blenderScenes.h"
#include "mesh/CZeSkinMeshBuffer.h"
#include "mesh/codec/zeZmdd.h"
#include "scene/zeLight.h"
#include "scene/zeNodeKind.h"
#include "scene/zeObject.h"
#include "scene/zeObjectSurface.h"
#include "scene/zeScene.h"
#include "app/zeEngine.h"
#include "render/zeEffectManagerSlot.h"
#include "render/zeGPUServicesSlot.h"
#include "render/zeSurfaceServices.h"
#include "sceneFixture.h"
#include "zf/zfAnimate.h"
#include "zf/zfDocument.h"
#include "zf/zfScene.h"

using namespace irr;
using namespace zeblender;

namespace {

const int kFrames[] = {1, 13, 26, 37, 50};  // what make_scene.py evaluates; the scene starts at 1, 25 fps
int msOf(int frame) { return (frame - 1) * 40; }

std::string folder;  // the exported scene: folder/text/scene.zscn, folder/binary/scene.zscn
Reference reference;
bool ready = false;
std::string failure;

std::string readAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::vector<std::string> filesIn(const std::string& dir) {
  std::vector<std::string> names;
  if (DIR* d = opendir(dir.c_str())) {
    while (dirent* e = readdir(d))
      if (e->d_name[0] != '.' || (std::string(e->d_name) != "." && std::string(e->d_name) != ".."))
        names.push_back(e->d_name);
    closedir(d);
  }
  std::sort(names.begin(), names.end());
  return names;
}

void expectNear(const Vec3& actual, const Vec3& expected, double tolerance, const std::string& what) {
  EXPECT_NEAR(actual.x, expected.x, tolerance) << what;
  EXPECT_NEAR(actual.y, expected.y, tolerance) << what;
  EXPECT_NEAR(actual.z, expected.z, tolerance) << what;
}

Vec3 vec(const core::vector3df& v) { return {v.X, v.Y, v.Z}; }

// Surfaces find the images the exporter writes through the driver (the NULL
// driver loads them too), as the program's texture manager does.
class DriverTextures : public CZeSurfaceServicesSeam {
 public:
  irr::video::ITexture* loadTexture(const char* file, int, bool) override {
    return zeEngineContext().driver->getTexture(file);
  }
};

class BlenderExport : public SceneTest {
 protected:
  static void SetUpTestSuite() {
    // Surfaces load their images through the engine's services, as in the program.
    zeInstallGPUProgrammingServicesSlot();
    zeInstallEffectManagerSlot();
    zeInstallSurfaceServices();
    folder = makeFolder();
    std::string log;
    if (!makeScene(folder, "main", &log)) {
      failure = "make_scene.py failed:\n" + log;
      return;
    }
    for (const char* form : {"text", "binary"}) {
      mkdir((folder + "/" + form).c_str(), 0755);
      const BlenderRun run = exportScene(folder + "/main.blend", folder + "/" + form + "/scene.zscn",
                                  std::string(form) == "binary" ? "--binary" : "");
      if (run.exitCode != 0) {
        failure = std::string("the ") + form + " export failed:\n" + run.out;
        return;
      }
    }
    ready = reference.load(folder + "/reference.txt");
    if (!ready) failure = "no reference.txt";
  }
  static void TearDownTestSuite() { removeFolder(folder); }

  void SetUp() override {
    ASSERT_TRUE(ready) << failure;
    SceneTest::SetUp();
    zeSetSurfaceServices(&textures_);
  }
  void TearDown() override {
    zeSetSurfaceServices(nullptr);
    SceneTest::TearDown();
    chdir("/");
  }
  DriverTextures textures_;

  // Loads the exported scene (text form unless told) as scene 1: objects from 1,
  // lights from 1; from the scene's folder, as the viewer plays it.
  void load(const char* form = "text") {
    ASSERT_EQ(chdir((folder + "/" + form).c_str()), 0);
    ZeSceneLoadParams params;
    params.objectBase = 1;
    params.lightBase = 1;
    ASSERT_EQ(zeLoadScene(1, (folder + "/" + form + "/scene.zscn").c_str(), "", params), 0) << takeError();
    EXPECT_EQ(takeError(), "");
  }
};

TEST_F(BlenderExport, ObjectsStandWhereBlenderPutsThemAtSeveralFrames) {
  load();
  for (int frame : kFrames) {
    ASSERT_EQ(zeAnimateScene(1, msOf(frame)), 0);
    for (const char* name : {"Mover", "Twin", "Blob"}) {
      const int id = zeSceneFindObjectByName(1, name);
      ASSERT_GE(id, 1) << name;
      scene::ISceneNode* node = zeObjectNode(id);
      node->updateAbsolutePosition();
      const core::matrix4 m = node->getAbsoluteTransformation();
      const std::vector<double>& world = reference.get("matrix " + std::string(name) + " " + std::to_string(frame));
      ASSERT_EQ(world.size(), 16u);
      // The object's own points (Zarn axes) through the engine's node and through Blender's matrix.
      for (const Vec3& local : {Vec3{0, 0, 0}, Vec3{1, 0, 0}, Vec3{0, 1, 0}, Vec3{0, 0, 1}, Vec3{0.3, -0.7, 0.5}}) {
        core::vector3df p(float(local.x), float(local.y), float(local.z));
        m.transformVect(p);
        expectNear(vec(p), toZarn(transform(world, fromZarn(local))), 1e-4,
                   std::string(name) + " frame " + std::to_string(frame));
      }
    }
  }
}

TEST_F(BlenderExport, CameraLooksAndZoomsAsBlendersCamera) {
  load();
  const ZF_SceneView* view = zeSceneView(1);
  ASSERT_EQ(view->cameras.size(), 1u);
  const ZF_CameraRec& camera = view->cameras[0];
  for (int frame : kFrames) {
    SCOPED_TRACE(frame);
    const float sample = float(frame - 1);
    // Field of view: the engine's camera after a frame, against the height of Blender's camera frame.
    ASSERT_EQ(zeAnimateScene(1, msOf(frame)), 0);
    const std::vector<double>& tangents = reference.get("view " + std::to_string(frame));
    ASSERT_EQ(tangents.size(), 2u);
    EXPECT_NEAR(zeEngineContext().camera->getFOV(), 2.0 * std::atan(tangents[1]), 1e-4);
    // Place and orientation, through the engine's evaluators: Zarn cameras look down +Z.
    const std::vector<double>& world = reference.get("matrix Cam " + std::to_string(frame));
    const ZF_Float3 position = ZF_FP3_Lerp(camera.position, sample);
    const ZF_Float3 xyz = ZF_FP3_Slerp_HPB_To_XYZ(camera.rotation, sample);
    core::matrix4 rotation;
    rotation.setRotationRadians(core::vector3df(xyz.x, xyz.y, xyz.z));
    core::vector3df forward(0, 0, 1), up(0, 1, 0);
    rotation.rotateVect(forward);
    rotation.rotateVect(up);
    expectNear({position.x, position.y, position.z}, toZarn(transform(world, {0, 0, 0})), 1e-4, "position");
    expectNear(vec(forward), toZarn(transform(world, {0, 0, -1}, 0.0)), 1e-4, "forward");
    expectNear(vec(up), toZarn(transform(world, {0, 1, 0}, 0.0)), 1e-4, "up");
  }
}

TEST_F(BlenderExport, SpotLightKeepsBlendersPlaceAndCone) {
  load();
  scene::ILightSceneNode* light = zeLightNode(1);
  ASSERT_NE(light, nullptr);
  for (int frame : kFrames) {
    SCOPED_TRACE(frame);
    ASSERT_EQ(zeAnimateScene(1, msOf(frame)), 0);
    const std::vector<double>& spot = reference.get("spot " + std::to_string(frame));
    ASSERT_EQ(spot.size(), 2u);
    // Blender fades a spot over the cosines: from the outer cone's cosine c
    // to c + (1 - c) blend.
    const double outer = spot[0] / 2.0;
    const double inner = std::acos(std::cos(outer) + (1.0 - std::cos(outer)) * spot[1]);
    const video::SLight& data = light->getLightData();
    EXPECT_EQ(data.Type, video::ELT_SPOT);
    EXPECT_NEAR(data.OuterCone, outer * 180.0 / M_PI, 1e-3);
    EXPECT_NEAR(data.InnerCone, inner * 180.0 / M_PI, 1e-3);
    const std::vector<double>& world = reference.get("matrix Spot " + std::to_string(frame));
    light->updateAbsolutePosition();
    core::vector3df direction(0, 0, 1);
    light->getAbsoluteTransformation().rotateVect(direction);
    expectNear(vec(light->getAbsolutePosition()), toZarn(transform(world, {0, 0, 0})), 1e-4, "position");
    expectNear(vec(direction), toZarn(transform(world, {0, 0, -1}, 0.0)), 1e-4, "direction");
  }
}

TEST_F(BlenderExport, PointCacheMovesTheSphereAsBlendersShapeKey) {
  load();
  const int id = zeSceneFindObjectByName(1, "Blob");
  ASSERT_GE(id, 1);
  ASSERT_EQ(zeObjectKind(zeObjectNode(id)), ZE_KIND_MDD);
  for (int frame : kFrames) {
    SCOPED_TRACE(frame);
    const std::vector<double>& points = reference.get("points Blob " + std::to_string(frame));
    ASSERT_GT(points.size(), 1u);
    const size_t count = size_t(points[0]);
    // The cache file itself: codec frame k is scene frame k + 1.
    ZeZmddStream* cache = zmddc_uncompress_create((folder + "/text/Blob.zmdd").c_str());
    ASSERT_NE(cache, nullptr);
    ASSERT_EQ(size_t(zmddc_point_count(cache)), count);
    const float *x, *y, *z;
    ASSERT_TRUE(zmddc_uncompress_frame(cache, frame - 1, &x, &y, &z));
    for (size_t i = 0; i < count; ++i) {
      const Vec3 expected = toZarn({points[1 + 3 * i], points[2 + 3 * i], points[3 + 3 * i]});
      expectNear({x[i], y[i], z[i]}, expected, 1e-4, "cache point " + std::to_string(i));
    }
    zmddc_release(cache);
    // The engine's object at that frame: every vertex where its Blender vertex is.
    ASSERT_EQ(zeAnimateScene(1, msOf(frame)), 0);
    scene::IMesh* mesh = zeObjectMesh(zeObjectNode(id));
    for (u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
      scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
      const u32* original = zeMeshBufferOriginalIndices(buffer);
      ASSERT_NE(original, nullptr);
      std::vector<uint32_t> table;
      ASSERT_TRUE(zeReadZpnts((folder + "/text/Blob.zpnts").c_str(), &table));
      for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
        ASSERT_LT(original[v], table.size());
        const uint32_t point = table[original[v]];
        ASSERT_LT(point, count);
        expectNear(vec(buffer->getPosition(v)),
                   toZarn({points[1 + 3 * point], points[2 + 3 * point], points[3 + 3 * point]}), 1e-4,
                   "vertex " + std::to_string(v));
      }
    }
  }
}

TEST_F(BlenderExport, MeshesLoadFacingOutwardAndASharedMeshIsWrittenOnce) {
  // One .x per mesh: the cube's mesh serves Mover and Twin.
  std::vector<std::string> xFiles;
  for (const std::string& name : filesIn(folder + "/text"))
    if (name.size() > 2 && name.substr(name.size() - 2) == ".x") xFiles.push_back(name);
  EXPECT_EQ(xFiles, (std::vector<std::string>{"Blob.x", "MoverMesh.x"}));
  for (const std::string& name : xFiles) {
    SCOPED_TRACE(name);
    ASSERT_EQ(zeLoadObject(100, (folder + "/text/" + name).c_str()), 0) << takeError();
    scene::IMesh* mesh = zeObjectMesh(zeObjectNode(100));
    ASSERT_EQ(mesh->getMeshBufferCount(), 1u);
    scene::IMeshBuffer* buffer = mesh->getMeshBuffer(0);
    ASSERT_GT(buffer->getIndexCount(), 0u);
    ASSERT_EQ(buffer->getIndexType(), video::EIT_16BIT);
    // Each triangle turns as the engine's front faces do: (b - a) x (c - a)
    // points outward, the way of its corners' normals.
    for (u32 t = 0; t + 2 < buffer->getIndexCount(); t += 3) {
      const u32 a = buffer->getIndices()[t], b = buffer->getIndices()[t + 1], c = buffer->getIndices()[t + 2];
      const core::vector3df origin = buffer->getPosition(a);
      const core::vector3df face = (buffer->getPosition(b) - origin).crossProduct(buffer->getPosition(c) - origin);
      const core::vector3df normals = buffer->getNormal(a) + buffer->getNormal(b) + buffer->getNormal(c);
      EXPECT_GT(face.dotProduct(normals), 0.0f) << "triangle " << t / 3;
    }
    zeDeleteObject(100);
  }
  load();
  EXPECT_EQ(zeObjectMesh(zeObjectNode(zeSceneFindObjectByName(1, "Mover"))),
            zeObjectMesh(zeObjectNode(zeSceneFindObjectByName(1, "Twin"))))
      << "the second object is a clone of the first, its file read once";
}

TEST_F(BlenderExport, SurfacesHoldThePrincipledValuesAndTheSceneLoadsCleanly) {
  load();  // no error kept while loading (checked by load)
  const ZF_SceneView* view = zeSceneView(1);
  struct Expected {
    const char* file;
    const char* material;
  };
  for (const Expected& e : {Expected{"MoverMesh.x", "Red"}, Expected{"Blob.x", "Blue"}}) {
    SCOPED_TRACE(e.material);
    const std::vector<double>& m = reference.get(std::string("surface ") + e.material);
    ASSERT_EQ(m.size(), 8u);  // r g b roughness specular emission-strength alpha culling
    const ZF_Entry* member = nullptr;
    for (uint32_t i = 0; i < ZF_ChildCount(view->sceneObjectsNode); ++i) {
      const ZF_Entry* candidate = ZF_Child(view->sceneObjectsNode, i);
      const char* file = ZF_GetString(candidate, "filename");
      if (file && std::string(file) == e.file) member = candidate;
    }
    ASSERT_NE(member, nullptr);
    const ZF_Entry* surface = ZF_Child(ZF_Find(member, "Surfaces"), 0);
    EXPECT_STREQ(ZF_GetString(surface, "name"), e.material);
    const ZF_Entry* params = ZF_Find(surface, "Parameters");
    auto value = [&](const char* channel) { return ZF_Find(ZF_Find(params, channel), "value"); };
    const ZF_Float3 base = ZF_FP3_At(value("BaseColor"), 0);
    EXPECT_NEAR(base.x, m[0], 1e-6);
    EXPECT_NEAR(base.y, m[1], 1e-6);
    EXPECT_NEAR(base.z, m[2], 1e-6);
    EXPECT_NEAR(ZF_FP_At(value("Glossiness"), 0), 1.0 - m[3], 1e-6);
    EXPECT_NEAR(ZF_FP_At(value("Specularity"), 0), m[4], 1e-6);
    // Luminosity: the emission strength times the emission colour's strongest part (Red emits pure red).
    EXPECT_NEAR(ZF_FP_At(value("Luminosity"), 0), m[5], 1e-6);
    EXPECT_NEAR(ZF_FP_At(value("Transparency"), 0), 1.0 - m[6], 1e-6);
    EXPECT_EQ(value("Sidedness")->type, uint32_t(ZF_I4));
    EXPECT_EQ(ZF_GetInt(ZF_Find(params, "Sidedness"), "value", -1), m[7] != 0 ? 0 : 3);
  }
  // The sphere's colour image, packed in the .blend, is written beside the
  // scene and named by its surface and its mesh; its top row is Blender's last.
  const ZF_Entry* blob = ZF_Child(view->sceneObjectsNode, 0);
  EXPECT_STREQ(ZF_GetString(ZF_Find(ZF_Find(ZF_Child(ZF_Find(blob, "Surfaces"), 0), "Parameters"), "BaseColor"),
                            "img_filename"),
               "Stripes.png");
  EXPECT_NE(readAll(folder + "/text/Blob.x").find("TextureFilename {\n    \"Stripes.png\";"), std::string::npos);
  video::ITexture* texture =
      zeObjectMesh(zeObjectNode(zeSceneFindObjectByName(1, "Blob")))->getMeshBuffer(0)->getMaterial().getTexture(0);
  ASSERT_NE(texture, nullptr);
  video::IImage* image =
      zeEngineContext().driver->createImageFromFile((folder + "/text/Stripes.png").c_str());
  ASSERT_NE(image, nullptr);
  ASSERT_EQ(image->getDimension(), core::dimension2du(4, 2));
  EXPECT_EQ(image->getPixel(0, 0).color, 0xFFFFFFFFu) << "top row white";
  EXPECT_EQ(image->getPixel(3, 1).color, 0xFF0000FFu) << "bottom row blue";
  image->drop();
}

// Every entry of two trees: names, kinds, types, counts and elements.
void expectSameTree(const ZF_Entry* a, const ZF_Entry* b, const std::string& path) {
  ASSERT_STREQ(a->name, b->name) << path;
  ASSERT_EQ(a->kind, b->kind) << path;
  ASSERT_EQ(a->count, b->count) << path;
  const std::string here = path + "/" + a->name;
  if (a->kind == ZF_NODE) {
    for (uint32_t i = 0; i < a->count; ++i) expectSameTree(ZF_Child(a, i), ZF_Child(b, i), here);
    return;
  }
  ASSERT_EQ(a->type, b->type) << here;
  auto sameRow = [&](const ZF_Row& x, const ZF_Row& y) {
    ASSERT_EQ(x.count, y.count) << here;
    if (a->type == ZF_STR) {
      EXPECT_STREQ(static_cast<const char*>(x.data), static_cast<const char*>(y.data)) << here;
    } else if (a->type == ZF_FP_C) {
      for (uint32_t i = 0; i < x.count; ++i) ASSERT_EQ(ZF_FPC_Element(&x, i), ZF_FPC_Element(&y, i)) << here;
    } else {
      EXPECT_EQ(0, std::memcmp(x.data, y.data, 4 * x.count)) << here;
    }
  };
  if (a->kind == ZF_VALUE) {
    sameRow(a->value, b->value);
  } else {
    for (uint32_t r = 0; r < a->count; ++r) sameRow(a->rows[r], b->rows[r]);
  }
}

TEST_F(BlenderExport, BinaryAndTextFormsHoldTheSameScene) {
  ZF_Document* text = ZF_Load((folder + "/text/scene.zscn").c_str());
  ZF_Document* binary = ZF_Load((folder + "/binary/scene.zscn").c_str());
  ASSERT_NE(text, nullptr);
  ASSERT_NE(binary, nullptr);
  EXPECT_EQ(ZF_DocumentForm(text), ZF_FORM_TEXT);
  EXPECT_EQ(ZF_DocumentForm(binary), ZF_FORM_BINARY);
  expectSameTree(ZF_Root(text), ZF_Root(binary), "");
  ZF_Free(text);
  ZF_Free(binary);
  load("binary");
}

TEST_F(BlenderExport, TheAddOnExportsFromTheFileMenusOperator) {
  const std::string out = folder + "/operator/scene.zscn";
  mkdir((folder + "/operator").c_str(), 0755);
  const std::string source = ZARN_SOURCE_DIR;
  const BlenderRun run = runBlender(folder + "/main.blend", source + "/tests/tools/blender/export_operator.py",
                                    "'" + source + "/tools/blender' '" + out + "'");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  ZF_Document* document = ZF_Load(out.c_str());
  ASSERT_NE(document, nullptr);
  EXPECT_EQ(ZF_DocumentForm(document), ZF_FORM_BINARY);
  EXPECT_EQ(ZF_ChildCount(ZF_Find(ZF_Find(ZF_Root(document), "Scene"), "Objects")), 3u);
  ZF_Free(document);
}

// Bad input: kinds the engine cannot play, a frame range backwards, and an
// export that fails after it began: nothing may be written over what was there.
class BlenderExportBadInput : public ::testing::Test {
 protected:
  void SetUp() override {
    folder_ = makeFolder();
    std::string log;
    ASSERT_TRUE(makeScene(folder_, "bad", &log)) << log;
  }
  void TearDown() override { removeFolder(folder_); }
  std::string folder_;
};

TEST_F(BlenderExportBadInput, CurvesAndMetaballsBecomeMeshesVolumesAreSkippedByName) {
  const BlenderRun run = exportScene(folder_ + "/bad.blend", folder_ + "/scene.zscn");
  ASSERT_EQ(run.exitCode, 0) << run.out;
  EXPECT_NE(run.out.find("curve 'Ring' is converted to a mesh"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("metaball 'Drop' is converted to a mesh"), std::string::npos) << run.out;
  EXPECT_NE(run.out.find("volume 'Smoke' is skipped: the engine cannot play it"), std::string::npos) << run.out;
  ZF_SceneView* view = ZF_SceneOpen((folder_ + "/scene.zscn").c_str());
  ASSERT_NE(view, nullptr);
  std::vector<std::string> names;
  for (uint32_t i = 0; i < ZF_ChildCount(view->objectsNode); ++i)
    names.push_back(ZF_GetString(ZF_Child(view->objectsNode, i), "name"));
  EXPECT_EQ(names, (std::vector<std::string>{"Drop", "Plain", "Ring"}));
  ZF_SceneClose(view);
  for (const char* file : {"Ring.x", "Drop.x", "PlainMesh.x"}) {
    struct stat info;
    EXPECT_EQ(stat((folder_ + "/" + file).c_str(), &info), 0) << file;
  }
}

TEST_F(BlenderExportBadInput, AFailedExportLeavesTheSceneThatWasThere) {
  const std::string scene = folder_ + "/scene.zscn";
  {
    std::ofstream old(scene);
    old << "# the scene that was there\n";
  }
  // A folder where the cube's mesh file should go: the export cannot finish.
  mkdir((folder_ + "/PlainMesh.x").c_str(), 0755);
  const BlenderRun blocked = exportScene(folder_ + "/bad.blend", scene);
  EXPECT_EQ(blocked.exitCode, 1) << blocked.out;
  EXPECT_NE(blocked.out.find("export failed, nothing written"), std::string::npos) << blocked.out;
  // Frames backwards.
  const BlenderRun backwards = exportScene(folder_ + "/bad.blend", scene, "--frames 10 5");
  EXPECT_EQ(backwards.exitCode, 1) << backwards.out;
  EXPECT_NE(backwards.out.find("the last frame (5) comes before the first (10)"), std::string::npos);
  EXPECT_EQ(readAll(scene), "# the scene that was there\n");
  EXPECT_EQ(filesIn(folder_), (std::vector<std::string>{"PlainMesh.x", "bad.blend", "scene.zscn"}))
      << "no temporary file left behind";
}

}  // namespace
