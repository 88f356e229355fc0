// A Lua state with the `ze` table over the engine as the executable wires it
// (NULL driver in headless runs), and a way to run a snippet.
#pragma once

#include <gtest/gtest.h>

#include <string>

struct lua_State;

// "ok", "ok <value>" (the snippet's first result as tostring gives it), or
// "error <message>".
std::string runSnippet(lua_State* L, const std::string& code);

class ScriptTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite();
  void SetUp() override;
  void TearDown() override;
  std::string run(const std::string& code) { return runSnippet(L, code); }
  lua_State* L = nullptr;
};

// A fresh temporary directory.
std::string scriptTempDirectory();
void writeScriptFile(const std::string& path, const std::string& text);
