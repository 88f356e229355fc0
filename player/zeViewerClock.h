// The scene viewer's clock: scene time from the wall clock or the music,
// pause, loop, stepping with the keys, the bounds of the scene, Layout frames
// and restoring the frame after a live update. Pure logic over plain values so
// every rule can be tried without a window; music goes through a narrow seam.
#pragma once

#include <string>

// What the viewer asks of music 1. The viewer's real one drives the music
// service; tests record the calls.
struct IZeViewerMusic {
  virtual ~IZeViewerMusic() = default;
  virtual bool loaded() const = 0;
  virtual int position() = 0;   // ms, or -1 when it cannot be read
  virtual void pause() = 0;
  virtual void resume() = 0;    // continues where paused
  virtual void playAt(int ms) = 0;  // positions and plays
  virtual void moveTo(int ms) = 0;  // positions while it keeps playing
};

// The facts of the scene the clock needs (ms and frames).
struct ZeViewerScene {
  int firstFrame = 0;
  int lastFrame = 0;
  int fps = 0;
  int endTimeMs = 0;
};

// All times in milliseconds.
struct ZeViewerState {
  int reference = 0;  // clock value at which scene time 0 would have been
  bool paused = false;
  int pausedTime = 0;
  int sceneTime = 0;
  bool loop = false;
  bool musicPausedByViewer = false;
  int musicOffset = 0;
  int lastSyncValue = 0;
  bool forceAnimate = true;
  int lastAnimatedPausedTime = -1;
};

// The keys of one frame: "pressed" ones are true only in the frame they went down.
struct ZeViewerKeys {
  bool returnPressed = false;
  bool spacePressed = false;
  bool forward = false;   // right arrow (not while riding) or plus, held
  bool backward = false;  // left arrow (not while riding) or minus, held
  bool shift = false;
};

// Start: plays from 0, or from frameStart (when given), paused when asked.
void zeViewerStart(ZeViewerState& s, int now, const ZeViewerScene& scene, bool frameStartGiven, int frameStart,
                   bool paused, IZeViewerMusic* music);

// The scene time of this frame (clock, music or the paused time; never past the end).
int zeViewerSceneTime(ZeViewerState& s, int now, const ZeViewerScene& scene, IZeViewerMusic* music);

// Return, Space and the step keys, then the bounds; true when the keys moved
// the time. Updates s.sceneTime to the time to show.
bool zeViewerKeys(ZeViewerState& s, int now, const ZeViewerKeys& keys, const ZeViewerScene& scene,
                  IZeViewerMusic* music);

// A frame number from Layout: followed when it changed and lies within the
// scene's frames, else ignored. true when followed.
bool zeViewerSyncFrame(ZeViewerState& s, int now, int value, const ZeViewerScene& scene, IZeViewerMusic* music);

// The frame shown at `timeMs`.
float zeViewerFrameAt(const ZeViewerScene& scene, int timeMs);

// After a live update: shows the same frame under the scene's new timing.
void zeViewerRestoreFrame(ZeViewerState& s, int now, float frame, const ZeViewerScene& scene, IZeViewerMusic* music);

// The first free "<folder>/screenshot_%04d.png" from *counter on; the counter
// keeps that number so earlier names are never tried again. `folder` is the
// scene's parent folder ("..").
std::string zeViewerScreenshotPath(const char* folder, int* counter);

// The HUD's first line, "Frame=%4.2f time=%dmn%dsec%d millisec=%d".
std::string zeViewerClockText(const ZeViewerScene& scene, int sceneTimeMs);

// The ride speed (cm/s) after this frame's keys: 1 slower by 10, 2 faster
// by 10, never below 1.
int zeViewerRideSpeed(int speed, bool slower, bool faster);
