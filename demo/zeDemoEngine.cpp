// The demo's requests carried out by the engine: the scene table, music,
// camera shaders through the scene seam, the 2D faders and the frame.
#include "demo/IZeDemoEngine.h"

#include <set>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeFile.h"
#include "render/ze2D.h"
#include "render/zeLoadingScreen.h"
#include "scene/zeSceneSeams.h"
#include "services/zeMusic.h"

namespace {

class CZeDemoEngine : public IZeDemoEngine {
 public:
  void setWorkingDirectory(const char* path) override { zeSetWorkingDirectory(path); }
  void enterDirectory(const char* path) override { zeEnterDirectory(path); }
  int loadScene(int id, const char* file, const ZeSceneLoadParams& params, ZeLoadSceneCallback progress,
                void* user) override {
    zeSetLoadSceneCallback(progress, user);
    const int result = zeLoadScene(id, file, "", params);
    zeSetLoadSceneCallback(nullptr, nullptr);
    return result;
  }
  int sceneTotal(int id, ZeSceneTotal what) override { return zeSceneTotal(id, what); }
  const char* sceneAudioFile(int id) override { return zeSceneAudioFile(id); }
  int sceneAudioOffset(int id) override { return zeSceneAudioOffset(id); }
  void deleteScene(int id) override {
    if (zeSceneExist(id)) zeDeleteScene(id);
    stopped_.erase(id);
  }
  int loadMusic(const char* path, int id) override { return zeLoadMusic(path, id); }
  void deleteMusic(int id) override {
    zeStopMusic(id);
    zeDeleteMusic(id);
  }
  bool shadersAvailable() override { return zeSceneSeams().cameraShaders->available(); }
  int loadShader(int id, const char* path) override { return zeSceneSeams().cameraShaders->load(id, path, ""); }
  void deleteShader(int id) override { zeSceneSeams().cameraShaders->remove(id); }
  void loadingStart() override {
    zeSetSceneLoadReports(true);
    zeLoadingStart();
  }
  void loadingProgress(int percent) override { zeLoadingProgress(percent); }
  void loadingEnd() override { zeLoadingEnd(); }
  bool userAborted() override { return !zeDeviceRun() || zeEventReceiver().escapeLatched(); }

  void prepareScene(int id) override { zePrepareSceneRender(id); }
  // Every render resource exists after one whole frame.
  void renderDummyFrame() override { zeSync(); }
  void sleep(int ms) override { zeSleep(ms); }
  // A stopped extra scene stays out of sight until it is activated, even
  // when the part that carries it is shown.
  void showScene(int id) override {
    if (!stopped_.count(id)) zeShowScene(id);
  }
  void hideScene(int id) override { zeHideScene(id); }
  void stopScene(int id) override {
    stopped_.insert(id);
    zeHideScene(id);
  }
  void activateScene(int id) override {
    stopped_.erase(id);
    zeShowScene(id);
  }
  void animateScene(int id, int timeMs) override {
    zeAnimateScene(id, timeMs);
    zeAnimateSceneProcessing(id, timeMs);
  }
  void playMusic(int id) override { zePlayMusic(id); }
  void stopMusic(int id) override { zeStopMusic(id); }
  int musicPosition(int id) override { return zeGetMusicPosition(id); }
  int musicLength(int id) override { return zeMusicLengthMs(id); }
  void setMusicPosition(int id, int ms) override { zeSetMusicPosition(id, ms); }
  void setCameraRange(float nearValue, float farValue) override {
    irr::scene::ICameraSceneNode* camera = zeEngineContext().camera;
    if (!camera) return;
    camera->setNearValue(nearValue);
    camera->setFarValue(farValue);
  }
  void showShader(int id, bool visible) override { zeSceneSeams().cameraShaders->show(id, visible); }
  void fade(bool fadeOut, int lengthMs, unsigned colour) override {
    if (fadeOut) zeFadeOut(lengthMs, colour);
    else zeFadeIn(lengthMs, colour);
  }
  void stopFade() override { zeStopFade(); }
  bool sync() override { return zeSync() == 0; }
  int clock() override { return static_cast<int>(zeTimer()); }
  void setVirtualClock(bool stopped, int timeMs) override {
    irr::IrrlichtDevice* device = zeEngineContext().device;
    if (!device) return;
    irr::ITimer* timer = device->getTimer();
    if (stopped && !clockStopped_) timer->stop();
    if (!stopped && clockStopped_) timer->start();
    clockStopped_ = stopped;
    if (stopped) timer->setTime(static_cast<irr::u32>(timeMs < 0 ? 0 : timeMs));
  }
  bool deviceRunning() override { return zeDeviceRun(); }
  bool escapeLatched() override { return zeEventReceiver().escapeLatched(); }
  bool keyLeft() override { return zeEventReceiver().keys[irr::KEY_LEFT] != 0; }
  bool keyRight() override { return zeEventReceiver().keys[irr::KEY_RIGHT] != 0; }
  bool keyShift() override { return zeEventReceiver().keys[ZE_KEY_SHIFT_STATE] != 0; }

 private:
  std::set<int> stopped_;
  bool clockStopped_ = false;
};

}  // namespace

IZeDemoEngine* zeDemoEngine() {
  static CZeDemoEngine engine;
  return &engine;
}
