// The scene table and scene loading.
//
// Contents: table and checks · seams · lights · cube maps and probes ·
// objects (sharing, options, surfaces) · renderer · emitters · camera
// shaders · load · delete, show, hide · totals and facts.
#include "scene/zeScene.h"

#include <strings.h>

#include <cmath>
#include <cstdio>
#include <cstring>

#include "app/IZeRenderer.h"
#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSlot.h"

namespace {

ZeSceneSlot slots[ZE_MAX_SCENES];
ZeLoadSceneCallback progressCallback = nullptr;
void* progressUser = nullptr;
bool loadReports = false;

int intOf(const ZF_Entry* e) {
  if (!e || e->kind != ZF_VALUE || e->value.count == 0) return 0;
  if (e->type == ZF_I4 || e->type == ZF_U4) return static_cast<const int32_t*>(e->value.data)[0];
  if (e->type == ZF_FP || e->type == ZF_FP_C) return static_cast<int>(ZF_FP_At(e, 0));
  return 0;
}

bool sameIgnoringCase(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return strcasecmp(a, b) == 0;
}

// --- Seams ------------------------------------------------------------------------------
CZeSceneRendererSeam defaultRenderer;
CZeRenderSettingsSeam defaultSettings;
CZeCubeMapsSeam defaultCubeMaps;
CZeCameraShadersSeam defaultCameraShaders;
CZeEmittersSeam defaultEmitters;
CZeSceneMeshesSeam defaultMeshes;
ZeSceneSeams seams{&defaultRenderer, &defaultSettings, &defaultCubeMaps,
                   &defaultCameraShaders, &defaultEmitters, &defaultMeshes};

}  // namespace

void zeSceneSeamUnbuilt(const char* what) { zeNotBuilt(what); }

void zeSceneSeamsNewLoad() { zeNotBuiltSayAgain(); }

void zeSetSceneSeams(const ZeSceneSeams& s) {
  seams.renderer = s.renderer ? s.renderer : &defaultRenderer;
  seams.settings = s.settings ? s.settings : &defaultSettings;
  seams.cubeMaps = s.cubeMaps ? s.cubeMaps : &defaultCubeMaps;
  seams.cameraShaders = s.cameraShaders ? s.cameraShaders : &defaultCameraShaders;
  seams.emitters = s.emitters ? s.emitters : &defaultEmitters;
  seams.meshes = s.meshes ? s.meshes : &defaultMeshes;
}

const ZeSceneSeams& zeSceneSeams() { return seams; }

// --- Table and checks ----------------------------------------------------------------------
ZeSceneSlot* zeSceneSlotChecked(int id, int argIndex) {
  // Negative identifiers are refused as those past the table are.
  if (id < 0 || id >= ZE_MAX_SCENES) {
    zeReportArgError(argIndex, "Invalid Scene ID %d", id);
    return nullptr;
  }
  if (!slots[id].inUse) {
    zeReportArgError(argIndex, "Scene ID %d does not exist", id);
    return nullptr;
  }
  return &slots[id];
}

ZeSceneSlot* zeSceneSlotQuiet(int id) {
  if (id < 0 || id >= ZE_MAX_SCENES || !slots[id].inUse) return nullptr;
  return &slots[id];
}

bool zeSceneReports() { return loadReports; }

void zeSetLoadSceneCallback(ZeLoadSceneCallback callback, void* user) {
  progressCallback = callback;
  progressUser = user;
}

void zeSetSceneLoadReports(bool on) { loadReports = on; }

const ZF_SceneView* zeSceneView(int id) {
  ZeSceneSlot* slot = zeSceneSlotQuiet(id);
  return slot ? slot->view : nullptr;
}

// --- Lights ------------------------------------------------------------------------------------
void zeSceneLightRecord(const ZF_LightRec& rec, SZeLightRecord* out) {
  SZeLightRecord r;
  r.type = rec.type;
  const ZF_Float2 cone = rec.coneAngles ? ZF_FP2_At(rec.coneAngles, 0) : ZF_Float2{0, 0};
  r.coneAngles[0] = cone.x, r.coneAngles[1] = cone.y;
  r.falloff = rec.falloff;
  r.range = rec.range ? ZF_FP_At(rec.range, 0) : 0.0f;
  const ZF_Float3 colour = rec.color ? ZF_FP3_At(rec.color, 0) : ZF_Float3{0, 0, 0};
  r.colour[0] = colour.x, r.colour[1] = colour.y, r.colour[2] = colour.z;
  r.intensity = rec.intensity ? ZF_FP_At(rec.intensity, 0) : 0.0f;
  r.shadowType = rec.shadowType;
  for (int k = 0; k < 3; ++k) r.shadowColor[k] = rec.shadowColor[k];
  r.shadowMapSize = rec.shadMapSize;
  r.shadowMapFuzz = rec.shadMapFuzz;
  r.projectionImage = rec.projImage;
  r.flags = rec.flags;
  r.hasVolumetricFlags = rec.hasVolumetricFlags;
  for (int k = 0; k < 5; ++k) r.volumetricFlags[k] = rec.volumetricFlags[k];
  const ZF_Float3 vc = rec.volumetricColor ? ZF_FP3_At(rec.volumetricColor, 0) : ZF_Float3{1, 1, 1};
  r.volumetricColor[0] = vc.x, r.volumetricColor[1] = vc.y, r.volumetricColor[2] = vc.z;
  *out = r;
}

void zeSceneCreateLights(ZeSceneSlot& slot) {
  for (size_t i = 0; i < slot.view->lights.size(); ++i) {
    const int id = slot.params.lightBase + static_cast<int>(i);
    if (zeMakeLight(id) != 0) continue;
    SZeLightRecord record;
    zeSceneLightRecord(slot.view->lights[i], &record);
    zeConfigureLight(id, record);
  }
}

void zeSceneDeleteLights(ZeSceneSlot& slot, size_t count) {
  for (size_t i = 0; i < count; ++i) zeDeleteLight(slot.params.lightBase + static_cast<int>(i));
}

// --- Cube maps and probes ------------------------------------------------------------------------
void zeSceneCreateCubeMaps(ZeSceneSlot& slot) {
  if (slot.view->cubeMaps.empty() || !seams.cubeMaps->cubeMapsAvailable()) return;
  for (size_t i = 0; i < slot.view->cubeMaps.size(); ++i) {
    const ZF_CubeMapRec& c = slot.view->cubeMaps[i];
    const int id = slot.params.cubeMapBase + static_cast<int>(i);
    seams.cubeMaps->makeCubeMap(id, c.textureSize, c.renderType == 1, c.useLatLong != 0);
    if (!seams.cubeMaps->cubeMapExists(id) && loadReports) zeReportError("The cubemap id=%d cannot be created", id);
  }
}

void zeSceneDeleteCubeMaps(ZeSceneSlot& slot, size_t count) {
  for (size_t i = 0; i < count; ++i) seams.cubeMaps->deleteCubeMap(slot.params.cubeMapBase + static_cast<int>(i));
}

void zeSceneCreateProbes(ZeSceneSlot& slot) {
  const ZF_SceneView& v = *slot.view;
  const int id = slot.params.probesId;
  if (!seams.cubeMaps->probesAvailable()) return;
  seams.cubeMaps->makeProbes(id, v.probesSettings.textureName ? v.probesSettings.textureName : "");
  if (!seams.cubeMaps->probesExist(id)) {
    if (loadReports) zeReportError("The probes id=%d cannot be created", id);
    zeReportArgError(-1, "Failed to create probes");
    return;
  }
  if (seams.cubeMaps->initProbes(id, v.probesSettings.textureSize, static_cast<int>(v.probes.size())) != 0) {
    if (loadReports) zeReportError("The probes id=%d cannot be init", id);
    zeReportArgError(-1, "Failed to init probes");
    return;
  }
  for (size_t i = 0; i < v.probes.size(); ++i) {
    const ZF_Float3 p = v.probes[i].position;
    seams.cubeMaps->setProbe(id, static_cast<int>(i), ZeVec3{p.x, p.y, p.z}, v.probes[i].radius);
  }
}

// --- Objects ------------------------------------------------------------------------------------
namespace {

// An object of a scene with the same source tag made from the same files: a
// point-cache object or point cloud is not the plain object of its file.
int findSharedObject(const ZeSceneSlot& loading, int index) {
  const ZF_ObjectRec& want = loading.view->objects[index];
  const int wantId = loading.params.objectBase + index;
  for (const ZeSceneSlot& s : slots) {
    if (!s.inUse || !s.view || !sameIgnoringCase(s.sourceTag, loading.sourceTag)) continue;
    const size_t count = &s == &loading ? static_cast<size_t>(index) : s.view->objects.size();
    for (size_t i = 0; i < count; ++i) {
      const ZF_ObjectRec& o = s.view->objects[i];
      const int id = s.params.objectBase + static_cast<int>(i);
      if (id == wantId || !sameIgnoringCase(o.zfilename, want.zfilename)) continue;
      if (o.pointCloudCount != want.pointCloudCount || !sameIgnoringCase(o.mddFile, want.mddFile)) continue;
      if (zeObjectExist(id)) return id;
    }
  }
  return -1;
}

}  // namespace

void zeSceneCreateObject(ZeSceneSlot& slot, int /*sceneId*/, int index, bool share) {
  const ZF_ObjectRec& o = slot.view->objects[index];
  const int id = slot.params.objectBase + index;
  const char* file = o.zfilename ? o.zfilename : "";
  const int shared = share ? findSharedObject(slot, index) : -1;
  if (shared >= 0) {
    if (slot.params.instanceShared) zeInstanceObject(id, shared);
    else zeCloneObject(id, shared);
  } else if (o.mddFile) {
    seams.meshes->loadPointCacheObject(id, file, o.mddFile);
  } else if (o.pointCloudCount != 0) {
    seams.meshes->loadPointCloud(id, file, o.pointCloudCount, o.pointCloudFlags);
  } else {
    zeLoadObject(id, file);
  }
  if (!zeObjectExist(id)) {
    if (loadReports) zeReportError("The object id=%d '%s' cannot be loaded", id, file);
    return;
  }
  // The first influence with a known cube map, one with a box preferred.
  int chosen = -1;
  for (size_t k = 0; k < o.influences.size(); ++k) {
    const ZF_CubeInfluence& inf = o.influences[k];
    if (inf.cubeMap < 0) continue;
    if (chosen < 0) chosen = static_cast<int>(k);
    if (inf.aabbPosition && inf.aabbScale) {
      chosen = static_cast<int>(k);
      break;
    }
  }
  if (chosen >= 0) {
    const int cube = slot.params.cubeMapBase + o.influences[chosen].cubeMap;
    if (seams.cubeMaps->cubeMapExists(cube)) zeSetObjectCubeMap1(id, cube);
  }
}

void zeSceneApplyObjectOptions(ZeSceneSlot& slot, int index) {
  const ZF_ObjectRec& o = slot.view->objects[index];
  const int id = slot.params.objectBase + index;
  zeSetObjectShadows(id, (o.shadowOpts & 2) != 0);
  zeSetObjectSelectionMask(id, static_cast<unsigned>(o.selectionMask));
  if (o.vertexTextureName && o.vertexTextureName[0]) {
    const int flags = (slot.reloaded ? 1 : 0) | (o.vertexTextureFormat ? 2 : 0) | (o.vertexTextureContent ? 4 : 0);
    zeSetObjectVertexTexture(id, o.vertexTextureName, flags);
  }
  if (o.hasMdd) seams.meshes->setPointCachePostBehaviour(id, o.postBehavior);
}

void zeSceneCreateObjects(ZeSceneSlot& slot, int sceneId, bool share, int* cancelled) {
  const size_t count = slot.view->objects.size();
  for (size_t i = 0; i < count; ++i) {
    if (cancelled && progressCallback &&
        progressCallback(static_cast<int>(i * 100 / count), progressUser) != 0) {
      *cancelled = 1;
      return;
    }
    zeSceneCreateObject(slot, sceneId, static_cast<int>(i), share);
    const int id = slot.params.objectBase + static_cast<int>(i);
    if (!zeObjectExist(id)) continue;
    zeSceneApplyObjectOptions(slot, static_cast<int>(i));
    if (slot.objectsOnly) zeLockObjectOn(id);
    zeHideObject(id);
  }
}

void zeSceneDeleteObjects(ZeSceneSlot& slot, size_t count) {
  for (size_t i = 0; i < count; ++i) zeDeleteObject(slot.params.objectBase + static_cast<int>(i));
}

void zeSceneApplySurfaces(ZeSceneSlot& slot, int index, float sample, bool initial) {
  const ZF_ObjectRec& o = slot.view->objects[index];
  if (o.sceneObject < 0) return;
  const ZF_SceneObjectRec& so = slot.view->sceneObjects[o.sceneObject];
  if (so.surfaces.empty()) return;
  if (slot.surfaceScratch.size() < so.surfaces.size())
    slot.surfaceScratch.resize(so.surfaces.size() < ZF_MAX_SURFACES ? so.surfaces.size() : ZF_MAX_SURFACES);
  const int n = ZF_SurfaceParamsEval(&so, sample, slot.surfaceScratch.data(),
                                     static_cast<int>(slot.surfaceScratch.size()));
  seams.meshes->applySurfaces(slot.params.objectBase + index, slot.surfaceScratch.data(), n, initial);
}

// --- Renderer -------------------------------------------------------------------------------------
void zeSceneBuildRenderer(ZeSceneSlot& slot) {
  const ZF_SceneView& v = *slot.view;
  if (!v.hasRenderCommands || !seams.renderer->available()) return;
  if (seams.renderer->createRendererTextures(v) != 0) {
    zeMessage(ZE_WARN | ZE_MSG_SHOW, "Create renderer textures failed : zeCreateRendererTextures failed");
    return;
  }
  for (size_t i = 0; i < v.renderEffects.size(); ++i) {
    ZF_EffectParamsEval(v.renderEffects[i], 0.0f, &slot.effectScratch);
    if (seams.renderer->loadEffect(slot.params.effectBase + static_cast<int>(i), slot.effectScratch) != 0) break;
  }
  if (seams.renderer->createRenderer(slot.params.rendererId, slot.params.effectBase, slot.params.lightBase, v) == 0)
    zeSetCurrentRenderer(seams.renderer->renderer(slot.params.rendererId));
}

void zeSceneDeleteRenderer(ZeSceneSlot& slot, const ZF_SceneView& view) {
  if (!view.hasRenderCommands) return;
  // A deleted scene's renderer draws no more frames.
  IZeRenderer* own = seams.renderer->renderer(slot.params.rendererId);
  if (own && own == zeCurrentRenderer()) zeSetCurrentRenderer(nullptr);
  seams.renderer->deleteRenderer(slot.params.rendererId);
  for (size_t i = 0; i < view.renderEffects.size(); ++i)
    seams.renderer->deleteEffect(slot.params.effectBase + static_cast<int>(i));
}

// --- Emitters ---------------------------------------------------------------------------------------
namespace {

int findObjectByName(const ZeSceneSlot& slot, const char* name) {
  if (!name) return -1;
  for (size_t i = 0; i < slot.view->objects.size(); ++i) {
    const int id = slot.params.objectBase + static_cast<int>(i);
    if (sameIgnoringCase(slot.view->objects[i].name, name) && zeObjectExist(id)) return id;
  }
  return -1;
}

const char* clipFile(const ZF_EmitterRec& r) {
  const ZF_Entry* e = r.hv[ZF_HV_CLIPFILENAME];
  if (e && e->kind == ZF_VALUE && e->type == ZF_STR) return static_cast<const char*>(e->value.data);
  return "<no clip file>";
}

}  // namespace

void zeSceneCreateEmitter(ZeSceneSlot& slot, int index) {
  const ZF_EmitterRec& r = slot.view->emitters[index];
  const int id = slot.params.fxEmitterBase + index;
  const char* clip = clipFile(r);
  if (r.type == 1) {
    seams.emitters->make(id, r, findObjectByName(slot, r.name));
  } else if (r.type == 0) {
    const int nozzle = intOf(r.pfx[ZF_PFX_NOZZLE]);
    if (nozzle == 0 || nozzle == 1 || nozzle == 8 || nozzle == 9) {
      seams.emitters->make(id, r, -1);
    } else if (nozzle == 2 || nozzle == 3 || nozzle == 5) {
      const int object = findObjectByName(slot, r.name);
      if (object < 0) zeReportError("fxemitter mesh id=%d image file='%s' cannot find object ", id, clip);
      else seams.emitters->make(id, r, object);
    } else {
      zeReportError("Unsupported Nozzle type %d for fxemitter id=%d (image file='%s')", nozzle, id, clip);
    }
  } else {
    return;  // nothing is made for other types
  }
  if (!seams.emitters->exists(id)) {
    if (loadReports) zeReportError("The fxemitter id=%d (image file='%s') cannot be created", id, clip);
    return;
  }
  const ZF_EffectParams* effect = nullptr;
  if (r.effect) {
    ZF_EffectParamsEval(r.effect, 0.0f, &slot.effectScratch);
    effect = &slot.effectScratch;
  }
  seams.emitters->configure(id, r, effect);
  if (slot.objectsOnly) seams.emitters->lock(id);
}

void zeSceneSetEmitterParents(ZeSceneSlot& slot) {
  const ZF_SceneView& v = *slot.view;
  for (size_t i = 0; i < v.emitters.size(); ++i) {
    const ZF_EmitterRec& r = v.emitters[i];
    const int id = slot.params.fxEmitterBase + static_cast<int>(i);
    const int nozzle = intOf(r.pfx[ZF_PFX_NOZZLE]);
    if (r.type != 0 || (nozzle != 7 && nozzle != 8 && nozzle != 9) || !seams.emitters->exists(id)) continue;
    int parent = -1;
    for (size_t k = 0; k < v.emitters.size() && parent < 0; ++k) {
      const int pid = slot.params.fxEmitterBase + static_cast<int>(k);
      if (sameIgnoringCase(v.emitters[k].name, r.parentName) && seams.emitters->exists(pid)) parent = pid;
    }
    if (parent < 0) zeReportError("fxemitter parent-emitter id=%d cannot find parent emitter", id);
    seams.emitters->setParent(id, parent);
  }
}

void zeSceneCreateEmitters(ZeSceneSlot& slot) {
  const ZF_SceneView& v = *slot.view;
  if (v.emitters.empty() || !seams.emitters->available()) return;
  for (size_t i = 0; i < v.emitters.size(); ++i) zeSceneCreateEmitter(slot, static_cast<int>(i));
  zeSceneSetEmitterParents(slot);
}

void zeSceneDeleteEmitters(ZeSceneSlot& slot, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const int id = slot.params.fxEmitterBase + static_cast<int>(i);
    if (seams.emitters->exists(id)) seams.emitters->destroy(id);
  }
}

// --- Camera shaders ------------------------------------------------------------------------------------
void zeSceneLoadCameraShaders(ZeSceneSlot& slot) {
  const ZF_SceneView& v = *slot.view;
  slot.cameraShaderParams.assign(v.cameraShaders.size() < ZF_MAX_CAMERA_SHADERS ? v.cameraShaders.size()
                                                                                : ZF_MAX_CAMERA_SHADERS,
                                 ZF_EffectParams{});
  const bool available = !v.cameraShaders.empty() && seams.cameraShaders->available();
  for (size_t j = 0; j < v.cameraShaders.size(); ++j) {
    if (j >= ZF_MAX_CAMERA_SHADERS) {
      zeReportArgError(-1, "Camera shader i=%d > max %d camera shaders", static_cast<int>(j), ZF_MAX_CAMERA_SHADERS);
      continue;
    }
    if (!available) continue;
    const ZF_CameraShaderRec& r = v.cameraShaders[j];
    const int id = slot.params.cameraShaderBase + static_cast<int>(j);
    const char* file = r.effect ? r.effect->filename : "";
    if (seams.cameraShaders->load(id, file, r.effect ? r.effect->cflags : "") != 0) {
      zeMessage(ZE_INFO, "The camera shader id=%d file='%s' cannot be loaded", id, file);
      continue;
    }
    ZF_EffectParamsEval(r.effect, 0.0f, &slot.cameraShaderParams[j]);
    seams.cameraShaders->setParams(id, slot.cameraShaderParams[j]);
  }
}

void zeSceneDeleteCameraShaders(ZeSceneSlot& slot, size_t count) {
  for (size_t j = 0; j < count && j < ZF_MAX_CAMERA_SHADERS; ++j) {
    seams.cameraShaders->remove(slot.params.cameraShaderBase + static_cast<int>(j));
    slot.cameraShaderVisible[j] = false;
    slot.cameraShaderState[j] = 0.0f;
  }
}

// --- Load -----------------------------------------------------------------------------------------------
int zeLoadScene(int id, const char* path, const char* sourceTag, const ZeSceneLoadParams& params) {
  zeSceneSeamsNewLoad();
  if (progressCallback && progressCallback(0, progressUser) != 0) return 1;
  if (id < 0 || id >= ZE_MAX_SCENES) {
    zeReportArgError(1, "Invalid Scene ID %d", id);
    return -1;
  }
  ZeSceneSlot& slot = slots[id];
  if (slot.inUse) {
    zeReportArgError(1, "Scene ID %d is already in use", id);
    return -1;
  }
  slot = ZeSceneSlot{};
  slot.objectsOnly = params.objectsOnly;
  slot.view = ZF_SceneOpen(path);
  if (!slot.view) {
    zeReportArgError(2, "Failed to load scene file '%s', error: %s", path ? path : "", ZF_SceneLastError());
    return -1;
  }
  std::snprintf(slot.sourceTag, sizeof slot.sourceTag, "%s", sourceTag ? sourceTag : "");
  slot.lastTimeMs = 0;
  slot.resetPostCache();
  slot.inUse = true;
  const ZF_SceneView& v = *slot.view;
  if (v.cameras.empty()) zeMessage(ZE_WARN | ZE_MSG_SHOW, "There is no camera in the scene");
  slot.frameStart = v.frameStart;
  slot.params = params;

  if (!slot.objectsOnly) zeSceneCreateLights(slot);
  zeSceneCreateCubeMaps(slot);
  if (v.probesActive) zeSceneCreateProbes(slot);
  int cancelled = 0;
  zeSceneCreateObjects(slot, id, true, &cancelled);
  if (cancelled) return 1;
  if (!slot.objectsOnly) {
    seams.settings->setVelocityFlags(intOf(v.renderSettings[ZF_RS_VELOCITY_SOLID]),
                                     intOf(v.renderSettings[ZF_RS_VELOCITY_TRANSPARENT]));
  }
  if (!slot.objectsOnly) zeSceneBuildRenderer(slot);
  for (size_t i = 0; i < v.objects.size(); ++i) {
    const int oid = params.objectBase + static_cast<int>(i);
    if (!zeObjectExist(oid)) continue;
    const ZF_ObjectRec& o = v.objects[i];
    if (o.sceneObject >= 0 && v.sceneObjects[o.sceneObject].surfaces.size() > ZF_MAX_SURFACES)
      zeReportError("The object id=%d '%s' numSurfaces=%d > NOF_SURFACE_MAX=%d. Will result in corruption", oid,
                    o.zfilename ? o.zfilename : "", static_cast<int>(v.sceneObjects[o.sceneObject].surfaces.size()),
                    ZF_MAX_SURFACES);
    zeSceneApplySurfaces(slot, static_cast<int>(i), 0.0f, true);
  }
  zeSceneCreateEmitters(slot);
  if (!slot.objectsOnly) zeSceneLoadCameraShaders(slot);
  zeHideScene(id);
  return 0;
}

// --- Delete, show, hide -------------------------------------------------------------------------------------
int zeDeleteScene(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  const ZF_SceneView& v = *slot->view;
  zeSceneDeleteCubeMaps(*slot, v.cubeMaps.size());
  if (v.probesActive) seams.cubeMaps->deleteProbes(slot->params.probesId);
  zeSceneDeleteObjects(*slot, v.objects.size());
  if (!slot->objectsOnly) zeSceneDeleteLights(*slot, v.lights.size());
  zeSceneDeleteEmitters(*slot, v.emitters.size());
  if (!slot->objectsOnly) zeSceneDeleteCameraShaders(*slot, v.cameraShaders.size());
  if (!slot->objectsOnly) zeSceneDeleteRenderer(*slot, v);
  ZF_SceneClose(slot->view);
  *slot = ZeSceneSlot{};
  return 0;
}

void zeDeleteAllScenes() {
  for (int i = 0; i < ZE_MAX_SCENES; ++i)
    if (slots[i].inUse) zeDeleteScene(i);
}

void zeSceneApplyDisplay(const ZF_SceneView& v) {
  auto byte = [](float c) {
    const float b = c * 255.0f;
    return static_cast<unsigned>(std::isfinite(b) ? (b < 0 ? 0 : (b > 255 ? 255 : b)) : 0);
  };
  zeColorBackdrop((byte(v.zenith.x) << 16) | (byte(v.zenith.y) << 8) | byte(v.zenith.z));
  seams.settings->setColorSpaceViewer(v.colorSpaceViewer);
  if (intOf(v.renderSettings[ZF_RS_CAMERARANGE_ENABLE])) {
    irr::scene::ICameraSceneNode* camera = zeEngineContext().camera;
    const float nearValue = ZF_FP_At(v.renderSettings[ZF_RS_CAMERARANGE_MIN], 0);
    const float farValue = ZF_FP_At(v.renderSettings[ZF_RS_CAMERARANGE_MAX], 0);
    if (camera && nearValue > 0 && farValue > nearValue) {
      camera->setNearValue(nearValue);
      camera->setFarValue(farValue);
    }
  }
}

int zeShowScene(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  const ZF_SceneView& v = *slot->view;
  for (size_t i = 0; i < v.objects.size(); ++i) {
    const int oid = slot->params.objectBase + static_cast<int>(i);
    if (zeObjectExist(oid)) zeShowObject(oid);
  }
  if (!slot->objectsOnly)
    for (size_t i = 0; i < v.lights.size(); ++i) {
      const int lid = slot->params.lightBase + static_cast<int>(i);
      if (zeLightExist(lid)) zeShowLight(lid);
    }
  for (size_t i = 0; i < v.emitters.size(); ++i) {
    const int eid = slot->params.fxEmitterBase + static_cast<int>(i);
    if (seams.emitters->exists(eid)) seams.emitters->setVisible(eid, true);
  }
  if (!slot->objectsOnly) {
    zeSceneApplyDisplay(v);
    seams.settings->setVelocityFlags(intOf(v.renderSettings[ZF_RS_VELOCITY_SOLID]),
                                     intOf(v.renderSettings[ZF_RS_VELOCITY_TRANSPARENT]));
    if (v.hasRenderCommands) zeSetCurrentRenderer(seams.renderer->renderer(slot->params.rendererId));
    if (v.probesActive) seams.cubeMaps->activateProbes(slot->params.probesId);
  }
  seams.renderer->sceneShown(id);
  slot->visible = true;
  return 0;
}

int zeHideScene(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  const ZF_SceneView& v = *slot->view;
  for (size_t i = 0; i < v.objects.size(); ++i) {
    const int oid = slot->params.objectBase + static_cast<int>(i);
    if (zeObjectExist(oid)) zeHideObject(oid);
  }
  if (!slot->objectsOnly)
    for (size_t i = 0; i < v.lights.size(); ++i) {
      const int lid = slot->params.lightBase + static_cast<int>(i);
      if (zeLightExist(lid)) zeHideLight(lid);
    }
  for (size_t i = 0; i < v.emitters.size(); ++i) {
    const int eid = slot->params.fxEmitterBase + static_cast<int>(i);
    if (seams.emitters->exists(eid)) seams.emitters->setVisible(eid, false);
  }
  for (size_t j = 0; j < v.cameraShaders.size() && j < ZF_MAX_CAMERA_SHADERS; ++j) {
    if (!slot->objectsOnly) seams.cameraShaders->show(slot->params.cameraShaderBase + static_cast<int>(j), false);
    slot->cameraShaderVisible[j] = false;
    slot->cameraShaderState[j] = 0.0f;
  }
  if (!slot->objectsOnly) {
    seams.settings->setVelocityFlags(0, 0);
    if (v.hasRenderCommands) zeSetCurrentRenderer(nullptr);
    if (v.probesActive) seams.cubeMaps->activateProbes(-1);
  }
  slot->resetPostCache();
  slot->visible = false;
  return 0;
}

int zeSceneExist(int id) { return zeSceneSlotQuiet(id) ? 1 : 0; }

// --- Totals and facts -----------------------------------------------------------------------------------------
int zeSceneTotal(int id, ZeSceneTotal what) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return 0;
  const ZF_SceneView& v = *slot->view;
  switch (what) {
    case ZE_SCENE_TOTAL_OBJECTS: return static_cast<int>(v.objects.size());
    case ZE_SCENE_TOTAL_LIGHTS: return static_cast<int>(v.lights.size());
    case ZE_SCENE_TOTAL_FXEMITTERS: return static_cast<int>(v.emitters.size());
    case ZE_SCENE_TOTAL_CUBEMAPS: return static_cast<int>(v.cubeMaps.size());
    case ZE_SCENE_TOTAL_CAMERASHADERS: return static_cast<int>(v.cameraShaders.size());
    case ZE_SCENE_TOTAL_EFFECTS: return v.hasRenderCommands ? static_cast<int>(v.renderEffects.size()) : 0;
    case ZE_SCENE_TOTAL_PROBES_ACTIVE: return v.probesActive ? 1 : 0;
    case ZE_SCENE_TOTAL_HAS_RENDER_COMMANDS: return v.hasRenderCommands ? 1 : 0;
  }
  return 0;
}

int zeSceneFindObjectByName(int id, const char* name) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  return findObjectByName(*slot, name);
}

int zeSceneAnimTimeEnd(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return 0;
  const ZF_SceneView& v = *slot->view;
  const int fps = std::isfinite(v.framesPerSecond) && std::fabs(v.framesPerSecond) < 1e6f
                      ? static_cast<int>(v.framesPerSecond)
                      : 0;
  if (fps == 0) return 0;
  const long long ms = (static_cast<long long>(v.frameEnd) - v.frameStart) * 1000 / fps;
  return ms > 0x7fffffff ? 0x7fffffff : (ms < -0x7fffffff ? -0x7fffffff : static_cast<int>(ms));
}

int zeSceneFps(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return 0;
  const float fps = slot->view->framesPerSecond;
  return std::isfinite(fps) && std::fabs(fps) < 1e6f ? static_cast<int>(fps) : 0;
}

int zeSceneFrameStart(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  return slot ? slot->view->frameStart : 0;
}

int zeSceneFrameEnd(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  return slot ? slot->view->frameEnd : 0;
}

int zeSceneIsAnimated(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  return slot && static_cast<long long>(slot->view->frameEnd) - slot->view->frameStart > 2 ? 1 : 0;
}

const char* zeSceneAudioFile(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return nullptr;
  const ZF_Entry* e = slot->view->loadAudio;
  if (!e || e->kind != ZF_VALUE || e->type != ZF_STR) return nullptr;
  const char* text = static_cast<const char*>(e->value.data);
  return text[0] ? text : nullptr;
}

int zeSceneAudioOffset(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return 0;
  const ZF_SceneView& v = *slot->view;
  const float start = v.audioStartTime ? ZF_FP_At(v.audioStartTime, 0) : 0.0f;
  // Without a frame rate the scene's first frame has no time: it counts as 0.
  const float first = v.framesPerSecond != 0.0f ? v.frameStart / v.framesPerSecond : 0.0f;
  const double ms = -1000.0 * (static_cast<double>(start) - first);
  if (!std::isfinite(ms) || std::fabs(ms) > 2e9) return 0;
  return static_cast<int>(ms);
}
