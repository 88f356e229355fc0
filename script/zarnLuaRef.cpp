// Writes the command reference to standard output:
//   zarn-luaref > docs/lua-reference.md
#include <cstdio>

#include "script/zeScriptReference.h"

int main() {
  int count = 0;
  const ZeScriptCommand* commands = zeScriptCommands(&count);
  const std::string text = zeScriptReference(commands, count);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}
