#include "app/zeEntry.h"

#include "app/zeFileKinds.h"
#include "app/zePackagingTools.h"

#include <cstdio>
#include <cstring>

#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "app/zeSysInit.h"
#include "app/zeUsage.h"
#include "base/zeProgramInfo.h"

namespace {

const char* const setupFileName = "zarn-setup.ini";

int notBuilt(const char* what) {
  zeNotBuilt(what);
  return -1;
}

// Front ends and tools report their own failures; the exit code only says
// whether the run worked.
int exitCodeOf(int frontEndResult) { return frontEndResult == 0 ? 0 : -1; }

std::string sideArchivePath() {
  return std::string(zeProgramDirectory()) + zePathFileName(zeProgramPath(), false) + ".dat";
}

bool sideArchiveExists() {
  FILE* f = std::fopen(sideArchivePath().c_str(), "rb");
  if (!f) return false;
  std::fclose(f);
  return true;
}

bool carriesArchive(const ZeRunModes& modes) { return modes.carriesArchive && modes.carriesArchive(); }

int readSetup(const ZeRunModes& modes, const char* appDirectory, const DisplayOverrides* overrides,
              bool offerDialog) {
  if (!modes.readSetup) return notBuilt("Reading the setup file and starting the engine");
  return modes.readSetup(setupFileName, appDirectory, overrides, offerDialog);
}

void stopEngine(const ZeRunModes& modes) {
  if (modes.engineStop) modes.engineStop();
}

// Plays what a packaged production carries: a demo, a scene or a script.
int runPackaged(const ZeRunModes& modes, const ZeLaunchPlan& plan, std::vector<std::uint8_t>* archive) {
  if (carriesArchive(modes)) {
    if (!modes.loadCarriedArchive || !modes.loadCarriedArchive(archive)) {
      zeReportError("Failed to load resources from executable");
      return -1;
    }
    if (zeMountArchiveMemory(archive->data(), static_cast<long>(archive->size())) != 0) return -1;
  } else if (sideArchiveExists()) {
    if (zeMountArchiveFile(sideArchivePath().c_str()) != 0) return -1;
  } else {
    zeReportError("Resources don't exist");
    return -1;
  }
  zeSetBaseDirectory("/");
  if (readSetup(modes, "/", nullptr, true) != 0) return -1;

  int result = 0;
  if (zeFileExists("zarn.demo.ini")) {
    if (plan.hasCaptureBase) {
      result = modes.demoCapture ? modes.demoCapture("zarn.demo.ini", -1, plan.captureBase.c_str(), plan.captureFps)
                                 : notBuilt("The demo capture");
    } else {
      result = modes.demoPlayer ? modes.demoPlayer("zarn.demo.ini", -1) : notBuilt("The demo player");
    }
  } else if (zeFileExists("zarn.zscn")) {
    ViewerOptions options;
    options.flags = 0;
    result = modes.sceneViewer ? modes.sceneViewer("zarn.zscn", &options) : notBuilt("The scene viewer");
  } else if (zeFileExists("main.lua")) {
    result = modes.scriptRunner ? modes.scriptRunner("main.lua", 1) : notBuilt("The script runner");
  }
  stopEngine(modes);
  return result;
}

}  // namespace

int zeRunEntry(int argc, char** argv, const ZeRunModes& modes) {
  // --help, -h and --version as first argument: no option or file of the
  // engine's own command line looks like them.
  const int answered = zeAnswerHelpOrVersion(argc, argv, "zarn", zeUsageText());
  if (answered >= 0) return answered;

  if (zeSysInit(argc, argv) != 0) {
    std::fputs("zeSysInit Failed\n", stdout);
    return -1;
  }

  auto isPackaged = [&modes] { return carriesArchive(modes) || sideArchiveExists(); };
  ZeLaunchPlan plan = zeParseCommandLine(argc, argv, isPackaged);
  if (plan.userLog) {
    zeSetMessageThreshold(ZE_WARN);
    zeDisableMessageBoxes();
  }

  switch (plan.mode) {
    case ZeRunMode::SceneConversion: {
      if (!modes.sceneViewer) return notBuilt("The scene viewer");
      return exitCodeOf(modes.sceneViewer(plan.hasPath ? plan.path.c_str() : nullptr, &plan.viewer));
    }
    case ZeRunMode::PackagingTool: {
      if (!modes.packagingTool) return notBuilt("Packaging");
      const SZePackagingToolName* tool = zeFindPackagingTool(plan.tool.c_str());
      const char* source = tool && tool->takesSource ? plan.toolArgs[1].c_str() : nullptr;
      return exitCodeOf(modes.packagingTool(plan.tool.c_str(), plan.toolArgs[0].c_str(), source));
    }
    case ZeRunMode::Extract:
      if (!modes.extractArchive) return notBuilt("Archive extraction");
      return exitCodeOf(modes.extractArchive());
    case ZeRunMode::Packaged: {
      std::vector<std::uint8_t> archive;  // must outlive the mount
      return exitCodeOf(runPackaged(modes, plan, &archive));
    }
    default:
      break;
  }

  if (plan.mode == ZeRunMode::NoFile) {
    // Without a display the chooser would cancel at once and the run end
    // silently; a hint says what to do instead.
    if (!modes.chooseFile && !zeInteractive()) {
      std::fputs(zeNoFileHint(), stderr);
      return -1;
    }
    const char* chosen = modes.chooseFile ? modes.chooseFile("Open Zarn file", zeSupportedFileFilters())
                                          : zeChooseFile("Open Zarn file", zeSupportedFileFilters());
    if (!chosen) return -1;
    plan.path = chosen;
    plan.hasPath = true;
    plan.mode = zeRunModeForFile(plan.path, plan.hasCaptureBase);
  }

  if (plan.mode == ZeRunMode::Unsupported) {
    zeReportError("File format of '%s' is not supported", plan.path.c_str());
    return -1;
  }

  if (plan.mode == ZeRunMode::Script) {
    zeSetBaseDirectory(zeProgramDirectory());
    if (!modes.scriptRunner) return notBuilt("The script runner");
    return exitCodeOf(modes.scriptRunner(plan.path.c_str(), 0));
  }

  // Object viewer, scene viewer and demos need the engine running first; a
  // front end that is not built says so before any window opens.
  using FrontEnd = std::function<int()>;
  FrontEnd frontEnd;
  const char* frontEndName = nullptr;
  const char* path = plan.path.c_str();
  switch (plan.mode) {
    case ZeRunMode::ObjectViewer:
      frontEndName = "The object viewer";
      if (modes.objectViewer) frontEnd = [&] { return modes.objectViewer(path); };
      break;
    case ZeRunMode::SceneViewer:
      frontEndName = "The scene viewer";
      if (modes.sceneViewer) frontEnd = [&] { return modes.sceneViewer(path, &plan.viewer); };
      break;
    case ZeRunMode::DemoCapture:
      frontEndName = "The demo capture";
      if (modes.demoCapture)
        frontEnd = [&] { return modes.demoCapture(path, plan.startPart, plan.captureBase.c_str(), plan.captureFps); };
      break;
    case ZeRunMode::DemoPlayer:
      frontEndName = "The demo player";
      if (modes.demoPlayer) frontEnd = [&] { return modes.demoPlayer(path, plan.startPart); };
      break;
    default:
      break;
  }
  if (!frontEnd) return notBuilt(frontEndName ? frontEndName : "This run mode");

  const bool isDemo = plan.mode == ZeRunMode::DemoPlayer || plan.mode == ZeRunMode::DemoCapture;
  if (readSetup(modes, zeProgramDirectory(), &plan.display, isDemo) != 0) return -1;
  if (modes.showWindow) modes.showWindow();

  const int result = frontEnd();
  stopEngine(modes);
  return exitCodeOf(result);
}
