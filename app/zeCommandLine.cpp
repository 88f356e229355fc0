#include "app/zeCommandLine.h"

#include "app/zeFileKinds.h"
#include "app/zePackagingTools.h"

#include <strings.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

bool isOption(const char* arg, const char* option) { return arg[0] == '-' && std::strcmp(arg, option) == 0; }

float captureRate(const char* text) {
  const float fps = static_cast<float>(std::atof(text));
  return fps == 0.0f ? 30.0f : fps;
}

// Capture options act in every mode, packaged productions included.
void captureOptions(int argc, const char* const* argv, ZeLaunchPlan& plan) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    const bool hasValue = i + 1 < argc;
    if (isOption(arg, "-cap")) {
      if (hasValue) {
        plan.captureBase = argv[i + 1];
        plan.hasCaptureBase = true;
      }
      ++i;
    } else if (isOption(arg, "-capfps")) {
      if (hasValue) plan.captureFps = captureRate(argv[i + 1]);
      ++i;
    }
  }
}

// Returns the number of values the option at argv[i] consumed (0 or 1);
// an option that takes a value but stands last is ignored.
int mainOption(int argc, const char* const* argv, int i, ZeLaunchPlan& plan) {
  const char* arg = argv[i];
  const char* value = i + 1 < argc ? argv[i + 1] : nullptr;
  ViewerOptions& viewer = plan.viewer;
  DisplayOverrides& display = plan.display;

  if (isOption(arg, "-framestart")) {
    if (value) {
      viewer.frameStart = zeParseInt(value);
      viewer.flags |= ZE_VIEWER_FRAME_START;
    }
    return 1;
  }
  if (isOption(arg, "-paused")) { viewer.flags |= ZE_VIEWER_PAUSED; return 0; }
  if (isOption(arg, "-ride")) { viewer.flags |= ZE_VIEWER_RIDE; return 0; }
  if (isOption(arg, "-rideopts")) { if (value) viewer.rideOptions = zeParseInt(value); return 1; }
  if (isOption(arg, "-ridespeed")) { if (value) viewer.rideSpeed = zeParseInt(value); return 1; }
  if (isOption(arg, "-nomusic")) { viewer.flags &= ~ZE_VIEWER_MUSIC; return 0; }
  if (isOption(arg, "-syncupdate")) { viewer.flags |= ZE_VIEWER_SYNC_UPDATE; return 0; }
  if (isOption(arg, "-nosyncbake")) { viewer.flags |= ZE_VIEWER_NO_SYNC_BAKE; return 0; }
  if (isOption(arg, "-nolwchild")) { viewer.flags |= ZE_VIEWER_NO_LW_CHILD; return 0; }
  if (isOption(arg, "-noidleinactive")) { viewer.flags |= ZE_VIEWER_NO_IDLE_INACTIVE; return 0; }
  if (isOption(arg, "-display")) {
    int w, h;
    if (value && std::sscanf(value, "%dx%d", &w, &h) == 2) {
      display.width = w;
      display.height = h;
    }
    return 1;
  }
  if (isOption(arg, "-windowed")) { if (value) display.windowed = zeParseInt(value); return 1; }
  if (isOption(arg, "-windowpos")) {
    int x, y;
    if (value && std::sscanf(value, "%d,%d", &x, &y) == 2) {
      display.windowX = x;
      display.windowY = y;
    }
    return 1;
  }
  if (isOption(arg, "-stereo")) { if (value) display.stereo = zeParseInt(value); return 1; }
  if (isOption(arg, "-vsync")) { if (value) display.vsync = zeParseInt(value); return 1; }
  if (isOption(arg, "-userlog")) { plan.userLog = true; return 0; }
  if (isOption(arg, "-startpart")) { if (value) plan.startPart = zeParseInt(value); return 1; }
  if (isOption(arg, "-cap") || isOption(arg, "-capfps")) return 1;  // read by the capture pass
  return 0;  // unknown: skipped alone
}

}  // namespace

int zeParseInt(const char* text) {
  if (!text) return 0;
  return static_cast<int>(std::strtol(text, nullptr, 10));
}

ZeLaunchPlan zeParseCommandLine(int argc, const char* const* argv, const std::function<bool()>& isPackaged) {
  ZeLaunchPlan plan;

  if (argc >= 2 && std::strcmp(argv[1], "-binary") == 0) {
    plan.mode = ZeRunMode::SceneConversion;
    plan.viewer.flags = ZE_VIEWER_BASE | ZE_VIEWER_CONVERT | ZE_VIEWER_MUSIC;
    if (argc >= 3) {
      plan.path = argv[2];
      plan.hasPath = true;
    }
    return plan;
  }

  // A tool with exactly its arguments: OUTPUT SOURCE, or OUTPUT alone.
  if (const SZePackagingToolName* tool = argc >= 3 ? zeFindPackagingTool(argv[1]) : nullptr) {
    if (argc == (tool->takesSource ? 4 : 3)) {
      plan.mode = ZeRunMode::PackagingTool;
      plan.tool = tool->option;
      plan.toolArgs[0] = argv[2];
      if (tool->takesSource) plan.toolArgs[1] = argv[3];
      return plan;
    }
  }

  const bool packaged = isPackaged && isPackaged();
  if (packaged && argc == 2 && std::strcmp(argv[1], "-extract") == 0) {
    plan.mode = ZeRunMode::Extract;
    return plan;
  }

  captureOptions(argc, argv, plan);
  if (packaged) {
    plan.mode = ZeRunMode::Packaged;
    return plan;
  }

  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg[0] == '-') {
      i += mainOption(argc, argv, i, plan);
    } else if (!plan.hasPath) {
      plan.path = arg;
      plan.hasPath = true;
    }
  }
  plan.mode = plan.hasPath ? zeRunModeForFile(plan.path, plan.hasCaptureBase) : ZeRunMode::NoFile;
  return plan;
}
