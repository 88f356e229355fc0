#include "packaging/zeDemoSources.h"

#include <strings.h>

#include <cstdio>
#include <cstring>

#include "app/zeIni.h"

namespace {

// The definition's numbered entries run from 0 to 19; a part takes at most
// 15 complete extra scenes.
constexpr int maxNumbered = 20;
constexpr int maxExtras = 15;

std::string value(dictionary* ini, const std::string& key) {
  const char* v = iniparser_getstring(ini, key.c_str(), nullptr);
  return v ? v : "";
}

bool has(dictionary* ini, const std::string& key) { return iniparser_find_entry(ini, key.c_str()) != 0; }

}  // namespace

ZeDemoSourcesResult zeReadDemoSources(const char* path, ZeDemoSources* out) {
  *out = ZeDemoSources();
  dictionary* ini = zeIniLoad(path);
  if (!ini) return ZE_DEMO_SOURCES_UNREADABLE;
  out->shadersDirectory = value(ini, "setup:shadersdirectory");
  out->musicDirectory = value(ini, "setup:musicdirectory");

  ZeDemoSourcesResult result = ZE_DEMO_SOURCES_OK;
  auto add = [&](const std::string& directory) {
    if (directory.empty()) return;
    for (const std::string& d : out->sceneDirectories)
      if (strcasecmp(d.c_str(), directory.c_str()) == 0) return;
    if (static_cast<int>(out->sceneDirectories.size()) >= ZE_DEMO_MAX_DIRECTORIES) {
      result = ZE_DEMO_SOURCES_TOO_MANY;
      return;
    }
    out->sceneDirectories.push_back(directory);
  };

  const int sections = iniparser_getnsec(ini);
  for (int s = 0; s < sections && result == ZE_DEMO_SOURCES_OK; ++s) {
    const char* name = iniparser_getsecname(ini, s);
    if (!name || !std::strstr(name, "part")) continue;
    const std::string part = name;
    add(value(ini, part + ":directory"));
    int extras = 0;
    for (int n = 0; n < maxNumbered && extras < maxExtras; ++n) {
      const std::string prefix = part + ":extra." + std::to_string(n) + ".";
      if (!has(ini, prefix + "directory") || !has(ini, prefix + "filename")) continue;
      ++extras;
      add(value(ini, prefix + "directory"));
    }
  }
  iniparser_freedict(ini);
  return result;
}
