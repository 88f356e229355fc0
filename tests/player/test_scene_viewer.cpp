// The viewer's loop on the NULL driver with a scripted clock and keys: start
// paused at a frame, Space, the live update that fails and then succeeds, a
// scene that does not load, and the binary conversion.
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeFile.h"
#include "player/zeSceneViewer.h"
#include "player/zeViewerShaderWatch.h"
#include "scene/zeCamera.h"
#include "scene/sceneFixture.h"
#include "scene/zeScene.h"
#include "support/steppedViewerHooks.h"
#include "viewerFiles.h"
#include "zf/zfDocument.h"
#include "zf/zfWrite.h"

using namespace irr;

namespace {

void postKey(EKEY_CODE key, bool down) {
  SEvent event{};
  event.EventType = EET_KEY_INPUT_EVENT;
  event.KeyInput.Key = key;
  event.KeyInput.PressedDown = down;
  zeEngineContext().device->postEventFromUser(event);
}

struct Script {
  std::vector<SZeViewerFrame> shown;
  std::vector<int> objects;
  std::string sceneFile;
  std::string nextText;  // the next save (the viewer works in the scene's folder)
  bool (*step)(int frame, Script& script) = nullptr;
};

// Each frame is recorded and goes to the script's step.
struct ScriptHooks : SteppedViewerHooks {
  Script& script;
  explicit ScriptHooks(Script& s) : script(s) {}
  bool step(int frame, const SZeViewerFrame& shown) override {
    script.shown.push_back(shown);
    script.objects.push_back(zeSceneExist(1) ? zeSceneTotal(1, ZE_SCENE_TOTAL_OBJECTS) : -1);
    return script.step(frame, script);
  }
};

void postMouse(EMOUSE_INPUT_EVENT what) {
  SEvent event{};
  event.EventType = EET_MOUSE_INPUT_EVENT;
  event.MouseInput.Event = what;
  zeEngineContext().device->postEventFromUser(event);
}

class SceneViewerTest : public SceneTest {
 protected:
  void SetUp() override {
    // The engine's default camera with its ride animator, as the program has it.
    zeSetEngineStep(ZeEngineStep::Device, {zeRideCameraStart, zeRideCameraStop});
    SceneTest::SetUp();
    zeEventReceiver().reset();
    zeForceWindowActive(1);  // no idle frames: every frame is seen
    char here[4096];
    cwd_ = getcwd(here, sizeof here) ? here : ".";
    folder_ = copyExampleScene();
    ASSERT_FALSE(folder_.empty());
  }
  void TearDown() override {
    if (chdir(cwd_.c_str()) != 0) ADD_FAILURE() << "cannot go back to " << cwd_;
    zeForceWindowActive(-1);
    removeFolder(folder_);
    SceneTest::TearDown();
    zeSetEngineStep(ZeEngineStep::Device, {});
  }
  int run(int flags, int frameStart, Script& script, int rideSpeed = 0, int rideOptions = 0) {
    ViewerOptions options;
    options.flags = flags;
    options.frameStart = frameStart;
    options.rideSpeed = rideSpeed;
    options.rideOptions = rideOptions;
    ScriptHooks hooks(script);
    script.sceneFile = folder_ + "/example.zscn";
    return zeRunSceneViewer(script.sceneFile.c_str(), options, &hooks);
  }
  std::string cwd_, folder_;
};

}  // namespace

TEST_F(SceneViewerTest, StartsPausedAtTheFrameSpacePlaysAndTheSceneIsDeletedAtTheEnd) {
  Script script;
  script.step = [](int frame, Script&) {
    if (frame == 0) postKey(KEY_SPACE, true);
    if (frame == 1) postKey(KEY_SPACE, false);
    return frame < 4;
  };
  ASSERT_EQ(run(ZE_VIEWER_BASE | ZE_VIEWER_PAUSED | ZE_VIEWER_FRAME_START, 50, script), 0) << takeError();
  ASSERT_EQ(script.shown.size(), 5u);
  EXPECT_TRUE(script.shown[0].paused);
  EXPECT_EQ(script.shown[0].sceneTimeMs, 2000);  // frame 50 at 25 frames per second
  EXPECT_FALSE(script.shown[1].paused);
  EXPECT_EQ(script.shown[4].sceneTimeMs - script.shown[1].sceneTimeMs, 60) << "plays on with the clock";
  EXPECT_GT(script.objects[0], 0);
  EXPECT_EQ(zeSceneExist(1), 0);
}

TEST_F(SceneViewerTest, AFailedLiveUpdateKeepsTheOldSceneAndTheNextGoodSaveIsTaken) {
  Script script;
  script.nextText = withoutRedLight(readFile(folder_ + "/example.zscn"));
  ASSERT_NE(script.nextText, readFile(folder_ + "/example.zscn"));
  script.step = [](int frame, Script& s) {
    const int count = static_cast<int>(s.shown.size());
    if (frame == 0) writeFile(s.sceneFile, "{ Scene\n{ SceneInfo\nframeEnd I4\n");
    if (frame > 0 && s.shown[count - 1].updateStatus > 0 && s.shown[count - 2].updateStatus == 0)
      writeFile(s.sceneFile, s.nextText);
    // The watch thread needs a moment to see each save.
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    return frame < 150 && !(s.shown[count - 1].updateStatus == 0 && count > 2 &&
                            s.shown[count - 2].updateStatus > 0);
  };
  ASSERT_EQ(run(ZE_VIEWER_BASE | ZE_VIEWER_PAUSED | ZE_VIEWER_FRAME_START | ZE_VIEWER_SYNC_UPDATE, 25, script), 0)
      << takeError();
  bool failed = false;
  for (std::size_t i = 0; i < script.shown.size(); ++i) {
    if (script.shown[i].updateStatus > 0) {
      failed = true;
      EXPECT_EQ(script.objects[i], script.objects[0]) << "the old scene plays on";
    }
  }
  EXPECT_TRUE(failed) << "the broken save was seen";
  EXPECT_EQ(script.shown.back().updateStatus, 0) << "the good save was taken";
  EXPECT_EQ(script.objects.back(), script.objects[0]);
  EXPECT_EQ(script.shown.back().sceneTimeMs, 1000) << "the same frame under the new timing";
}

TEST_F(SceneViewerTest, ASceneThatDoesNotLoadEndsTheViewerWithAMessage) {
  writeFile(folder_ + "/example.zscn", "not a scene");
  Script script;
  script.step = [](int, Script&) { return false; };
  EXPECT_EQ(run(ZE_VIEWER_BASE, 0, script), -1);
  EXPECT_TRUE(script.shown.empty());
  bool said = false;
  for (const std::string& box : shownBoxes) said = said || box.find("Failed to load scene") != std::string::npos;
  EXPECT_TRUE(said);
}

TEST_F(SceneViewerTest, ConversionWritesABinaryThatHoldsTheSameTree) {
  const std::string scene = folder_ + "/example.zscn";
  ASSERT_EQ(zeConvertSceneToBinary(scene.c_str()), 0);
  ZF_Document* text = ZF_Load(scene.c_str());
  ZF_Document* binary = ZF_Load((scene + ".bin").c_str());
  ASSERT_TRUE(text && binary);
  EXPECT_EQ(ZF_DocumentForm(binary), ZF_FORM_BINARY);
  std::string a, b;
  ASSERT_TRUE(ZF_WriteText(ZF_Root(text), &a));
  ASSERT_TRUE(ZF_WriteText(ZF_Root(binary), &b));
  EXPECT_EQ(a, b);
  ZF_Free(text);
  ZF_Free(binary);

  EXPECT_EQ(zeConvertSceneToBinary((folder_ + "/missing.zscn").c_str()), -1);
  writeFile(folder_ + "/broken.zscn", "{ Scene\n");
  EXPECT_EQ(zeConvertSceneToBinary((folder_ + "/broken.zscn").c_str()), -1);
  EXPECT_NE(::access((folder_ + "/broken.zscn.bin").c_str(), F_OK), 0) << "nothing written for a broken scene";
}

// -ride starts in the orbit ride at the scene camera; the arrows then fly
// instead of stepping the time; key 1 slows down to 1 cm/s and no further;
// the right button hands the camera back to the scene; F12 toggles the
// renderer's debug display.
TEST_F(SceneViewerTest, RideStartsOnTheSceneCameraAndTheRightButtonLeavesIt) {
  struct Seen {
    int mode;
    core::vector3df position;
  };
  static std::vector<Seen> seen;
  seen.clear();
  zeRenderSetDebug(0);
  Script script;
  script.step = [](int frame, Script&) {
    seen.push_back({zeRideCamera()->getMode(), zeEngineContext().camera->getAbsolutePosition()});
    if (frame == 0) {
      postKey(KEY_KEY_1, true);
      postKey(KEY_RIGHT, true);
      postKey(KEY_F12, true);
    }
    if (frame == 3) {
      postKey(KEY_KEY_1, false);
      postKey(KEY_RIGHT, false);
      postKey(KEY_F12, false);
      postMouse(EMIE_RMOUSE_PRESSED_DOWN);
    }
    if (frame == 4) postMouse(EMIE_RMOUSE_LEFT_UP);
    return frame < 6;
  };
  ASSERT_EQ(run(ZE_VIEWER_BASE | ZE_VIEWER_PAUSED | ZE_VIEWER_FRAME_START | ZE_VIEWER_RIDE, 50, script, 15), 0)
      << takeError();
  ASSERT_EQ(script.shown.size(), 7u);
  EXPECT_TRUE(script.shown[0].ride);
  EXPECT_EQ(seen[0].mode, IZeSceneNodeAnimatorCamera::MODE_ORBIT);
  const int speeds[] = {15, 5, 1, 1};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(script.shown[i].rideSpeed, speeds[i]) << "frame " << i;
  EXPECT_EQ(script.shown[3].sceneTimeMs, 2000) << "the right arrow does not step the time while riding";
  EXPECT_EQ(zeRenderDebug(), 1);
  EXPECT_FALSE(script.shown[4].ride);
  EXPECT_EQ(seen[4].mode, IZeSceneNodeAnimatorCamera::MODE_FIXED);
  EXPECT_EQ(zeRideCamera()->getMode(), IZeSceneNodeAnimatorCamera::MODE_FIXED);
  zeRenderSetDebug(0);
}

// The collision option puts every object of the scene into the camera's
// collision set and switches collision on while riding; leaving the viewer
// empties the set.
TEST_F(SceneViewerTest, TheCollisionOptionFillsTheSetAndRidesWithCollision) {
  static int setSize = -1;
  static bool colliding = false;
  Script script;
  script.step = [](int, Script&) {
    setSize = zeCameraCollisionSetSize();
    colliding = zeCameraCollisionActive();
    return false;
  };
  ASSERT_EQ(run(ZE_VIEWER_BASE | ZE_VIEWER_PAUSED | ZE_VIEWER_RIDE, 0, script, 0, 1 | 2), 0) << takeError();
  EXPECT_EQ(setSize, script.objects[0]);
  EXPECT_GT(setSize, 0);
  EXPECT_TRUE(colliding);
  EXPECT_EQ(script.shown[0].rideSpeed, 1000);
  EXPECT_EQ(zeCameraCollisionSetSize(), 0);
  EXPECT_FALSE(zeCameraCollisionActive());
}

// Keys that move the time of a scene of at most two frames tell a debugger.
TEST_F(SceneViewerTest, SteppingAShortSceneWritesPlaysyncToTheDebuggerOutput) {
  std::string text = readFile(folder_ + "/example.zscn");
  const std::size_t at = text.find("frameEnd I4 100");
  ASSERT_NE(at, std::string::npos);
  writeFile(folder_ + "/example.zscn", text.replace(at, 15, "frameEnd I4 2"));
  const std::string log = folder_ + "/debugger.txt";
  setenv("ZARN_LOG_FILE", log.c_str(), 1);
  Script script;
  script.step = [](int frame, Script&) {
    postKey(KEY_PLUS, frame == 0);
    return frame < 2;
  };
  const int result = run(ZE_VIEWER_BASE | ZE_VIEWER_PAUSED, 0, script);
  unsetenv("ZARN_LOG_FILE");
  ASSERT_EQ(result, 0) << takeError();
  EXPECT_NE(readFile(log).find("PLAYSYNC"), std::string::npos);
}

// The shader folders that exist are watched; a file written in one reaches
// the shader hot reload by its full path, and the watches start over.
TEST(ViewerShaderWatch, AChangedShaderFileGoesToTheHotReload) {
  static std::vector<std::string> recompiled;
  recompiled.clear();
  const ZeFrameHooks before = zeGetFrameHooks();
  ZeFrameHooks hooks = before;
  hooks.recompileShaders = [](int count, const char* const* paths) {
    for (int i = 0; i < count; ++i) recompiled.push_back(paths[i]);
  };
  zeSetFrameHooks(hooks);
  const std::string base = tempDirectory();
  ASSERT_EQ(mkdir((base + "/shaders").c_str(), 0755), 0);
  ASSERT_EQ(mkdir((base + "/shadersPP").c_str(), 0755), 0);
  EXPECT_EQ(zeViewerShaderWatchStart(base.c_str()), 2);
  EXPECT_EQ(zeViewerShaderWatchPoll(), 0);
  writeFile(base + "/shadersPP/glow.hlsl", "float4 main() : COLOR { return 1; }\n");
  int handed = 0;
  for (int i = 0; i < 100 && handed == 0; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    handed = zeViewerShaderWatchPoll();
  }
  EXPECT_GE(handed, 1);
  ASSERT_FALSE(recompiled.empty());
  EXPECT_NE(recompiled[0].find("shadersPP/glow.hlsl"), std::string::npos) << recompiled[0];
  EXPECT_EQ(zeViewerShaderWatchPoll(), 0) << "reset after the reload";
  zeViewerShaderWatchStop();
  zeSetFrameHooks(before);
  std::remove((base + "/shadersPP/glow.hlsl").c_str());
  rmdir((base + "/shadersPP").c_str());
  rmdir((base + "/shaders").c_str());
  rmdir(base.c_str());
}
