#include "player/zeViewerShaderWatch.h"

#include <sys/stat.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "app/zeFrame.h"
#include "services/zeWatch.h"
#include "base/zePath.h"

namespace {

const char* const kFolders[] = {"shaders", "shadersHV", "shadersPP", "shadersPP2", "shadersSURF", "shadersSURF2"};
constexpr int kCount = 6;
constexpr int kMaxPaths = 100;
constexpr int kSettleMs = 200;  // editors write in several steps
bool watching[kCount] = {};

}  // namespace

int zeViewerShaderWatchStart(const char* baseDirectory) {
  const std::string base = baseDirectory ? baseDirectory : "";
  int started = 0;
  for (int i = 0; i < kCount; ++i) {
    const std::string folder = zePathJoin(base, kFolders[i]);
    struct stat info {};
    watching[i] = stat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && zeFolderWatchCreate(folder.c_str(), i) == 0;
    if (watching[i]) ++started;
  }
  return started;
}

int zeViewerShaderWatchPoll() {
  bool any = false;
  for (int i = 0; i < kCount; ++i) any = any || (watching[i] && zeFolderWatchHasChanges(i) == 1);
  if (!any) return 0;
  std::this_thread::sleep_for(std::chrono::milliseconds(kSettleMs));
  std::vector<std::string> paths;
  for (int i = 0; i < kCount; ++i) {
    if (!watching[i]) continue;
    const char* const* list = nullptr;
    const int n = zeGetFolderWatchChanges(i, &list);
    for (int j = 0; j < n && static_cast<int>(paths.size()) < kMaxPaths; ++j) paths.emplace_back(list[j]);
  }
  std::vector<const char*> names;
  for (const std::string& p : paths) names.push_back(p.c_str());
  zeShaderHotReload(static_cast<int>(names.size()), names.data());
  for (int i = 0; i < kCount; ++i)
    if (watching[i]) zeFolderWatchReset(i);
  return static_cast<int>(names.size());
}

void zeViewerShaderWatchStop() {
  for (int i = 0; i < kCount; ++i) {
    if (watching[i]) zeFolderWatchDelete(i);
    watching[i] = false;
  }
}
