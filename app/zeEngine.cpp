// Engine start and stop.
//
// Contents: state · creation parameters · device creation · engine
// initialisation · handle tables · start · stop.
#include "app/zeEngine.h"

#include <cstdlib>
#include <cstring>
#include <string>

#include "app/CZeManager.h"
#include "app/IZeRenderer.h"
#include "app/MyEventReceiver.h"
#include "app/zeFileMount.h"
#include "app/zeFrameBackend.h"
#include "app/zeX11Window.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"

using namespace irr;

// --- State ---------------------------------------------------------------------

namespace {

ZeEngineContext context;
char startFailureReason[ZE_TEXT_SIZE];
char engineInitReason[ZE_TEXT_SIZE];
ZeEngineStepHooks stepHooks[static_cast<int>(ZeEngineStep::Count)];
// Steps whose start succeeded, so stop undoes exactly those.
bool stepStarted[static_cast<int>(ZeEngineStep::Count)];
bool backendAttached = false;

// Multisampling of the frame: 4 samples with antialias on and the light
// pre-pass off (the pre-pass resolves its own edges).
int samplesFor(const ZeEngineSettings& s) { return (s.antialias != 0 && s.lightPrePass == 0) ? 4 : 0; }

bool runStep(ZeEngineStep step, char* reason) {
  const int i = static_cast<int>(step);
  if (!stepHooks[i].start) return true;
  reason[0] = '\0';
  if (!stepHooks[i].start(context, reason)) return false;
  stepStarted[i] = true;
  return true;
}

void stopStep(ZeEngineStep step) {
  const int i = static_cast<int>(step);
  if (stepStarted[i] && stepHooks[i].stop) stepHooks[i].stop(context);
  stepStarted[i] = false;
}

}  // namespace

ZeEngineContext& zeEngineContext() { return context; }
bool zeEngineRunning() { return context.initialised; }
const char* zeStartFailureReason() { return startFailureReason; }
const char* zeEngineInitReason() { return engineInitReason; }

void zeSetEngineStep(ZeEngineStep step, const ZeEngineStepHooks& hooks) {
  stepHooks[static_cast<int>(step)] = hooks;
}

// --- Creation parameters -------------------------------------------------------

video::E_DRIVER_TYPE zeRequestedDriver() {
  const char* name = std::getenv("ZARN_DRIVER");
  if (name && std::strcmp(name, "null") == 0) return video::EDT_NULL;
  return video::EDT_OPENGL;
}

void zeCameraRange(const ZeEngineSettings& settings, float* nearValue, float* farValue) {
  if (settings.cameraNear != settings.cameraFar) {
    *nearValue = settings.cameraNear;
    *farValue = settings.cameraFar;
  } else {
    *nearValue = 0.1f;
    *farValue = 1000.0f;
  }
}

SIrrlichtCreationParameters zeCreationParameters(const ZeEngineSettings& s, IEventReceiver* receiver) {
  SIrrlichtCreationParameters p;
  p.DeviceType = EIDT_BEST;
  p.DriverType = zeRequestedDriver();
  p.WindowSize = core::dimension2du(s.width == -1 ? 640 : s.width, s.height == -1 ? 480 : s.height);
  p.Bits = static_cast<u8>(s.depth == -1 ? 32 : s.depth);
  // 24 bits, not 16: the light pre-pass and shadows need the precision.
  p.ZBufferBits = 24;
  p.Fullscreen = s.windowed == 0;
  p.Stencilbuffer = true;
  p.Vsync = s.vsync != 0;
  p.AntiAlias = static_cast<u8>(samplesFor(s));
  p.Doublebuffer = true;
  p.EventReceiver = receiver;
  const int threshold = zeGetMessageThreshold();
  p.LoggingLevel = static_cast<ELOG_LEVEL>(threshold < 0 ? 0 : (threshold > ELL_NONE ? ELL_NONE : threshold));
  p.UsePerformanceTimer = true;
  return p;
}

// --- Handle tables -------------------------------------------------------------

namespace {

constexpr int kTableCapacity = 1000;

// Creates one table into `slot`; false after writing `failure` as the reason.
template <typename T>
bool createTable(std::unique_ptr<ZeHandleTable<T>>& slot, const char* failure) {
  slot = ZeHandleTable<T>::create(kTableCapacity);
  if (slot) return true;
  zeFormatText(startFailureReason, "%s", failure);
  return false;
}

void freeTables() {
  context.images.reset();
  context.objects.reset();
  context.lights.reset();
  context.fxEmitters.reset();
  context.effects.reset();
}

bool createTables() {
  const bool created = createTable(context.images, "fails to create image list") &&
                       createTable(context.objects, "fails to create object list") &&
                       createTable(context.lights, "fails to create light list") &&
                       createTable(context.fxEmitters, "fails to create fxemitter list") &&
                       createTable(context.effects, "fails to create effect list");
  if (!created) freeTables();
  return created;
}

// --- Engine initialisation -------------------------------------------------------

void releaseManager() {
  stopStep(ZeEngineStep::CurlNoise);
  stopStep(ZeEngineStep::Resources);
  zeStopRenderers();
  zeEventReceiver().forward = nullptr;
  delete context.manager;
  context.manager = nullptr;
}

// A 32 x 32 target that keeps a render-target texture bound in the driver.
void createDummyRenderTarget() {
  video::IVideoDriver* driver = context.driver;
  if (!driver->queryFeature(video::EVDF_RENDER_TO_TARGET)) return;
  const bool mipMaps = driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, false);
  driver->addRenderTargetTexture(core::dimension2du(32, 32), "DummyRenderTarget");
  driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipMaps);
}

bool initEngine() {
  engineInitReason[0] = '\0';
  // The shader translator and compiler are linked in: nothing to load.
  if (!__builtin_cpu_supports("sse")) zeFormatText(engineInitReason, "CPU does not support SSE\n");

  context.manager = CZeManager::create(context.device);
  if (!context.manager) {
    zeFormatText(engineInitReason, "fails to createZeManager");
    return false;
  }
  createDummyRenderTarget();
  if (!zeStartMainRenderer(context, engineInitReason)) {
    releaseManager();
    return false;
  }
  if (!runStep(ZeEngineStep::Resources, engineInitReason) || !runStep(ZeEngineStep::CurlNoise, engineInitReason)) {
    releaseManager();
    return false;
  }
  zeEventReceiver().forward = context.manager->getInputRecord();
  return true;
}

// --- Device creation -------------------------------------------------------------

void releaseDevice() {
  stopStep(ZeEngineStep::Device);
  if (backendAttached) {
    zeGetFrameBackend()->detach();
    backendAttached = false;
  }
  zeFilesystemDetach();
  if (context.device) context.device->drop();
  context = ZeEngineContext();
}

bool failDevice(const char* reason) {
  zeFormatText(startFailureReason, "%s", reason);
  releaseDevice();
  return false;
}

bool createDevice(const ZeEngineSettings& s) {
  context = ZeEngineContext();
  context.width = s.width == -1 ? 640 : s.width;
  context.height = s.height == -1 ? 480 : s.height;
  context.depth = s.depth == -1 ? 32 : s.depth;
  context.antialias = s.antialias != 0;
  context.stereo = s.stereo == -1 ? 0 : s.stereo;
  context.lightPrePass = s.lightPrePass != 0;

  SIrrlichtCreationParameters params = zeCreationParameters(s, &zeEventReceiver());
  // Irrlicht 1.8.5 asks for the swap interval before its GLX context is
  // current, which Mesa answers with a fatal X error; the OpenGL layer sets
  // it once the context is current.
  const bool vsync = params.Vsync;
  if (params.DriverType == video::EDT_OPENGL) {
    params.Vsync = false;
    zeX11::holdDisplay();
  }
  context.device = createDeviceEx(params);
  if (!context.device) {
    zeFormatText(startFailureReason, "fails to createDevice");
    context = ZeEngineContext();
    return false;
  }
  context.device->setWindowCaption(L"Zarn");
  // Joystick events come through the device once joysticks are activated.
  core::array<SJoystickInfo> joysticks;
  context.device->activateJoysticks(joysticks);

  context.driver = context.device->getVideoDriver();
  if (!context.driver) return failDevice("fails to getVideoDriver");
  context.openGL = context.driver->getDriverType() == video::EDT_OPENGL;
  if (context.openGL) {
    if (!params.Fullscreen) zeX11::place(context.device, s.windowX, s.windowY);
    IZeFrameBackend* backend = zeGetFrameBackend();
    if (!backend) return failDevice("fails to init the OpenGL layer: it is not linked into this program");
    char reason[ZE_TEXT_SIZE] = "";
    if (!backend->attach(context.device, params.AntiAlias, vsync, reason)) return failDevice(reason);
    backendAttached = true;
  }
  if (zeFilesystemReset(context.device->getFileSystem()) != 0) return failDevice("fails to setup filesystem");
  context.driver->setTextureCreationFlag(video::ETCF_ALWAYS_32_BIT, true);
  context.sceneManager = context.device->getSceneManager();
  if (!context.sceneManager) return failDevice("fails to getSceneManager");
  context.gui = context.device->getGUIEnvironment();
  if (!context.gui) return failDevice("fails to getGUIEnvironment");
  context.font = context.gui->getBuiltInFont();

  context.camera = context.sceneManager->addCameraSceneNode(nullptr, core::vector3df(0, 0, 0),
                                                            core::vector3df(0, 0, 100), -1, true);
  if (!context.camera) return failDevice("fails to create camera");

  // Extra mesh loaders and the ride camera animator join here.
  char reason[ZE_TEXT_SIZE] = "";
  if (!runStep(ZeEngineStep::Device, reason)) return failDevice(reason);
  context.sceneManager->getParameters()->setAttribute(scene::ALLOW_ZWRITE_ON_TRANSPARENT, true);

  if (!initEngine()) return failDevice(engineInitReason);
  if (!createTables()) {
    releaseManager();
    const std::string reasonText = startFailureReason;
    return failDevice(reasonText.c_str());
  }
  context.initialised = true;
  return true;
}

}  // namespace

// --- Start and stop --------------------------------------------------------------

int zeEngineStart(const ZeEngineSettings& settings) {
  if (zeEngineRunning()) zeEngineStop();
  if (settings.baseDirectory) zeSetBaseDirectory(settings.baseDirectory);
  startFailureReason[0] = '\0';

  if (!createDevice(settings)) {
    zeMessageKept(ZE_ERROR | ZE_MSG_KEEP | ZE_MSG_SHOW, -1, "Setup failed: %s", startFailureReason);
    return -1;
  }
  // The backdrop starts black with the cleared context.
  if (settings.hideMouse != -1 && settings.hideMouse != 0 && context.device->getCursorControl())
    context.device->getCursorControl()->setVisible(false);
  float nearValue, farValue;
  zeCameraRange(settings, &nearValue, &farValue);
  context.camera->setNearValue(nearValue);
  context.camera->setFarValue(farValue);

  char reason[ZE_TEXT_SIZE] = "";
  if (!runStep(ZeEngineStep::Music, reason)) {
    zeMessageKept(ZE_ERROR | ZE_MSG_KEEP | ZE_MSG_SHOW, -1, "Failed to setup music replay");
    zeEngineStop();
    return -1;
  }
  context.filteredReflection = 1;
  return 0;
}

void zeEngineStop() {
  if (!context.device) return;
  stopStep(ZeEngineStep::Music);
  releaseManager();
  freeTables();
  releaseDevice();
}
