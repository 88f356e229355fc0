// A renderer that counts the frames it is asked for and draws nothing: the
// main renderer of tests that start the engine without the render subsystem.
#pragma once

#include "app/IZeRenderer.h"

class CountingRenderer : public IZeRenderer {
 public:
  bool render(const SZeRenderFrame&) override { return ++frames, true; }
  int frames = 0;
};

// Engine starts from now on make a CountingRenderer their main renderer.
inline void installCountingMainRenderer() {
  zeSetMainRendererFactory([](ZeEngineContext&, char*) -> IZeRenderer* { return new CountingRenderer; });
}
