// Point-cache and morph objects on OpenGL (Mesa under Xvfb): the pixels follow
// the cache's frame, the morph weights and a skinned mesh's frame.
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "mesh/codec/zeZmddWrite.h"
#include "mesh/codec/zeZmorph.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSubsystem.h"

using namespace irr;

namespace {

constexpr int kWidth = 160;
constexpr int kHeight = 120;

const char* kCubeObj =
    "v -1 -1 -1\nv 1 -1 -1\nv 1 1 -1\nv -1 1 -1\nv -1 -1 1\nv 1 -1 1\nv 1 1 1\nv -1 1 1\n"
    "f 1 2 3\nf 1 3 4\nf 5 8 7\nf 5 7 6\nf 1 5 6\nf 1 6 2\nf 4 3 7\nf 4 7 8\nf 1 4 8\nf 1 8 5\nf 2 6 7\nf 2 7 3\n";
const float kCorners[8][3] = {{-1, -1, -1}, {1, -1, -1}, {1, 1, -1}, {-1, 1, -1},
                              {-1, -1, 1},  {1, -1, 1},  {1, 1, 1},  {-1, 1, 1}};

// A white cube skinned to the joint "Slide", which moves it from x = -3 at
// tick 0 to x = 3 at tick 10.
const char* kSlidingX =
    "xof 0303txt 0032\nFrame Slide {\n FrameTransformMatrix { 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n"
    " Mesh Box {\n  8; -1;-1;-1;, 1;-1;-1;, 1;1;-1;, -1;1;-1;, -1;-1;1;, 1;-1;1;, 1;1;1;, -1;1;1;;\n"
    "  12; 3;0,1,2;, 3;0,2,3;, 3;4,7,6;, 3;4,6,5;, 3;0,4,5;, 3;0,5,1;, 3;3,2,6;, 3;3,6,7;, 3;0,3,7;, 3;0,7,4;,"
    " 3;1,5,6;, 3;1,6,2;;\n"
    "  MeshMaterialList { 1; 12; 0,0,0,0,0,0,0,0,0,0,0,0;; Material { 1;1;1;1;; 8; 0;0;0;; 1;1;1;; } }\n"
    "  SkinWeights { \"Slide\"; 8; 0,1,2,3,4,5,6,7; 1,1,1,1,1,1,1,1; 1,0,0,0, 0,1,0,0, 0,0,1,0, 0,0,0,1;; }\n"
    " }\n}\n"
    "AnimationSet Move { Animation { { Slide } AnimationKey { 2; 2; 0;3;-3,0,0;;, 10;3;3,0,0;;; } } }\n";

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

bool bright(video::IImage* image, const core::vector3df& where) {
  const core::position2di at = zeEngineContext().sceneManager->getSceneCollisionManager()
                                   ->getScreenCoordinatesFrom3DPosition(where, zeEngineContext().camera);
  if (at.X < 0 || at.Y < 0 || at.X >= kWidth || at.Y >= kHeight) return false;
  const video::SColor c = image->getPixel(static_cast<u32>(at.X), static_cast<u32>(at.Y));
  return c.getRed() > 200 && c.getGreen() > 200 && c.getBlue() > 200;
}

video::IImage* shot() {
  zeSync();
  return zeGetFrameBackend()->readFrame();
}

}  // namespace

TEST(DeformedGL, PointCacheFramesAndMorphWeightsMoveThePixels) {
  zeResetMessageState();
  zeDisableMessageBoxes();
  zeGLInstall();
  zeInstallMainRenderer();
  zeSceneRegister();
  ZeEngineSettings s;
  s.width = kWidth;
  s.height = kHeight;
  s.windowed = 1;
  ASSERT_EQ(zeEngineStart(s), 0) << zeStartFailureReason();
  char pattern[] = "/tmp/zarn-deformed-XXXXXX";
  const std::string dir = mkdtemp(pattern);
  std::ofstream(dir + "/cube.obj") << kCubeObj;
  std::ofstream(dir + "/face.obj") << kCubeObj;
  // The cache walks the cube from x = -3 to x = 3 over 7 frames.
  SZeZmddSource cache;
  cache.frames = 7;
  cache.points = 8;
  for (uint32_t f = 0; f < 7; ++f) {
    cache.times.push_back(static_cast<float>(f));
    for (const auto& c : kCorners)
      for (float v : {-c[0] - 3.0f + static_cast<float>(f), c[1], c[2]}) cache.positions.push_back(v);
  }
  cache.base.assign(cache.positions.begin(), cache.positions.begin() + 24);
  std::vector<unsigned char> zmdd;
  std::string error;
  ASSERT_TRUE(zeZmddWrite(cache, SZeZmddWriteOptions(), &zmdd, &error)) << error;
  writeBytes(dir + "/cube.zmdd", zmdd);
  writeBytes(dir + "/cube.zpnts", zeZpntsWrite({0, 1, 2, 3, 4, 5, 6, 7}));
  // The morph lifts every point of the face cube by 2.5.
  SZeZmorphTarget lift{"lift", {0, 1, 2, 3, 4, 5, 6, 7}, {}, std::vector<float>(24, 0.0f)};
  for (int i = 0; i < 8; ++i) lift.positionDeltas.insert(lift.positionDeltas.end(), {0.0f, 2.5f, 0.0f});
  writeBytes(dir + "/face.zmorph", zeZmorphWrite({lift}));

  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  camera->setPosition(core::vector3df(0, 0, -12));
  camera->setTarget(core::vector3df(0, 0, 0));
  ASSERT_EQ(zeLoadObjectMDD(1, (dir + "/cube.obj").c_str(), (dir + "/cube.zmdd").c_str()), 0);
  ASSERT_EQ(zeLoadObject(2, (dir + "/face.obj").c_str()), 0);
  for (int id : {1, 2}) zeObjectNode(id)->setMaterialFlag(video::EMF_LIGHTING, false);
  zeHideObject(2);

  zeSetObjectFrame(1, 0.0f);
  video::IImage* first = shot();
  zeSetObjectFrame(1, 6.0f);
  video::IImage* last = shot();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(last, nullptr);
  EXPECT_TRUE(bright(first, {-3, 0, -1}));
  EXPECT_FALSE(bright(first, {3, 0, -1}));
  EXPECT_TRUE(bright(last, {3, 0, -1}));
  EXPECT_FALSE(bright(last, {-3, 0, -1}));

  zeHideObject(1);
  zeShowObject(2);
  video::IImage* rest = shot();
  const int one[] = {1};
  const float full[] = {1.0f};
  zeSetObjectMorph(2, 1, one, full);
  video::IImage* lifted = shot();
  EXPECT_TRUE(bright(rest, {0, -0.5f, -1}));
  EXPECT_FALSE(bright(rest, {0, 2.9f, -1}));
  EXPECT_TRUE(bright(lifted, {0, 2.9f, -1}));
  EXPECT_FALSE(bright(lifted, {0, -0.5f, -1}));

  // A skinned mesh with frames: its frame poses the skeleton (frame 9, the
  // loop's end, puts the cube at x = 2.4).
  std::ofstream(dir + "/slide.x") << kSlidingX;
  ASSERT_EQ(zeLoadObject(3, (dir + "/slide.x").c_str()), 0);
  zeObjectNode(3)->setMaterialFlag(video::EMF_LIGHTING, false);
  zeObjectNode(3)->setMaterialFlag(video::EMF_BACK_FACE_CULLING, false);
  zeHideObject(2);
  zeSetObjectFrame(3, 0.0f);
  video::IImage* start = shot();
  zeSetObjectFrame(3, 9.0f);
  video::IImage* end = shot();
  EXPECT_TRUE(bright(start, {-3, 0, -1}));
  EXPECT_FALSE(bright(start, {2.4f, 0, -1}));
  EXPECT_TRUE(bright(end, {2.4f, 0, -1}));
  EXPECT_FALSE(bright(end, {-3, 0, -1}));
  if (const char* keep = std::getenv("ZARN_KEEP_SHOTS")) {
    zeEngineContext().driver->writeImageToFile(first, (std::string(keep) + "/mdd-first.png").c_str());
    zeEngineContext().driver->writeImageToFile(lifted, (std::string(keep) + "/morph-lifted.png").c_str());
    zeEngineContext().driver->writeImageToFile(end, (std::string(keep) + "/skinned-end.png").c_str());
  }
  for (video::IImage* image : {first, last, rest, lifted, start, end}) image->drop();
  zeEngineStop();
}
