// What packaging needs to know of a demo definition: the directories of its
// scenes, its shaders directory and its music directory, as the demo
// definition reader (demo/zeDemo.h) parses it.
#pragma once

#include <string>
#include <vector>

struct ZeDemoSources {
  // Directories of every part and of every complete extra scene entry, in
  // order, empty ones and case-insensitive duplicates left out.
  std::vector<std::string> sceneDirectories;
  std::string shadersDirectory;
  std::string musicDirectory;
};

enum ZeDemoSourcesResult { ZE_DEMO_SOURCES_OK = 0, ZE_DEMO_SOURCES_UNREADABLE = -1, ZE_DEMO_SOURCES_TOO_MANY = -2 };

// The directories of a demo definition: at most `maxDirectories` scene
// directories (more is TOO_MANY).
using ZeDemoSourcesReader = ZeDemoSourcesResult (*)(const char* path, ZeDemoSources* out);
ZeDemoSourcesResult zeReadDemoSources(const char* path, ZeDemoSources* out);

constexpr int ZE_DEMO_MAX_DIRECTORIES = 255;
