// The OpenGL frame's fixed costs: one empty frame (clear, present with a
// flip), one state guard, one engine texture draw inside a frame.
#include <benchmark/benchmark.h>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "app/zeFrameBackend.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/ZeGL2D.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/ZeGLStateGuard.h"
#include "render/gl/zeGLInstall.h"

namespace {

bool startEngine(int width, int height) {
  zeGLInstall();
  zeInstallMainRenderer();
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  ZeEngineSettings s;
  s.width = width;
  s.height = height;
  s.vsync = 0;
  return zeEngineStart(s) == 0;
}

void BM_EmptyFrame(benchmark::State& state) {
  if (!startEngine(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)))) {
    state.SkipWithError(zeStartFailureReason());
    return;
  }
  zeSetBackdropColour(0x113366);
  for (auto _ : state) zeSync();
  zeEngineStop();
}
BENCHMARK(BM_EmptyFrame)->Args({320, 240})->Args({1024, 768})->Unit(benchmark::kMicrosecond);

void BM_StateGuard(benchmark::State& state) {
  if (!startEngine(64, 48)) {
    state.SkipWithError(zeStartFailureReason());
    return;
  }
  for (auto _ : state) {
    CZeGLStateGuard guard;
    benchmark::ClobberMemory();
  }
  zeEngineStop();
}
BENCHMARK(BM_StateGuard)->Unit(benchmark::kMicrosecond);

void BM_DrawTexture(benchmark::State& state) {
  if (!startEngine(320, 240)) {
    state.SkipWithError(zeStartFailureReason());
    return;
  }
  CZeGLRegistry* registry = CZeGLRegistry::get();
  CZeGLTexture* texture = registry->texture(registry->addTexture("bench", 64, 64, ZE_FORMAT_A8R8G8B8));
  zeBeginRendering();
  for (auto _ : state) zeGLDrawImage2D(*texture, 0, 0, 320, 240, 0xFFFFFFFF, false);
  zeEndRendering();
  zeEngineStop();
}
BENCHMARK(BM_DrawTexture)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
