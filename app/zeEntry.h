// The program entry: reads the command line, prepares the engine where the
// mode needs it, hands control to one front end and shuts the engine down.
//
// Front ends and tools are reached through ZeRunModes, the one dispatch seam:
// the executable fills it with what is built; an empty slot reports plainly
// that the mode is not built yet and the run fails.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "app/zeCommandLine.h"
#include "app/zeFileChooser.h"

struct ZeRunModes {
  // Setup reader: setup file name, application directory, overrides (or
  // nullptr), offer the display dialog. 0 or -1; starts the engine.
  std::function<int(const char* setupFile, const char* appDirectory, const DisplayOverrides* overrides,
                    bool offerDisplayDialog)>
      readSetup;
  std::function<void()> engineStop;
  // After a successful setup: show the device window normally, un-minimised.
  std::function<void()> showWindow;

  std::function<int(const char* path)> objectViewer;
  std::function<int(const char* path, ViewerOptions* options)> sceneViewer;  // path may be nullptr
  std::function<int(const char* path, int startPart)> demoPlayer;
  std::function<int(const char* path, int startPart, const char* baseName, float fps)> demoCapture;
  std::function<int(const char* path, int packaged)> scriptRunner;
  // tool option ("-demoexe", ... "-exersc"), output, source (nullptr for -exersc)
  std::function<int(const char* tool, const char* output, const char* source)> packagingTool;
  std::function<int()> extractArchive;

  // The archive carried inside the executable: whether there is one, and
  // loading it (unscrambled) into memory.
  std::function<bool()> carriesArchive;
  std::function<bool(std::vector<std::uint8_t>* archive)> loadCarriedArchive;

  std::function<const char*(const char* title, const ZeFileFilters& filters)> chooseFile;
};

// The run modes this build has; the unbuilt ones stay empty.
ZeRunModes zeBuiltRunModes();

// Runs the program. Returns the process exit code: 0 on success, -1 when no
// file was chosen, the file type is unsupported, setup failed, or the front
// end or tool failed.
int zeRunEntry(int argc, char** argv, const ZeRunModes& modes);
