// The application base directory and the search for shaders and textures in
// the engine's standard folders.
#include <cstdio>

#include "base/zeFile.h"
#include "base/zeFileHooksInternal.h"

namespace {
std::string baseDirectory;

const char* const standardFolders[] = {"shaders",      "shadersPP", "shadersPP2", "shadersSURF",
                                       "shadersSURF2", "shadersHV", "textures"};
}  // namespace

void zeSetBaseDirectory(const char* path) { baseDirectory = path ? path : ""; }
const char* zeGetBaseDirectory() { return baseDirectory.c_str(); }

const char* zeFindKnownFile(const char* name) {
  static std::string result;
  if (!name) return zeKeepResult(result, "");
  const std::string given = name;
  if (zeFileExists(given.c_str())) return zeKeepResult(result, given);
  for (const char* folder : standardFolders) {
    const std::string candidate = std::string(folder) + "/" + given;
    if (zeFileExists(candidate.c_str())) return zeKeepResult(result, candidate);
  }
  const std::string inBase = baseDirectory + given;
  if (zeFileExists(inBase.c_str())) return zeKeepResult(result, inBase);
  for (const char* folder : standardFolders) {
    const std::string candidate = baseDirectory + folder + "/" + given;
    if (zeFileExists(candidate.c_str())) return zeKeepResult(result, candidate);
  }
  return zeKeepResult(result, given);
}
