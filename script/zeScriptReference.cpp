#include "script/zeScriptReference.h"

#include <cstring>

namespace {

const char* kindName(char kind) {
  switch (kind) {
    case 'i': return "integer";
    case 'n': return "number";
    case 's': return "string";
    case 'b': return "boolean";
    case 'f': return "function";
    case 't': return "values...";
    case 'N': return "numbers (1 to 16)";
    case 'I': return "{integer}";
    case 'F': return "{number}";
  }
  return "?";
}

// "i:id n:x | b:flag" -> "id: integer, x: number, [flag: boolean]"
std::string arguments(const char* notation) {
  std::string out;
  bool optional = false;
  for (const char* p = notation; *p;) {
    while (*p == ' ') ++p;
    if (!*p) break;
    if (*p == '|') {
      optional = true;
      ++p;
      continue;
    }
    const char* end = std::strchr(p, ' ');
    if (!end) end = p + std::strlen(p);
    const std::string token(p, end);
    const std::string name = token.size() > 2 ? token.substr(2) : token;
    if (!out.empty()) out += ", ";
    out += (optional ? "[" : "") + name + ": " + kindName(token[0]) + (optional ? "]" : "");
    p = end;
  }
  return out;
}

const char* resultName(ZeScriptResultKind kind) {
  switch (kind) {
    case ZE_RESULT_NONE: return "";
    case ZE_RESULT_BOOL: return "boolean";
    case ZE_RESULT_INT: return "integer";
    case ZE_RESULT_REAL: return "number";
    case ZE_RESULT_TEXT: return "string or nil";
    case ZE_RESULT_INT2: return "integer, integer";
  }
  return "";
}

std::string status(unsigned flags) {
  if (flags & ZE_CMD_NOT_IMPLEMENTED) return "not implemented";
  if (flags & ZE_CMD_NOT_BUILT) return "not built yet";
  std::string out;
  if (flags & ZE_CMD_NO_EFFECT) out = "no effect";
  if (flags & ZE_CMD_NO_ENGINE_CHECK) out += out.empty() ? "before Setup" : ", before Setup";
  return out;
}

}  // namespace

std::string zeScriptReference(const ZeScriptCommand* commands, int count) {
  std::string out =
      "# Script command reference\n\n"
      "Generated from the command table (`script/zeScriptCommands.cpp`) by\n"
      "`zarn-luaref > docs/lua-reference.md`; a test fails when this file is out of date.\n\n"
      "Every command lives in the global table `ze` (`ze.LoadObject(\"ship.x\", 1)`).\n"
      "Unless marked \"before Setup\", a command raises \"calling '<name>' without Setup first\"\n"
      "while the engine is stopped. \"not implemented\" commands raise \"the function is not\n"
      "implemented\" (argument -1), \"not built yet\" commands \"<name>: not built yet\" (argument -1);\n"
      "\"ride camera\" commands raise \"the function is not implemented\" until the ride camera is\n"
      "joined to the script layer. See docs/scripting.md for the conventions.\n";
  const char* group = nullptr;
  for (int k = 0; k < count; ++k) {
    const ZeScriptCommand& c = commands[k];
    if (!group || std::strcmp(group, c.group) != 0) {
      group = c.group;
      out += std::string("\n## ") + group + "\n\n| command | arguments | result | status | what it does |\n|---|---|---|---|---|\n";
    }
    out += std::string("| `") + c.name + "` | " + arguments(c.args) + " | " + resultName(c.result) + " | " +
           status(c.flags) + " | " + c.doc + " |\n";
  }
  return out;
}
