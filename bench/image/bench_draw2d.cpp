// One 640 x 360 frame with 1,000 boxes and 64 texts in the 2D queue, against
// the same frame with an empty queue. Needs a display (Xvfb).
#include <benchmark/benchmark.h>

#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "render/CZeMainRenderer.h"
#include "render/gl/zeGLInstall.h"
#include "render/ze2D.h"

namespace {

bool startEngine() {
  zeGLInstall();
  zeInstallMainRenderer();
  zeInstallImagesAnd2D();
  zeSetMessageThreshold(ZE_WARN);
  zeDisableMessageBoxes();
  ZeEngineSettings s;
  s.width = 640;
  s.height = 360;
  s.vsync = 0;
  s.antialias = 0;
  return zeEngineStart(s) == 0;
}

void queueFrame(bool trueType) {
  for (int i = 0; i < 1000; ++i) {
    zeInk(zeRGB(i * 37, i * 11, i * 5));
    zeInkAlpha(i % 2 ? 255 : 128);
    const int x = (i * 53) % 600, y = (i * 29) % 330;
    zeBox(x, y, x + 24, y + 16);
  }
  for (int i = 0; i < 64; ++i) zeText((i % 8) * 80, (i / 8) * 40, "text %d: %s", i, trueType ? "TrueType" : "built-in");
}

void BM_Frame2DQueue(benchmark::State& state) {
  if (!startEngine()) {
    state.SkipWithError(zeStartFailureReason());
    return;
  }
  const int mode = static_cast<int>(state.range(0));  // 0 empty, 1 built-in font, 2 TrueType font
  if (mode == 2 && zeSetTextFont("/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf:14") != 0)
    state.SkipWithError("no DejaVu font");
  for (auto _ : state) {
    if (mode) queueFrame(mode == 2);
    zeSync();
  }
  zeSetTextFont(nullptr);
  state.SetLabel(mode == 0 ? "empty queue" : (mode == 1 ? "1000 boxes + 64 texts, built-in font"
                                                         : "1000 boxes + 64 texts, TrueType 14 px"));
  zeEngineStop();
}
BENCHMARK(BM_Frame2DQueue)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
