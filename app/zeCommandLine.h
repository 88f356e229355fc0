// The command line: which run mode, which file, and the values handed to the
// setup reader and the front ends. Nothing else in the engine reads argv.
#pragma once

#include <functional>
#include <string>

// Display values from the command line; -1 where not given.
struct DisplayOverrides {
  int width = -1;
  int height = -1;
  int windowed = -1;
  int windowX = -1;
  int windowY = -1;
  int depth = -1;
  int vsync = -1;
  int fps = -1;
  int antialias = -1;
  int shaders = -1;
  int stereo = -1;
};

// Scene viewer option bits, in the order the viewer tests them.
enum ZeViewerFlag {
  ZE_VIEWER_BASE = 1,
  ZE_VIEWER_CONVERT = 2,
  ZE_VIEWER_PAUSED = 4,
  ZE_VIEWER_FRAME_START = 8,
  ZE_VIEWER_RIDE = 16,
  ZE_VIEWER_MUSIC = 32,
  ZE_VIEWER_SYNC_UPDATE = 64,
  ZE_VIEWER_NO_SYNC_BAKE = 128,
  ZE_VIEWER_NO_LW_CHILD = 256,
  ZE_VIEWER_NO_IDLE_INACTIVE = 512,
};

struct ViewerOptions {
  int flags = ZE_VIEWER_BASE | ZE_VIEWER_MUSIC;
  int frameStart = 0;
  int rideSpeed = 0;
  int rideOptions = 0;
};

enum class ZeRunMode {
  NoFile,          // no file given: the entry opens the file chooser
  Unsupported,     // the file type is not known
  ObjectViewer,
  SceneViewer,
  DemoPlayer,
  DemoCapture,
  Script,
  Packaged,
  SceneConversion,  // -binary
  PackagingTool,    // an option of app/zePackagingTools.h
  Extract,          // -extract in a packaged executable
};

struct ZeLaunchPlan {
  ZeRunMode mode = ZeRunMode::NoFile;
  std::string path;      // the file (empty when none)
  bool hasPath = false;
  DisplayOverrides display;
  ViewerOptions viewer;
  int startPart = -1;
  std::string captureBase;
  bool hasCaptureBase = false;
  float captureFps = 30.0f;
  bool userLog = false;
  std::string tool;     // the packaging option
  std::string toolArgs[2];
};

// Reads the command line in the engine's fixed order. `isPackaged` is asked only
// once the tool options are ruled out (it looks at the executable and beside it).
ZeLaunchPlan zeParseCommandLine(int argc, const char* const* argv, const std::function<bool()>& isPackaged);


// A leading, optionally signed decimal after optional blanks; 0 when none.
int zeParseInt(const char* text);
