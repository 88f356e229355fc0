// The dispatcher alone, built with AddressSanitizer, over a recording engine
// layer whose calls hold C++ objects with heap memory. Every error path
// (engine check, argument checks, strict booleans, arrays, joined text, varying
// reals, kept errors, failures, not implemented) is taken many times; a C++
// destructor skipped by a Lua error would leave `live` above zero and its
// memory to the leak check at exit.
#include <gtest/gtest.h>
#include <lua.hpp>

#include <string>
#include <vector>

#include "base/zeMessage.h"
#include "script/zeScriptCommand.h"

namespace {

int live = 0;
bool engineOn = true;
std::vector<std::string> calls;

struct Held {
  std::string text = std::string(256, 'h');
  std::vector<int> numbers = std::vector<int>(64, 1);
  Held() { ++live; }
  ~Held() { --live; }
};

#define FN [](ZeScriptArgs & a, ZeScriptResult & r)

const ZeScriptCommand recording[] = {
    {"Make", "i:id s:name", ZE_RESULT_INT, 0,
     FN {
       Held held;
       calls.push_back("Make " + std::to_string(a.i[0]) + " " + a.s[1]);
       if (a.i[0] < 0) zeReportArgError(1, "Thing ID %lld does not exist. %s", a.i[0], held.text.c_str());
       r.i = static_cast<long long>(held.numbers.size());
     },
     "Records a creation; a negative id is a kept error.", "Test"},
    {"Fail", "s:why", ZE_RESULT_NONE, 0,
     FN {
       Held held;
       r.fail(0, "%s %s", a.s[0], held.text.substr(0, 3).c_str());
     },
     "Fails with a message.", "Test"},
    {"Flag", "b:on", ZE_RESULT_BOOL, 0, FN { Held held; r.b = a.b[0]; }, "Echoes a boolean.", "Test"},
    {"Morph", "i:id I:indices F:weights", ZE_RESULT_INT, 0,
     FN {
       Held held;
       r.i = a.intCount + a.realCount;
     },
     "Counts array elements.", "Test"},
    {"Say", "n:x t:text", ZE_RESULT_TEXT, 0,
     FN {
       Held held;
       calls.push_back(a.text);
       r.s = a.text;
     },
     "Joins text.", "Test"},
    {"Floats", "i:id s:name N:values", ZE_RESULT_INT, 0, FN { Held held; r.i = a.floatCount; }, "Counts reals.", "Test"},
    {"Missing", "", ZE_RESULT_NONE, ZE_CMD_NOT_IMPLEMENTED, nullptr, "Not implemented.", "Test"},
    {"Free", "", ZE_RESULT_BOOL, ZE_CMD_NO_ENGINE_CHECK, FN { Held held; r.b = true; }, "No engine check.", "Test"},
};

TEST(ScriptErrorPaths, NoDestructorIsSkippedAndNothingLeaks) {
  zeResetMessageState();
  zeSetMessageThreshold(ZE_NONE);
  zeScriptSetEngineCheck([] { return engineOn; });
  lua_State* L = luaL_newstate();
  luaL_openlibs(L);
  zeScriptOpenTable(L, recording, static_cast<int>(sizeof recording / sizeof recording[0]));
  const char* script = R"(
    local failures, results = 0, 0
    local big = {} for k = 1, 65 do big[k] = k end
    local odd = setmetatable({}, {__tostring = function() error("tostring fails") end})
    local attempts = {
      function() return ze.Make(-1, "x") end,            -- kept error
      function() return ze.Make("no", "x") end,          -- integer check
      function() return ze.Make(1) end,                  -- missing text
      function() return ze.Fail("failed") end,           -- failure after the call
      function() return ze.Flag(1) end,                  -- strict boolean
      function() return ze.Morph(1, big, big) end,       -- over capacity
      function() return ze.Morph(1, {1, "x"}, {}) end,   -- bad element
      function() return ze.Morph(1, {}, 7) end,          -- not a table
      function() return ze.Say(0, "a", odd) end,         -- tostring raises
      function() return ze.Floats(1, "c", 1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17) end,
      function() return ze.Missing() end,                -- not implemented
      function() return ze.Make(1, "ok") end,            -- succeeds
      function() return ze.Say(1, "joined", 2, true, nil) end,
    }
    for round = 1, 200 do
      for _, f in ipairs(attempts) do
        if pcall(f) then results = results + 1 else failures = failures + 1 end
      end
    end
    return failures, results
  )";
  ASSERT_EQ(luaL_loadstring(L, script), LUA_OK);
  ASSERT_EQ(lua_pcall(L, 0, 2, 0), LUA_OK) << lua_tostring(L, -1);
  EXPECT_EQ(lua_tointeger(L, -2), 200 * 11);
  EXPECT_EQ(lua_tointeger(L, -1), 200 * 2);
  lua_pop(L, 2);
  EXPECT_EQ(live, 0) << "every call's objects were destroyed before its error was raised";
  int kept = 0;
  EXPECT_EQ(zeGetLastError(&kept), nullptr);
  EXPECT_EQ(calls.back(), "joined 2 true nil");

  // The engine check raises before any argument is read or any call is made.
  engineOn = false;
  const std::size_t before = calls.size();
  ASSERT_NE(luaL_dostring(L, "ze.Make(-1, 'x')"), LUA_OK);
  EXPECT_STREQ(lua_tostring(L, -1), "[string \"ze.Make(-1, 'x')\"]:1: calling 'Make' without Setup first");
  lua_pop(L, 1);
  EXPECT_EQ(calls.size(), before);
  ASSERT_EQ(luaL_dostring(L, "return ze.Free()"), LUA_OK);
  EXPECT_TRUE(lua_toboolean(L, -1));
  lua_close(L);
  EXPECT_EQ(live, 0);
}

}  // namespace
