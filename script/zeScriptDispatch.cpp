// The one dispatcher behind every command of the `ze` table.
//
// Longjmp discipline: this file holds no object with a destructor in any frame
// that raises a Lua error. Arguments land in plain records, the row's call
// runs to its end (its C++ temporaries die with it), and only then may this
// frame raise.
#include "script/zeScriptCommand.h"

#include <lua.hpp>

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/zeMessage.h"

namespace {

// Text of an error raised after a call (the kept error is copied here before
// the channel is cleared, so the text survives until Lua copies it).
char errorText[ZE_TEXT_SIZE];
// Joined text of Text, TextWidth, TextHeight and MessageBox.
char joinedText[ZE_TEXT_SIZE];

ZeScriptEngineCheck engineCheck = nullptr;

enum ArgKind : unsigned char {
  KIND_INT, KIND_REAL, KIND_TEXT, KIND_BOOL, KIND_FUNCTION, KIND_JOINED, KIND_FLOATS, KIND_INT_ARRAY, KIND_REAL_ARRAY
};

// A row with its argument notation parsed once, at registration.
struct ParsedCommand {
  const ZeScriptCommand* command;
  unsigned char kinds[ZE_SCRIPT_MAX_ARGS];
  unsigned char count;
  unsigned char required;
};

ParsedCommand* parsed = nullptr;
int parsedCount = 0;

bool parseKinds(const char* notation, ParsedCommand* out) {
  out->count = 0;
  out->required = 0;
  bool optional = false;
  for (const char* p = notation; *p;) {
    while (*p == ' ') ++p;
    if (!*p) break;
    if (*p == '|') {
      optional = true;
      ++p;
      continue;
    }
    if (out->count >= ZE_SCRIPT_MAX_ARGS) return false;
    unsigned char kind;
    switch (*p) {
      case 'i': kind = KIND_INT; break;
      case 'n': kind = KIND_REAL; break;
      case 's': kind = KIND_TEXT; break;
      case 'b': kind = KIND_BOOL; break;
      case 'f': kind = KIND_FUNCTION; break;
      case 't': kind = KIND_JOINED; break;
      case 'N': kind = KIND_FLOATS; break;
      case 'I': kind = KIND_INT_ARRAY; break;
      case 'F': kind = KIND_REAL_ARRAY; break;
      default: return false;
    }
    out->kinds[out->count++] = kind;
    if (!optional) out->required = out->count;
    while (*p && *p != ' ') ++p;
  }
  return true;
}

// The name the command was called by, as Lua's debug information gives it.
const char* calledName(lua_State* L) {
  lua_Debug ar;
  if (!lua_getstack(L, 0, &ar)) return "?";
  lua_getinfo(L, "n", &ar);
  return ar.name ? ar.name : "?";
}

int booleanError(lua_State* L, int position) {
  return luaL_argerror(L, position, lua_pushfstring(L, "%s expected, got %s", "boolean", luaL_typename(L, position)));
}

// Elements of a table argument as numbers, into `ints` or `reals`.
void readArray(lua_State* L, int position, int* ints, float* reals, int* count) {
  luaL_checktype(L, position, LUA_TTABLE);
  const lua_Integer n = static_cast<lua_Integer>(lua_rawlen(L, position));
  if (n > ZE_SCRIPT_ARRAY_CAPACITY)
    luaL_error(L, "Exceed buffer capacity %d>%d", static_cast<int>(n), ZE_SCRIPT_ARRAY_CAPACITY);
  for (lua_Integer k = 1; k <= n; ++k) {
    lua_rawgeti(L, position, k);
    if (lua_type(L, -1) != LUA_TNUMBER)
      luaL_error(L, "invalid entry #%d in array argument #%d (expected number, got %s)", static_cast<int>(k - 1),
                 position, luaL_typename(L, -1));
    if (ints)
      ints[k - 1] = static_cast<int>(lua_tointeger(L, -1));
    else
      reals[k - 1] = static_cast<float>(lua_tonumber(L, -1));
    lua_pop(L, 1);
  }
  *count = static_cast<int>(n);
}

// Every argument from `first` on, through the global tostring, joined with spaces.
const char* joinArguments(lua_State* L, int first) {
  const int top = lua_gettop(L);
  std::size_t used = 0;
  joinedText[0] = '\0';
  lua_getglobal(L, "tostring");
  for (int k = first; k <= top; ++k) {
    lua_pushvalue(L, -1);
    lua_pushvalue(L, k);
    lua_call(L, 1, 1);
    std::size_t length = 0;
    const char* piece = lua_tolstring(L, -1, &length);
    if (!piece) luaL_error(L, "'tostring' must return a string to 'Text'");
    if (k > first && used + 1 < sizeof joinedText) joinedText[used++] = ' ';
    const std::size_t room = sizeof joinedText - 1 - used;
    if (length > room) length = room;
    std::memcpy(joinedText + used, piece, length);
    used += length;
    joinedText[used] = '\0';
    lua_pop(L, 1);
  }
  lua_pop(L, 1);
  return joinedText;
}

int dispatch(lua_State* L) {
  const ParsedCommand& row = *static_cast<const ParsedCommand*>(lua_touserdata(L, lua_upvalueindex(1)));
  const ZeScriptCommand& command = *row.command;
  if (!(command.flags & ZE_CMD_NO_ENGINE_CHECK) && !(engineCheck && engineCheck()))
    return luaL_error(L, "calling '%s' without Setup first", calledName(L));
  if (!command.call) {
    // A layer this program does not have yet says so; the command set's own
    // gaps answer as the command set does.
    if (command.flags & ZE_CMD_NOT_BUILT) {
      zeNotBuilt(command.name);
      std::snprintf(errorText, sizeof errorText, "%s: not built yet", command.name);
      return luaL_argerror(L, -1, errorText);
    }
    return luaL_argerror(L, -1, "the function is not implemented");
  }

  ZeScriptArgs a;
  a.L = L;
  a.given = lua_gettop(L);
  a.text = nullptr;
  a.floatCount = a.intCount = a.realCount = 0;
  for (int k = 0; k < row.count; ++k) {
    const int position = k + 1;
    if (k >= row.required && lua_isnoneornil(L, position)) {
      if (a.given > k) a.given = k;
      break;
    }
    switch (row.kinds[k]) {
      case KIND_INT: a.i[k] = luaL_checkinteger(L, position); break;
      case KIND_REAL: a.n[k] = static_cast<float>(luaL_checknumber(L, position)); break;
      case KIND_TEXT: a.s[k] = luaL_checkstring(L, position); break;
      case KIND_BOOL:
        if (lua_type(L, position) != LUA_TBOOLEAN) return booleanError(L, position);
        a.b[k] = lua_toboolean(L, position) != 0;
        break;
      case KIND_FUNCTION: luaL_checktype(L, position, LUA_TFUNCTION); break;
      case KIND_JOINED: a.text = joinArguments(L, position); break;
      case KIND_FLOATS: {
        const int top = lua_gettop(L);
        if (top - k > ZE_SCRIPT_MAX_FLOATS) return luaL_argerror(L, -1, "too much floats parameters");
        a.floatCount = top - k;
        if (a.floatCount < 1) luaL_checknumber(L, position);
        for (int f = 0; f < a.floatCount; ++f) a.n[k + f] = static_cast<float>(luaL_checknumber(L, position + f));
        break;
      }
      case KIND_INT_ARRAY: readArray(L, position, a.ints, nullptr, &a.intCount); break;
      case KIND_REAL_ARRAY: readArray(L, position, nullptr, a.reals, &a.realCount); break;
    }
  }

  ZeScriptResult r;
  r.i = r.i2 = 0;
  r.n = 0;
  r.b = false;
  r.s = nullptr;
  r.error = nullptr;
  r.errorArg = 0;
  command.call(a, r);

  int kept = 0;
  const char* keptText = zeGetLastError(&kept);
  if (r.error) {
    if (keptText) zeClearLastError();
    if (r.errorArg == 0) return luaL_error(L, "%s", r.error);
    return luaL_argerror(L, r.errorArg, r.error);
  }
  if (keptText) {
    std::snprintf(errorText, sizeof errorText, "%s", keptText);
    zeClearLastError();
    return luaL_argerror(L, kept, errorText);
  }
  switch (command.result) {
    case ZE_RESULT_NONE: return 0;
    case ZE_RESULT_BOOL: lua_pushboolean(L, r.b); return 1;
    case ZE_RESULT_INT: lua_pushinteger(L, static_cast<lua_Integer>(r.i)); return 1;
    case ZE_RESULT_REAL: lua_pushnumber(L, r.n); return 1;
    case ZE_RESULT_TEXT:
      if (r.s)
        lua_pushstring(L, r.s);
      else
        lua_pushnil(L);
      return 1;
    case ZE_RESULT_INT2:
      lua_pushinteger(L, static_cast<lua_Integer>(r.i));
      lua_pushinteger(L, static_cast<lua_Integer>(r.i2));
      return 2;
  }
  return 0;
}

int openTable(lua_State* L) {
  lua_createtable(L, 0, parsedCount);
  for (int k = 0; k < parsedCount; ++k) {
    lua_pushlightuserdata(L, &parsed[k]);
    lua_pushcclosure(L, dispatch, 1);
    lua_setfield(L, -2, parsed[k].command->name);
  }
  return 1;
}

}  // namespace

void ZeScriptResult::fail(int argIndex, const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::vsnprintf(errorText, sizeof errorText, format, args);
  va_end(args);
  error = errorText;
  errorArg = argIndex;
}

void zeScriptSetEngineCheck(ZeScriptEngineCheck check) { engineCheck = check; }

void zeScriptOpenTable(lua_State* L, const ZeScriptCommand* commands, int count) {
  // Parsed once per table: the rows are static and so is this copy.
  static const ZeScriptCommand* parsedFrom = nullptr;
  if (parsedFrom != commands) {
    delete[] parsed;
    parsed = new ParsedCommand[count];
    parsedCount = count;
    for (int k = 0; k < count; ++k) {
      parsed[k].command = &commands[k];
      if (!parseKinds(commands[k].args, &parsed[k])) {
        std::fprintf(stderr, "script command %s: bad argument notation '%s'\n", commands[k].name, commands[k].args);
        parsed[k].count = 0;
      }
    }
    parsedFrom = commands;
  }
  luaL_requiref(L, "ze", openTable, 1);
  lua_pop(L, 1);
}
