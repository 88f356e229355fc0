// A recording IZeDemoEngine: every request becomes a line ("show 2",
// "fade out 500 0xff0000"), scenes and musics answer from small tables, and
// the clock and keys are set by the test.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "demo/IZeDemoEngine.h"

struct RecordingDemoEngine : IZeDemoEngine {
  std::vector<std::string> calls;
  std::map<int, std::string> sceneAudio;  // scene id -> its music name
  std::map<int, int> sceneOffset;
  std::map<std::string, int> failScene;  // file -> result of loading it
  std::vector<std::string> failMusic, failShader;
  std::map<int, int> musicPos;  // id -> position (missing: unreadable)
  std::map<int, int> musicLen;
  bool shaders = true;
  bool aborted = false;
  int now = 0;
  int objectsPerScene = 3;
  bool left = false, right = false, shift = false;
  std::string directory;

  void say(const std::string& line) { calls.push_back(line); }
  std::vector<std::string> take() {
    std::vector<std::string> out;
    out.swap(calls);
    return out;
  }

  void setWorkingDirectory(const char* path) override { directory = path; }
  void enterDirectory(const char* path) override { directory += std::string("/") + path; }
  int loadScene(int id, const char* file, const ZeSceneLoadParams& p, ZeLoadSceneCallback progress,
                void* user) override {
    say("scene " + std::to_string(id) + " " + directory.substr(directory.find_last_of('/') + 1) + "/" + file +
        " objects@" + std::to_string(p.objectBase) + (p.objectsOnly ? " extra" : "") +
        (p.instanceShared ? " shared" : ""));
    if (progress && progress(50, user) != 0) return 1;
    auto f = failScene.find(file);
    return f == failScene.end() ? 0 : f->second;
  }
  int sceneTotal(int, ZeSceneTotal what) override { return what == ZE_SCENE_TOTAL_OBJECTS ? objectsPerScene : 0; }
  const char* sceneAudioFile(int id) override {
    auto f = sceneAudio.find(id);
    return f == sceneAudio.end() ? nullptr : f->second.c_str();
  }
  int sceneAudioOffset(int id) override { return sceneOffset.count(id) ? sceneOffset[id] : 0; }
  void deleteScene(int id) override { say("delete scene " + std::to_string(id)); }
  int loadMusic(const char* path, int id) override {
    say("music " + std::to_string(id) + " " + path);
    for (const std::string& f : failMusic)
      if (f == path) return -1;
    return 0;
  }
  void deleteMusic(int id) override { say("delete music " + std::to_string(id)); }
  bool shadersAvailable() override { return shaders; }
  int loadShader(int id, const char* path) override {
    say("shader " + std::to_string(id) + " " + path);
    for (const std::string& f : failShader)
      if (f == path) return -1;
    return 0;
  }
  void deleteShader(int id) override { say("delete shader " + std::to_string(id)); }
  void loadingStart() override {}
  void loadingProgress(int percent) override { say("progress " + std::to_string(percent)); }
  void loadingEnd() override {}
  bool userAborted() override { return aborted; }

  void prepareScene(int id) override { say("prepare " + std::to_string(id)); }
  void renderDummyFrame() override { say("dummy frame"); }
  void sleep(int ms) override { say("sleep " + std::to_string(ms)); }
  void showScene(int id) override { say("show " + std::to_string(id)); }
  void hideScene(int id) override { say("hide " + std::to_string(id)); }
  void stopScene(int id) override { say("stop " + std::to_string(id)); }
  void activateScene(int id) override { say("activate " + std::to_string(id)); }
  void animateScene(int id, int t) override { say("animate " + std::to_string(id) + " at " + std::to_string(t)); }
  void playMusic(int id) override { say("play music " + std::to_string(id)); }
  void stopMusic(int id) override { say("stop music " + std::to_string(id)); }
  int musicPosition(int id) override { return musicPos.count(id) ? musicPos[id] : -1; }
  int musicLength(int id) override { return musicLen.count(id) ? musicLen[id] : -1; }
  void setMusicPosition(int id, int ms) override {
    say("music " + std::to_string(id) + " to " + std::to_string(ms));
    musicPos[id] = ms;
  }
  void setCameraRange(float n, float f) override {
    char text[64];
    std::snprintf(text, sizeof text, "range %g %g", n, f);
    say(text);
  }
  void showShader(int id, bool visible) override {
    say(std::string(visible ? "show" : "hide") + " shader " + std::to_string(id));
  }
  void fade(bool out, int length, unsigned colour) override {
    char text[64];
    std::snprintf(text, sizeof text, "fade %s %d 0x%x", out ? "out" : "in", length, colour);
    say(text);
  }
  void stopFade() override { say("stop fade"); }
  bool sync() override {
    say("sync");
    return true;
  }
  int clock() override { return now; }
  void setVirtualClock(bool stopped, int t) override {
    say(stopped ? "virtual clock " + std::to_string(t) : std::string("virtual clock runs"));
  }
  bool deviceRunning() override { return true; }
  bool escapeLatched() override { return false; }
  bool keyLeft() override { return left; }
  bool keyRight() override { return right; }
  bool keyShift() override { return shift; }
};
