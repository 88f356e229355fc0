// The shape of one script command. Every command of the `ze` table is one row
// of a declarative table (zeScriptCommands.cpp); a single dispatcher reads the
// row to do the engine check, read and check the arguments, call the engine
// layer, push the result and turn a kept error into a script error.
//
// Lua errors longjmp over C++ frames, so a row's call never raises: it reads
// the plain argument record, calls its layer, fills the plain result record and
// returns. Only the dispatcher raises, and only once every C++ temporary of the
// call is gone.
#pragma once

struct lua_State;

constexpr int ZE_SCRIPT_MAX_ARGS = 20;
// Elements an array argument may hold.
constexpr int ZE_SCRIPT_ARRAY_CAPACITY = 64;
// Varying reals after the fixed arguments.
constexpr int ZE_SCRIPT_MAX_FLOATS = 16;

// The arguments as read, by position (0-based: argument 1 is index 0). Plain
// data only; fields of kinds the row does not read stay unset.
struct ZeScriptArgs {
  lua_State* L;
  int given;  // arguments the script passed
  long long i[ZE_SCRIPT_MAX_ARGS];
  float n[ZE_SCRIPT_MAX_ARGS];
  const char* s[ZE_SCRIPT_MAX_ARGS];
  bool b[ZE_SCRIPT_MAX_ARGS];
  const char* text;  // joined text (kind 't')
  int floatCount;    // varying reals, stored from n[first varying position]
  int intCount;      // integer array (kind 'I')
  int ints[ZE_SCRIPT_ARRAY_CAPACITY];
  int realCount;     // real array (kind 'F')
  float reals[ZE_SCRIPT_ARRAY_CAPACITY];
  bool has(int index) const { return index < given; }
};

enum ZeScriptResultKind : unsigned char {
  ZE_RESULT_NONE,
  ZE_RESULT_BOOL,
  ZE_RESULT_INT,
  ZE_RESULT_REAL,
  ZE_RESULT_TEXT,   // nil for nullptr
  ZE_RESULT_INT2,   // two integers
};

struct ZeScriptResult {
  long long i;
  long long i2;
  double n;
  bool b;
  const char* s;
  // Raised by the dispatcher after the call: argument error at errorArg, or a
  // plain error when errorArg is 0. Text lives in a static buffer.
  const char* error;
  int errorArg;
  // Formats the error into the static buffer.
  void fail(int argIndex, const char* format, ...) __attribute__((format(printf, 3, 4)));
};

using ZeScriptCall = void (*)(ZeScriptArgs& a, ZeScriptResult& r);

// Row flags.
enum : unsigned {
  ZE_CMD_NO_ENGINE_CHECK = 1,   // usable before Setup
  ZE_CMD_NOT_IMPLEMENTED = 2,   // the command set leaves it unimplemented
  ZE_CMD_NOT_BUILT = 4,         // its engine layer is not built yet
  ZE_CMD_NO_EFFECT = 8,         // accepted, does nothing
};

// Argument notation: space-separated "kind:name" tokens; tokens after "|" are
// optional. Kinds: i integer, n real, s text, b boolean (strict), f function,
// t joined text of every remaining argument, N 1..16 varying reals,
// I array of integers, F array of reals.
struct ZeScriptCommand {
  const char* name;
  const char* args;
  ZeScriptResultKind result;
  unsigned flags;
  ZeScriptCall call;  // nullptr for unimplemented and unbuilt commands
  const char* doc;    // one line for the reference
  const char* group;  // section of the reference
};

// The table (zeScriptCommands.cpp) and its length.
const ZeScriptCommand* zeScriptCommands(int* count);

// Registers `commands` as the global table `ze` of a state (left off the stack).
void zeScriptOpenTable(lua_State* L, const ZeScriptCommand* commands, int count);
// Whether a command may run: the engine check of every command that has one.
// The host installs the engine's own answer; tests install a recording one.
using ZeScriptEngineCheck = bool (*)();
void zeScriptSetEngineCheck(ZeScriptEngineCheck check);
