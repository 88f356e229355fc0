#include "blenderScenes.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#include "support/programRun.h"

namespace zeblender {

namespace {

std::string quoted(const std::string& s) { return "'" + s + "'"; }

}  // namespace

std::string blenderPath() {
  if (const char* given = std::getenv("ZARN_BLENDER")) return access(given, X_OK) == 0 ? given : "";
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    const std::string candidate = (folder.empty() ? "." : folder) + "/blender";
    struct stat info;
    if (stat(candidate.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(candidate.c_str(), X_OK) == 0)
      return candidate;
  }
  return "";
}

std::string exporterPath() { return std::string(ZARN_SOURCE_DIR) + "/tools/blender/zarn_export.py"; }

BlenderRun runBlender(const std::string& blend, const std::string& script, const std::string& arguments) {
  const std::string command = quoted(blenderPath()) + " -b --factory-startup " +
                              (blend.empty() ? "" : quoted(blend) + " ") + "--python-exit-code 1 --python " +
                              quoted(script) + " -- " + arguments;
  const zetest::ProgramRun run = zetest::runProgram("/", "", command);
  return {run.exitCode, run.out};
}

bool makeScene(const std::string& folder, const std::string& mode, std::string* log) {
  const BlenderRun run = runBlender("", std::string(ZARN_SOURCE_DIR) + "/tests/tools/blender/make_scene.py",
                             quoted(folder) + " " + mode);
  *log = run.out;
  return run.exitCode == 0;
}

BlenderRun exportScene(const std::string& blend, const std::string& output, const std::string& options) {
  return runBlender(blend, exporterPath(), quoted(output) + " " + options);
}

bool Reference::load(const std::string& path) {
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream words(line);
    std::string kind, name, frame;
    words >> kind;
    std::string key = kind;
    if (kind == "matrix" || kind == "points") {
      words >> name >> frame;
      key += " " + name + " " + frame;
    } else if (kind == "surface") {
      words >> name;
      key += " " + name;
    } else {
      words >> frame;
      key += " " + frame;
    }
    std::vector<double> numbers;
    double v;
    while (words >> v) numbers.push_back(v);
    records_[key] = numbers;
  }
  return !records_.empty();
}

const std::vector<double>& Reference::get(const std::string& key) const {
  static const std::vector<double> none;
  const auto it = records_.find(key);
  return it == records_.end() ? none : it->second;
}

std::string makeFolder() {
  char name[] = "/tmp/zarn-blender-XXXXXX";
  return mkdtemp(name) ? name : "";
}

void removeFolder(const std::string& folder) {
  if (!folder.empty() && folder.rfind("/tmp/zarn-blender-", 0) == 0)
    std::system(("rm -rf '" + folder + "'").c_str());
}

}  // namespace zeblender
