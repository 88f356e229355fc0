// The script host: runs one Lua script with the `ze` command table.
#pragma once

struct lua_State;

// Runs a script file: from disk (packaged 0) or through the file hooks from a
// mounted archive, as the chunk "mem" (packaged 1). The working directory
// becomes the script's; the engine is stopped at the end whatever the script
// left running. Returns the Lua status (0 on success, -1 when a packaged
// script cannot be read); a failure's text goes to standard error.
int zeRunScript(const char* path, int packaged);

// A state with the standard libraries and the `ze` table, as a run gets it
// (tests and benchmarks drive commands through it). Close with zeCloseScriptState.
lua_State* zeOpenScriptState();
// Releases what the commands hold in the state (the load-progress callback),
// then closes it.
void zeCloseScriptState(lua_State* L);

// What the commands hold in a state; called before it closes.
void zeScriptCommandsRelease(lua_State* L);
