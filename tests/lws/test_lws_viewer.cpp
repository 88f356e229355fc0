// The viewer on a LightWave scene, on the NULL driver: it loads the scene's
// objects and, with live update on, takes a saved .lws as it takes a .zscn.
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "app/zeFrame.h"
#include "lws/zeLwsConvert.h"
#include "player/zeSceneViewer.h"
#include "scene/sceneFixture.h"
#include "scene/zeScene.h"
#include "support/steppedViewerHooks.h"

namespace {

struct Script {
  std::string sceneFile;
  std::string nextText;
  std::vector<int> objects;
  std::vector<int> status;
};

// After the first frame the scene is saved without one object.
struct ScriptHooks : SteppedViewerHooks {
  Script& s;
  explicit ScriptHooks(Script& script) : s(script) {}
  bool step(int frame, const SZeViewerFrame& shown) override {
    s.objects.push_back(zeSceneExist(1) ? zeSceneTotal(1, ZE_SCENE_TOTAL_OBJECTS) : -1);
    s.status.push_back(shown.updateStatus);
    if (frame == 0) std::ofstream(s.sceneFile, std::ios::binary) << s.nextText;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));  // the watch thread sees the save
    return frame < 150 && !(frame > 2 && s.objects.back() == 1);
  }
};

}  // namespace

class LwsViewer : public SceneTest {};

TEST_F(LwsViewer, ASavedSceneWithOneObjectLessIsTakenByLiveUpdate) {
  char cwd[4096];
  ASSERT_NE(getcwd(cwd, sizeof cwd), nullptr);
  const std::string folder = tempDirectory();
  ASSERT_EQ(std::system(("cp -r data/Scenes data/Objects " + folder).c_str()), 0);
  zeLwsInstallSceneReader();
  zeForceWindowActive(1);

  Script script;
  script.sceneFile = folder + "/Scenes/two_boxes.lws";
  std::ifstream in(script.sceneFile, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  // The same scene without its second object.
  std::string next = text.str();
  const size_t from = next.find("LoadObjectLayer 1 Objects\\Green_Box.LWO");
  const size_t to = next.find("AmbientColor");
  ASSERT_NE(from, std::string::npos);
  next.erase(from, to - from);
  script.nextText = next;

  ViewerOptions options;
  options.flags = ZE_VIEWER_BASE | ZE_VIEWER_PAUSED | ZE_VIEWER_SYNC_UPDATE;
  ScriptHooks hooks(script);
  EXPECT_EQ(zeRunSceneViewer(script.sceneFile.c_str(), options, &hooks), 0) << takeError();

  zeForceWindowActive(-1);
  ZF_SetSceneReader(nullptr, nullptr);
  if (chdir(cwd) != 0) ADD_FAILURE() << "cannot go back to " << cwd;
  std::system(("rm -rf " + folder).c_str());
  ASSERT_FALSE(script.objects.empty());
  EXPECT_EQ(script.objects.front(), 2) << "both objects of the scene loaded";
  EXPECT_EQ(script.objects.back(), 1) << "the saved scene was taken";
  EXPECT_EQ(script.status.back(), 0);
}
