#include "scriptFixture.h"

#include <lua.hpp>

#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeEntry.h"
#include "base/zeMessage.h"
#include "script/zeScriptHost.h"

std::string runSnippet(lua_State* L, const std::string& code) {
  const int top = lua_gettop(L);
  std::string out;
  if (luaL_loadstring(L, code.c_str()) != LUA_OK || lua_pcall(L, 0, 1, 0) != LUA_OK) {
    std::string message = lua_tostring(L, -1) ? lua_tostring(L, -1) : "?";
    // The snippet's own location ("[string \"...\"]:1: ") says nothing here.
    const std::size_t end = message.rfind("\"]:1: ");
    if (message.rfind("[string", 0) == 0 && end != std::string::npos) message = message.substr(end + 6);
    out = "error " + message;
  } else if (lua_isnil(L, -1)) {
    out = "ok";
  } else {
    out = std::string("ok ") + luaL_tolstring(L, -1, nullptr);
    lua_pop(L, 1);
  }
  lua_settop(L, top);
  return out;
}

void ScriptTest::SetUpTestSuite() {
  static bool registered = false;
  if (!registered) zeBuiltRunModes();
  registered = true;
}

void ScriptTest::SetUp() {
  zeResetMessageState();
  zeSetMessageThreshold(ZE_NONE);
  zeEventReceiver().reset();
  L = zeOpenScriptState();
  ASSERT_NE(L, nullptr);
}

void ScriptTest::TearDown() {
  zeCloseScriptState(L);
  zeEngineStop();
  zeClearLastError();
}

