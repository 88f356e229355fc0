// Scene viewer hooks on a clock of their own: 1000 ms at the first frame and
// 20 ms more every frame after, so a test's frames fall at known times.
#pragma once

#include "player/zeSceneViewer.h"

struct SteppedViewerHooks : IZeSceneViewerHooks {
  unsigned frames = 0;
  bool clock(unsigned* ms) override {
    *ms = 1000u + 20u * frames;
    return true;
  }
  bool afterFrame(int frame, const SZeViewerFrame& shown) final {
    ++frames;
    return step(frame, shown);
  }
  // What the test does after each frame; false ends the viewer.
  virtual bool step(int frame, const SZeViewerFrame& shown) = 0;
};
