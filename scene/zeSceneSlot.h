// One entry of the scene table, shared by loading, animation and live update.
#pragma once

#include <vector>

#include "scene/zeScene.h"
#include "scene/zeSceneSeams.h"
#include "zf/zfScene.h"

// Post-processing cache: the last values handed over.
enum ZePostCache {
  ZE_PP_GLOW, ZE_PP_STREAK, ZE_PP_CAMERA_DOF, ZE_PP_ADVANCED_DOF, ZE_PP_BLOOM, ZE_PP_SSAO, ZE_PP_SHADOW,
  ZE_PP_AA_JITTER, ZE_PP_AA_LOCATION, ZE_PP_AA_MODE, ZE_PP_AA_BLENDING, ZE_PP_AA_BLENDING_WEIGHT,
  ZE_PP_AA_VLIMIT_ENABLE, ZE_PP_SPARE, ZE_PP_COUNT
};

struct ZeSceneSlot {
  bool inUse = false;
  bool objectsOnly = false;
  ZeSceneLoadParams params;
  ZF_SceneView* view = nullptr;
  char sourceTag[256] = {};
  float cameraShaderState[ZF_MAX_CAMERA_SHADERS] = {};
  bool cameraShaderVisible[ZF_MAX_CAMERA_SHADERS] = {};
  int postCache[ZE_PP_COUNT];
  float postCacheVLimit = 0.0f;
  int frameStart = 0;
  bool reloaded = false;
  bool visible = false;  // shown and not hidden since
  int lastTimeMs = 0;
  // Scratch reused by every frame, so that animation allocates nothing.
  std::vector<ZF_SurfaceParams> surfaceScratch;
  ZF_EffectParams effectScratch;
  // The camera shaders' parameters last handed over (reload compares them).
  std::vector<ZF_EffectParams> cameraShaderParams;

  void resetPostCache() {
    for (int& v : postCache) v = -1;
    postCacheVLimit = 0.0f;
  }
};

// The slot of a valid identifier whose scene is loaded, else null after
// "Invalid Scene ID %d" / "Scene ID %d does not exist" with argument `argIndex`.
ZeSceneSlot* zeSceneSlotChecked(int id, int argIndex = 1);
// The slot, silently (null when out of range or free).
ZeSceneSlot* zeSceneSlotQuiet(int id);
bool zeSceneReports();

// Steps of loading that live update repeats.
void zeSceneCreateLights(ZeSceneSlot& slot);
void zeSceneDeleteLights(ZeSceneSlot& slot, size_t count);
void zeSceneCreateObjects(ZeSceneSlot& slot, int sceneId, bool share, int* cancelled);
void zeSceneDeleteObjects(ZeSceneSlot& slot, size_t count);
void zeSceneCreateObject(ZeSceneSlot& slot, int sceneId, int index, bool share);
void zeSceneApplyObjectOptions(ZeSceneSlot& slot, int index);
void zeSceneApplySurfaces(ZeSceneSlot& slot, int index, float sample, bool initial);
void zeSceneCreateCubeMaps(ZeSceneSlot& slot);
void zeSceneDeleteCubeMaps(ZeSceneSlot& slot, size_t count);
void zeSceneCreateProbes(ZeSceneSlot& slot);
void zeSceneBuildRenderer(ZeSceneSlot& slot);
void zeSceneDeleteRenderer(ZeSceneSlot& slot, const ZF_SceneView& view);
void zeSceneCreateEmitters(ZeSceneSlot& slot);
void zeSceneCreateEmitter(ZeSceneSlot& slot, int index);  // the seam is available
void zeSceneSetEmitterParents(ZeSceneSlot& slot);
void zeSceneDeleteEmitters(ZeSceneSlot& slot, size_t count);
void zeSceneLoadCameraShaders(ZeSceneSlot& slot);
void zeSceneDeleteCameraShaders(ZeSceneSlot& slot, size_t count);
// Backdrop, colour space and camera range of the view (as showing does).
void zeSceneApplyDisplay(const ZF_SceneView& view);
void zeSceneRenderCubeMaps(ZeSceneSlot& slot, int sceneId, bool force);
void zeSceneRenderProbes(ZeSceneSlot& slot, int sceneId, bool force);
// The light record the light layer configures from.
struct SZeLightRecord;
void zeSceneLightRecord(const ZF_LightRec& rec, SZeLightRecord* out);

// The two strongest cube-map influences of an object at sample s: indices in
// the object's influences (-1: none) and the blend.
void zeSceneSelectCubeMaps(const ZF_ObjectRec& object, float s, int* best, int* second, float* blend);
