#include "base/zeProgramInfo.h"

#include <cstdio>
#include <cstring>
#include <string>

// The library versions come from the very headers the build compiled
// against, not from what happens to be installed when the program runs.
#include <IrrCompileConfig.h>
#include <glslang/build_info.h>
#include <lua.h>

#include "zeBuildRevision.h"  // generated at build time

#define ZE_STRINGIFY_(x) #x
#define ZE_STRINGIFY(x) ZE_STRINGIFY_(x)

const char* zeVersionText(const char* program) {
  static std::string text;
  text = std::string(program ? program : "zarn") + " " + ZARN_VERSION;
  if (ZARN_SOURCE_REVISION[0]) text += std::string(" (revision ") + ZARN_SOURCE_REVISION + ")";
  text += "\nBuilt with Irrlicht " IRRLICHT_SDK_VERSION ", Lua " LUA_VERSION_MAJOR
          "." LUA_VERSION_MINOR "." LUA_VERSION_RELEASE ", glslang " ZE_STRINGIFY(GLSLANG_VERSION_MAJOR) "." ZE_STRINGIFY(
              GLSLANG_VERSION_MINOR) "." ZE_STRINGIFY(GLSLANG_VERSION_PATCH) "\n";
  return text.c_str();
}

int zeAnswerHelpOrVersion(int argc, char** argv, const char* program, const char* usage) {
  if (argc < 2 || !argv || !argv[1]) return -1;
  const char* arg = argv[1];
  if (std::strcmp(arg, "--help") == 0 || std::strcmp(arg, "-h") == 0) {
    std::fputs(usage, stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  if (std::strcmp(arg, "--version") == 0) {
    std::fputs(zeVersionText(program), stdout);
    return std::fflush(stdout) == 0 ? 0 : 1;
  }
  return -1;
}

int zeUsageError(const char* usage, int exitCode) {
  std::fputs(usage, stderr);
  return exitCode;
}
