#include "app/IZeRenderer.h"

#include "base/zeMessage.h"

namespace {

ZeMainRendererFactory factory = nullptr;
IZeRenderer* mainRenderer = nullptr;     // one reference
IZeRenderer* currentRenderer = nullptr;  // one reference; nullptr: the main one

void release(IZeRenderer*& renderer) {
  if (renderer) renderer->drop();
  renderer = nullptr;
}

}  // namespace

void zeSetMainRendererFactory(ZeMainRendererFactory f) { factory = f; }

IZeRenderer* zeCurrentRenderer() { return currentRenderer ? currentRenderer : mainRenderer; }
IZeRenderer* zeMainRenderer() { return mainRenderer; }

void zeSetCurrentRenderer(IZeRenderer* renderer) {
  if (renderer == mainRenderer) renderer = nullptr;
  if (renderer) renderer->grab();
  release(currentRenderer);
  currentRenderer = renderer;
}

bool zeStartMainRenderer(ZeEngineContext& context, char* reason) {
  zeStopRenderers();
  if (!factory) {
    zeFormatText(reason, "fails to init render: no renderer is linked into this program");
    return false;
  }
  reason[0] = '\0';
  mainRenderer = factory(context, reason);
  if (!mainRenderer && !reason[0]) zeFormatText(reason, "fails to init render");
  return mainRenderer != nullptr;
}

void zeStopRenderers() {
  release(currentRenderer);
  release(mainRenderer);
}
