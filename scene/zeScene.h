// The scene table: up to 60 loaded scenes, each a scene view and the
// identifier bases of the engine objects made from it; loading, showing,
// hiding, deleting, totals, per-frame animation and live update.
//
// Contents: load parameters · table operations · scene facts · animation ·
// cube maps and probes · live update.
#pragma once

#include "zf/zfScene.h"

constexpr int ZE_MAX_SCENES = 60;

struct ZeSceneLoadParams {
  int objectBase = 0;
  int lightBase = 0;
  int fxEmitterBase = 0;
  int cubeMapBase = 0;
  int probesId = 0;
  int cameraShaderBase = 0;
  int rendererId = 0;
  int effectBase = 0;
  bool instanceShared = false;
  bool objectsOnly = false;
};

// --- Table operations ------------------------------------------------------------
// 0 success, -1 failure, 1 cancelled by the progress callback. A failed or
// cancelled load leaves the slot in use with what was made; delete it.
int zeLoadScene(int id, const char* path, const char* sourceTag, const ZeSceneLoadParams& params);
int zeDeleteScene(int id);  // 0 or -1
int zeShowScene(int id);
int zeHideScene(int id);
int zeSceneExist(int id);  // 1 or 0, silent

enum ZeSceneTotal {
  ZE_SCENE_TOTAL_OBJECTS,
  ZE_SCENE_TOTAL_LIGHTS,
  ZE_SCENE_TOTAL_FXEMITTERS,
  ZE_SCENE_TOTAL_CUBEMAPS,
  ZE_SCENE_TOTAL_CAMERASHADERS,
  ZE_SCENE_TOTAL_EFFECTS,
  ZE_SCENE_TOTAL_PROBES_ACTIVE,
  ZE_SCENE_TOTAL_HAS_RENDER_COMMANDS,
};
int zeSceneTotal(int id, ZeSceneTotal what);  // 0 with a message for a bad id

// Called with 0..99 before each object; non-zero cancels the load.
using ZeLoadSceneCallback = int (*)(int percent, void* user);
void zeSetLoadSceneCallback(ZeLoadSceneCallback callback, void* user);
void zeSetSceneLoadReports(bool on);
// objectBase + i of the first existing object named `name` (any case), else -1.
int zeSceneFindObjectByName(int id, const char* name);

// --- Scene facts ----------------------------------------------------------------------
int zeSceneAnimTimeEnd(int id);  // ms; 0 when the scene has no length or no frame rate
int zeSceneFps(int id);
int zeSceneFrameStart(int id);
int zeSceneFrameEnd(int id);
int zeSceneIsAnimated(int id);
const char* zeSceneAudioFile(int id);  // null when none
int zeSceneAudioOffset(int id);
// The view of a loaded scene (null, silently, when the slot is free).
const ZF_SceneView* zeSceneView(int id);

// --- Animation -------------------------------------------------------------------------
// Sample position and frame of time t (ms). A scene without a frame rate or
// frame step is static: sample 0, frame = frameStart.
void zeSceneTimeToPosition(const ZF_SceneView& view, int timeMs, float* sample, float* frame);
// Point-cache time for "times" at d under an end behaviour and total time e.
float zeSceneCacheTime(int endBehaviour, float d, float e);

int zeAnimateScene(int id, int timeMs);
int zeAnimateSceneObject(int id, int timeMs, int objectId);
int zeAnimateSceneProcessing(int id, int timeMs);
int zeAnimateSceneCameraShaders(int id, int timeMs);

// --- Cube maps and probes ----------------------------------------------------------------
int zePrepareSceneRender(int id);
int zeUpdateDynamicCubeMaps(int id, int timeMs);

// --- Live update ------------------------------------------------------------------------------
// Updates a loaded scene from its changed file; option bit 0 skips re-rendering
// unchanged cube maps and probes. 0, or -1 with the scene left as it was.
int zeReloadScene(const char* path, int id, int options);

// Deletes every scene (engine stop).
void zeDeleteAllScenes();
