#include "packaging/zeDemoSources.h"

#include <strings.h>

#include "demo/zeDemo.h"

ZeDemoSourcesResult zeReadDemoSources(const char* path, ZeDemoSources* out) {
  *out = ZeDemoSources();
  ZeDemo demo;
  // A definition without parts still names its directories: packaging takes it.
  if (zeDemoParse(path, &demo) == ZE_DEMO_UNREADABLE) return ZE_DEMO_SOURCES_UNREADABLE;
  out->shadersDirectory = demo.shadersDirectory;
  out->musicDirectory = demo.musicDirectory;
  auto add = [&](const std::string& directory) {
    if (directory.empty()) return true;
    for (const std::string& d : out->sceneDirectories)
      if (strcasecmp(d.c_str(), directory.c_str()) == 0) return true;
    if (static_cast<int>(out->sceneDirectories.size()) >= ZE_DEMO_MAX_DIRECTORIES) return false;
    out->sceneDirectories.push_back(directory);
    return true;
  };
  for (const ZeDemoPart& part : demo.parts) {
    if (!add(part.directory)) return ZE_DEMO_SOURCES_TOO_MANY;
    for (const ZeDemoExtra& extra : part.extras)
      if (!add(extra.directory)) return ZE_DEMO_SOURCES_TOO_MANY;
  }
  return ZE_DEMO_SOURCES_OK;
}
