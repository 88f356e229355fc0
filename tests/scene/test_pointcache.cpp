// Point-cache objects on the NULL driver: a cube moved by a generated cache,
// frames and the wrap flag as bounding boxes, clones sharing the frames, the
// scene seam, and the files that make the load fail.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>

#include <unistd.h>

#include "base/zeFile.h"
#include "mesh/CZeMDDMesh.h"
#include "mesh/codec/zeZmdd.h"
#include "scene/IZeSceneNodeExt.h"
#include "mesh/codec/zeZmddWrite.h"
#include "mesh/zeDeviceLog.h"
#include "sceneFixture.h"
#include "scene/CZeMDDMeshSceneNode.h"
#include "scene/zeNodeKind.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSeams.h"

using namespace irr;

namespace {

const char* kCubeObj =
    "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "f 1 2 3\nf 1 3 4\nf 5 8 7\nf 5 7 6\nf 1 5 6\nf 1 6 2\nf 4 3 7\nf 4 7 8\nf 1 4 8\nf 1 8 5\nf 2 6 7\nf 2 7 3\n";

const float kCorners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                              {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};

// Frame f: the unit cube moved f along x and grown by 1 + f/10 along y.
SZeZmddSource movingCube(uint32_t frames, float lastTime = -1.0f) {
  SZeZmddSource s;
  s.frames = frames;
  s.points = 8;
  for (uint32_t f = 0; f < frames; ++f)
    s.times.push_back(lastTime >= 0 && frames > 1 ? lastTime * f / (frames - 1) : static_cast<float>(f) / 30.0f);
  for (uint32_t f = 0; f < frames; ++f)
    for (const auto& c : kCorners) {
      s.positions.push_back(-c[0] + static_cast<float>(f));  // the .obj loader mirrors x
      s.positions.push_back(c[1] * (1.0f + static_cast<float>(f) / 10.0f));
      s.positions.push_back(c[2]);
    }
  s.base.assign(s.positions.begin(), s.positions.begin() + 24);
  return s;
}

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream out(path, std::ios::binary);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void writeCache(const std::string& path, const SZeZmddSource& source, int keyInterval = 3) {
  SZeZmddWriteOptions options;
  options.keyInterval = keyInterval;
  options.scale = 0.001f;
  std::vector<unsigned char> bytes;
  std::string error;
  ASSERT_TRUE(zeZmddWrite(source, options, &bytes, &error)) << error;
  writeBytes(path, bytes);
}

class PointCacheTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    dir = tempDirectory();
    writeText(dir + "/cube.obj", kCubeObj);
    std::vector<uint32_t> identity = {0, 1, 2, 3, 4, 5, 6, 7};
    writeBytes(dir + "/cube.zpnts", zeZpntsWrite(identity));
    previous = zeGetDeviceLogger();
    zeSetDeviceLogger(&logger);
  }
  void TearDown() override {
    zeSetDeviceLogger(previous);
    SceneTest::TearDown();
  }
  CZeMDDMesh* cacheOf(int id) {
    scene::ISceneNode* node = zeObjectNode(id);
    return node && zeObjectKind(node) == ZE_KIND_MDD ? static_cast<CZeMDDMeshSceneNode*>(node)->getMDDMesh()
                                                     : nullptr;
  }
  std::string dir;
  SceneDeviceLogRecorder logger;
  ILogger* previous = nullptr;
};

}  // namespace

TEST_F(PointCacheTest, FramesAndTheWrapFlagMoveTheBoundingBox) {
  writeCache(dir + "/cube.zmdd", movingCube(6));
  ASSERT_EQ(zeLoadObjectMDD(1, (dir + "/cube.obj").c_str(), (dir + "/cube.zmdd").c_str()), 0)
      << takeError() << logger.text;
  CZeMDDMesh* cache = cacheOf(1);
  ASSERT_NE(cache, nullptr);
  EXPECT_EQ(zeTotalObjectFrames(1), 6);
  EXPECT_FLOAT_EQ(zeObjectFrameTime(1, 2), 2.0f / 30.0f);
  EXPECT_FLOAT_EQ(zeObjectFrameTime(1, 99), 5.0f / 30.0f);  // clamped to the last frame
  EXPECT_FLOAT_EQ(zeObjectMDDLastFrameTime(1), 5.0f / 30.0f);
  // The extension has a row per material.
  EXPECT_NE(zeFindNodeExt(zeObjectNode(1)), nullptr);

  struct Case {
    bool wrap;
    float frame;
    float shift;  // where the cube's x centre is; y half-height is 1 + shift/10 between key meshes
    float halfHeight;
  } cases[] = {
      {false, 0.0f, 0.0f, 1.0f},   {false, 2.0f, 2.0f, 1.2f},  {false, 2.5f, 2.5f, 1.25f},
      {false, 5.0f, 5.0f, 1.5f},   {false, 9.0f, 5.0f, 1.5f},  // held past the end
      {false, -3.0f, 0.0f, 1.0f},  // held before the start
      {false, NAN, 0.0f, 1.0f},
      {true, 4.5f, 4.5f, 1.45f},  // inside the cache the flag changes nothing
      {true, 5.5f, 2.5f, 1.25f},  // F - 0.5: halfway between the last and the first frame
      {true, 6.0f, 0.0f, 1.0f},   // F: the first frame
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "wrap " << c.wrap << " frame " << c.frame);
    zeSetObjectMDDPostBehaviour(1, c.wrap ? 1 : 0);
    EXPECT_EQ(zeSetObjectFrame(1, c.frame), 0);
    const core::aabbox3df box = zeObjectNode(1)->getBoundingBox();
    EXPECT_NEAR(box.MinEdge.X, c.shift - 1.0f, 1e-3f);
    EXPECT_NEAR(box.MaxEdge.X, c.shift + 1.0f, 1e-3f);
    EXPECT_NEAR(box.MaxEdge.Y, c.halfHeight, 1e-3f);
    EXPECT_NEAR(box.MinEdge.Z, -1.0f, 1e-3f);
  }
  // Normals are recomputed for the moved positions: at frame 0 (the object's
  // own positions) they are the loader's; stretched, they stay unit length and
  // on the same side of the surface.
  ASSERT_EQ(zeLoadObject(2, (dir + "/cube.obj").c_str()), 0);
  scene::IMeshBuffer* loaded = zeObjectMesh(zeObjectNode(2))->getMeshBuffer(0);
  scene::IMeshBuffer* buffer = cache->getMeshBuffer(0);
  zeSetObjectMDDPostBehaviour(1, 0);
  zeSetObjectFrame(1, 0.0f);
  for (u32 v = 0; v < buffer->getVertexCount(); ++v)
    EXPECT_GT(buffer->getNormal(v).dotProduct(loaded->getNormal(v)), 0.99f) << v;
  zeSetObjectFrame(1, 3.0f);
  const core::vector3df centre = buffer->getBoundingBox().getCenter();
  const core::vector3df loadedCentre = loaded->getBoundingBox().getCenter();
  for (u32 v = 0; v < buffer->getVertexCount(); ++v) {
    const core::vector3df n = buffer->getNormal(v);
    EXPECT_NEAR(n.getLength(), 1.0f, 1e-3f);
    const float side = loaded->getNormal(v).dotProduct(loaded->getPosition(v) - loadedCentre);
    EXPECT_GT(n.dotProduct(buffer->getPosition(v) - centre) * side, 0.0f) << v;
  }
}

TEST_F(PointCacheTest, ClonesShareTheFramesAndPlayOnTheirOwn) {
  writeCache(dir + "/cube.zmdd", movingCube(4));
  ASSERT_EQ(zeLoadObjectMDD(1, (dir + "/cube.obj").c_str(), (dir + "/cube.zmdd").c_str()), 0) << logger.text;
  zeSetObjectMDDPostBehaviour(1, 1);
  zeSetObjectFrame(1, 2.0f);
  ASSERT_EQ(zeCloneObject(2, 1), 0) << takeError();
  CZeMDDMesh* a = cacheOf(1);
  CZeMDDMesh* b = cacheOf(2);
  ASSERT_NE(b, nullptr);
  EXPECT_NE(a, b);
  EXPECT_EQ(a->frames(), b->frames());
  EXPECT_NE(a->getCopy(), b->getCopy());
  EXPECT_TRUE(b->getWrap());
  EXPECT_NEAR(zeObjectNode(2)->getBoundingBox().MinEdge.X, 1.0f, 1e-3f);
  zeSetObjectFrame(2, 0.0f);
  EXPECT_NEAR(zeObjectNode(2)->getBoundingBox().MinEdge.X, -1.0f, 1e-3f);
  EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().MinEdge.X, 1.0f, 1e-3f);
  zeDeleteObject(1);
  zeSetObjectFrame(2, 3.0f);
  EXPECT_NEAR(zeObjectNode(2)->getBoundingBox().MinEdge.X, 2.0f, 1e-3f);
}

TEST_F(PointCacheTest, TimesThatDoNotIncreaseHoldTheFirstFrame) {
  struct Case {
    const char* what;
    std::vector<float> times;
    float last;
  } cases[] = {
      {"last time 0", {0, 0, 0}, 0.0f},
      {"times fall", {0, 2, 1}, 0.0f},
      {"rising", {0, 1, 2}, 2.0f},
      {"one frame at time 0", {0}, 0.0f},
  };
  int id = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    SZeZmddSource source = movingCube(static_cast<uint32_t>(c.times.size()));
    source.times = c.times;
    const std::string cache = dir + "/times" + std::to_string(id) + ".zmdd";
    writeCache(cache, source);
    logger.text.clear();
    ASSERT_EQ(zeLoadObjectMDD(id, (dir + "/cube.obj").c_str(), cache.c_str()), 0) << logger.text;
    EXPECT_EQ(zeObjectMDDLastFrameTime(id), c.last);
    EXPECT_EQ(logger.text.find("do not increase") != std::string::npos, c.times.size() > 1 && c.last == 0.0f)
        << logger.text;
    // The scene maps its time through the seam: nothing divides by 0.
    EXPECT_EQ(zeSceneSeams().meshes->pointCacheLastFrameTime(id), c.last);
    ++id;
  }
}

TEST_F(PointCacheTest, BadFilesFailTheLoadAndFreeTheIdentifier) {
  writeCache(dir + "/cube.zmdd", movingCube(3));
  const std::string obj = dir + "/cube.obj", cache = dir + "/cube.zmdd";
  std::vector<unsigned char> zmdd;
  {
    std::ifstream in(cache, std::ios::binary);
    zmdd.assign(std::istreambuf_iterator<char>(in), {});
  }
  struct Case {
    const char* what;
    std::function<void()> prepare;
    std::string object, cacheFile;
    const char* log;
  } cases[] = {
      {"no cache file", [] {}, obj, dir + "/none.zmdd", "zmddc_uncompress_create failed filename="},
      {"no .zpnts", [&] { std::remove((dir + "/cube.zpnts").c_str()); }, obj, cache, "failed to open zpnts file"},
      {"not a .zpnts", [&] { writeText(dir + "/cube.zpnts", "FORMxxxx"); }, obj, cache, "LWLoad"},
      {"lookup entry = point count",
       [&] { writeBytes(dir + "/cube.zpnts", zeZpntsWrite({0, 1, 2, 3, 4, 5, 6, 8})); }, obj, cache,
       "SZePntsLookup::checkPnts failed for"},
      {"lookup shorter than the object's points",
       [&] { writeBytes(dir + "/cube.zpnts", zeZpntsWrite({0, 1, 2, 3, 4, 5, 6})); }, obj, cache,
       "iI(7) >= numPnts(7)"},
      {"a frame that cannot be decoded",
       [&] {
         writeBytes(dir + "/cube.zpnts", zeZpntsWrite({0, 1, 2, 3, 4, 5, 6, 7}));
         std::vector<unsigned char> bad = zmdd;
         const uint32_t at = zeReadBE32(bad.data() + 20 + 4 * 3 + 4 * 1);  // frame 1's record
         bad[at + 3] = 7;  // encoding 7
         writeBytes(dir + "/bad.zmdd", bad);
       },
       obj, dir + "/bad.zmdd", "zmddc_uncompress_frame failed frame=1"},
      {"no object", [] {}, dir + "/none.obj", cache, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    c.prepare();
    logger.text.clear();
    int arg = 0;
    EXPECT_EQ(zeLoadObjectMDD(5, c.object.c_str(), c.cacheFile.c_str()), -1);
    EXPECT_EQ(takeError(&arg), "Failed to load mesh '" + c.object + "' as MDD");
    EXPECT_EQ(arg, 1);
    EXPECT_NE(logger.text.find(c.log), std::string::npos) << logger.text;
    EXPECT_EQ(zeObjectExist(5), 0);
  }
}

TEST_F(PointCacheTest, TheSceneSeamLoadsThroughTheObjectLayer) {
  writeCache(dir + "/cube.zmdd", movingCube(5));
  CZeSceneMeshesSeam* meshes = zeSceneSeams().meshes;
  EXPECT_EQ(meshes->loadPointCacheObject(7, (dir + "/cube.obj").c_str(), (dir + "/cube.zmdd").c_str()), 0);
  meshes->setPointCachePostBehaviour(7, 1);
  ASSERT_NE(cacheOf(7), nullptr);
  EXPECT_TRUE(cacheOf(7)->getWrap());
  EXPECT_FLOAT_EQ(meshes->pointCacheLastFrameTime(7), 4.0f / 30.0f);
  EXPECT_EQ(meshes->pointCacheLastFrameTime(99), 0.0f);  // no such object
}

#ifdef ZARN_MDD_TOOL
TEST_F(PointCacheTest, AnMddConvertedByTheToolMovesTheBoundingBox) {
  // A LightWave .mdd of the cube: frame f moved f/2 along x and 3f along z.
  const uint32_t frames = 40, points = 8;
  std::vector<unsigned char> mdd;
  auto put = [&](uint32_t v) {
    for (int s = 24; s >= 0; s -= 8) mdd.push_back(static_cast<unsigned char>(v >> s));
  };
  auto putFloat = [&](float f) {
    uint32_t b;
    std::memcpy(&b, &f, 4);
    put(b);
  };
  put(frames);
  put(points);
  for (uint32_t f = 0; f < frames; ++f) putFloat(static_cast<float>(f) / 25.0f);
  for (uint32_t f = 0; f < frames; ++f)
    for (const auto& c : kCorners) {
      putFloat(-c[0] + 0.5f * static_cast<float>(f));
      putFloat(c[1]);
      putFloat(c[2] + 3.0f * static_cast<float>(f));
    }
  writeBytes(dir + "/walk.mdd", mdd);
  const std::string command = std::string(ZARN_MDD_TOOL) + " -zpnts " + dir + "/walk.zpnts " + dir + "/walk.mdd " +
                              dir + "/walk.zmdd";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  writeText(dir + "/walk.obj", kCubeObj);
  ASSERT_EQ(zeLoadObjectMDD(3, (dir + "/walk.obj").c_str(), (dir + "/walk.zmdd").c_str()), 0) << logger.text;
  EXPECT_EQ(zeTotalObjectFrames(3), 40);
  EXPECT_FLOAT_EQ(zeObjectMDDLastFrameTime(3), 39.0f / 25.0f);
  for (float frame : {0.0f, 1.0f, 12.5f, 25.0f, 39.0f}) {
    SCOPED_TRACE(frame);
    zeSetObjectFrame(3, frame);
    const core::aabbox3df box = zeObjectNode(3)->getBoundingBox();
    // The default scale keeps residual frames within 0.00001 / 2 of the cache.
    EXPECT_NEAR(box.MinEdge.X, 0.5f * frame - 1.0f, 1e-4f);
    EXPECT_NEAR(box.MaxEdge.X, 0.5f * frame + 1.0f, 1e-4f);
    EXPECT_NEAR(box.MinEdge.Z, 3.0f * frame - 1.0f, 1e-4f);
    EXPECT_NEAR(box.MaxEdge.Y, 1.0f, 1e-4f);
  }
  // A truncated .mdd is refused with a message and a failing exit.
  mdd.resize(mdd.size() - 5);
  writeBytes(dir + "/short.mdd", mdd);
  EXPECT_NE(std::system((std::string(ZARN_MDD_TOOL) + " " + dir + "/short.mdd " + dir + "/short.zmdd 2>/dev/null >/dev/null").c_str()), 0);
}
#endif

TEST_F(PointCacheTest, TheBundledExamplePlays) {
  const std::string base = "../../examples/object/wobble";
  ASSERT_EQ(zeLoadObjectMDD(1, (base + ".obj").c_str(), (base + ".zmdd").c_str()), 0) << logger.text;
  EXPECT_EQ(zeTotalObjectFrames(1), 50);
  zeSetObjectFrame(1, 0.0f);
  EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().MaxEdge.Y, 1.0f, 1e-3f);
  zeSetObjectFrame(1, 12.5f);  // a quarter of the way: scale 1.25, moved 1.25 along x
  EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().MaxEdge.Y, 1.25f, 0.01f);
  EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().getCenter().X, 1.25f, 0.01f);
}

#include "scene/zeScene.h"

TEST_F(PointCacheTest, ASceneMDDNodePlaysTheCacheAtTheSceneTime) {
  writeCache(dir + "/cube.zmdd", movingCube(6));  // frame f at time f/30, moved f along x
  const std::string scene =
      "# point-cache scene\n{ Scene\n{ SceneInfo\nframeStart I4 0\nframeEnd I4 2\nframeStep I4 1\n"
      "framesPerSecond FP 1\n}\n{ Cameras\n{ C\nposition FP 0 0 -10\nzoomFactor FP 3.2\n}\n}\n"
      "{ Objects\n{ O\nzfilename STR " + dir + "/cube.obj\nname STR cube\n{ MDD\nfilename STR " + dir +
      "/cube.zmdd\napplyCacheTo I4 1\nendBehavior I4 0\nmddTotalTime FP 0.16666667\npostBehavior I4 0\n"
      "times FP_C DAT 3 0 0.083333336 0.16666667\n}\n}\n}\n}\n";
  writeText(dir + "/cache.zscn", scene);
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(zeLoadScene(0, (dir + "/cache.zscn").c_str(), "", params), 0) << takeError() << logger.text;
  ASSERT_NE(cacheOf(1), nullptr) << logger.text;
  for (const auto& step : {std::pair<int, float>{0, 0.0f}, {1000, 2.5f}, {2000, 5.0f}}) {
    SCOPED_TRACE(step.first);
    zeAnimateScene(0, step.first);
    EXPECT_NEAR(zeObjectNode(1)->getBoundingBox().getCenter().X, step.second, 1e-3f);
  }
  zeDeleteAllScenes();
}

#include "scene/CZeMorphMeshSceneNode.h"

// The example scene's block plays its point cache and its column bends on its
// skeleton and swells by its morph weight, both at the scene's time.
TEST_F(PointCacheTest, TheExampleSceneDeformsItsBlockAndColumn) {
  char* cwd = getcwd(nullptr, 0);
  const std::string start = cwd ? cwd : ".";
  std::free(cwd);
  zeSetWorkingDirectory("../../examples/scene");
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(zeLoadScene(0, "example.zscn", "", params), 0) << takeError() << logger.text;
  const int block = 5, column = 6;
  ASSERT_NE(cacheOf(block), nullptr) << logger.text;
  ASSERT_EQ(zeObjectKind(zeObjectNode(column)), ZE_KIND_MORPH) << logger.text;
  EXPECT_EQ(zeTotalObjectFrames(block), 101);
  EXPECT_EQ(zeTotalObjectFrames(column), 100);
  EXPECT_EQ(zeGetObjectMorphCount(column), 1);
  CZeMorphMeshSceneNode* bender = static_cast<CZeMorphMeshSceneNode*>(zeObjectNode(column));
  // At 2 s the block is at its tallest; the column's top has turned 25 degrees
  // about its foot and swollen from 0.3 to 0.54 (half width): 1.64 wide, where
  // the turn alone would give 1.42 and the swell alone 1.08.
  // At 4 s (frame 100) the skeleton holds its last frame, 99: half a degree
  // short of straight.
  struct Case {
    int timeMs;
    float blockTop;
    float columnWidth, tolerance;
  } cases[] = {{0, 0.5f, 0.6f, 1e-3f}, {2000, 1.3f, 1.635f, 0.01f}, {4000, 0.5f, 0.6f, 0.03f}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.timeMs);
    zeAnimateScene(0, c.timeMs);
    bender->update();
    EXPECT_NEAR(zeObjectNode(block)->getBoundingBox().MaxEdge.Y, c.blockTop, 1e-3f);
    const core::aabbox3df box = zeObjectNode(column)->getBoundingBox();
    EXPECT_NEAR(box.MinEdge.Y, 0.0f, 1e-3f);  // the foot stays on the floor
    EXPECT_NEAR(box.MaxEdge.X - box.MinEdge.X, c.columnWidth, c.tolerance);
  }
  zeDeleteAllScenes();
  zeSetWorkingDirectory(start.c_str());
}
