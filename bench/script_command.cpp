// Cost of a typical script command: ze.PositionObject on an existing object,
// called 1,000,000 times from Lua, beside a bare Lua C function reading the
// same arguments and beside the object layer called from C++. The counter
// "per_call" is seconds per call (n = nanoseconds).
//   bench_script_command --benchmark_min_time=2
#include <benchmark/benchmark.h>

#include <lua.hpp>

#include <cstdlib>

#include "render/CZeMainRenderer.h"
#include "render/ze2D.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSubsystem.h"
#include "script/zeScriptHost.h"

namespace {

constexpr int kCalls = 1000000;

int bare(lua_State* L) {
  luaL_checkinteger(L, 1);
  luaL_checknumber(L, 2);
  luaL_checknumber(L, 3);
  luaL_checknumber(L, 4);
  return 0;
}

lua_State* scriptState() {
  static lua_State* L = [] {
    ::setenv("ZARN_DRIVER", "null", 1);
    zeSceneRegister();
    zeInstallImagesAnd2D();
    zeInstallMainRenderer();
    lua_State* state = zeOpenScriptState();
    lua_register(state, "bare", bare);
    const char* start = "ze.Setup(64, 48, 32, true) ze.LoadObject('" ZARN_SOURCE_DIR "/examples/object/example.x', 1)";
    if (luaL_dostring(state, start) != LUA_OK) std::abort();
    return state;
  }();
  return L;
}

void runLoop(benchmark::State& state, const char* loop) {
  lua_State* L = scriptState();
  if (luaL_loadstring(L, loop) != LUA_OK) std::abort();
  const int chunk = luaL_ref(L, LUA_REGISTRYINDEX);
  for (auto _ : state) {
    lua_rawgeti(L, LUA_REGISTRYINDEX, chunk);
    if (lua_pcall(L, 0, 0, 0) != LUA_OK) state.SkipWithError(lua_tostring(L, -1));
  }
  luaL_unref(L, LUA_REGISTRYINDEX, chunk);
  state.counters["per_call"] =
      benchmark::Counter(double(kCalls), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_PositionObjectCommand(benchmark::State& state) {
  runLoop(state, "local P = ze.PositionObject for k = 1, 1000000 do P(1, k, 2, 3) end");
}
BENCHMARK(BM_PositionObjectCommand)->Unit(benchmark::kMillisecond);

void BM_BareCFunction(benchmark::State& state) {
  runLoop(state, "local P = bare for k = 1, 1000000 do P(1, k, 2, 3) end");
}
BENCHMARK(BM_BareCFunction)->Unit(benchmark::kMillisecond);

void BM_ObjectLayerAlone(benchmark::State& state) {
  scriptState();
  for (auto _ : state)
    for (int k = 0; k < kCalls; ++k) zePositionObject(1, float(k), 2, 3);
  state.counters["per_call"] =
      benchmark::Counter(double(kCalls), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ObjectLayerAlone)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
