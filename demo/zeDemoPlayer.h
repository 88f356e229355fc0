// Walks a loaded demo's timeline: demo time from the music (or the clock, or
// the frame number when capturing), the part switch, extras, palettes,
// full-screen shaders, faders, animation and the frame. Plain logic over
// IZeDemoEngine; zeDemoRun.cpp puts the engine and the capture outputs under it.
#pragma once

#include <string>
#include <vector>

#include "demo/zeDemo.h"

// What a capture did with the musics, in frame time, so a video can carry
// the sound the picture was made with.
struct ZeDemoMusicEvent {
  enum Kind { Play, Stop, Seek };
  int timeMs;  // frame time
  Kind kind;
  int musicId;
  int positionMs;  // Seek only
};

struct ZeDemoPlayState {
  int reference = 0;  // demo time 0 is this clock (or frame) time
  int musicStart = 0;
  int currentPart = -1;
  int currentMusic = -1;
  int currentPalette = -1;
  int currentScene = -1;
  int scenePart = -1;  // the part whose scene is current
  int finished = 0;
  bool capturing = false;
  std::vector<ZeDemoMusicEvent> musicLog;  // filled while capturing
  int frameTime = 0;                       // capture: the frame being made
};

enum ZeDemoFrameResult { ZE_DEMO_FRAME_DRAWN = 0, ZE_DEMO_FRAME_FINISHED = 1, ZE_DEMO_FRAME_FAILED = -1 };

// Demo time while playing: the current music's position plus the time it
// started at; the clock when no music is current, its position cannot be
// read, or it has ended (then the clock runs on from where the music stopped).
int zeDemoPlayTime(ZeDemoPlayState* state, IZeDemoEngine* engine, int clockNow);
// One frame at demo time t; `clockNow` is what a part with timereset restarts from.
ZeDemoFrameResult zeDemoFrame(ZeDemo* demo, ZeDemoPlayState* state, IZeDemoEngine* engine, int t, int clockNow);
// Positions the timeline (and the music that plays there) just before part
// `startPart`. A start part out of range is reported and ignored.
void zeDemoStartAt(ZeDemo* demo, ZeDemoPlayState* state, IZeDemoEngine* engine, int startPart);
// Left/right arrows move the current music (and so demo time).
void zeDemoSeekKeys(ZeDemoPlayState* state, IZeDemoEngine* engine);

// Prepares the parts' scenes, renders the warm-up frame and waits a moment.
void zeDemoPrepare(ZeDemo* demo, IZeDemoEngine* engine);

// Real-time play to the end, escape or a failure: 0 or -1.
int zeDemoPlayLoop(ZeDemo* demo, IZeDemoEngine* engine, int startPart);

// --- Capture ----------------------------------------------------------------------

// "out.d/demo.png" -> base "out.d/demo", extension "png"; a name whose file
// part has no '.' keeps the whole text and gets "bmp".
void zeDemoSplitCaptureName(const std::string& name, std::string* base, std::string* extension);
// The file of frame n: "<base>_%06d.<ext>".
std::string zeDemoCaptureFileName(const std::string& base, int n, const std::string& extension);
// Frame time of frame n at `fps` frames per second, truncated.
int zeDemoCaptureFrameTime(int n, float fps);
// Whether the extension asks for a video (mp4, mkv, webm, any case).
bool zeDemoIsVideoExtension(const std::string& extension);

// Where captured frames go.
class IZeDemoFrameSink {
 public:
  virtual ~IZeDemoFrameSink() = default;
  // Takes the frame just rendered, with what the musics did up to it; false
  // ends the capture with -1. `label` names where it went (for the log line).
  virtual bool write(int n, int timeMs, const std::vector<ZeDemoMusicEvent>& musicLog, std::string* label) = 0;
  // After the last frame, with what the musics did. false: the capture failed.
  virtual bool finish(const std::vector<ZeDemoMusicEvent>& musicLog, int endTimeMs) = 0;
};

// Fixed-rate capture to `sink`: 0 or -1.
int zeDemoCaptureLoop(ZeDemo* demo, IZeDemoEngine* engine, int startPart, float fps, IZeDemoFrameSink* sink);
