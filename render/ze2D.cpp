// The 2D layer's wiring: the image loaders' manager slot, the 2D queue in
// the frame, and what engine stop lets go of.
#include "render/ze2D.h"

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "render/image/CZeImageLoaderDDSVolume.h"
#include "render/image/CZeImageLoaderHDR.h"
#include "render/image/CZeImageLoaderPNG.h"
#include "render/zeLoadingScreen.h"

using namespace irr;

// --- Lifecycle and wiring ---------------------------------------------------------------

void ze2DShutdown() {
  zeClear2DQueue();
  zeDeleteAllImages();
  zeStopFade();
  zeForgetFonts();
  zeLoadingShutdown();
}

namespace {

// The image loaders' slot: the driver gets the engine's loaders (it asks
// those added last first, and owns them), and the 2D layer starts empty.
bool createImageLoaders(CZeManager&) {
  video::IVideoDriver* driver = zeEngineContext().driver;
  auto* hdrLoader = new CZeImageLoaderHDR;
  auto* pngLoader = new CZeImageLoaderPNG;
  auto* volumeLoader = new CZeImageLoaderDDSVolume;
  driver->addExternalImageLoader(volumeLoader);
  driver->addExternalImageLoader(hdrLoader);
  driver->addExternalImageLoader(pngLoader);
  volumeLoader->drop();
  hdrLoader->drop();
  pngLoader->drop();
  zeSetImageLoaders(hdrLoader, pngLoader);
  zeClear2DQueue();
  return true;
}

// Released before the device and the GL registry go: the whole 2D layer lets
// go of what it holds, and forgets the loaders the driver is about to drop.
void shutDown2DLayer(CZeManager&) {
  ze2DShutdown();
  zeSetImageLoaders(nullptr, nullptr);
}

}  // namespace

void zeInstallImagesAnd2D() {
  zeSetManagerSlot(ZeManagerSlot::ImageLoaders, {createImageLoaders, shutDown2DLayer});
  ZeFrameHooks hooks = zeGetFrameHooks();
  hooks.execute2DQueue = zeExecute2DQueue;
  hooks.discard2DQueue = zeClear2DQueue;
  zeSetFrameHooks(hooks);
}
