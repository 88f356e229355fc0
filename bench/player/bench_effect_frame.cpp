// An effect-heavy frame: 1,000 objects on OpenGL at 320x240, every one drawn
// through an effect (the same program, its own world transform), and the
// same objects drawn without effects. The engine as the program starts it.
#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <string>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "bench/player/viewerBench.h"
#include "effect/CZeEffect.h"
#include "effect/zeEffectCommands.h"
#include "render/zeEffectManagerSlot.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeObject.h"
#include "tests/support/tintEffect.h"

namespace {

constexpr int kObjects = 1000;

// A small square facing the default camera, both windings.
const char* const kQuad =
    "v -0.4 -0.4 0\nv 0.4 -0.4 0\nv 0.4 0.4 0\nv -0.4 0.4 0\n"
    "f 1 2 3\nf 1 3 4\nf 3 2 1\nf 4 3 1\n";

// 1,000 squares (objects 0 to 999) in a 40 x 25 grid filling the view; with an effect on row 0
// of each when asked. Empty on success, else why not.
std::string makeObjects(bool withEffect, std::string* folder) {
  char pattern[] = "/tmp/zarn-effect-bench-XXXXXX";
  if (!::mkdtemp(pattern)) return "no temporary folder";
  *folder = pattern;
  std::ofstream(*folder + "/quad.obj") << kQuad;
  std::ofstream(*folder + "/tint.hlsl") << tintEffectSource();
  SZeEffectCommandEnv commands = zeEngineEffectCommands();
  if (withEffect && zeLoadEffect(commands, (*folder + "/tint.hlsl").c_str(), 1) != 0) return "the effect failed";
  for (int i = 0; i < kObjects; ++i) {
    if (zeLoadObject(i, (*folder + "/quad.obj").c_str()) != 0) return "an object failed";
    zePositionObject(i, float(i % 40) - 19.5f, float(i / 40) - 12.0f, 30.0f);
    zeObjectNode(i)->setMaterialFlag(irr::video::EMF_LIGHTING, false);
    if (withEffect) zeFindNodeExt(zeObjectNode(i))->setEffect(0, zeEffectOf(commands, 1), 0, 0);
  }
  return "";
}

// The frame shows `rgb` at (x, y): the square right of the middle.
bool drawnAt(int x, int y, unsigned rgb) {
  irr::video::IImage* image = zeGetFrameBackend()->readFrame();
  if (!image) return false;
  const irr::video::SColor c = image->getPixel(irr::u32(x), irr::u32(y));
  image->drop();
  const unsigned got = (c.getRed() << 16) | (c.getGreen() << 8) | c.getBlue();
  for (int shift : {0, 8, 16})
    if (std::abs(int((got >> shift) & 255) - int((rgb >> shift) & 255)) > 3) return false;
  return true;
}

void frames(benchmark::State& state, bool withEffect) {
  const char* reason = "";
  if (!startViewerEngine(320, 240, &reason)) {
    state.SkipWithError(reason);
    return;
  }
  std::string folder;
  const std::string failed = makeObjects(withEffect, &folder);
  if (!failed.empty()) {
    state.SkipWithError(failed.c_str());
  } else {
    zeSync();  // first-use costs out of the measurement
    if (!drawnAt(163, 120, withEffect ? 0x339966u : 0xFFFFFFu)) state.SkipWithError("the squares are not drawn");
    for (auto _ : state) zeSync();
  }
  for (int i = 0; i < kObjects; ++i) zeDeleteObject(i);
  zeEngineStop();
  if (!folder.empty()) (void)!std::system(("rm -rf '" + folder + "'").c_str());
}

void BM_EffectFrame(benchmark::State& state) { frames(state, true); }
BENCHMARK(BM_EffectFrame)->Iterations(200)->Unit(benchmark::kMillisecond);

void BM_PlainFrame(benchmark::State& state) { frames(state, false); }
BENCHMARK(BM_PlainFrame)->Iterations(200)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
