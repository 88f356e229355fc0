#include "app/zeSysInit.h"

#include <dlfcn.h>
#include <limits.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/zePath.h"

namespace {
std::string programPath;
std::string programDirectory;
int argCount = 0;
char** argList = nullptr;

std::string executableFromProc() {
  char buffer[PATH_MAX];
  const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return {};
  buffer[n] = '\0';
  return buffer;
}
}  // namespace

int zeSysInit(int argc, char** argv) {
  // A bare name was found through PATH; only the kernel knows where it lives.
  if (argc >= 1 && argv && argv[0] && std::strchr(argv[0], '/')) {
    char cwd[PATH_MAX];
    const std::string base = ::getcwd(cwd, sizeof cwd) ? cwd : "";
    programPath = zePathFold(zePathJoin(base, argv[0]));
    // Started through a symbolic link (bin/zarn of an installation), the
    // program directory must still be the one holding the engine's folders.
    char resolved[PATH_MAX];
    if (::realpath(programPath.c_str(), resolved)) programPath = resolved;
  } else {
    programPath = executableFromProc();
  }
  programDirectory = zePathDirectory(programPath);

  Dl_info info;
  if (!::dladdr(reinterpret_cast<void*>(&zeSysInit), &info) || !info.dli_fname) {
    std::fprintf(stderr, "GetModuleHandleExA returned %d\n", errno);
    return -1;
  }
  // -console needs nothing here: standard streams already reach the terminal.
  argCount = argc;
  argList = argv;
  return 0;
}

const char* zeProgramPath() { return programPath.c_str(); }
const char* zeProgramDirectory() { return programDirectory.c_str(); }
int zeArgCount() { return argCount; }
char** zeArgList() { return argList; }
