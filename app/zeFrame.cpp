// Frame services.
//
// Contents: frame state · Sync and its begin/end · clock · window · screen ·
// screenshot · mouse · shader hot reload.
#include "app/zeFrame.h"

#include <chrono>
#include <string>
#include <vector>

#include "app/IZeRenderer.h"
#include "app/MyEventReceiver.h"
#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "app/zeFrameBackend.h"
#include "app/zeX11Window.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zeSafeWrite.h"

using namespace irr;

// --- Frame state -----------------------------------------------------------------
// What a frame needs between calls lives in the engine context (its `frame`
// record), so engine start and stop clear it with everything else.

namespace {

ZeFrameHooks frameHooks;
int forcedActive = -1;

void discard2D() {
  if (frameHooks.discard2DQueue) frameHooks.discard2DQueue();
}

IZeFrameBackend* activeBackend() { return zeEngineContext().openGL ? zeGetFrameBackend() : nullptr; }

SZeFrameState& state() { return zeEngineContext().frame; }

video::SColor backdrop() { return video::SColor(0xFF000000 | state().backdropColour); }

// The frame body Sync and render-to-image share: the current renderer draws
// into the bound target, then the GUI and the 2D queue land over it.
void frameBody(const SZeRenderFrame& frame) {
  ZeEngineContext& ctx = zeEngineContext();
  if (IZeRenderer* renderer = zeCurrentRenderer()) renderer->render(frame);
  ctx.gui->drawAll();
  if (frameHooks.execute2DQueue) frameHooks.execute2DQueue();
}

// A minimised window draws nothing: the queued 2D draws go, the device yields.
bool minimised() {
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.device->isWindowMinimized()) return false;
  discard2D();
  ctx.device->yield();
  return true;
}

}  // namespace

void zeSetFrameHooks(const ZeFrameHooks& hooks) { frameHooks = hooks; }
const ZeFrameHooks& zeGetFrameHooks() { return frameHooks; }
void zeSetBackdropColour(unsigned colour) { state().backdropColour = colour & 0xFFFFFF; }
unsigned zeGetBackdropColour() { return state().backdropColour; }
bool zeInsideFrame() { return state().inside; }
void zeSetDeviceLost(bool lost) { state().deviceLost = lost; }
void zeNoteRenderToTextureDone() { state().renderedToTexture = true; }

// --- Sync ------------------------------------------------------------------------

bool zeBeginRendering() {
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.driver) return false;
  if (state().inside) return true;
  if (!ctx.driver->beginScene(false, false, backdrop())) {
    zeMessage(ZE_WARN, "beginScene failed");
    discard2D();
    return false;
  }
  if (IZeFrameBackend* backend = activeBackend()) backend->beginFrame();
  state().inside = true;
  return true;
}

void zeEndRendering() {
  ZeEngineContext& ctx = zeEngineContext();
  if (!state().inside || !ctx.driver) {
    zeMessage(ZE_WARN, "endRendering called while not in Rendering");
    return;
  }
  if (IZeFrameBackend* backend = activeBackend()) backend->endFrame();
  if (!ctx.driver->endScene()) zeMessage(ZE_WARN, "endScene failed");
  state().inside = false;
}

int zeSync() {
  ZeEngineContext& ctx = zeEngineContext();
  if (!ctx.initialised) return 0;
  if (minimised()) return 0;
  if (state().deviceLost && state().renderedToTexture) {
    // Images rendered into cannot be made again: the run cannot go on, and
    // its front end ends it as a failure.
    zeMessageKept(ZE_ERROR | ZE_MSG_KEEP | ZE_MSG_SHOW, -1,
                  "Graphic Device lost, cannot re-create rendered textures, exiting");
    return -1;
  }
  if (!zeBeginRendering()) return 0;
  SZeRenderFrame frame;
  frame.clearColour = backdrop();
  frameBody(frame);
  zeEndRendering();
  if (frameHooks.frameCompleted) frameHooks.frameCompleted();
  return 0;
}

bool zeRenderFrameInto(ZeRenderTargetHandle target, bool clear) {
  ZeEngineContext& ctx = zeEngineContext();
  IZeFrameBackend* backend = activeBackend();
  if (!ctx.initialised || !backend) return false;
  if (minimised()) return true;
  // Before the first render into an image a lost device is forgotten: there
  // is nothing yet that could not be made again.
  if (!state().renderedToTexture) state().deviceLost = false;
  if (!zeBeginRendering()) return false;
  int width = 0, height = 0;
  if (!backend->bindTarget(target, &width, &height)) return false;
  // Irrlicht places 2D and projections by its screen size: for the frame
  // body it is the target's.
  const core::dimension2du screen = ctx.driver->getScreenSize();
  ctx.driver->OnResize(core::dimension2du(u32(width), u32(height)));
  SZeRenderFrame frame;
  frame.target = target;
  frame.clear = clear;
  frame.clearColour = backdrop();
  frameBody(frame);
  ctx.driver->OnResize(screen);
  backend->bindTarget({}, &width, &height);
  state().renderedToTexture = true;
  return true;
}

// --- Clock -------------------------------------------------------------------------

unsigned zeTimer() {
  using Clock = std::chrono::steady_clock;
  static const Clock::time_point first = Clock::now();
  return static_cast<unsigned>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - first).count());
}

void zeSleep(int milliseconds) {
  IrrlichtDevice* device = zeEngineContext().device;
  if (device && milliseconds > 0) device->sleep(static_cast<u32>(milliseconds));
}

bool zeDeviceRun() {
  IrrlichtDevice* device = zeEngineContext().device;
  return device && device->run();
}

// --- Window ------------------------------------------------------------------------

void zeShowWindow() { zeX11::show(zeEngineContext().device); }
void zeHideWindow() { zeX11::hide(zeEngineContext().device); }
void zeMaximizeWindow() { zeX11::maximize(zeEngineContext().device); }
void zeMinimizeWindow() { zeX11::minimize(zeEngineContext().device); }
void zeRestoreWindow() { zeX11::restore(zeEngineContext().device); }
void zeForceWindowActive(int active) { forcedActive = active; }

bool zeIsWindowActive() {
  if (forcedActive != -1) return forcedActive != 0;
  IrrlichtDevice* device = zeEngineContext().device;
  return device && device->isWindowActive();
}

bool zeWindowMode() {
  IrrlichtDevice* device = zeEngineContext().device;
  return device && device->isFullscreen();
}

// --- Screen ------------------------------------------------------------------------

int zeScreenWidth() {
  video::IVideoDriver* driver = zeEngineContext().driver;
  return driver ? static_cast<int>(driver->getScreenSize().Width) : 0;
}

int zeScreenHeight() {
  video::IVideoDriver* driver = zeEngineContext().driver;
  return driver ? static_cast<int>(driver->getScreenSize().Height) : 0;
}

int zeScreenDepth() {
  if (IZeFrameBackend* backend = activeBackend()) return backend->frameBits();
  video::IVideoDriver* driver = zeEngineContext().driver;
  if (!driver) return 32;
  switch (driver->getColorFormat()) {
    case video::ECF_A1R5G5B5:
    case video::ECF_R5G6B5: return 16;
    case video::ECF_R8G8B8: return 24;
    case video::ECF_A16B16G16R16F:
    case video::ECF_G32R32F: return 64;
    default: return 32;
  }
}

// --- Screenshot ------------------------------------------------------------------

namespace {

// The image is encoded in memory (the writer is chosen by the path's
// extension) and the file written safely (base/zeSafeWrite.h): a full disk
// never leaves a cut image, or a cut earlier shot, behind.
bool writeImageSafely(video::IVideoDriver* driver, video::IImage* image, const char* path) {
  IrrlichtDevice* device = zeEngineContext().device;
  if (!device || !device->getFileSystem()) return false;
  const core::dimension2du size = image->getDimension();
  // Room for the raw pixels twice over: more than any encoder needs.
  const std::size_t capacity = std::size_t(size.Width) * size.Height * 8 + (std::size_t(1) << 20);
  if (capacity > 0x7FFFFFFFu) return false;
  std::vector<char> bytes(capacity);
  io::IWriteFile* memory = device->getFileSystem()->createMemoryWriteFile(bytes.data(), s32(capacity), path);
  if (!memory) return false;
  const bool encoded = driver->writeImageToFile(image, memory);
  const long used = memory->getPos();
  memory->drop();
  return encoded && used > 0 && std::size_t(used) < capacity &&
         zeWriteFileSafely(path, bytes.data(), std::size_t(used)) == ZE_WRITE_DONE;
}

}  // namespace

int zeScreenShot(const char* path) {
  video::IVideoDriver* driver = zeEngineContext().driver;
  video::IImage* image = nullptr;
  if (driver) {
    // The window's front buffer can be black (Xvfb): read the engine's own frame.
    IZeFrameBackend* backend = activeBackend();
    image = backend ? backend->readFrame() : driver->createScreenShot();
  }
  if (!image) {
    zeReportArgError(1, "failed to grab the screen\n");
    return -1;
  }
  const bool written = path && writeImageSafely(driver, image, path);
  image->drop();
  if (!written) {
    zeReportArgError(1, "failed to save screenshot to file '%s'\n", path ? path : "");
    return -1;
  }
  return 0;
}

// --- Mouse -----------------------------------------------------------------------

void zeShowMouse() {
  IrrlichtDevice* device = zeEngineContext().device;
  if (device && device->getCursorControl()) device->getCursorControl()->setVisible(true);
}

void zeHideMouse() {
  IrrlichtDevice* device = zeEngineContext().device;
  if (device && device->getCursorControl()) device->getCursorControl()->setVisible(false);
}

int zeClampToClient(int value, int size) {
  if (value < 0) return -1;
  if (value >= size) return size;  // one past the last pixel
  return value;
}

void zeMousePosition(int* x, int* y) {
  ZeEngineContext& ctx = zeEngineContext();
  int px, py;
  if (ctx.openGL && zeX11::pointer(ctx.device, &px, &py)) {
    *x = zeClampToClient(px, zeScreenWidth());
    *y = zeClampToClient(py, zeScreenHeight());
    return;
  }
  *x = zeEventReceiver().mouseX;
  *y = zeEventReceiver().mouseY;
}

// --- Shader hot reload -------------------------------------------------------------

namespace {
int renderDebug = 0;
}  // namespace

void zeRenderSetDebug(int on) { renderDebug = on; }
int zeRenderDebug() { return renderDebug; }

void zeShaderHotReload(int count, const char* const* paths) {
  if (count <= 0 || !paths || zeIsPackaged()) return;
  std::vector<std::string> changed;
  std::vector<const char*> names;
  changed.reserve(count);
  for (int i = 0; i < count; ++i) {
    std::string path = paths[i] ? paths[i] : "";
    for (char& c : path)
      if (c == '\\') c = '/';
    zeMessage(ZE_INFO, "detected file change %s", path.c_str());
    changed.push_back(path);
  }
  for (const std::string& path : changed) names.push_back(path.c_str());
  zeMessage(ZE_INFO, "updating shaders...");
  if (frameHooks.recompileShaders) frameHooks.recompileShaders(count, names.data());
  zeMessage(ZE_INFO, "updating shaders done");
}
