// Everything the demo asks of the engine while it loads and plays: scenes,
// musics, full-screen shaders, faders, the camera, the frame, the clocks and
// the keys. The engine's implementation is zeDemoEngine(); tests record.
#pragma once

#include "scene/zeScene.h"

class IZeDemoEngine {
 public:
  virtual ~IZeDemoEngine() = default;

  // --- Loading ---
  virtual void setWorkingDirectory(const char* path) = 0;
  virtual void enterDirectory(const char* path) = 0;
  // 0, -1, or 1 when `progress` cancelled it (progress gets 0..99).
  virtual int loadScene(int id, const char* file, const ZeSceneLoadParams& params, ZeLoadSceneCallback progress,
                        void* user) = 0;
  virtual int sceneTotal(int id, ZeSceneTotal what) = 0;
  virtual const char* sceneAudioFile(int id) = 0;  // null when none
  virtual int sceneAudioOffset(int id) = 0;
  virtual void deleteScene(int id) = 0;
  virtual int loadMusic(const char* path, int id) = 0;
  virtual void deleteMusic(int id) = 0;
  // Full-screen shaders are camera effects: false while they cannot be made.
  virtual bool shadersAvailable() = 0;
  virtual int loadShader(int id, const char* path) = 0;
  virtual void deleteShader(int id) = 0;
  virtual void loadingStart() = 0;
  virtual void loadingProgress(int percent) = 0;
  virtual void loadingEnd() = 0;
  // The device stopped or escape was pressed.
  virtual bool userAborted() = 0;

  // --- Playing ---
  virtual void prepareScene(int id) = 0;
  virtual void renderDummyFrame() = 0;
  virtual void sleep(int ms) = 0;
  virtual void showScene(int id) = 0;
  virtual void hideScene(int id) = 0;
  // Extra scenes: stopped (nothing of them moves or shows) and activated.
  virtual void stopScene(int id) = 0;
  virtual void activateScene(int id) = 0;
  virtual void animateScene(int id, int timeMs) = 0;
  virtual void playMusic(int id) = 0;
  virtual void stopMusic(int id) = 0;
  virtual int musicPosition(int id) = 0;  // ms heard, -1 when unreadable
  virtual int musicLength(int id) = 0;    // ms, -1 when unknown
  virtual void setMusicPosition(int id, int ms) = 0;
  virtual void setCameraRange(float nearValue, float farValue) = 0;
  virtual void showShader(int id, bool visible) = 0;
  virtual void fade(bool fadeOut, int lengthMs, unsigned colour) = 0;
  virtual void stopFade() = 0;
  // Renders the frame; false when it failed.
  virtual bool sync() = 0;
  virtual int clock() = 0;  // ms
  // The device's clock that animators read: stopped and set (capture), or running.
  virtual void setVirtualClock(bool stopped, int timeMs) = 0;

  // --- Input ---
  virtual bool deviceRunning() = 0;
  virtual bool escapeLatched() = 0;
  virtual bool keyLeft() = 0;
  virtual bool keyRight() = 0;
  virtual bool keyShift() = 0;
};

// The engine's own implementation (one per process).
IZeDemoEngine* zeDemoEngine();
