// The demo definition (".demo.ini") and its timeline: parts that each play a
// scene from a start time, with musics, extra scenes, full-screen shaders and
// colour faders. Parsing is plain (packaging reads the same definition);
// loading goes through IZeDemoEngine so tests can record what is handed over.
//
// Contents: limits · timeline records · parsing · time rules · load/unload.
#pragma once

#include <string>
#include <vector>

#include "demo/IZeDemoEngine.h"

constexpr int ZE_DEMO_MAX_PARTS = 64;
constexpr int ZE_DEMO_MAX_EXTRAS = 15;
constexpr int ZE_DEMO_MAX_SHADERS = 10;
constexpr int ZE_DEMO_MAX_FADERS = 20;
constexpr int ZE_DEMO_NUMBERED = 20;  // numbered entries run from 0 to 19
constexpr int ZE_DEMO_MAX_NAME = 39;
constexpr int ZE_DEMO_MAX_TEXT = 127;

// The identifiers a scene was loaded with (-1 until loaded).
struct ZeDemoSceneIds {
  int scene = -1;
  int objectBase = -1;
  int lightBase = -1;
  int fxEmitterBase = -1;
  int cubeMapBase = -1;
  int cameraShaderBase = -1;
};

struct ZeDemoExtra {
  int active = 0;
  std::string directory;
  std::string fileName;
  int time = 0;
  int length = 0;
  ZeDemoSceneIds ids;
  int reuseObjects = 0;
  int flushObjects = 0;
};

struct ZeDemoShader {
  int active = 0;
  int done = 0;
  std::string name;
  int time = 0;
  int length = 0;
  int cameraShaderId = -1;
};

struct ZeDemoFader {
  int fadeOut = 1;
  int active = 0;
  int done = 0;
  int time = -1;
  int length = 1000;
  int fadeLength = 1000;
  unsigned colour = 0;
};

struct ZeDemoPart {
  std::string name;
  int time = -1;
  int timeReset = 0;
  int start = -1;
  std::string music;
  std::string palette;
  std::string directory;
  std::string fileName;
  float cameraNear = 0.1f;
  float cameraFar = 1000.0f;
  int musicId = -1;
  int paletteId = -1;
  ZeDemoSceneIds ids;
  int reuseObjects = 0;
  int flushObjects = 0;
  int paletteChannel = -1;
  int paletteValue = -1;
  std::vector<ZeDemoExtra> extras;
  std::vector<ZeDemoShader> shaders;
  std::vector<ZeDemoFader> faders;
};

struct ZeDemo {
  std::string musicDirectory;
  std::string paletteDirectory;
  std::string shadersDirectory;
  std::vector<ZeDemoPart> parts;
};

// Advanced while loading; fresh counters start scenes at 0, objects and
// musics at 1, the rest at 0.
struct ZeDemoCounters {
  int scene = 0;
  int object = 1;
  int light = 0;
  int fxEmitter = 0;
  int cubeMap = 0;
  int cameraShader = 0;
  int effect = 0;
  int probe = 0;
  int palette = 0;
  int music = 1;
};

enum ZeDemoParseResult { ZE_DEMO_PARSED = 0, ZE_DEMO_UNREADABLE = -1, ZE_DEMO_NO_PARTS = -2 };

// Reads the definition through the file hooks; no message (the caller says
// what a failure means for it). Every part is kept: the player's limit of
// ZE_DEMO_MAX_PARTS applies when loading, packaging takes them all.
ZeDemoParseResult zeDemoParse(const char* path, ZeDemo* demo);

// What the time rules need of a part's loaded scene.
struct ZeDemoSceneMusic {
  std::string music;  // the scene's music as "<base>.mp3", empty when none
  int offsetMs = 0;
};
// The scene's music name turned into the file the demo plays: base name,
// without directory and extension, with ".mp3".
std::string zeDemoSceneMusicFile(const char* sceneAudio);

// Derives or checks each part's start (see docs/demo.md). `sceneMusic` has
// one entry per part. 0, or -1 after an ERROR shown to the user.
int zeDemoApplyTimeRules(ZeDemo* demo, const std::vector<ZeDemoSceneMusic>& sceneMusic);

// Parses, loads and checks. 0 on success, 1 when the user aborted the
// loading, -1 on error (reported). Whatever was loaded stays for zeDemoUnload.
int zeDemoLoad(ZeDemo* demo, const char* path, ZeDemoCounters* counters, IZeDemoEngine* engine);
// Deletes the musics, scenes (main and extra) and shaders that were loaded.
void zeDemoUnload(ZeDemo* demo, IZeDemoEngine* engine);
