// Live update: a loaded scene follows its changed file, recreating only what
// the change requires. Identifiers, visibility and the slot stay.
//
// Contents: comparisons · lights · cube maps and probes · objects and
// surfaces · emitters · camera shaders · the update.
#include <strings.h>

#include <cstring>

#include "base/zeMessage.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeSceneSlot.h"

namespace {

// --- Comparisons ------------------------------------------------------------------------------
bool sameText(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}
bool sameTextIgnoringCase(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return strcasecmp(a, b) == 0;
}

bool sameRow(const ZF_Row& a, const ZF_Row& b, uint32_t type) {
  if (a.count != b.count) return false;
  if (type == ZF_STR) return std::strcmp(static_cast<const char*>(a.data), static_cast<const char*>(b.data)) == 0;
  if (type == ZF_FP_C) {
    for (uint32_t i = 0; i < a.count; ++i)
      if (ZF_FPC_Element(&a, i) != ZF_FPC_Element(&b, i)) return false;
    return true;
  }
  return a.count == 0 || std::memcmp(a.data, b.data, a.count * 4u) == 0;
}

// Two entries hold the same data (names of nodes' children included).
bool sameEntry(const ZF_Entry* a, const ZF_Entry* b) {
  if (!a || !b) return a == b;
  if (a->kind != b->kind || a->count != b->count) return false;
  if (a->kind == ZF_NODE) {
    for (uint32_t i = 0; i < a->count; ++i)
      if (!sameText(a->children[i]->name, b->children[i]->name) || !sameEntry(a->children[i], b->children[i]))
        return false;
    return true;
  }
  if (a->type != b->type) return false;
  if (a->kind == ZF_VALUE) return sameRow(a->value, b->value, a->type);
  for (uint32_t r = 0; r < a->count; ++r)
    if (!sameRow(a->rows[r], b->rows[r], a->type)) return false;
  return true;
}

bool sameEffectFile(const ZF_EffectDesc* a, const ZF_EffectDesc* b) {
  if (!a || !b) return a == b;
  return sameText(a->filename, b->filename);
}

bool sameEffect(const ZF_EffectDesc* a, const ZF_EffectDesc* b) {
  if (!sameEffectFile(a, b)) return false;
  if (!a) return true;
  if (!sameText(a->cflags, b->cflags) || a->params.size() != b->params.size()) return false;
  for (size_t i = 0; i < a->params.size(); ++i) {
    const ZF_EffectParamDesc &x = a->params[i], &y = b->params[i];
    if (!sameText(x.name, y.name) || x.kind != y.kind || x.colorSpace != y.colorSpace ||
        x.reference != y.reference || !sameEntry(x.value, y.value))
      return false;
  }
  return true;
}

bool sameCommands(const ZF_SceneView& a, const ZF_SceneView& b) {
  if (a.hasRenderCommands != b.hasRenderCommands || a.renderCommands.size() != b.renderCommands.size() ||
      a.renderEffects.size() != b.renderEffects.size())
    return false;
  for (size_t i = 0; i < a.renderCommands.size(); ++i) {
    const ZF_RenderCommand &x = a.renderCommands[i], &y = b.renderCommands[i];
    if (!sameText(x.name, y.name) || !sameText(x.cmd, y.cmd) || x.inputCount != y.inputCount ||
        x.outputCount != y.outputCount || x.paramCount != y.paramCount)
      return false;
    for (int k = 0; k < x.inputCount; ++k)
      if (!sameText(x.inputs[k].slot, y.inputs[k].slot) || !sameText(x.inputs[k].texture, y.inputs[k].texture))
        return false;
    for (int k = 0; k < x.outputCount; ++k)
      if (!sameText(x.outputs[k].slot, y.outputs[k].slot) || !sameText(x.outputs[k].texture, y.outputs[k].texture))
        return false;
    for (int k = 0; k < x.paramCount; ++k) {
      const ZF_RenderParam &p = x.params[k], &q = y.params[k];
      if (!sameText(p.name, q.name) || p.kind != q.kind || p.intValue != q.intValue || !sameText(p.text, q.text) ||
          std::memcmp(p.value, q.value, sizeof p.value) != 0)
        return false;
    }
  }
  for (size_t i = 0; i < a.renderEffects.size(); ++i)
    if (!sameEffect(a.renderEffects[i], b.renderEffects[i])) return false;
  return true;
}

// --- Lights ----------------------------------------------------------------------------------------
bool lightNeedsConfigure(const ZF_LightRec& a, const ZF_LightRec& b) {
  if (b.shadowType == 2) return true;
  if (a.type != b.type || a.shadowType != b.shadowType || a.falloff != b.falloff || a.flags != b.flags ||
      !sameText(a.projImage, b.projImage) || a.hasVolumetric != b.hasVolumetric)
    return true;
  if (a.volumetricFlags[1] != b.volumetricFlags[1] || a.volumetricFlags[4] != b.volumetricFlags[4]) return true;
  if (b.volumetricFlags[4]) {
    const ZF_Float3 x = a.volumetricColor ? ZF_FP3_At(a.volumetricColor, 0) : ZF_Float3{1, 1, 1};
    const ZF_Float3 y = b.volumetricColor ? ZF_FP3_At(b.volumetricColor, 0) : ZF_Float3{1, 1, 1};
    if (x.x != y.x || x.y != y.y || x.z != y.z) return true;
  }
  return false;
}

// --- Objects and surfaces ----------------------------------------------------------------------------
int velocity(const ZF_SceneView& v, int key) {
  const ZF_Entry* e = v.renderSettings[key];
  return e ? static_cast<const int32_t*>(e->value.data)[0] : 0;
}

bool anyBox(const ZF_ObjectRec& o) {
  for (const ZF_CubeInfluence& i : o.influences)
    if (i.aabbPosition && i.aabbScale) return true;
  return false;
}
bool anyLatLong(const ZF_SceneView& v, const ZF_ObjectRec& o) {
  for (const ZF_CubeInfluence& i : o.influences)
    if (i.cubeMap >= 0 && v.cubeMaps[i.cubeMap].useLatLong) return true;
  return false;
}

const ZF_SceneObjectRec* surfacesOf(const ZF_SceneView& v, const ZF_ObjectRec& o) {
  return o.sceneObject >= 0 ? &v.sceneObjects[o.sceneObject] : nullptr;
}

float channelAt0(const ZF_ChannelDesc& c) { return c.value ? ZF_FP_At(c.value, 0) : 0.0f; }
int channelInt(const ZF_ChannelDesc& c) {
  if (!c.value || c.kind != ZF_PARAM_INT) return static_cast<int>(channelAt0(c));
  return static_cast<const int32_t*>(c.value->value.data)[0];
}

enum { kTransparency = 5, kTranslucency = 6, kLineSize = 27, kReflectionOptions = 29, kRenderOutlines = 34 };

bool surfacesNeedRecreate(const ZF_SceneObjectRec* a, const ZF_SceneObjectRec* b) {
  const size_t na = a ? a->surfaces.size() : 0, nb = b ? b->surfaces.size() : 0;
  if (na != nb) return true;
  for (size_t s = 0; s < na; ++s) {
    const ZF_SurfaceDesc &x = a->surfaces[s], &y = b->surfaces[s];
    if (!sameEffectFile(x.chosen, y.chosen)) return true;
    for (int c = 0; c < ZF_SURFACE_CHANNELS; ++c)
      if (!sameText(x.channels[c].imageFile, y.channels[c].imageFile) ||
          x.channels[c].colorSpace != y.channels[c].colorSpace)
        return true;
    if ((channelAt0(x.channels[kTransparency]) == 0) != (channelAt0(y.channels[kTransparency]) == 0)) return true;
    if ((channelAt0(x.channels[kTranslucency]) == 0) != (channelAt0(y.channels[kTranslucency]) == 0)) return true;
    if ((channelInt(x.channels[kReflectionOptions]) < 2) != (channelInt(y.channels[kReflectionOptions]) < 2))
      return true;
    if (channelInt(x.channels[kRenderOutlines]) != channelInt(y.channels[kRenderOutlines])) return true;
    if (channelAt0(x.channels[kLineSize]) != channelAt0(y.channels[kLineSize])) return true;
  }
  return false;
}

bool surfacesNeedApply(const ZF_SceneObjectRec* a, const ZF_SceneObjectRec* b) {
  const size_t n = a && b ? a->surfaces.size() : 0;
  for (size_t s = 0; s < n && s < b->surfaces.size(); ++s) {
    const ZF_EffectDesc *x = a->surfaces[s].chosen, *y = b->surfaces[s].chosen;
    if (!sameEffectFile(x, y)) return true;
    if (!x) continue;
    if (x->params.size() != y->params.size()) return true;
    for (size_t k = 0; k < x->params.size(); ++k) {
      const ZF_EffectParamDesc &p = x->params[k], &q = y->params[k];
      if (p.kind != q.kind) return true;
      if (p.kind == ZF_PARAM_TEXT && (!sameEntry(p.value, q.value) || p.colorSpace != q.colorSpace)) return true;
    }
  }
  return false;
}

bool objectNeedsRecreate(const ZF_SceneView& ov, const ZF_ObjectRec& a, const ZF_SceneView& nv,
                         const ZF_ObjectRec& b) {
  if (!sameTextIgnoringCase(a.zfilename, b.zfilename) || a.pointCloudCount != b.pointCloudCount ||
      !sameText(a.mddFile, b.mddFile))
    return true;
  if (surfacesNeedRecreate(surfacesOf(ov, a), surfacesOf(nv, b))) return true;
  if (a.influences.empty() != b.influences.empty() || anyBox(a) != anyBox(b) ||
      anyLatLong(ov, a) != anyLatLong(nv, b))
    return true;
  return false;
}

bool objectOptionsChanged(const ZF_ObjectRec& a, const ZF_ObjectRec& b) {
  return a.shadowOpts != b.shadowOpts || a.selectionMask != b.selectionMask ||
         !sameTextIgnoringCase(a.vertexTextureName, b.vertexTextureName) || a.postBehavior != b.postBehavior;
}

void finishObject(ZeSceneSlot& slot, int index) {
  const int id = slot.params.objectBase + index;
  if (!zeObjectExist(id)) return;
  zeSceneApplyObjectOptions(slot, index);
  if (slot.objectsOnly) zeLockObjectOn(id);
  if (slot.visible) zeShowObject(id);
  else zeHideObject(id);
}

// --- Emitters ---------------------------------------------------------------------------------------------
float at0(const ZF_Entry* e) { return e ? ZF_FP_At(e, 0) : 0.0f; }

bool emitterNeedsRecreate(const ZF_EmitterRec& a, const ZF_EmitterRec& b) {
  return (a.hyperVoxelNode != nullptr) != (b.hyperVoxelNode != nullptr) ||
         !sameEntry(a.hv[ZF_HV_CLIPFILENAME], b.hv[ZF_HV_CLIPFILENAME]) || a.type != b.type ||
         !sameEntry(a.pfx[ZF_PFX_NOZZLE], b.pfx[ZF_PFX_NOZZLE]) || !sameText(a.name, b.name) ||
         at0(a.pfx[ZF_PFX_GENERATORSIZE]) != at0(b.pfx[ZF_PFX_GENERATORSIZE]) ||
         (a.effect != nullptr) != (b.effect != nullptr) || !sameEffectFile(a.effect, b.effect);
}

bool emitterNeedsConfigure(const ZF_EmitterRec& a, const ZF_EmitterRec& b) {
  static const int hvKeys[] = {ZF_HV_PARTICLESIZE, ZF_HV_CLIPALPHA, ZF_HV_CLIPFLAGS, ZF_HV_CLIPROTATION,
                               ZF_HV_COLOR, ZF_HV_GRADIENTPARTICLESIZE, ZF_HV_GRADIENTCOLOR};
  if (a.selectionMask != b.selectionMask || !sameEntry(a.pfx[ZF_PFX_PARTICLELIMIT], b.pfx[ZF_PFX_PARTICLELIMIT]))
    return true;
  for (int k : hvKeys)
    if (!sameEntry(a.hv[k], b.hv[k])) return true;
  return false;
}

}  // namespace

// --- The update, section by section ------------------------------------------------------------------------
// Each step compares the old view with the new one (slot.view is the new one
// already) and changes only what differs; it says what it remade when a later
// step depends on it.
namespace {

// Lights: all of them again when their count changed (true), else the changed ones configured.
bool reloadLights(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv) {
  if (ov.lights.size() != nv.lights.size()) {
    zeSceneDeleteLights(slot, ov.lights.size());
    zeSceneCreateLights(slot);
    for (size_t i = 0; i < nv.lights.size(); ++i) {
      const int lid = slot.params.lightBase + static_cast<int>(i);
      if (!zeLightExist(lid)) continue;
      if (slot.visible) zeShowLight(lid);
      else zeHideLight(lid);
    }
    return true;
  }
  for (size_t i = 0; i < nv.lights.size(); ++i) {
    if (!lightNeedsConfigure(ov.lights[i], nv.lights[i])) continue;
    SZeLightRecord record;
    zeSceneLightRecord(nv.lights[i], &record);
    const int lid = slot.params.lightBase + static_cast<int>(i);
    if (zeLightExist(lid)) zeConfigureLight(lid, record);
  }
  return false;
}

// Cube maps: true when any was made again.
bool reloadCubeMaps(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv) {
  const ZeSceneSeams& seams = zeSceneSeams();
  bool sameNames = ov.cubeMaps.size() == nv.cubeMaps.size();
  for (size_t i = 0; sameNames && i < nv.cubeMaps.size(); ++i)
    sameNames = sameText(ov.cubeMaps[i].name, nv.cubeMaps[i].name);
  if (!sameNames) {
    zeSceneDeleteCubeMaps(slot, ov.cubeMaps.size());
    zeSceneCreateCubeMaps(slot);
    return true;
  }
  bool changed = false;
  for (size_t i = 0; i < nv.cubeMaps.size(); ++i) {
    const ZF_CubeMapRec &a = ov.cubeMaps[i], &b = nv.cubeMaps[i];
    if (a.textureSize == b.textureSize && a.renderType == b.renderType && a.useLatLong == b.useLatLong) continue;
    const int cid = slot.params.cubeMapBase + static_cast<int>(i);
    seams.cubeMaps->deleteCubeMap(cid);
    seams.cubeMaps->makeCubeMap(cid, b.textureSize, b.renderType == 1, b.useLatLong != 0);
    changed = true;
  }
  return changed;
}

// The probe set: true when it was made again.
bool reloadProbes(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv) {
  const ZeSceneSeams& seams = zeSceneSeams();
  const int pid = slot.params.probesId;
  if (ov.probesActive && !nv.probesActive) {
    seams.cubeMaps->deleteProbes(pid);
    return false;
  }
  if (!ov.probesActive && nv.probesActive) {
    zeSceneCreateProbes(slot);
    return true;
  }
  if (!ov.probesActive) return false;
  if (!sameText(ov.probesSettings.textureName, nv.probesSettings.textureName)) {
    seams.cubeMaps->deleteProbes(pid);
    zeSceneCreateProbes(slot);
    return true;
  }
  if (ov.probes.size() != nv.probes.size() || ov.probesSettings.textureSize != nv.probesSettings.textureSize) {
    zeReportError("Cannot recreate probes in use; need to restart the engine");
    return false;
  }
  bool moved = false;
  for (size_t i = 0; i < nv.probes.size(); ++i) {
    const ZF_ProbeRec &a = ov.probes[i], &b = nv.probes[i];
    moved = moved || a.position.x != b.position.x || a.position.y != b.position.y || a.position.z != b.position.z ||
            a.radius != b.radius;
  }
  if (moved)
    for (size_t i = 0; i < nv.probes.size(); ++i) {
      const ZF_Float3 p = nv.probes[i].position;
      seams.cubeMaps->setProbe(pid, static_cast<int>(i), ZeVec3{p.x, p.y, p.z}, nv.probes[i].radius);
    }
  return false;
}

// The velocity flags: true when they changed (every object is then made again).
bool reloadVelocityFlags(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv) {
  const bool changed = velocity(ov, ZF_RS_VELOCITY_SOLID) != velocity(nv, ZF_RS_VELOCITY_SOLID) ||
                       velocity(ov, ZF_RS_VELOCITY_TRANSPARENT) != velocity(nv, ZF_RS_VELOCITY_TRANSPARENT);
  if (!slot.objectsOnly && changed)
    zeSceneSeams().settings->setVelocityFlags(velocity(nv, ZF_RS_VELOCITY_SOLID),
                                              velocity(nv, ZF_RS_VELOCITY_TRANSPARENT));
  return changed;
}

// Objects: every one again, or those whose file or making changed; the
// others get their changed options. `recreated` marks the objects made again.
void reloadObjects(ZeSceneSlot& slot, int id, const ZF_SceneView& ov, const ZF_SceneView& nv, bool all,
                   std::vector<char>* recreated) {
  all = all || ov.colorSpace8BitFiles != nv.colorSpace8BitFiles || ov.objects.size() != nv.objects.size();
  for (size_t i = 0; !all && i < nv.objects.size(); ++i)
    all = !sameTextIgnoringCase(ov.objects[i].zfilename, nv.objects[i].zfilename);
  recreated->assign(nv.objects.size(), 0);
  if (all) {
    zeSceneDeleteObjects(slot, ov.objects.size());
    for (size_t i = 0; i < nv.objects.size(); ++i) {
      zeSceneCreateObject(slot, id, static_cast<int>(i), false);
      finishObject(slot, static_cast<int>(i));
      (*recreated)[i] = 1;
    }
    return;
  }
  for (size_t i = 0; i < nv.objects.size(); ++i) {
    const int index = static_cast<int>(i);
    if (objectNeedsRecreate(ov, ov.objects[i], nv, nv.objects[i])) {
      zeDeleteObject(slot.params.objectBase + index);
      zeSceneCreateObject(slot, id, index, false);
      finishObject(slot, index);
      (*recreated)[i] = 1;
    } else if (objectOptionsChanged(ov.objects[i], nv.objects[i])) {
      if (zeObjectExist(slot.params.objectBase + index)) zeSceneApplyObjectOptions(slot, index);
    }
  }
}

// Surfaces of the objects made again, and of those whose surfaces changed.
void reloadSurfaces(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv,
                    const std::vector<char>& recreated) {
  for (size_t i = 0; i < nv.objects.size(); ++i) {
    if (!zeObjectExist(slot.params.objectBase + static_cast<int>(i))) continue;
    const bool apply =
        recreated[i] || surfacesNeedApply(surfacesOf(ov, ov.objects[i]), surfacesOf(nv, nv.objects[i]));
    if (apply) zeSceneApplySurfaces(slot, static_cast<int>(i), 0.0f, true);
  }
}

void reloadEmitters(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv) {
  const ZeSceneSeams& seams = zeSceneSeams();
  if (ov.emitters.size() != nv.emitters.size()) {
    zeSceneDeleteEmitters(slot, ov.emitters.size());
    zeSceneCreateEmitters(slot);
    for (size_t i = 0; i < nv.emitters.size(); ++i) {
      const int eid = slot.params.fxEmitterBase + static_cast<int>(i);
      if (seams.emitters->exists(eid)) seams.emitters->setVisible(eid, slot.visible);
    }
    return;
  }
  bool any = false;
  const bool available = !nv.emitters.empty() && seams.emitters->available();
  for (size_t i = 0; available && i < nv.emitters.size(); ++i) {
    const int eid = slot.params.fxEmitterBase + static_cast<int>(i);
    const ZF_EmitterRec &a = ov.emitters[i], &b = nv.emitters[i];
    if (emitterNeedsRecreate(a, b)) {
      any = true;
      if (seams.emitters->exists(eid)) seams.emitters->destroy(eid);
      zeSceneCreateEmitter(slot, static_cast<int>(i));
      if (seams.emitters->exists(eid)) seams.emitters->setVisible(eid, slot.visible);
    } else if (emitterNeedsConfigure(a, b) && seams.emitters->exists(eid)) {
      const ZF_EffectParams* effect = nullptr;
      if (b.effect) {
        ZF_EffectParamsEval(b.effect, 0.0f, &slot.effectScratch);
        effect = &slot.effectScratch;
      }
      seams.emitters->configure(eid, b, effect);
    }
    if (seams.emitters->exists(eid)) seams.emitters->reset(eid);
  }
  if (any) zeSceneSetEmitterParents(slot);
}

void reloadCameraShaders(ZeSceneSlot& slot, const ZF_SceneView& ov, const ZF_SceneView& nv) {
  const ZeSceneSeams& seams = zeSceneSeams();
  bool all = ov.cameraShaders.size() != nv.cameraShaders.size();
  for (size_t j = 0; !all && j < nv.cameraShaders.size(); ++j)
    all = !sameEffectFile(ov.cameraShaders[j].effect, nv.cameraShaders[j].effect);
  if (all) {
    zeSceneDeleteCameraShaders(slot, ov.cameraShaders.size());
    zeSceneLoadCameraShaders(slot);
    return;
  }
  for (size_t j = 0; j < nv.cameraShaders.size() && j < slot.cameraShaderParams.size(); ++j) {
    const ZF_EffectDesc *a = ov.cameraShaders[j].effect, *b = nv.cameraShaders[j].effect;
    const int sid = slot.params.cameraShaderBase + static_cast<int>(j);
    if (a && b && !sameText(a->cflags, b->cflags)) {
      seams.cameraShaders->remove(sid);
      slot.cameraShaderVisible[j] = false;
      if (seams.cameraShaders->load(sid, b->filename, b->cflags) == 0) {
        ZF_EffectParamsEval(b, 0.0f, &slot.cameraShaderParams[j]);
        seams.cameraShaders->setParams(sid, slot.cameraShaderParams[j]);
      }
    } else if (!sameEffect(a, b)) {
      ZF_EffectParamsEval(b, 0.0f, &slot.effectScratch);
      if (!ZF_EffectParamsEqual(slot.effectScratch, slot.cameraShaderParams[j])) {
        slot.cameraShaderParams[j] = slot.effectScratch;
        seams.cameraShaders->setParams(sid, slot.cameraShaderParams[j]);
      }
    }
  }
}

}  // namespace

int zeReloadScene(const char* path, int id, int options) {
  ZeSceneSlot* slotPtr = zeSceneSlotChecked(id, 2);
  if (!slotPtr) return -1;
  ZeSceneSlot& slot = *slotPtr;
  zeSceneSeamsNewLoad();
  slot.reloaded = true;
  ZF_SceneView* nv = ZF_SceneOpen(path);
  if (!nv) {
    zeReportArgError(1, "Failed to load scene file '%s', error: %s", path ? path : "", ZF_SceneLastError());
    return -1;
  }
  ZF_SceneView* ov = slot.view;
  // The creation steps read slot.view: from here on it is the new view.
  slot.view = nv;

  if (!slot.objectsOnly) zeSceneApplyDisplay(*nv);
  const bool lightsRecreated = !slot.objectsOnly && reloadLights(slot, *ov, *nv);
  const bool cubesChanged = reloadCubeMaps(slot, *ov, *nv);
  const bool probesChanged = reloadProbes(slot, *ov, *nv);
  const bool velocityChanged = reloadVelocityFlags(slot, *ov, *nv);
  std::vector<char> recreated;
  reloadObjects(slot, id, *ov, *nv, velocityChanged, &recreated);
  // The renderer follows the render commands and the scene's lights.
  if (!slot.objectsOnly && (!sameCommands(*ov, *nv) || lightsRecreated)) {
    zeSceneDeleteRenderer(slot, *ov);
    zeSceneBuildRenderer(slot);
  }
  reloadSurfaces(slot, *ov, *nv, recreated);
  reloadEmitters(slot, *ov, *nv);
  if (!slot.objectsOnly) reloadCameraShaders(slot, *ov, *nv);
  ZF_SceneClose(ov);

  const long long length = static_cast<long long>(nv->frameEnd) - nv->frameStart;
  const bool rerender = length > 2 && !(options & 1);
  if (cubesChanged || rerender) zeSceneRenderCubeMaps(slot, id, length > 2);
  if (probesChanged || rerender) zeSceneRenderProbes(slot, id, length > 2);
  return 0;
}
