// The scene table on the NULL driver: slots and their messages, loading
// order and sharing, progress and cancel, show and hide, totals, what the
// scene hands to the seams, time and frame positions, animation, and live
// update.
#include <unistd.h>

#include <cmath>
#include <cstdlib>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "scene/CZeSceneManager.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "sceneFixture.h"
#include "sceneRecorder.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeScene.h"
#include "scene/zeSceneSlot.h"

using namespace irr;

namespace {

// A scene text with the given sections inside "Scene".
std::string sceneText(const std::string& info, const std::string& body) {
  return "# test scene\n{ Scene\n{ SceneInfo\n" + info + "}\n" + body + "}\n";
}
const char* kInfo25 = "frameStart I4 0\nframeEnd I4 50\nframeStep I4 1\nframesPerSecond FP 25\n";
const char* kCamera = "{ Cameras\n{ C\nposition FP 0 0 -10\nzoomFactor FP 3.2\n}\n}\n";

std::string object(const std::string& file, const std::string& extra = "") {
  return "{ O\nzfilename STR " + file + "\nname STR " + file + "\n" + extra + "}\n";
}
std::string objects(const std::vector<std::string>& list) {
  std::string text = "{ Objects\n";
  for (const std::string& o : list) text += o;
  return text + "}\n";
}

class SceneTableTest : public SceneTest {
 protected:
  void SetUp() override {
    SceneTest::SetUp();
    char* cwd = getcwd(nullptr, 0);
    startFolder = cwd ? cwd : ".";
    std::free(cwd);
    dir = tempDirectory();
    recorder.install();
    zeSetLoadSceneCallback(nullptr, nullptr);
    zeSetSceneLoadReports(false);
  }
  void TearDown() override {
    zeDeleteAllScenes();
    SceneRecorder::uninstall();
    zeSetLoadSceneCallback(nullptr, nullptr);
    zeSetWorkingDirectory(startFolder.c_str());  // a test may move it
    SceneTest::TearDown();
  }
  std::string write(const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name;
    writeText(path, text);
    return path;
  }
  int load(int id, const std::string& text, const char* tag = "", ZeSceneLoadParams params = {}) {
    return zeLoadScene(id, write("s" + std::to_string(id) + ".zscn", text).c_str(), tag, params);
  }
  std::string dir, startFolder;
  SceneRecorder recorder;
};

TEST_F(SceneTableTest, SlotsAndTheirMessages) {
  const std::string text = sceneText(kInfo25, kCamera);
  EXPECT_EQ(load(59, text), 0) << takeError();
  EXPECT_EQ(zeSceneExist(59), 1);
  struct Case {
    int id;
    const char* error;
  } cases[] = {{60, "Invalid Scene ID 60"}, {-1, "Invalid Scene ID -1"}, {59, "Scene ID 59 is already in use"}};
  for (const Case& c : cases) {
    int arg = 0;
    EXPECT_EQ(load(c.id, text), -1);
    EXPECT_EQ(takeError(&arg), c.error);
    EXPECT_EQ(arg, 1);
  }
  // Every other operation on a bad or free slot.
  for (int id : {60, -1, 3}) {
    const std::string expected = id == 3 ? "Scene ID 3 does not exist" : "Invalid Scene ID " + std::to_string(id);
    EXPECT_EQ(zeSceneExist(id), 0);
    EXPECT_EQ(takeError(), "");
    EXPECT_EQ(zeShowScene(id), -1);
    EXPECT_EQ(takeError(), expected);
    EXPECT_EQ(zeHideScene(id), -1);
    EXPECT_EQ(takeError(), expected);
    EXPECT_EQ(zeAnimateScene(id, 0), -1);
    EXPECT_EQ(takeError(), expected);
    EXPECT_EQ(zeSceneTotal(id, ZE_SCENE_TOTAL_OBJECTS), 0);
    EXPECT_EQ(takeError(), expected);
    int arg = 0;
    EXPECT_EQ(zeReloadScene("x", id, 0), -1);
    EXPECT_EQ(takeError(&arg), expected);
    EXPECT_EQ(arg, 2);
    EXPECT_EQ(zeDeleteScene(id), -1);
    EXPECT_EQ(takeError(), expected);
  }
  EXPECT_EQ(zeDeleteScene(59), 0);
  EXPECT_EQ(zeSceneExist(59), 0);
}

TEST_F(SceneTableTest, OpenFailuresNameTheFileAndTheReason) {
  int arg = 0;
  EXPECT_EQ(zeLoadScene(1, "/no/such.zscn", "", {}), -1);
  EXPECT_EQ(takeError(&arg), "Failed to load scene file '/no/such.zscn', error: ");
  EXPECT_EQ(arg, 2);
  std::string commands = "{ ZarnRenderCommands\n{ Commands\n";
  for (int i = 0; i < 151; ++i) commands += "{ c\ncmd STR Clear\n}\n";
  const std::string path = write("many.zscn", sceneText(kInfo25, kCamera + commands + "}\n}\n"));
  EXPECT_EQ(zeLoadScene(1, path.c_str(), "", {}), -1);
  EXPECT_EQ(takeError(), "Failed to load scene file '" + path + "', error: Renderer: too much commands");
  EXPECT_EQ(zeSceneExist(1), 0);
}

TEST_F(SceneTableTest, LoadOrderHiddenSceneShowHideAndTotals) {
  cacheStatic("box.x");
  cacheAnimated("walk.x", 4);
  const std::string body =
      std::string(kCamera) + objects({object("box.x"), object("walk.x"), object("missing.x")}) +
      "{ Lights\n{ L\nname STR key\ntype I4 0\ncolor FP 1 0.5 0\nintensity FP 2\n}\n{ L\nname STR fill\n}\n}\n"
      "{ CubeMaps\n{ C\nname STR sky\ntextureSize I4 128\nrenderType I4 1\n}\n}\n"
      "{ ZarnPostProcs\n{ P\n{ Effect\nfilename STR a.hlsl\ncflags STR -DA\n}\n}\n}\n"
      "{ ZarnRenderSettings\nCH_VELOCITY_SOLID I4 1\nCH_VELOCITY_TRANSPARENT I4 0\n}\n"
      "{ ZarnRenderCommands\n{ Commands\n{ c\ncmd STR Shader\n{ Parameters\n{ p\nname STR fx\n"
      "{ Effect\nfilename STR post.hlsl\n}\n}\n}\n}\n}\n}\n"
      "{ BackdropInfo\nzenith FP 0.2 0.4 1\n}\n";
  ZeSceneLoadParams params;
  params.objectBase = 10;
  params.lightBase = 20;
  params.cubeMapBase = 30;
  params.cameraShaderBase = 40;
  params.rendererId = 5;
  params.effectBase = 50;
  zeSetSceneLoadReports(true);
  ASSERT_EQ(load(2, sceneText(kInfo25, body), "", params), 0);
  EXPECT_EQ(shownBoxes, std::vector<std::string>{"The object id=12 'missing.x' cannot be loaded"});
  takeError();
  // The stated order: lights (made by the light layer), cube maps, objects,
  // renderer, surfaces, emitters, camera shaders, then hidden.
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"cube 30 128 1 0", "velocity 1 0", "textures", "effect 50 post.hlsl",
                                      "renderer 5 50 20", "loadShader 40 a.hlsl -DA", "shaderParams 40 0",
                                      "showShader 40 0", "velocity 0 0"}));
  // The scene's renderer was current while it loaded, and hiding it made the main one current.
  EXPECT_EQ(zeCurrentRenderer(), zeMainRenderer());
  EXPECT_EQ(zeObjectExist(10) + zeObjectExist(11) + zeObjectExist(12), 2);
  EXPECT_EQ(zeLightExist(20) + zeLightExist(21), 2);
  EXPECT_EQ(zeObjectVisible(10), 0);
  EXPECT_EQ(zeObjectVisible(11), 0);
  EXPECT_EQ(zeLightVisible(20), 0);
  EXPECT_EQ(zeLightNode(20)->getLightData().DiffuseColor.g, 0.5f);

  recorder.calls.clear();
  EXPECT_EQ(zeShowScene(2), 0);
  EXPECT_EQ(zeObjectVisible(10), 1);
  EXPECT_EQ(zeLightVisible(21), 1);
  EXPECT_EQ(zeGetBackdropColour() & 0xFFFFFFu, 0x3366FFu);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"colorSpace 0", "velocity 1 0", "shown 2"}));
  EXPECT_EQ(zeCurrentRenderer(), &recorder.sceneRenderer);
  zeSync();
  EXPECT_EQ(recorder.sceneRenderer.frames, 1);
  EXPECT_EQ(zeHideScene(2), 0);
  EXPECT_EQ(zeCurrentRenderer(), zeMainRenderer());
  EXPECT_EQ(zeObjectVisible(11), 0);

  const int totals[] = {3, 2, 0, 1, 1, 1, 0, 1};
  for (int what = ZE_SCENE_TOTAL_OBJECTS; what <= ZE_SCENE_TOTAL_HAS_RENDER_COMMANDS; ++what)
    EXPECT_EQ(zeSceneTotal(2, static_cast<ZeSceneTotal>(what)), totals[what]) << what;
  EXPECT_EQ(zeSceneFindObjectByName(2, "WALK.X"), 11);
  EXPECT_EQ(zeSceneFindObjectByName(2, "missing.x"), -1);  // named, but not made

  // Deleting a shown scene takes its renderer out of the frame.
  EXPECT_EQ(zeShowScene(2), 0);
  recorder.calls.clear();
  EXPECT_EQ(zeDeleteScene(2), 0);
  EXPECT_EQ(zeCurrentRenderer(), zeMainRenderer());
  EXPECT_EQ(zeObjectExist(10), 0);
  EXPECT_EQ(zeLightExist(20), 0);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"deleteCube 30", "removeShader 40", "deleteRenderer 5",
                                                      "deleteEffect 50"}));
}

TEST_F(SceneTableTest, ASceneWithoutCamerasLoadsWithAWarning) {
  ASSERT_EQ(load(0, sceneText(kInfo25, "")), 0);
  EXPECT_EQ(shownBoxes, std::vector<std::string>{"There is no camera in the scene"});
  EXPECT_EQ(zeAnimateScene(0, 500), 0);
}

TEST_F(SceneTableTest, UnbuiltSubsystemsSayItOncePerLoad) {
  SceneRecorder::uninstall();
  zeSetMessageThreshold(ZE_INFO);
  zeSetSceneLoadReports(true);
  const std::string body = std::string(kCamera) +
                           "{ CubeMaps\n{ C\nname STR a\n}\n{ C\nname STR b\n}\n}\n"
                           "{ ZarnPostProcs\n{ P\nuseframe I4 0\n}\n}\n"
                           "{ FxEmitters\n{ E\ntype I4 0\n}\n}\n"
                           "{ ZarnRenderCommands\n{ Commands\n{ c\ncmd STR Clear\n}\n}\n}\n";
  testing::internal::CaptureStdout();
  EXPECT_EQ(load(0, sceneText(kInfo25, body)), 0);
  zeAnimateScene(0, 40);
  zeAnimateScene(0, 80);
  const std::string log = testing::internal::GetCapturedStdout();
  auto count = [&](const std::string& text) {
    size_t n = 0;
    for (size_t at = log.find(text); at != std::string::npos; at = log.find(text, at + 1)) ++n;
    return n;
  };
  EXPECT_EQ(count("WARN : cube maps: not built yet\n"), 1u) << log;
  EXPECT_EQ(count("WARN : camera shaders: not built yet\n"), 1u) << log;
  EXPECT_EQ(count("render settings: not built yet"), 1u) << log;
  EXPECT_EQ(count("WARN : emitters: not built yet\n"), 1u) << log;
  EXPECT_EQ(count("WARN : renderers: not built yet\n"), 1u) << log;
  // Nothing is made through them, so no creation is reported as failed.
  EXPECT_EQ(count("cannot be"), 0u) << log;
  EXPECT_TRUE(shownBoxes.empty());
}

TEST_F(SceneTableTest, SharingFollowsTheSourceTagAndTheFiles) {
  cacheStatic("shared.x");
  ZeSceneLoadParams first;
  first.objectBase = 100;
  ASSERT_EQ(load(1, sceneText(kInfo25, std::string(kCamera) + objects({object("shared.x")})), "tag", first), 0);
  // The file is gone from the mesh cache: only sharing can make the object now.
  zeEngineContext().sceneManager->getMeshCache()->removeMesh(
      zeEngineContext().sceneManager->getMeshCache()->getMeshByName(zeObjectMeshName("shared.x").c_str()));
  struct Case {
    const char* what;
    const char* tag;
    std::string object;
    bool made;
  } cases[] = {
      {"same tag", "tag", object("SHARED.X"), true},
      {"same tag, any case", "TAG", object("shared.x"), true},
      {"other tag", "other", object("shared.x"), false},
      {"point cloud of the file", "tag", object("shared.x", "pointCloudCount I4 500\n"), false},
      {"point cache of the file", "tag", object("shared.x", "{ MDD\nfilename STR a.zmdd\n}\n"), false},
  };
  int id = 2;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ZeSceneLoadParams params;
    params.objectBase = 200 + id;
    params.instanceShared = id % 2 == 0;
    ASSERT_EQ(load(id, sceneText(kInfo25, std::string(kCamera) + objects({c.object})), c.tag, params), 0);
    EXPECT_EQ(zeObjectExist(200 + id), c.made ? 1 : 0);
    ++id;
  }
  EXPECT_EQ(recorder.with("point").size(), 2u);
  // Inside one scene, a repeated file is shared too.
  ZeSceneLoadParams params;
  params.objectBase = 300;
  ASSERT_EQ(load(10, sceneText(kInfo25, std::string(kCamera) + objects({object("shared.x"), object("shared.x")})),
                 "tag", params),
            0);
  EXPECT_EQ(zeObjectExist(300) + zeObjectExist(301), 2);
}

int cancelAtHalf(int percent, void* user) {
  static_cast<std::vector<int>*>(user)->push_back(percent);
  return percent >= 50;
}

TEST_F(SceneTableTest, ProgressAndCancelAtHalfWay) {
  cacheStatic("p.x");
  std::vector<int> seen;
  zeSetLoadSceneCallback(cancelAtHalf, &seen);
  ZeSceneLoadParams params;
  params.objectBase = 1;
  EXPECT_EQ(load(4, sceneText(kInfo25, std::string(kCamera) +
                                           objects({object("p.x"), object("p.x"), object("p.x"), object("p.x")})),
                 "", params),
            1);
  EXPECT_EQ(seen, (std::vector<int>{0, 0, 25, 50}));
  EXPECT_EQ(zeObjectExist(1) + zeObjectExist(2), 2);
  EXPECT_EQ(zeObjectExist(3) + zeObjectExist(4), 0);
  EXPECT_EQ(takeError(), "");
  EXPECT_EQ(zeSceneExist(4), 1);  // the caller deletes it
  EXPECT_EQ(zeDeleteScene(4), 0);
  EXPECT_EQ(zeObjectExist(1), 0);
}

TEST_F(SceneTableTest, TwentyOneCameraShadersAndThreeHundredSurfaces) {
  std::string shaders = "{ ZarnPostProcs\n";
  for (int i = 0; i < 21; ++i) shaders += "{ P\n{ Effect\nfilename STR s" + std::to_string(i) + ".hlsl\n}\n}\n";
  shaders += "}\n";
  std::string surfaces = "{ SceneObjects\n{ S\nfilename STR big.lwo\n{ Surfaces\n";
  for (int i = 0; i < 300; ++i) surfaces += "{ s\nname STR s" + std::to_string(i) + "\n}\n";
  surfaces += "}\n}\n}\n";
  cacheStatic("big.x");
  ASSERT_EQ(load(0, sceneText(kInfo25, std::string(kCamera) + shaders + surfaces +
                                           objects({object("big.x", "filename STR big.lwo\n")}))),
            0);
  int arg = 0;
  EXPECT_EQ(takeError(&arg), "Camera shader i=20 > max 20 camera shaders");
  EXPECT_EQ(arg, -1);
  EXPECT_EQ(recorder.with("loadShader").size(), 20u);
  EXPECT_EQ(shownBoxes, std::vector<std::string>{
                            "The object id=0 'big.x' numSurfaces=300 > NOF_SURFACE_MAX=256. Will result in corruption"});
  EXPECT_EQ(recorder.with("surfaces 0 256 1").size(), 1u);
}

TEST(SceneTime, SamplePositionsAndFrames) {
  struct Case {
    int frameStart, frameStep;
    float fps;
    int t;
    float sample, frame;
  } cases[] = {
      {0, 1, 25, 1000, 25.0f, 25.0f},  {0, 2, 25, 1000, 12.5f, 25.0f}, {10, 1, 25, 40, 1.0f, 11.0f},
      {0, 1, 25, -40, -1.0f, -1.0f},   // before the start: the evaluators clamp the sample
      {7, 1, 0, 1000, 0.0f, 7.0f},     // no frame rate: static
      {7, 0, 25, 1000, 0.0f, 7.0f},    // no frame step: static
      {7, 1, NAN, 1000, 0.0f, 7.0f},
  };
  for (const Case& c : cases) {
    ZF_SceneView view;
    view.frameStart = c.frameStart;
    view.frameStep = c.frameStep;
    view.framesPerSecond = c.fps;
    float s, f;
    zeSceneTimeToPosition(view, c.t, &s, &f);
    EXPECT_FLOAT_EQ(s, c.sample) << c.t << " " << c.fps << " " << c.frameStep;
    EXPECT_FLOAT_EQ(f, c.frame) << c.t << " " << c.fps << " " << c.frameStep;
  }
}

TEST(SceneTime, PointCacheEndBehaviours) {
  struct Case {
    int behaviour;
    float d, e, result;
  } cases[] = {
      {3, 2.5f, 2, 1.5f}, {3, -0.5f, 2, 0.5f}, {3, 1.0f, 2, 1.0f},  {1, 2.5f, 2, 0.5f},  {1, -0.5f, 2, 1.5f},
      {2, 2.5f, 2, 0.0f}, {2, -0.5f, 2, 0.0f}, {2, 1.5f, 2, 1.5f},  {0, 2.5f, 2, 2.0f},  {0, -1.0f, 2, 0.0f},
      {3, 2.5f, 0, 0.0f}, {1, 2.5f, 0, 0.0f},  {0, 1.0f, NAN, 0.0f}, {1, NAN, 2, 0.0f},
  };
  for (const Case& c : cases)
    EXPECT_FLOAT_EQ(zeSceneCacheTime(c.behaviour, c.d, c.e), c.result) << c.behaviour << " " << c.d << " " << c.e;
}

TEST_F(SceneTableTest, TimeEndFpsAudioAndAnimated) {
  struct Case {
    std::string info;
    int timeEnd, fps, animated;
  } cases[] = {
      {"frameStart I4 10\nframeEnd I4 10\nframesPerSecond FP 25\n", 0, 25, 0},
      {"frameStart I4 0\nframeEnd I4 50\nframesPerSecond FP 25.9\n", 2000, 25, 1},
      {"frameStart I4 0\nframeEnd I4 50\nframesPerSecond FP 0.5\n", 0, 0, 1},
      {"frameStart I4 0\nframeEnd I4 2\nframesPerSecond FP 25\n", 80, 25, 0},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(load(0, sceneText(c.info, kCamera)), 0);
    EXPECT_EQ(zeSceneAnimTimeEnd(0), c.timeEnd) << c.info;
    EXPECT_EQ(zeSceneFps(0), c.fps) << c.info;
    EXPECT_EQ(zeSceneIsAnimated(0), c.animated) << c.info;
    zeDeleteScene(0);
  }
  ASSERT_EQ(load(0, sceneText("frameStart I4 25\nframesPerSecond FP 25\nloadAudio STR song.mp3\n"
                              "audioStartTime FP 3\n",
                              kCamera)),
            0);
  EXPECT_STREQ(zeSceneAudioFile(0), "song.mp3");
  EXPECT_EQ(zeSceneAudioOffset(0), -2000);
  EXPECT_EQ(zeSceneFrameStart(0), 25);
  ASSERT_EQ(load(1, sceneText("loadAudio STR \"\"\n", kCamera)), 0);
  EXPECT_EQ(zeSceneAudioFile(1), nullptr);
}

TEST_F(SceneTableTest, CubeMapInfluencesBlend) {
  const std::string cubes = "{ CubeMaps\n{ C\nname STR a\n}\n{ C\nname STR b\n}\n}\n";
  auto influence = [](const char* name, const char* weight, bool box = false) {
    std::string text = std::string("{ U\nrenderCubeMap STR ") + name + "\ninfluence " + weight + "\n";
    if (box) text += "aabbPosition FP 1 2 3\naabbScale FP 4 5 6\n";
    return text + "}\n";
  };
  struct Case {
    const char* what;
    std::string influences;
    int best, second;
    float blend;
  } cases[] = {
      {"two equal", influence("a", "FP 1") + influence("b", "FP 1"), 0, 1, 0.5f},
      {"later stronger", influence("a", "FP 1") + influence("b", "FP 3"), 1, 0, 0.25f},
      {"unknown skipped", influence("zz", "FP 9") + influence("b", "FP 1"), 1, -1, 0.0f},
      {"sum zero", influence("a", "FP 1") + influence("b", "FP -1"), 0, 1, 0.0f},
      {"animated", influence("a", "FP_C DAT 2 0 4") + influence("b", "FP 1", true), 0, 1, 1.0f / 3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ASSERT_EQ(load(0, sceneText(kInfo25, cubes + objects({object("x.x", "{ UseCubeMaps\n" + c.influences + "}\n")}))),
              0);
    int best, second;
    float blend;
    // Sample 0.5: the animated influence is 1 there.
    zeSceneSelectCubeMaps(zeSceneView(0)->objects[0], 0.5f, &best, &second, &blend);
    EXPECT_EQ(best, c.best);
    EXPECT_EQ(second, c.second);
    EXPECT_FLOAT_EQ(blend, c.blend);
    zeDeleteScene(0);
  }
}

TEST_F(SceneTableTest, CameraShadersShowByFrameRange) {
  // 10 frames per second: t = 1000 is frame 10, t = 1999 frame 19.99.
  ASSERT_EQ(load(0, sceneText("framesPerSecond FP 10\nframeStep I4 1\n",
                              std::string(kCamera) + "{ ZarnPostProcs\n{ P\nuseframe I4 1\nstartframe I4 10\n"
                                                     "endframe I4 20\n{ Effect\nfilename STR a.hlsl\n}\n}\n"
                                                     "{ P\n{ Effect\nfilename STR b.hlsl\n}\n}\n}\n")),
            0);
  struct Case {
    int t;
    bool visible;
  } cases[] = {{999, false}, {1000, true}, {1999, true}, {2000, false}, {1500, true}};
  for (const Case& c : cases) {
    recorder.calls.clear();
    zeAnimateSceneCameraShaders(0, c.t);
    const std::vector<std::string> params = recorder.with("shaderParams 0");
    EXPECT_EQ(params.size(), c.visible ? 1u : 0u) << c.t;
    EXPECT_EQ(recorder.with("shaderParams 1").size(), 1u);  // no frame range: always visible
  }
  // Only changes of visibility are handed over.
  recorder.calls.clear();
  for (int t : {999, 1000, 1200, 2000, 2500}) zeAnimateSceneCameraShaders(0, t);
  EXPECT_EQ(recorder.with("showShader 0"),
            (std::vector<std::string>{"showShader 0 0", "showShader 0 1", "showShader 0 0"}));
}

TEST_F(SceneTableTest, AnimationSetsObjectsLightsCameraAndSettings) {
  cacheStatic("box.x");
  cacheAnimated("walk.x", 10);
  const std::string body =
      "{ Cameras\n{ C\nposition FP_C [\nDAT 2 0 10\nRUN 2 1\nRUN 2 -5\n]\nzoomFactor FP 1\nresolution I4 480 480\n"
      "flags I4 8\nfocalDistance FP 3\nfStop FP 2\n}\n}\n" +
      objects({object("box.x", "position FP_C [\nDAT 2 0 4\nRUN 2 0\nRUN 2 0\n]\nrotation FP 0 0 0\n"
                               "scale FP_C [\nDAT 2 1 3\nRUN 2 1\nRUN 2 1\n]\n{ Morphs\n{ a\nvalue FP 0\n}\n"
                               "{ b\nvalue FP_C DAT 2 0 1\n}\n}\n"),
               object("walk.x")}) +
      "{ Lights\n{ L\ntype I4 2\ncolor FP_C [\nDAT 2 0 1\nRUN 2 0\nRUN 2 1\n]\nintensity FP 1\n"
      "coneAngles FP 0.5 0.1\n}\n}\n"
      "{ LightInfo\nambient FP 0.5 0.25 1\n}\n"
      "{ ZarnRenderSettings\nCH_GLOW_ENABLE I4 1\nCH_GLOW_INTENSITY FP_C DAT 2 0 1\nCH_GLOW_RADIUS FP 2\n"
      "CH_BLOOM_ENABLE I4 1\nCH_BLOOM_THRESHOLD FP 0.5\nCH_AA_MODE I4 3\n}\n";
  // frameStep 1 at 1 frame per second: t = 500 is sample 0.5.
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(load(0, sceneText("framesPerSecond FP 1\nframeStep I4 1\n", body), "", params), 0);
  recorder.calls.clear();
  ASSERT_EQ(zeAnimateScene(0, 500), 0);
  EXPECT_EQ(recorder.calls,
            (std::vector<std::string>{"glow 1 0.5 2 0", "bloomEnable 1", "bloom 0.5 0", "streakEnable 0",
                                      "ssaoEnable 0", "shadowEnable 0", "aa 0 1 3 0 0 0 0", "dof 1 3 2",
                                      "advancedDof 0 0 0 0 0", "stereo 0 0 0 0", "morph 1 2:0.500000"}));
  scene::ISceneNode* box = zeObjectNode(1);
  EXPECT_EQ(box->getPosition(), core::vector3df(2, 0, 0));
  EXPECT_EQ(box->getScale(), core::vector3df(2, 1, 1));
  scene::ICameraSceneNode* camera = zeEngineContext().camera;
  EXPECT_EQ(camera->getPosition(), core::vector3df(5, 1, -5));
  EXPECT_NEAR(camera->getFOV(), 2 * std::atan(1.0f), 1e-5f);
  const video::SLight& light = zeLightNode(0)->getLightData();
  EXPECT_FLOAT_EQ(light.DiffuseColor.r, 0.5f);
  EXPECT_FLOAT_EQ(light.DiffuseColor.b, 1.0f);
  EXPECT_NEAR(light.OuterCone, 0.5f * 57.295776f, 1e-3f);
  EXPECT_NEAR(light.InnerCone, 0.4f * 57.295776f, 1e-3f);
  const video::SColorf ambient = zeEngineContext().sceneManager->getAmbientLight();
  EXPECT_NEAR(ambient.r, 127 / 255.0f, 1e-3f);
  // The animated mesh follows the scene frame (frame 0.5 at t = 500).
  EXPECT_FLOAT_EQ(static_cast<scene::IAnimatedMeshSceneNode*>(zeObjectNode(2))->getFrameNr(), 0.5f);

  // Cached settings go again only on change or while on.
  recorder.calls.clear();
  zeAnimateScene(0, 1000);
  EXPECT_EQ(recorder.calls, (std::vector<std::string>{"glow 1 1 2 0", "bloom 0.5 0", "dof 1 3 2", "stereo 0 0 0 0",
                                                      "morph 1 2:1.000000"}));
  // One object alone, and an identifier outside the scene.
  EXPECT_EQ(zeAnimateSceneObject(0, 0, 1), 0);
  EXPECT_EQ(box->getPosition(), core::vector3df(0, 0, 0));
  int arg = 0;
  EXPECT_EQ(zeAnimateSceneObject(0, 0, 3), -1);
  EXPECT_EQ(takeError(&arg), "Invalid Object ID 3");
  EXPECT_EQ(arg, 3);
}

TEST_F(SceneTableTest, StaticScenesNeverHandOverNaN) {
  cacheStatic("box.x");
  cacheAnimated("walk.x", 10);
  const std::string body =
      "{ Cameras\n{ C\nposition FP_C [\nDAT 2 0 10\nRUN 2 1\nRUN 2 -5\n]\nzoomFactor FP 0\n}\n}\n" +
      objects({object("box.x", "position FP_C [\nDAT 2 0 4\nRUN 2 0\nRUN 2 0\n]\n"
                               "{ MDD\nfilename STR c.zmdd\ntimes FP_C DAT 2 0 1\nmddTotalTime FP 0\n}\n"),
               object("walk.x", "position FP_C [\nDAT 2 0 4\nRUN 2 0\nRUN 2 0\n]\n")});
  for (const char* info : {"framesPerSecond FP 0\nframeStep I4 1\nframeStart I4 3\n",
                           "framesPerSecond FP 25\nframeStep I4 0\nframeStart I4 3\n"}) {
    ASSERT_EQ(load(0, sceneText(info, body)), 0);
    for (int t : {0, 1000, -1000}) {
      ASSERT_EQ(zeAnimateScene(0, t), 0);
      const core::vector3df p = zeObjectNode(1)->getPosition();
      EXPECT_EQ(p, core::vector3df(0, 0, 0)) << info << t;  // sample 0
      EXPECT_FLOAT_EQ(static_cast<scene::IAnimatedMeshSceneNode*>(zeObjectNode(1))->getFrameNr(), 3.0f);
      scene::ICameraSceneNode* camera = zeEngineContext().camera;
      EXPECT_TRUE(std::isfinite(camera->getFOV()));
      EXPECT_EQ(camera->getPosition(), core::vector3df(0, 1, -5));
    }
    zeDeleteScene(0);
  }
}

TEST_F(SceneTableTest, GoingBackToTheStartResetsEmittersOnce) {
  cacheStatic("box.x");
  ASSERT_EQ(load(0, sceneText(kInfo25, std::string(kCamera) + objects({object("box.x")}) +
                                           "{ FxEmitters\n{ E\ntype I4 0\n{ ParticleFx\nnozzle I4 0\n"
                                           "birthRate FP 5\nfixed I4 1\nstartFrame I4 10\n}\n}\n"
                                           "{ E\ntype I4 0\nname STR box.x\n{ ParticleFx\nnozzle I4 2\n}\n}\n"
                                           "{ E\ntype I4 0\n{ ParticleFx\nnozzle I4 4\n}\n}\n"
                                           "{ E\ntype I4 0\nname STR nobody\n{ ParticleFx\nnozzle I4 3\n}\n"
                                           "{ HyperVoxel\nclipFilename STR spark.png\n}\n}\n"
                                           "{ E\ntype I4 0\nparentName STR zzz\n{ ParticleFx\nnozzle I4 8\n}\n}\n"
                                           "{ E\ntype I4 0\nparentName STR NOBODY\n{ ParticleFx\nnozzle I4 9\n}\n}\n"
                                           "{ E\ntype I4 5\n}\n}\n")),
            0);
  EXPECT_EQ(recorder.with("emitter"),
            (std::vector<std::string>{"emitter 0 -1", "emitter 1 0", "emitter 4 -1", "emitter 5 -1"}));
  EXPECT_EQ(takeError(), "");  // reports go through zeReportError: shown, not kept
  EXPECT_EQ(shownBoxes, (std::vector<std::string>{
                            "Unsupported Nozzle type 4 for fxemitter id=2 (image file='<no clip file>')",
                            "fxemitter mesh id=3 image file='spark.png' cannot find object ",
                            "fxemitter parent-emitter id=4 cannot find parent emitter",
                            "fxemitter parent-emitter id=5 cannot find parent emitter"}));
  // Emitter 5's parent is "nobody", which names emitter 3: never made, so no parent.
  EXPECT_EQ(recorder.with("parent"), (std::vector<std::string>{"parent 4 -1", "parent 5 -1"}));
  zeAnimateScene(0, 1000);
  EXPECT_EQ(recorder.with("animateEmitter 0"), std::vector<std::string>{"animateEmitter 0 5"});
  recorder.calls.clear();
  zeAnimateScene(0, 200);  // frame 5: before the fixed start frame
  EXPECT_EQ(recorder.with("animateEmitter 0"), std::vector<std::string>{"animateEmitter 0 0"});
  recorder.calls.clear();
  zeAnimateScene(0, -5);
  zeAnimateScene(0, -5);
  EXPECT_EQ(recorder.with("resetEmitter"),
            (std::vector<std::string>{"resetEmitter 0", "resetEmitter 1", "resetEmitter 4", "resetEmitter 5"}));
}

TEST_F(SceneTableTest, ReloadKeepsOrRecreates) {
  cacheStatic("a.x");
  cacheStatic("b.x");
  auto text = [](const char* colour, bool extra) {
    std::vector<std::string> list{object("a.x"), object("b.x")};
    if (extra) list.push_back(object("a.x"));
    return sceneText(kInfo25, std::string(kCamera) + objects(list) +
                                  "{ Lights\n{ L\nname STR key\ncolor " + colour + "\n}\n{ L\nname STR fill\n}\n}\n");
  };
  ZeSceneLoadParams params;
  params.objectBase = 5;
  params.lightBase = 7;
  const std::string path = write("live.zscn", text("FP_C [\nDAT 2 0 1\nRUN 2 0\nRUN 2 0\n]", false));
  ASSERT_EQ(zeLoadScene(3, path.c_str(), "", params), 0);
  zeShowScene(3);
  // Marks that a node made again would not carry.
  for (scene::ISceneNode* node : {zeObjectNode(5), zeObjectNode(6)}) node->setID(4242);
  for (scene::ISceneNode* node : {zeLightNode(7), zeLightNode(8)}) node->setID(4343);

  // Only the light's colour animation changes: nothing is made again.
  writeText(path, text("FP_C [\nDAT 2 1 0\nRUN 2 0\nRUN 2 1\n]", false));
  ASSERT_EQ(zeReloadScene(path.c_str(), 3, 1), 0) << takeError();
  EXPECT_EQ(zeObjectNode(5)->getID(), 4242);
  EXPECT_EQ(zeObjectNode(6)->getID(), 4242);
  EXPECT_EQ(zeLightNode(7)->getID(), 4343);
  EXPECT_EQ(zeLightNode(8)->getID(), 4343);
  zeAnimateScene(3, 0);
  EXPECT_FLOAT_EQ(zeLightNode(7)->getLightData().DiffuseColor.r, 1.0f);  // the new animation plays

  // One more object: every object is made again, visible as the scene is.
  writeText(path, text("FP_C [\nDAT 2 1 0\nRUN 2 0\nRUN 2 1\n]", true));
  ASSERT_EQ(zeReloadScene(path.c_str(), 3, 1), 0);
  EXPECT_NE(zeObjectNode(5)->getID(), 4242);
  EXPECT_NE(zeObjectNode(6)->getID(), 4242);
  EXPECT_EQ(zeObjectExist(7), 1);
  EXPECT_EQ(zeObjectVisible(5) + zeObjectVisible(6) + zeObjectVisible(7), 3);
  EXPECT_EQ(zeLightNode(7)->getID(), 4343);
  EXPECT_EQ(zeSceneTotal(3, ZE_SCENE_TOTAL_OBJECTS), 3);

  // A file that no longer opens leaves the scene as it was.
  writeText(path, "broken");
  int arg = 0;
  EXPECT_EQ(zeReloadScene(path.c_str(), 3, 1), -1);
  EXPECT_EQ(takeError(&arg), "Failed to load scene file '" + path + "', error: ");
  EXPECT_EQ(arg, 1);
  EXPECT_EQ(zeSceneTotal(3, ZE_SCENE_TOTAL_OBJECTS), 3);
}

}  // namespace

namespace {

TEST_F(SceneTableTest, TheExampleSceneLoadsTheSameFromTextAndBinary) {
  const char* folder = "../../examples/scene";
  if (::access((std::string(folder) + "/example.zbin").c_str(), R_OK) != 0) GTEST_SKIP() << "no example scene";
  zeSetWorkingDirectory(folder);
  ZeSceneLoadParams text, binary;
  text.objectBase = 1;
  binary.objectBase = 11;
  binary.lightBase = 5;
  ASSERT_EQ(zeLoadScene(0, "example.zscn", "text", text), 0) << takeError();
  ASSERT_EQ(zeLoadScene(1, "example.zbin", "binary", binary), 0) << takeError();
  // Floor, two pillars, the moving cube, the point-cache block, the bending column and the banner.
  ASSERT_EQ(zeSceneTotal(0, ZE_SCENE_TOTAL_OBJECTS), 7);
  for (int what = ZE_SCENE_TOTAL_OBJECTS; what <= ZE_SCENE_TOTAL_HAS_RENDER_COMMANDS; ++what)
    EXPECT_EQ(zeSceneTotal(0, static_cast<ZeSceneTotal>(what)), zeSceneTotal(1, static_cast<ZeSceneTotal>(what)));
  EXPECT_EQ(zeSceneAnimTimeEnd(0), 4000);
  EXPECT_EQ(zeSceneAnimTimeEnd(1), 4000);
  // Surfaces for the glossy pillars, the animated column and the banner, from both forms.
  for (int id : {2, 3, 6, 7, 12, 13, 16, 17}) EXPECT_EQ(recorder.with("surfaces " + std::to_string(id) + " 1 1").size(), 1u) << id;
  for (int t : {0, 1234, 2000, 4000}) {
    zeAnimateScene(0, t);
    zeAnimateScene(1, t);
    for (int i = 0; i < 7; ++i) {
      // The point cache goes to the recording seam here: no object of it.
      ASSERT_EQ(zeObjectExist(1 + i), zeObjectExist(11 + i)) << i;
      if (!zeObjectExist(1 + i)) continue;
      EXPECT_EQ(zeObjectNode(1 + i)->getPosition(), zeObjectNode(11 + i)->getPosition()) << t << " " << i;
      EXPECT_EQ(zeObjectNode(1 + i)->getRotation(), zeObjectNode(11 + i)->getRotation()) << t << " " << i;
      EXPECT_EQ(zeObjectNode(1 + i)->getBoundingBox(), zeObjectNode(11 + i)->getBoundingBox()) << t << " " << i;
    }
    for (int l = 0; l < 2; ++l) {
      const video::SColorf a = zeLightNode(l)->getLightData().DiffuseColor;
      const video::SColorf b = zeLightNode(5 + l)->getLightData().DiffuseColor;
      EXPECT_EQ(a.r, b.r);
      EXPECT_EQ(a.b, b.b);
    }
  }
}

}  // namespace

namespace {

// Notes which of objects 1..3 are visible whenever a cube map is rendered.
class VisibilityRecorder : public SceneRecorder {
 public:
  void renderCubeMap(int id, ZeVec3 centre, int flag) override {
    SceneRecorder::renderCubeMap(id, centre, flag);
    note("visible %d%d%d", zeObjectVisible(1), zeObjectVisible(2), zeObjectVisible(3));
  }
};

TEST_F(SceneTableTest, PreparingRendersCubeMapsTwiceWithTheirVisibility) {
  VisibilityRecorder visibility;
  visibility.install();
  cacheStatic("a.x");
  cacheStatic("b.x");
  cacheStatic("c.x");
  std::string ramp = "DAT 21";
  for (int i = 0; i <= 20; ++i) ramp += " " + std::to_string(i);
  const std::string cubes =
      "{ CubeMaps\n{ C\nname STR first\nrenderTime FP 0.2\nposition FP_C [\n" + ramp +
      "\nRUN 21 0\nRUN 21 0\n]\ncameraOffset FP 0 1 0\n{ showSet\nn STR b.x\n}\n{ hideSet\nn STR c.x\n}\n}\n"
      "{ C\nname STR second\nrenderType I4 1\nrenderTime FP 0.4\nposition FP_C [\n" + ramp +
      "\nRUN 21 0\nRUN 21 0\n]\n{ hideSet\nn STR a.x\n}\n}\n}\n";
  ZeSceneLoadParams params;
  params.objectBase = 1;
  params.cubeMapBase = 30;
  ASSERT_EQ(load(0, sceneText(kInfo25, cubes + objects({object("a.x"), object("b.x"), object("c.x")})), "", params),
            0);
  visibility.calls.clear();
  ASSERT_EQ(zePrepareSceneRender(0), 0);
  // Sample 5 at 200 ms and 10 at 400 ms; two passes so each sees the other.
  const std::vector<std::string> expected{"renderCube 30 5 1 0 1",  "visible 010", "renderCube 31 10 0 0 1",
                                          "visible 011",            "renderCube 30 5 1 0 1", "visible 010",
                                          "renderCube 31 10 0 0 1", "visible 011"};
  std::vector<std::string> seen;
  for (const std::string& c : visibility.calls)
    if (c.rfind("renderCube", 0) == 0 || c.rfind("visible", 0) == 0) seen.push_back(c);
  EXPECT_EQ(seen, expected);
  EXPECT_EQ(visibility.with("unrendered").size(), 1u);
  EXPECT_EQ(zeObjectVisible(1) + zeObjectVisible(2) + zeObjectVisible(3), 0);  // hidden again

  // Each frame only the dynamic one (renderType 1), without the force flag.
  visibility.calls.clear();
  zeShowScene(0);
  ASSERT_EQ(zeUpdateDynamicCubeMaps(0, 200), 0);
  EXPECT_EQ(visibility.with("renderCube"), std::vector<std::string>{"renderCube 31 5 0 0 0"});
  EXPECT_EQ(zeObjectVisible(1) + zeObjectVisible(2) + zeObjectVisible(3), 3);
  SceneRecorder::uninstall();
}

}  // namespace

namespace {

// Point caches made as plain animated objects, with a last frame time the
// test chooses.
class CacheRecorder : public SceneRecorder {
 public:
  float lastFrameTime = 2.0f;
  int loadPointCacheObject(int id, const char* file, const char* cache) override {
    SceneRecorder::loadPointCacheObject(id, file, cache);
    return zeLoadObject(id, file);
  }
  float pointCacheLastFrameTime(int) override { return lastFrameTime; }
};

TEST_F(SceneTableTest, PointCacheFramesFollowTheEndBehaviour) {
  CacheRecorder caches;
  caches.install();
  cacheAnimated("cached.x", 5);
  const std::string body = std::string(kCamera) +
                           objects({object("cached.x", "position FP 4 5 6\n{ MDD\nfilename STR c.zmdd\n"
                                                       "applyCacheTo I4 1\nendBehavior I4 3\nmddTotalTime FP 2\n"
                                                       "postBehavior I4 1\ntimes FP_C DAT 3 -0.5 2.5 1\n}\n")});
  ZeSceneLoadParams params;
  params.objectBase = 1;
  ASSERT_EQ(load(0, sceneText("framesPerSecond FP 1\nframeStep I4 1\n", body), "", params), 0);
  EXPECT_EQ(caches.with("postBehaviour"), std::vector<std::string>{"postBehaviour 1 1"});
  struct Case {
    int t;
    float lastFrameTime, frame;
  } cases[] = {
      {0, 2.0f, 1.0f},     // d = -0.5 oscillates to 0.5: frame 4 x 0.5 / 2
      {1000, 2.0f, 3.0f},  // d = 2.5 -> 1.5
      {2000, 2.0f, 2.0f},  // d = 1
      {2000, 0.0f, 0.0f},  // a cache without a last frame time stays on its first frame
  };
  for (const Case& c : cases) {
    caches.lastFrameTime = c.lastFrameTime;
    zeAnimateScene(0, c.t);
    scene::IAnimatedMeshSceneNode* node = static_cast<scene::IAnimatedMeshSceneNode*>(zeObjectNode(1));
    EXPECT_FLOAT_EQ(node->getFrameNr(), c.frame) << c.t << " " << c.lastFrameTime;
    EXPECT_EQ(node->getPosition(), core::vector3df(0, 0, 0));  // the cache holds world positions
  }
  SceneRecorder::uninstall();
}

TEST_F(SceneTableTest, ObjectsOnlyScenesFollowTheCamera) {
  cacheStatic("o.x");
  ZeSceneLoadParams params;
  params.objectBase = 1;
  params.objectsOnly = true;
  ASSERT_EQ(load(0, sceneText(kInfo25, std::string(kCamera) + objects({object("o.x", "position FP 1 2 3\n")}) +
                                           "{ Lights\n{ L\n}\n}\n{ ZarnPostProcs\n{ P\n}\n}\n"),
                 "", params),
            0);
  EXPECT_EQ(zeLightExist(0), 0);
  EXPECT_TRUE(recorder.with("loadShader").empty());
  EXPECT_EQ(zeObjectNode(1)->getParent(), zeEngineContext().camera);
  recorder.calls.clear();
  zeAnimateScene(0, 0);
  EXPECT_EQ(zeObjectNode(1)->getPosition(), core::vector3df(1, 2, 13));
  for (const std::string& call : recorder.calls) ADD_FAILURE() << call;  // no settings, no camera effects
}

TEST_F(SceneTableTest, ReloadRecreatesOnlyWhatChanged) {
  struct Parts {
    std::string shaderFile = "a.hlsl", cflags = "-DA", param = "1", cubeName = "sky", command = "Clear";
    int lights = 1;
  };
  auto text = [](const Parts& p) {
    std::string lights = "{ Lights\n";
    for (int i = 0; i < p.lights; ++i) lights += "{ L\nname STR l" + std::to_string(i) + "\n}\n";
    return sceneText(kInfo25, std::string(kCamera) + lights + "}\n{ ZarnPostProcs\n{ P\n{ Effect\nfilename STR " +
                                  p.shaderFile + "\ncflags STR " + p.cflags + "\n{ Parameters\n{ k\nvalue FP " +
                                  p.param + "\n}\n}\n}\n}\n}\n{ CubeMaps\n{ C\nname STR " + p.cubeName +
                                  "\n}\n}\n{ ZarnRenderCommands\n{ Commands\n{ c\ncmd STR " + p.command +
                                  "\n}\n}\n}\n");
  };
  struct Case {
    const char* what;
    void (*change)(Parts*);
    std::vector<std::string> expected;  // the recorded creations and deletions
  } cases[] = {
      {"nothing", [](Parts*) {}, {}},
      {"a shader parameter", [](Parts* p) { p->param = "2"; }, {"shaderParams 40 1"}},
      {"shader flags", [](Parts* p) { p->cflags = "-DB"; },
       {"removeShader 40", "loadShader 40 a.hlsl -DB", "shaderParams 40 1"}},
      {"shader file", [](Parts* p) { p->shaderFile = "b.hlsl"; },
       {"removeShader 40", "loadShader 40 b.hlsl -DA", "shaderParams 40 1"}},
      {"cube map name", [](Parts* p) { p->cubeName = "sea"; }, {"deleteCube 30", "cube 30 0 0 0"}},
      {"render commands", [](Parts* p) { p->command = "Copy"; },
       {"deleteRenderer 5", "textures", "renderer 5 50 20"}},
      {"light count", [](Parts* p) { p->lights = 2; },
       {"deleteRenderer 5", "textures", "renderer 5 50 20"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Parts parts;
    ZeSceneLoadParams params;
    params.lightBase = 20;
    params.cubeMapBase = 30;
    params.cameraShaderBase = 40;
    params.rendererId = 5;
    params.effectBase = 50;
    const std::string path = write("reload.zscn", text(parts));
    ASSERT_EQ(zeLoadScene(0, path.c_str(), "", params), 0);
    zeLightNode(20)->setID(4242);  // a recreated light would not carry the mark
    c.change(&parts);
    writeText(path, text(parts));
    recorder.calls.clear();
    ASSERT_EQ(zeReloadScene(path.c_str(), 0, 1), 0);
    // What is made and deleted; a changed cube map is then rendered (not listed).
    std::vector<std::string> seen;
    for (const std::string& call : recorder.calls) {
      if (call == "unrendered") break;
      if (call.rfind("velocity", 0) != 0 && call.rfind("colorSpace", 0) != 0) seen.push_back(call);
    }
    EXPECT_EQ(seen, c.expected);
    EXPECT_EQ(zeLightNode(20)->getID() == 4242, parts.lights == 1);
    EXPECT_EQ(zeLightExist(21), parts.lights == 2 ? 1 : 0);
    zeDeleteScene(0);
  }
}

}  // namespace

namespace {

std::string probes(const char* texture, int count, int size = 64, float x = 1) {
  std::string text = std::string("{ ProbesSettings\ntextureName STR ") + texture + "\ntextureSize I4 " +
                     std::to_string(size) + "\n}\n{ Probes\n";
  for (int i = 0; i < count; ++i) text += "{ P\nposition FP " + std::to_string(x) + " 2 3\nradius FP 4\n}\n";
  return text + "}\n";
}

TEST_F(SceneTableTest, ProbesAreMadeAndFollowReloads) {
  ZeSceneLoadParams params;
  params.probesId = 7;
  const std::string path = write("probes.zscn", sceneText(kInfo25, std::string(kCamera) + probes("env", 2)));
  ASSERT_EQ(zeLoadScene(0, path.c_str(), "", params), 0);
  EXPECT_EQ(recorder.with("probe"), (std::vector<std::string>{"probes 7 env", "probe 7 0 1 2 3 4", "probe 7 1 1 2 3 4"}));
  EXPECT_EQ(recorder.with("initProbes"), std::vector<std::string>{"initProbes 7 64 2"});
  EXPECT_EQ(zeSceneTotal(0, ZE_SCENE_TOTAL_PROBES_ACTIVE), 1);

  struct Case {
    const char* what;
    std::string probes;
    std::vector<std::string> expected;  // probe calls of the reload, before any rendering
    const char* box;
  } cases[] = {
      {"unchanged", probes("env", 2), {}, nullptr},
      {"moved", probes("env", 2, 64, 5), {"probe 7 0 5 2 3 4", "probe 7 1 5 2 3 4"}, nullptr},
      {"more probes", probes("env", 3), {}, "Cannot recreate probes in use; need to restart the engine"},
      {"other texture", probes("sky", 2), {"deleteProbes 7", "probes 7 sky", "probe 7 0 1 2 3 4", "probe 7 1 1 2 3 4"},
       nullptr},
      {"gone", "", {"deleteProbes 7"}, nullptr},
      {"back", probes("env", 2), {"probes 7 env", "probe 7 0 1 2 3 4", "probe 7 1 1 2 3 4"}, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    writeText(path, sceneText(kInfo25, std::string(kCamera) + c.probes));
    recorder.calls.clear();
    shownBoxes.clear();
    ASSERT_EQ(zeReloadScene(path.c_str(), 0, 1), 0);
    std::vector<std::string> seen;
    for (const std::string& call : recorder.calls) {
      if (call.rfind("renderProbes", 0) == 0 || call.rfind("shown", 0) == 0) break;
      if (call.rfind("probe", 0) == 0 || call.rfind("deleteProbes", 0) == 0) seen.push_back(call);
    }
    EXPECT_EQ(seen, c.expected);
    EXPECT_EQ(shownBoxes, c.box ? std::vector<std::string>{c.box} : std::vector<std::string>{});
  }
}

// A probe set that cannot be made, or made but not initialised.
class FailingProbes : public SceneRecorder {
 public:
  bool make = true;
  int makeProbes(int id, const char* name) override {
    return make ? SceneRecorder::makeProbes(id, name) : -1;
  }
  int initProbes(int, int, int) override { return -1; }
};

TEST_F(SceneTableTest, ProbeFailuresAreReported) {
  FailingProbes failing;
  failing.install();
  zeSetSceneLoadReports(true);
  for (bool make : {false, true}) {
    failing.make = make;
    shownBoxes.clear();
    ZeSceneLoadParams params;
    params.probesId = 3;
    ASSERT_EQ(load(0, sceneText(kInfo25, std::string(kCamera) + probes("env", 1)), "", params), 0);
    EXPECT_EQ(shownBoxes, std::vector<std::string>{make ? "The probes id=3 cannot be init"
                                                        : "The probes id=3 cannot be created"});
    int arg = 0;
    EXPECT_EQ(takeError(&arg), make ? "Failed to init probes" : "Failed to create probes");
    EXPECT_EQ(arg, -1);
    zeDeleteScene(0);
  }
  SceneRecorder::uninstall();
}

}  // namespace

#include <dirent.h>
#include <climits>
#include <cstdlib>

namespace {

// The scene fuzz findings, loaded into the engine, shown, played at a few
// times, reloaded from each other and deleted: bad files fail cleanly.
TEST_F(SceneTableTest, FuzzFindingsLoadPlayAndReloadCleanly) {
  cacheStatic("box.x");
  char* folder = realpath("../zf/corpus-scene", nullptr);
  ASSERT_NE(folder, nullptr) << "tests run from tests/scene";
  const std::string corpus = folder;
  std::free(folder);
  DIR* dir = opendir(corpus.c_str());
  ASSERT_NE(dir, nullptr);
  std::vector<std::string> files;
  while (dirent* item = readdir(dir))
    if (item->d_name[0] != '.') files.push_back(corpus + "/" + item->d_name);
  closedir(dir);
  ASSERT_GT(files.size(), 2u);
  testing::internal::CaptureStdout();
  int loaded = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    ZeSceneLoadParams params;
    params.objectBase = 100;
    if (zeLoadScene(0, files[i].c_str(), "", params) != 0) {
      zeDeleteScene(0);
      continue;
    }
    ++loaded;
    zeShowScene(0);
    for (int t : {-5, 0, 40, 1000, 100000}) zeAnimateScene(0, t);
    zePrepareSceneRender(0);
    zeReloadScene(files[(i + 1) % files.size()].c_str(), 0, 0);
    zeAnimateScene(0, 500);
    zeDeleteScene(0);
  }
  testing::internal::GetCapturedStdout();
  EXPECT_GT(loaded, 10) << files.size();
  zeClearLastError();
}

}  // namespace

namespace {

TEST_F(SceneTableTest, ReloadRemakesOnlyTheEmittersThatChanged) {
  auto text = [](const char* clip, const char* size, int count) {
    std::string emitters = "{ FxEmitters\n";
    for (int i = 0; i < count; ++i)
      emitters += std::string("{ E\ntype I4 0\nname STR e") + std::to_string(i) +
                  "\nparentName STR e0\n{ ParticleFx\nnozzle I4 " + (i == 0 ? "0" : "8") +
                  "\n}\n{ HyperVoxel\nclipFilename STR " + (i == 1 ? clip : "a.png") + "\nparticleSize FP " +
                  (i == 2 ? size : "1") + "\n}\n}\n";
    return sceneText(kInfo25, std::string(kCamera) + emitters + "}\n");
  };
  struct Case {
    const char* what;
    std::string text;
    std::vector<std::string> expected;
  } cases[] = {
      {"a particle size", text("a.png", "2", 3), {"resetEmitter 0", "resetEmitter 1", "configureEmitter 2", "resetEmitter 2"}},
      {"a clip file", text("b.png", "1", 3),
       {"resetEmitter 0", "removeEmitter 1", "emitter 1 -1", "configureEmitter 1", "showEmitter 1 1",
        "resetEmitter 1", "resetEmitter 2", "parent 1 0", "parent 2 0"}},
      {"one more", text("a.png", "1", 4),
       {"removeEmitter 0", "removeEmitter 1", "removeEmitter 2", "emitter 0 -1", "configureEmitter 0", "emitter 1 -1",
        "configureEmitter 1", "emitter 2 -1", "configureEmitter 2", "emitter 3 -1", "configureEmitter 3",
        "parent 1 0", "parent 2 0", "parent 3 0", "showEmitter 0 1", "showEmitter 1 1", "showEmitter 2 1",
        "showEmitter 3 1"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const std::string path = write("emitters.zscn", text("a.png", "1", 3));
    ASSERT_EQ(zeLoadScene(0, path.c_str(), "", {}), 0);
    zeShowScene(0);
    writeText(path, c.text);
    recorder.calls.clear();
    ASSERT_EQ(zeReloadScene(path.c_str(), 0, 1), 0);
    std::vector<std::string> seen;
    for (const std::string& call : recorder.calls) {
      if (call.rfind("velocity", 0) == 0 || call.rfind("colorSpace", 0) == 0) continue;
      if (call.rfind("glow", 0) == 0) break;  // the animation of a re-render starts
      seen.push_back(call);
    }
    EXPECT_EQ(seen, c.expected);
    zeDeleteScene(0);
  }
}

}  // namespace
