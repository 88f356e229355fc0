// Scene animation: every engine object of a scene set to its values at a
// time, and the cube-map and probe rendering procedures built on it.
//
// Contents: time · small helpers · post-processing · camera · lights ·
// emitters · objects · camera shaders · entry points · cube maps and probes.
//
// Nothing here looks anything up by name or allocates: the view holds entry
// pointers, the slot holds the scratch. Every float handed to a node, light
// or camera is finite (a bad file or a zero rate gives 0, never NaN).
#include <climits>
#include <cmath>

#include "app/zeEngine.h"
#include "base/zeMessage.h"
#include "scene/CZeSceneManager.h"
#include "scene/zeCamera.h"
#include "scene/zeLight.h"
#include "scene/zeObject.h"
#include "scene/zeSceneInternal.h"
#include "scene/zeSceneSlot.h"

namespace {

constexpr float kDegrees = 57.295776f;

inline float fin(float v) { return std::isfinite(v) ? v : 0.0f; }

inline float fp(const ZF_Entry* e, float s) { return e ? fin(ZF_FP_Lerp(e, s)) : 0.0f; }
inline ZF_Float3 fp3(const ZF_Entry* e, float s) {
  if (!e) return {0, 0, 0};
  const ZF_Float3 v = ZF_FP3_Lerp(e, s);
  return {fin(v.x), fin(v.y), fin(v.z)};
}
inline ZF_Float3 hpbDegrees(const ZF_Entry* e, float s) {
  if (!e) return {0, 0, 0};
  const ZF_Float3 v = ZF_FP3_Slerp_HPB_To_XYZ(e, s);
  return {fin(v.x * kDegrees), fin(v.y * kDegrees), fin(v.z * kDegrees)};
}
inline int intOf(const ZF_Entry* e) {
  if (!e || e->kind != ZF_VALUE || e->value.count == 0) return 0;
  if (e->type == ZF_I4 || e->type == ZF_U4) return static_cast<const int32_t*>(e->value.data)[0];
  return static_cast<int>(fin(ZF_FP_At(e, 0)));
}

}  // namespace

// --- Time ---------------------------------------------------------------------------------
void zeSceneTimeToPosition(const ZF_SceneView& view, int timeMs, float* sample, float* frame) {
  const float fps = view.framesPerSecond;
  const float start = static_cast<float>(view.frameStart);
  // A scene with no rate or no step has no second sample: it is static.
  if (!std::isfinite(fps) || fps == 0.0f || view.frameStep == 0) {
    *sample = 0.0f;
    *frame = start;
    return;
  }
  const float s = (static_cast<float>(timeMs) / 1000.0f) * fps / static_cast<float>(view.frameStep);
  const float f = static_cast<float>(timeMs) * fps / 1000.0f + start;
  *sample = std::isfinite(s) ? s : 0.0f;
  *frame = std::isfinite(f) ? f : start;
}

float zeSceneCacheTime(int endBehaviour, float d, float e) {
  if (!std::isfinite(d)) d = 0.0f;
  // A cache without a length is static at its first frame.
  if (!std::isfinite(e) || !(e > 0.0f)) return 0.0f;
  switch (endBehaviour) {
    case 1:
      return std::fmod(e + std::fmod(d, e), e);
    case 2:
      return d < 0.0f || d > e ? 0.0f : d;
    case 3: {
      const float w = 2.0f * e;
      const float r = std::fmod(std::fmod(d, w) + w, w);
      return r > e ? w - r : r;
    }
    default:
      return d < 0.0f ? 0.0f : (d > e ? e : d);
  }
}

void zeSceneSelectCubeMaps(const ZF_ObjectRec& object, float s, int* best, int* second, float* blend) {
  *best = *second = -1;
  float bestWeight = 0.0f, secondWeight = 0.0f;
  for (size_t k = 0; k < object.influences.size(); ++k) {
    const ZF_CubeInfluence& inf = object.influences[k];
    if (inf.cubeMap < 0) continue;
    const float w = fp(inf.influence, s);
    if (*best < 0 || w > bestWeight) {
      *second = *best, secondWeight = bestWeight;
      *best = static_cast<int>(k), bestWeight = w;
    } else if (*second < 0 || w > secondWeight) {
      *second = static_cast<int>(k), secondWeight = w;
    }
  }
  *blend = 0.0f;
  if (*second >= 0) {
    const float sum = bestWeight + secondWeight;
    *blend = std::fabs(sum) < 0.000001f ? 0.0f : fin(1.0f - bestWeight / sum);
  }
}

namespace {

// --- Post-processing --------------------------------------------------------------------------
void animateProcessing(ZeSceneSlot& slot, float s) {
  const ZF_SceneView& v = *slot.view;
  CZeRenderSettingsSeam* rs = zeSceneSeams().settings;
  const ZF_Entry* const* k = v.renderSettings;
  int* cache = slot.postCache;

  const int glowEnable = intOf(k[ZF_RS_GLOW_ENABLE]);
  const int glowOn = glowEnable ? 1 : v.glowEffect;
  if (glowOn != cache[ZE_PP_GLOW] || glowOn) {
    cache[ZE_PP_GLOW] = glowOn;
    if (glowEnable)
      rs->setGlow(glowOn, fp(k[ZF_RS_GLOW_INTENSITY], s), fp(k[ZF_RS_GLOW_RADIUS], s),
                  fp(k[ZF_RS_GLOW_SURFACE_INTENSITY], s));
    else
      rs->setGlow(glowOn, fp(v.glowIntensity, s), fp(v.glowRadius, s), 1.0f);
  }
  const int bloom = intOf(k[ZF_RS_BLOOM_ENABLE]);
  if (bloom != cache[ZE_PP_BLOOM]) rs->setBloomEnable(bloom), cache[ZE_PP_BLOOM] = bloom;
  if (bloom) rs->setBloom(fp(k[ZF_RS_BLOOM_THRESHOLD], s), fp(k[ZF_RS_BLOOM_INTENSITY], s));

  const int streak = intOf(k[ZF_RS_STREAK_ENABLE]);
  if (streak != cache[ZE_PP_STREAK]) rs->setStreakEnable(streak), cache[ZE_PP_STREAK] = streak;
  if (streak) {
    const ZF_Float3 tint = fp3(k[ZF_RS_STREAK_TINT], s);
    rs->setStreak(fp(k[ZF_RS_STREAK_THRESHOLD], s), fp(k[ZF_RS_STREAK_INTENSITY], s), ZeVec3{tint.x, tint.y, tint.z},
                  fp(k[ZF_RS_STREAK_ATTENUATION], s), fin(fp(k[ZF_RS_STREAK_ANGLE], s) * kDegrees));
  }
  const int ssao = intOf(k[ZF_RS_SSAO_ENABLE]);
  if (ssao != cache[ZE_PP_SSAO]) rs->setSSAOEnable(ssao), cache[ZE_PP_SSAO] = ssao;
  if (ssao)
    rs->setSSAO(fp(k[ZF_RS_SSAO_DISTANCEREACH], s), fp(k[ZF_RS_SSAO_MAXDEPTHDECLINE], s),
                fp(k[ZF_RS_SSAO_DEPTHALIASINGEPSILON], s), fp(k[ZF_RS_SSAO_OUTPUTMULTIPLIER], s));
  const int shadow = intOf(k[ZF_RS_SHADOW_ENABLE]);
  if (shadow != cache[ZE_PP_SHADOW]) rs->setShadowEnable(shadow), cache[ZE_PP_SHADOW] = shadow;
  if (shadow) rs->setShadowEpsilon(fp(k[ZF_RS_SHADOW_EPSILON], s));

  const int aa[6] = {k[ZF_RS_AA_JITTER] ? intOf(k[ZF_RS_AA_JITTER]) : 0,
                     k[ZF_RS_AA_LOCATION] ? intOf(k[ZF_RS_AA_LOCATION]) : 1,
                     k[ZF_RS_AA_MODE] ? intOf(k[ZF_RS_AA_MODE]) : 1,
                     k[ZF_RS_AA_BLENDING] ? intOf(k[ZF_RS_AA_BLENDING]) : 0,
                     k[ZF_RS_AA_BLENDING_WEIGHT] ? intOf(k[ZF_RS_AA_BLENDING_WEIGHT]) : 0,
                     intOf(k[ZF_RS_AA_VLIMIT_ENABLE])};
  const float vlimit = k[ZF_RS_AA_VLIMIT_VAL] ? fin(ZF_FP_At(k[ZF_RS_AA_VLIMIT_VAL], 0)) : 0.0f;
  bool changed = vlimit != slot.postCacheVLimit;
  for (int i = 0; i < 6; ++i) changed = changed || aa[i] != cache[ZE_PP_AA_JITTER + i];
  if (changed) {
    for (int i = 0; i < 6; ++i) cache[ZE_PP_AA_JITTER + i] = aa[i];
    slot.postCacheVLimit = vlimit;
    rs->setAntialias(aa[0], aa[1], aa[2], aa[3], aa[4], aa[5], vlimit);
  }
}

// --- Camera ---------------------------------------------------------------------------------------
int cameraIndex(const ZF_SceneView& v, float s, bool step) {
  const int count = static_cast<int>(v.cameras.size());
  float value = 0.0f;
  if (v.renderCamera) value = fin(step ? ZF_FP_Step(v.renderCamera, s) : ZF_FP_Lerp(v.renderCamera, s));
  int index = value >= static_cast<float>(INT_MAX) ? INT_MAX : (value <= 0.0f ? 0 : static_cast<int>(value));
  return index >= count ? count - 1 : index;
}

ZF_Float3 animateCamera(ZeSceneSlot& slot, float s, bool positionOnly, bool stepIndex) {
  const ZF_SceneView& v = *slot.view;
  if (v.cameras.empty()) return {0, 0, 0};
  const ZF_CameraRec& c = v.cameras[cameraIndex(v, s, stepIndex)];
  const ZF_Float3 position = fp3(c.position, s);
  if (positionOnly || slot.objectsOnly) return position;

  irr::scene::ICameraSceneNode* camera = zeEngineContext().camera;
  const float zoom = fp(c.zoomFactor, s);
  const float fov = 2.0f * std::atan(static_cast<float>(c.width) / (static_cast<float>(c.height) * zoom)) * kDegrees;
  // A zero zoom or resolution would open the view to 180 degrees or more.
  if (camera && std::isfinite(fov) && fov > 0.0f && fov < 179.0f) camera->setFOV(fov / kDegrees);

  CZeRenderSettingsSeam* rs = zeSceneSeams().settings;
  const int dof = (c.flags & 8) ? 1 : 0;
  if (dof != slot.postCache[ZE_PP_CAMERA_DOF] || dof) {
    rs->setCameraDOF(dof, fp(c.focalDistance, s), fp(c.fStop, s));
    slot.postCache[ZE_PP_CAMERA_DOF] = dof;
  }
  const ZF_Entry* const* k = v.renderSettings;
  const int advanced = intOf(k[ZF_RS_DOF_ADVANCED_ENABLE]);
  if (advanced != slot.postCache[ZE_PP_ADVANCED_DOF] || advanced) {
    rs->setCameraAdvancedDOF(advanced, fp(k[ZF_RS_DOF_MINFOCUSDIST], s), fp(k[ZF_RS_DOF_MAXFOCUSDIST], s),
                             fp(k[ZF_RS_DOF_FOCUSEDDIST], s), fp(k[ZF_RS_DOF_RADIUSSCALE], s));
    slot.postCache[ZE_PP_ADVANCED_DOF] = advanced;
  }
  if (c.flags & 1)
    rs->setCameraStereo(1, fp(c.separation, s), c.usingConvergencePoint, fp(c.convergencePoint, s));
  else
    rs->setCameraStereo(0, 0.0f, 0, 0.0f);
  if (camera) {
    // The fixed pose of the camera's animator (the ride keeps it for later).
    const ZF_Float3 r = hpbDegrees(c.rotation, s);
    zePositionCamera(position.x, position.y, position.z);
    zeRotateCamera(r.x, r.y, r.z);
  }
  return position;
}

// --- Lights ---------------------------------------------------------------------------------------
void animateLights(ZeSceneSlot& slot, float s) {
  const ZF_SceneView& v = *slot.view;
  for (size_t i = 0; i < v.lights.size(); ++i) {
    const ZF_LightRec& l = v.lights[i];
    const int id = slot.params.lightBase + static_cast<int>(i);
    if (!zeLightExist(id)) continue;
    const ZF_Float3 p = fp3(l.position, s);
    const ZF_Float3 r = hpbDegrees(l.rotation, s);
    const ZF_Float3 c = fp3(l.color, s);
    zePositionLight(id, p.x, p.y, p.z);
    zeRotateLight(id, r.x, r.y, r.z);
    zeColorLight(id, c.x, c.y, c.z);
    zeSetLightIntensity(id, fp(l.intensity, s));
    if (l.type == 2) {
      ZF_Float2 cone = l.coneAngles ? ZF_FP2_Lerp(l.coneAngles, s) : ZF_Float2{0, 0};
      zeSetSpotLight(id, fin((cone.x - cone.y) * kDegrees), fin(cone.x * kDegrees));
    }
    if (l.falloff != 0) zeSetLightRange(id, fp(l.range, s));
    if (l.flags & 32) {
      zeSetLightVolumetricDensity(id, fp(l.volumetric[ZF_VOL_DENSITY], s));
      zeSetLightVolumetricBase(id, fp(l.volumetric[ZF_VOL_BASE], s));
    }
    if (l.type == 0 && l.shadowType == 2) {
      zeSetLightDistantShadowSize(id, fp(l.distantShadowDimWidth, s), fp(l.distantShadowDimHeight, s));
      zeSetLightDistantShadowPosition(id, l.hasDistantShadowPosition && l.distantShadowPosition != 0,
                                      fp(l.distantShadowPositionOffset, s));
    }
  }
}

// --- Emitters ---------------------------------------------------------------------------------------
void animateEmitters(ZeSceneSlot& slot, float s, float f) {
  const ZF_SceneView& v = *slot.view;
  CZeEmittersSeam* emitters = zeSceneSeams().emitters;
  for (size_t i = 0; i < v.emitters.size(); ++i) {
    const int id = slot.params.fxEmitterBase + static_cast<int>(i);
    if (!emitters->exists(id)) continue;
    const ZF_EmitterRec& e = v.emitters[i];
    const ZF_Entry* const* p = e.pfx;
    ZeEmitterFrame frame;
    const ZF_Float3 pos = fp3(e.position, s);
    const ZF_Float3 rot = hpbDegrees(e.rotation, s);
    frame.position = {pos.x, pos.y, pos.z};
    frame.rotationDegrees = {rot.x, rot.y, rot.z};
    auto value = [&](int key) {
      const ZF_Entry* x = p[key];
      return x && x->kind == ZF_VALUE && (x->type == ZF_FP || x->type == ZF_FP_C) ? fp(x, s) : 0.0f;
    };
    const bool waiting = intOf(p[ZF_PFX_FIXED]) != 0 && static_cast<float>(intOf(p[ZF_PFX_STARTFRAME])) > f;
    frame.birthRate = waiting ? 0.0f : value(ZF_PFX_BIRTHRATE);
    auto vector = [&](int key) {
      const ZF_Entry* x = p[key];
      const ZF_Float3 v = x && x->kind == ZF_VALUE && (x->type == ZF_FP || x->type == ZF_FP_C) ? fp3(x, s) : ZF_Float3{0, 0, 0};
      return ZeVec3{v.x, v.y, v.z};
    };
    frame.velocity = vector(ZF_PFX_VELOCITY);
    frame.parentMotion = value(ZF_PFX_PARENTMOTION);
    frame.gravity = vector(ZF_PFX_GRAVITY);
    frame.lifeTime = value(ZF_PFX_LIFETIME);
    frame.lifeTimeVariation = value(ZF_PFX_LIFETIME_PM);
    frame.explosion = value(ZF_PFX_EXPLOSION);
    frame.weight = value(ZF_PFX_WEIGHT);
    frame.resistance = value(ZF_PFX_RESISTANCE);
    frame.vibration = value(ZF_PFX_VIBRATION);
    frame.randomVelocity = value(ZF_PFX_RANDOMVELOCITY);
    frame.curlNoisePower = value(ZF_PFX_CURLNOISEPOWER);
    frame.curlNoiseFrequency = value(ZF_PFX_CURLNOISEFREQUENCY);
    const ZF_EffectParams* effect = nullptr;
    if (e.effect) {
      ZF_EffectParamsEval(e.effect, s, &slot.effectScratch);
      effect = &slot.effectScratch;
    }
    emitters->animate(id, frame, effect);
  }
}

// --- Objects -----------------------------------------------------------------------------------------
void animateObject(ZeSceneSlot& slot, size_t i, float s, float f, const ZF_Float3& cameraPosition) {
  const ZF_SceneView& v = *slot.view;
  const ZF_ObjectRec& o = v.objects[i];
  const int id = slot.params.objectBase + static_cast<int>(i);
  if (!zeObjectExist(id)) return;
  if (o.hasMdd && o.applyCacheTo != 0) {
    // The cache holds world positions already.
    zePositionObject(id, 0, 0, 0);
    zeRotateObject(id, 0, 0, 0);
    zeScaleObject(id, 100, 100, 100);
  } else {
    ZF_Float3 p = fp3(o.position, s);
    if (slot.objectsOnly) p = {p.x - cameraPosition.x, p.y - cameraPosition.y, p.z - cameraPosition.z};
    const ZF_Float3 r = hpbDegrees(o.rotation, s);
    // An object without a scale key keeps its size rather than vanishing.
    const ZF_Float3 sc = o.scale ? fp3(o.scale, s) : ZF_Float3{1, 1, 1};
    zePositionObject(id, p.x, p.y, p.z);
    zeRotateObject(id, r.x, r.y, r.z);
    zeScaleObject(id, fin(sc.x * 100.0f), fin(sc.y * 100.0f), fin(sc.z * 100.0f));
  }
  const int frames = zeTotalObjectFrames(id);
  if (o.hasMdd) {
    const float c = zeSceneCacheTime(o.endBehavior, fp(o.mddTimes, s), o.mddTotalTime);
    const float last = zeSceneSeams().meshes->pointCacheLastFrameTime(id);
    const float frame = std::isfinite(last) && last != 0.0f ? fin(static_cast<float>(frames - 1) * c / last) : 0.0f;
    zeSetObjectFrame(id, frame);
  } else if (frames >= 2) {
    const float n = static_cast<float>(frames);
    zeSetObjectFrame(id, f < 0.0f ? 0.0f : (f > n ? n : f));
  }
  if (!o.morphs.empty()) {
    int indices[ZF_MAX_MORPH_WEIGHTS];
    float weights[ZF_MAX_MORPH_WEIGHTS];
    const int n = ZF_MorphWeightsEval(&o, s, indices, weights);
    for (int k = 0; k < n; ++k) weights[k] = fin(weights[k]);
    zeSceneSeams().meshes->setMorphWeights(id, n, indices, weights);
  }
  if (!o.influences.empty()) {
    int best, second;
    float blend;
    zeSceneSelectCubeMaps(o, s, &best, &second, &blend);
    CZeCubeMapsSeam* cubes = zeSceneSeams().cubeMaps;
    const int bestId = best >= 0 ? slot.params.cubeMapBase + o.influences[best].cubeMap : -1;
    if (bestId >= 0 && cubes->cubeMapExists(bestId)) {
      zeSetObjectCubeMap1(id, bestId);
      const int secondId = second >= 0 ? slot.params.cubeMapBase + o.influences[second].cubeMap : -1;
      zeSetObjectCubeMap2(id, secondId >= 0 && cubes->cubeMapExists(secondId) ? secondId : -1);
      zeSetObjectCubeMapBlend(id, blend);
      const ZF_CubeInfluence& b = o.influences[best];
      const bool box = b.aabbPosition && b.aabbScale;
      zeSetObjectBoxProjection(id, box);
      if (box) {
        const ZF_Float3 bp = fp3(b.aabbPosition, s), bs = fp3(b.aabbScale, s);
        zeSetObjectBox(id, irr::core::vector3df(bp.x, bp.y, bp.z), irr::core::vector3df(bs.x, bs.y, bs.z));
      }
    }
  }
  zeSceneApplySurfaces(slot, static_cast<int>(i), s, false);
}

// --- Camera shaders ------------------------------------------------------------------------------------
void animateCameraShaders(ZeSceneSlot& slot, float s, float f) {
  if (slot.objectsOnly) return;  // such a scene loads no camera shaders
  const ZF_SceneView& v = *slot.view;
  CZeCameraShadersSeam* shaders = zeSceneSeams().cameraShaders;
  const size_t count = v.cameraShaders.size() < ZF_MAX_CAMERA_SHADERS ? v.cameraShaders.size() : ZF_MAX_CAMERA_SHADERS;
  for (size_t j = 0; j < count; ++j) {
    const ZF_CameraShaderRec& r = v.cameraShaders[j];
    const int id = slot.params.cameraShaderBase + static_cast<int>(j);
    const bool visible =
        !r.useframe || (static_cast<float>(r.startframe) <= f && f < static_cast<float>(r.endframe));
    if (visible != slot.cameraShaderVisible[j]) {
      shaders->show(id, visible);
      slot.cameraShaderVisible[j] = visible;
    }
    if (visible && j < slot.cameraShaderParams.size()) {
      ZF_EffectParamsEval(r.effect, s, &slot.cameraShaderParams[j]);
      shaders->setParams(id, slot.cameraShaderParams[j]);
    }
  }
}

void setSceneManagerTime(int timeMs) {
  if (CZeSceneManager* manager = zeCurrentSceneManager())
    manager->setTimeMs(timeMs > 0 ? static_cast<irr::u32>(timeMs) : 0u);
}

void animateAll(ZeSceneSlot& slot, int timeMs) {
  const ZF_SceneView& v = *slot.view;
  float s, f;
  zeSceneTimeToPosition(v, timeMs, &s, &f);
  setSceneManagerTime(timeMs);
  if (v.hasRenderCommands && !slot.objectsOnly) {
    CZeSceneRendererSeam* renderer = zeSceneSeams().renderer;
    for (size_t i = 0; i < v.renderEffects.size(); ++i) {
      ZF_EffectParamsEval(v.renderEffects[i], s, &slot.effectScratch);
      renderer->setEffectParams(slot.params.effectBase + static_cast<int>(i), slot.effectScratch);
    }
  }
  if (!slot.objectsOnly) animateProcessing(slot, s);
  const ZF_Float3 cameraPosition = animateCamera(slot, s, false, true);
  const ZF_Float3 ambient = fp3(v.ambient, s);
  auto byte = [](float c) {
    const float b = c * 255.0f;
    return static_cast<unsigned>(b <= 0.0f ? 0.0f : (b >= 255.0f ? 255.0f : b));
  };
  zeColorAmbientLight((byte(ambient.x) << 16) | (byte(ambient.y) << 8) | byte(ambient.z));
  if (!slot.objectsOnly) animateLights(slot, s);
  animateEmitters(slot, s, f);
  if (timeMs <= 0 && timeMs != slot.lastTimeMs) {
    CZeEmittersSeam* emitters = zeSceneSeams().emitters;
    for (size_t i = 0; i < v.emitters.size(); ++i) {
      const int id = slot.params.fxEmitterBase + static_cast<int>(i);
      if (emitters->exists(id)) emitters->reset(id);
    }
  }
  for (size_t i = 0; i < v.objects.size(); ++i) animateObject(slot, i, s, f, cameraPosition);
  animateCameraShaders(slot, s, f);
  slot.lastTimeMs = timeMs;
}

}  // namespace

// --- Entry points ----------------------------------------------------------------------------------------
int zeAnimateScene(int id, int timeMs) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  animateAll(*slot, timeMs);
  return 0;
}

int zeAnimateSceneObject(int id, int timeMs, int objectId) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  const long long index = static_cast<long long>(objectId) - slot->params.objectBase;
  if (index < 0 || index >= static_cast<long long>(slot->view->objects.size())) {
    zeReportArgError(3, "Invalid Object ID %d", objectId);
    return -1;
  }
  float s, f;
  zeSceneTimeToPosition(*slot->view, timeMs, &s, &f);
  setSceneManagerTime(timeMs);
  const ZF_Float3 cameraPosition = animateCamera(*slot, s, true, false);
  animateObject(*slot, static_cast<size_t>(index), s, f, cameraPosition);
  return 0;
}

int zeAnimateSceneProcessing(int id, int timeMs) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  float s, f;
  zeSceneTimeToPosition(*slot->view, timeMs, &s, &f);
  if (!slot->objectsOnly) animateProcessing(*slot, s);
  return 0;
}

int zeAnimateSceneCameraShaders(int id, int timeMs) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  float s, f;
  zeSceneTimeToPosition(*slot->view, timeMs, &s, &f);
  animateCameraShaders(*slot, s, f);
  return 0;
}

// --- Cube maps and probes --------------------------------------------------------------------------------
namespace {

struct RenderVisibility {
  const std::vector<int>* hide;
  const std::vector<int>* show;
  int showVolumetric, clampVolumetric;
  float clampMax;
};

void forEachVolumetricLight(ZeSceneSlot& slot, void (*action)(int id, const ZF_LightRec&, const RenderVisibility&),
                            const RenderVisibility& rv) {
  if (slot.objectsOnly) return;
  for (size_t i = 0; i < slot.view->lights.size(); ++i) {
    const ZF_LightRec& l = slot.view->lights[i];
    const int id = slot.params.lightBase + static_cast<int>(i);
    if ((l.flags & 32) && zeLightExist(id)) action(id, l, rv);
  }
}

void applyVisibility(ZeSceneSlot& slot, const RenderVisibility& rv) {
  const int base = slot.params.objectBase;
  const size_t count = slot.view->objects.size();
  if (!rv.show->empty()) {
    for (size_t i = 0; i < count; ++i)
      if (zeObjectExist(base + static_cast<int>(i))) zeHideObject(base + static_cast<int>(i));
    for (int k : *rv.show)
      if (zeObjectExist(base + k)) zeShowObject(base + k);
  }
  for (int k : *rv.hide)
    if (zeObjectExist(base + k)) zeHideObject(base + k);
  if (rv.showVolumetric != 2)
    forEachVolumetricLight(slot, [](int id, const ZF_LightRec& l, const RenderVisibility& r) {
      if (r.showVolumetric == 0 || (r.showVolumetric == 1 && l.type != 1)) zeSetLightVolumetric(id, false);
    }, rv);
  if (rv.clampVolumetric)
    forEachVolumetricLight(slot, [](int id, const ZF_LightRec&, const RenderVisibility& r) {
      zeSetLightVolumeClamp(id, true, r.clampMax);
    }, rv);
}

void restoreVisibility(ZeSceneSlot& slot, const RenderVisibility& rv) {
  for (size_t i = 0; i < slot.view->objects.size(); ++i) {
    const int id = slot.params.objectBase + static_cast<int>(i);
    if (zeObjectExist(id)) zeShowObject(id);
  }
  if (rv.showVolumetric != 2)
    forEachVolumetricLight(slot, [](int id, const ZF_LightRec&, const RenderVisibility&) {
      zeSetLightVolumetric(id, true);
    }, rv);
  if (rv.clampVolumetric)
    forEachVolumetricLight(slot, [](int id, const ZF_LightRec&, const RenderVisibility&) {
      zeSetLightVolumeClamp(id, false, 1000000.0f);
    }, rv);
}

void showEmitters(ZeSceneSlot& slot, bool visible) {
  CZeEmittersSeam* emitters = zeSceneSeams().emitters;
  for (size_t i = 0; i < slot.view->emitters.size(); ++i) {
    const int id = slot.params.fxEmitterBase + static_cast<int>(i);
    if (emitters->exists(id)) emitters->setVisible(id, visible);
  }
}

int renderTimeMs(const ZF_SceneView& v, float renderTime) {
  const float first = v.framesPerSecond != 0.0f && std::isfinite(v.framesPerSecond)
                          ? static_cast<float>(v.frameStart) / v.framesPerSecond
                          : 0.0f;
  const double ms = (static_cast<double>(renderTime) - first) * 1000.0;
  return std::isfinite(ms) && std::fabs(ms) < 2e9 ? static_cast<int>(ms) : 0;
}

ZeVec3 cubeCentre(const ZF_CubeMapRec& c, float s) {
  const ZF_Float3 p = fp3(c.position, s), o = fp3(c.cameraOffset, s);
  return {p.x + o.x, p.y + o.y, p.z + o.z};
}

RenderVisibility cubeVisibility(const ZF_CubeMapRec& c) {
  return {&c.hideSet, &c.showSet, c.showVolumetric, c.clampVolumetric, c.clampVolumetricMax};
}

}  // namespace

void zeSceneRenderCubeMaps(ZeSceneSlot& slot, int sceneId, bool force) {
  const ZF_SceneView& v = *slot.view;
  if (v.cubeMaps.empty()) return;
  CZeCubeMapsSeam* cubes = zeSceneSeams().cubeMaps;
  const int lastTime = slot.lastTimeMs;
  cubes->markCubeMapsUnrendered();
  showEmitters(slot, false);
  bool animated = false;
  int animatedTime = 0;
  for (int pass = 0; pass < 2; ++pass) {
    for (size_t i = 0; i < v.cubeMaps.size(); ++i) {
      const ZF_CubeMapRec& c = v.cubeMaps[i];
      const int id = slot.params.cubeMapBase + static_cast<int>(i);
      if (!force && cubes->cubeMapRendered(id)) continue;
      const int r = renderTimeMs(v, c.renderTime);
      if (!animated || r != animatedTime) {
        zeAnimateScene(sceneId, r);
        animated = true;
        animatedTime = r;
      }
      float s, f;
      zeSceneTimeToPosition(v, r, &s, &f);
      const RenderVisibility rv = cubeVisibility(c);
      applyVisibility(slot, rv);
      cubes->renderCubeMap(id, cubeCentre(c, s), 1);
      restoreVisibility(slot, rv);
    }
  }
  showEmitters(slot, true);
  zeAnimateScene(sceneId, lastTime);
}

void zeSceneRenderProbes(ZeSceneSlot& slot, int sceneId, bool force) {
  const ZF_SceneView& v = *slot.view;
  if (!v.probesActive) return;
  CZeCubeMapsSeam* cubes = zeSceneSeams().cubeMaps;
  const int id = slot.params.probesId;
  if (!force && cubes->probesRendered(id)) return;
  const int lastTime = slot.lastTimeMs;
  zeAnimateScene(sceneId, renderTimeMs(v, v.probesSettings.renderTime));
  showEmitters(slot, false);
  const RenderVisibility rv{&v.probesSettings.hideSet, &v.probesSettings.showSet, 2, 0, 0.0f};
  applyVisibility(slot, rv);
  cubes->renderProbes(id);
  restoreVisibility(slot, rv);
  showEmitters(slot, true);
  zeAnimateScene(sceneId, lastTime);
}

int zePrepareSceneRender(int id) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  zeShowScene(id);
  zeAnimateScene(id, 0);
  zeSceneRenderCubeMaps(*slot, id, true);
  zeSceneRenderProbes(*slot, id, true);
  zeHideScene(id);
  for (int i = 0; i < 8; ++i) slot->postCache[i] = -1;
  return 0;
}

int zeUpdateDynamicCubeMaps(int id, int timeMs) {
  ZeSceneSlot* slot = zeSceneSlotChecked(id);
  if (!slot) return -1;
  const ZF_SceneView& v = *slot->view;
  float s, f;
  zeSceneTimeToPosition(v, timeMs, &s, &f);
  for (size_t i = 0; i < v.cubeMaps.size(); ++i) {
    const ZF_CubeMapRec& c = v.cubeMaps[i];
    if (c.renderType != 1) continue;
    const RenderVisibility rv = cubeVisibility(c);
    applyVisibility(*slot, rv);
    zeSceneSeams().cubeMaps->renderCubeMap(slot->params.cubeMapBase + static_cast<int>(i), cubeCentre(c, s), 0);
    restoreVisibility(*slot, rv);
  }
  return 0;
}
