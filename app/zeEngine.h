// Engine start and stop: the device, its window and driver, the default
// camera, the engine manager, the main renderer, the handle tables, and the
// later subsystems' start steps, in one fixed order.
//
// Contents: ZeEngineSettings · ZeEngineContext · start/stop · start steps
// (the hook points later subsystems plug into) · reasons.
#pragma once

#include <irrlicht.h>

#include <memory>

#include "base/ZeHandleTable.h"

class CZeManager;
class MyEventReceiver;

// The entry of each engine table, defined by the layer that fills it. A
// subsystem that keeps a table of its own kind (camera shaders, cube maps,
// probes, scene renderers) adds it here when it is built.
struct ZeImageCell;
struct ZeObjectCell;
struct ZeLightCell;
struct ZeFxEmitterCell;
struct ZeEffectCell;

// Display and renderer settings; -1 means unset.
struct ZeEngineSettings {
  const char* baseDirectory = nullptr;  // nullptr leaves the base directory as it is
  float cameraNear = 0.1f;
  float cameraFar = 1000.0f;
  int width = -1;         // 640 when unset
  int height = -1;        // 480
  int depth = -1;         // 32
  int windowed = -1;      // only 0 is full screen
  int windowX = -1;       // -1: centred
  int windowY = -1;
  int vsync = -1;         // only 0 is off
  int fps = -1;           // carried, unused here
  int antialias = -1;     // only 0 is off
  int lightPrePass = -1;  // only 0 is off
  int hideMouse = -1;     // non-zero (other than -1) hides the cursor
  int shaders = -1;       // carried, unused here
  int stereo = -1;        // 0 when unset
};

// What a frame keeps between calls (app/zeFrame.cpp).
struct SZeFrameState {
  unsigned backdropColour = 0;  // 0xRRGGBB
  bool inside = false;          // between begin and end
  bool deviceLost = false;
  bool renderedToTexture = false;  // a frame was rendered into an image
};

// What engine start made. One process-wide instance, cleared at every start
// attempt and after every stop.
struct ZeEngineContext {
  bool initialised = false;
  irr::IrrlichtDevice* device = nullptr;
  irr::video::IVideoDriver* driver = nullptr;
  irr::scene::ISceneManager* sceneManager = nullptr;
  irr::gui::IGUIEnvironment* gui = nullptr;
  irr::gui::IGUIFont* font = nullptr;  // built-in font, the default of 2D text
  irr::scene::ICameraSceneNode* camera = nullptr;
  irr::scene::ISceneNodeAnimator* rideAnimator = nullptr;  // set by the scene viewer's step
  CZeManager* manager = nullptr;
  int width = 0;
  int height = 0;
  int depth = 0;
  bool antialias = false;
  int stereo = 0;
  bool lightPrePass = false;
  unsigned char filteredReflection = 0;
  bool openGL = false;  // the OpenGL backend (else the NULL driver)
  SZeFrameState frame;
  // The handle tables, in creation order (capacity 1000 each).
  std::unique_ptr<ZeHandleTable<ZeImageCell>> images;
  std::unique_ptr<ZeHandleTable<ZeObjectCell>> objects;
  std::unique_ptr<ZeHandleTable<ZeLightCell>> lights;
  std::unique_ptr<ZeHandleTable<ZeFxEmitterCell>> fxEmitters;
  std::unique_ptr<ZeHandleTable<ZeEffectCell>> effects;
};

ZeEngineContext& zeEngineContext();

// 0 or -1; a failure is reported as "Setup failed: %s" and leaves the engine
// stopped with the context cleared.
int zeEngineStart(const ZeEngineSettings& settings);
void zeEngineStop();  // no effect when stopped
bool zeEngineRunning();

// The device's creation parameters for these settings (the unset rules applied).
// `receiver` becomes the event receiver.
irr::SIrrlichtCreationParameters zeCreationParameters(const ZeEngineSettings& settings,
                                                      irr::IEventReceiver* receiver);
// The driver ZARN_DRIVER picks: "null" is the NULL driver, anything else OpenGL.
irr::video::E_DRIVER_TYPE zeRequestedDriver();

// The camera range a start uses: the settings' when near differs from far,
// else 0.1 and 1000.
void zeCameraRange(const ZeEngineSettings& settings, float* nearValue, float* farValue);

// --- Start steps ---------------------------------------------------------------
// Later subsystems join engine start at fixed places. A step writes its failure
// reason (at most 1023 characters) and returns false; stop steps run in the
// reverse order of the start steps that succeeded. The main renderer is made
// between Device and Resources, by the factory of app/IZeRenderer.h.
enum class ZeEngineStep {
  Device,        // device, window and camera exist: extra mesh loaders, ride camera animator
  Resources,     // resource manager's standard shaders
  CurlNoise,     // the curl-noise volume, after the standard shaders
  Music,         // last, after the handle tables: the music table and service
  Count
};

struct ZeEngineStepHooks {
  bool (*start)(ZeEngineContext& context, char* reason) = nullptr;
  void (*stop)(ZeEngineContext& context) = nullptr;
};

// Replaces the hooks of one step (empty hooks: the step does nothing).
void zeSetEngineStep(ZeEngineStep step, const ZeEngineStepHooks& hooks);

// --- Reasons -------------------------------------------------------------------
const char* zeStartFailureReason();
const char* zeEngineInitReason();
