#include "script/zeScriptHost.h"

#include <lua.hpp>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "script/zeScriptCommand.h"

lua_State* zeOpenScriptState() {
  lua_State* L = luaL_newstate();
  if (!L) return nullptr;
  luaL_openlibs(L);
  zeScriptSetEngineCheck(zeEngineRunning);
  int count = 0;
  const ZeScriptCommand* commands = zeScriptCommands(&count);
  zeScriptOpenTable(L, commands, count);
  return L;
}

void zeCloseScriptState(lua_State* L) {
  if (!L) return;
  zeScriptCommandsRelease(L);
  lua_close(L);
}

int zeRunScript(const char* path, int packaged) {
  // The script's own directory is where its relative names start.
  std::string name = path ? path : "";
  if (!packaged) {
    const std::string absolute = zeAbsolutePath(name.c_str());
    const std::string directory = zeDirectoryOf(absolute.c_str());
    // Both the process (Lua's own file loader and io library) and the file
    // hooks (every engine load) start from there.
    if (!directory.empty() && ::chdir(directory.c_str()) == 0) zeSetWorkingDirectory(directory.c_str());
    name = zeFileName(absolute.c_str(), true);
  }
  // Failures reach the script as Lua errors, not as log lines or boxes.
  zeSetMessageThreshold(ZE_NONE);
  zeDisableMessageBoxes();

  lua_State* L = zeOpenScriptState();
  if (!L) {
    std::fprintf(stderr, "cannot create a Lua state\n");
    zeEngineStop();
    return -1;
  }
  int status;
  std::string bytes;
  if (packaged) {
    if (!zeFileReadAll(name.c_str(), &bytes)) {
      std::fprintf(stderr, "cannot load %s\n", name.c_str());
      zeCloseScriptState(L);
      zeEngineStop();
      return -1;
    }
    status = luaL_loadbuffer(L, bytes.data(), bytes.size(), "mem");
  } else {
    status = luaL_loadfile(L, name.c_str());
  }
  // The chunk runs protected: its errors end here, never unwinding this frame.
  if (status == LUA_OK) status = lua_pcall(L, 0, LUA_MULTRET, 0);
  if (status != LUA_OK) {
    const char* text = lua_tostring(L, -1);
    std::fprintf(stderr, "%s\n", text ? text : luaL_typename(L, -1));
    std::fflush(stderr);
    lua_pop(L, 1);
  }
  zeCloseScriptState(L);
  zeEngineStop();
  return status;
}
