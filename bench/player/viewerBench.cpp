#include "bench/player/viewerBench.h"

#include <unistd.h>

#include <filesystem>
#include <system_error>

#include "app/zeEngine.h"
#include "app/zeEntry.h"
#include "base/zeMessage.h"

namespace {

// The program's folder as the engine expects it: the standard shaders beside
// it, and room for the shader cache outside the source tree.
const std::string& benchBase() {
  static std::string base;
  if (base.empty()) {
    namespace fs = std::filesystem;
    std::error_code error;
    const fs::path folder = fs::temp_directory_path() / ("zarn-viewer-bench-base-" + std::to_string(::getpid()));
    fs::create_directories(folder, error);
    fs::copy(fs::path(ZARN_SOURCE_DIR) / "data", folder, fs::copy_options::recursive | fs::copy_options::skip_existing,
             error);
    base = folder.string() + "/";
  }
  return base;
}

}  // namespace

bool startViewerEngine(int width, int height, const char** reason) {
  static bool registered = false;
  if (!registered) {
    zeBuiltRunModes();  // the same slots and start steps as the program
    registered = true;
  }
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  ZeEngineSettings s;
  s.baseDirectory = benchBase().c_str();
  s.width = width;
  s.height = height;
  s.windowed = 1;
  s.vsync = 0;
  if (zeEngineStart(s) == 0) return true;
  *reason = zeStartFailureReason();
  return false;
}

std::string copyExampleSceneForBench() {
  namespace fs = std::filesystem;
  std::error_code error;
  const fs::path folder = fs::temp_directory_path() / ("zarn-viewer-bench-" + std::to_string(::getpid()));
  fs::remove_all(folder, error);
  fs::create_directories(folder, error);
  fs::copy(fs::path(ZARN_SOURCE_DIR) / "examples" / "scene", folder, fs::copy_options::recursive, error);
  return error ? std::string() : folder.string();
}

void removeBenchFolder(const std::string& folder) {
  std::error_code error;
  if (!folder.empty()) std::filesystem::remove_all(folder, error);
}
