#include "app/zeFileKinds.h"

#include <strings.h>

const SZeFileKind kZeFileKinds[] = {
    {".demo.ini", true, ZeRunMode::DemoPlayer, "Zarn Demo (.demo.ini)"},
    {".lws.ini", true, ZeRunMode::SceneViewer, "Zarn Scene (.zscn, .zarn, .lws.ini)"},
    {".zscn", false, ZeRunMode::SceneViewer, "Zarn Scene (.zscn, .zarn, .lws.ini)"},
    {".zarn", false, ZeRunMode::SceneViewer, "Zarn Scene (.zscn, .zarn, .lws.ini)"},
    {".lws", false, ZeRunMode::SceneViewer, "LightWave Scene (.lws)"},
    {".x", false, ZeRunMode::ObjectViewer, "Object (.x, .lwo, .obj)"},
    {".lwo", false, ZeRunMode::ObjectViewer, "Object (.x, .lwo, .obj)"},
    {".obj", false, ZeRunMode::ObjectViewer, "Object (.x, .lwo, .obj)"},
    {".lua", false, ZeRunMode::Script, "Lua script (.lua, .zlua)"},
    {".zlua", false, ZeRunMode::Script, "Lua script (.lua, .zlua)"},
};
const int kZeFileKindCount = int(sizeof kZeFileKinds / sizeof kZeFileKinds[0]);

ZeRunMode zeRunModeForFile(const std::string& path, bool hasCaptureBase) {
  // Names holding a double ending (".demo.ini") are found first.
  for (const SZeFileKind& kind : kZeFileKinds)
    if (kind.anywhere && path.find(kind.ending) != std::string::npos)
      return kind.mode == ZeRunMode::DemoPlayer && hasCaptureBase ? ZeRunMode::DemoCapture : kind.mode;
  const std::size_t dot = path.rfind('.');
  if (dot == std::string::npos) return ZeRunMode::Unsupported;
  for (const SZeFileKind& kind : kZeFileKinds)
    if (!kind.anywhere && ::strcasecmp(path.c_str() + dot, kind.ending) == 0) return kind.mode;
  return ZeRunMode::Unsupported;
}

const ZeFileFilters& zeSupportedFileFilters() {
  static const ZeFileFilters filters = [] {
    ZeFileFilters f;
    std::string all;
    for (const SZeFileKind& kind : kZeFileKinds) {
      const std::string pattern = std::string("*") + kind.ending;
      all += (all.empty() ? "" : ";") + pattern;
      bool grouped = false;
      for (auto& group : f)
        if (group.first == kind.group) {
          group.second += ";" + pattern;
          grouped = true;
        }
      if (!grouped) f.emplace_back(kind.group, pattern);
    }
    f.insert(f.begin(), {"All supported", all});
    f.emplace_back("All", "*.*");
    return f;
  }();
  return filters;
}
