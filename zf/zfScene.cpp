// The scene view: schema resolution at open, and the evaluators over its
// records (effect parameters, surfaces, morph weights).
//
// Contents: names · shape checks · effect descriptions · surfaces · sections
// in build order · render commands · open and close · evaluators.
#include "zf/zfScene.h"

#include <cstring>
#include <strings.h>

#include "base/zeMessage.h"

// --- Names ------------------------------------------------------------------------------
const char* const ZF_SurfaceChannelNames[ZF_SURFACE_CHANNELS] = {
    "BaseColor", "Luminosity", "Diffuse", "Specularity", "Reflectivity", "Transparency", "Translucency", "IOR",
    "Bump", "Glossiness", "SpecialBuffer1", "SpecialBuffer2", "SpecialBuffer3", "SpecialBuffer4",
    "DiffuseSharpness", "BumpDropoff", "SmoothingAngle", "ReflectionSeamAngle", "RefractionSeamAngle",
    "ReflectionBlurring", "RefractionBlurring", "ColorFilter", "ColorHighlights", "AdditiveTransparency",
    "AlphaValue", "GlowValue", "LineColor", "LineSize", "AlphaOptions", "ReflectionOptions",
    "RefractionOptions", "Sidedness", "ExcludeFromVStack", "Glow", "RenderOutlines", "ReflectionImage",
    "RefractionImage", "VertexColoring", "VertexNormal"};

const char* const ZF_RenderSettingNames[ZF_RS_COUNT] = {
    "CH_GLOW_ENABLE", "CH_GLOW_INTENSITY", "CH_GLOW_RADIUS", "CH_GLOW_SURFACE_INTENSITY",
    "CH_BLOOM_ENABLE", "CH_BLOOM_THRESHOLD", "CH_BLOOM_INTENSITY",
    "CH_STREAK_ENABLE", "CH_STREAK_THRESHOLD", "CH_STREAK_INTENSITY", "CH_STREAK_TINT",
    "CH_STREAK_ATTENUATION", "CH_STREAK_ANGLE",
    "CH_DOF_ADVANCED_ENABLE", "CH_DOF_MINFOCUSDIST", "CH_DOF_FOCUSEDDIST", "CH_DOF_MAXFOCUSDIST",
    "CH_DOF_RADIUSSCALE",
    "CH_SSAO_ENABLE", "CH_SSAO_DISTANCEREACH", "CH_SSAO_MAXDEPTHDECLINE", "CH_SSAO_DEPTHALIASINGEPSILON",
    "CH_SSAO_OUTPUTMULTIPLIER",
    "CH_SHADOW_ENABLE", "CH_SHADOW_EPSILON",
    "CH_CAMERARANGE_ENABLE", "CH_CAMERARANGE_MIN", "CH_CAMERARANGE_MAX",
    "CH_VELOCITY_SOLID", "CH_VELOCITY_TRANSPARENT",
    "CH_AA_JITTER", "CH_AA_LOCATION", "CH_AA_MODE", "CH_AA_BLENDING", "CH_AA_BLENDING_WEIGHT",
    "CH_AA_VLIMIT_ENABLE", "CH_AA_VLIMIT_VAL"};

bool ZF_RenderSettingIsInt(int key) {
  switch (key) {
    case ZF_RS_GLOW_ENABLE: case ZF_RS_BLOOM_ENABLE: case ZF_RS_STREAK_ENABLE: case ZF_RS_DOF_ADVANCED_ENABLE:
    case ZF_RS_SSAO_ENABLE: case ZF_RS_SHADOW_ENABLE: case ZF_RS_CAMERARANGE_ENABLE: case ZF_RS_AA_VLIMIT_ENABLE:
    case ZF_RS_VELOCITY_SOLID: case ZF_RS_VELOCITY_TRANSPARENT: case ZF_RS_AA_JITTER: case ZF_RS_AA_LOCATION:
    case ZF_RS_AA_MODE: case ZF_RS_AA_BLENDING: case ZF_RS_AA_BLENDING_WEIGHT:
      return true;
    default:
      return false;
  }
}

namespace {

const char* const kHyperVoxelKeys[ZF_HV_COUNT] = {
    "particleSize", "color", "luminosity", "opacity", "density", "clipFlags", "clipAlpha", "clipThreshold",
    "clipRotation", "clipFrameOffset", "clipFilename", "clipFileExt", "clipFrameRate", "gradientParticleSize",
    "gradientColor"};
const char* const kParticleFxKeys[ZF_PFX_COUNT] = {
    "generatorSize", "centerPosition", "particleLimit", "velocity", "parentMotion", "positionBlur", "gravity",
    "birthRate", "nozzle", "sizeEffect", "generateBy", "lifeTime", "lifeTime_pm", "explosion", "velocityP",
    "startFrame", "fixed", "weight", "weight_pm", "resistance", "resistance_pm", "vibration", "threshold", "size",
    "size_pm", "vibrationMin", "maxSpeed", "randomVelocity", "curlNoisePower", "curlNoiseFrequency"};
const char* const kVolumetricKeys[ZF_VOL_COUNT] = {
    "sprite", "dissolve", "shadow", "radius", "base", "height", "luminosity", "opacity", "attenuation",
    "redShift", "density", "jitteredSampling"};

char lastError[ZE_TEXT_SIZE];

// A failure of the open: its text becomes the last error.
struct OpenFailure {
  const char* text;
};

// --- Shape checks ---------------------------------------------------------------------------
// A key whose shape cannot be read is dropped once here, so the evaluators
// never meet it (and never log it) per frame.
void dropped(const char* key) { zeLog("ZF_SceneOpen: key '%s' has a shape the engine cannot read; ignored\n", key ? key : "?"); }

bool isValue(const ZF_Entry* e) { return e && e->kind == ZF_VALUE; }

// An integer key: the first element of an I4 or U4 value.
int intKey(const ZF_Entry* node, const char* key, int fallback, bool* present = nullptr) {
  const ZF_Entry* e = ZF_Find(node, key);
  if (present) *present = false;
  if (!e) return fallback;
  if (!isValue(e) || (e->type != ZF_I4 && e->type != ZF_U4) || e->value.count == 0) {
    dropped(key);
    return fallback;
  }
  if (present) *present = true;
  return static_cast<const int32_t*>(e->value.data)[0];
}

const char* strKey(const ZF_Entry* node, const char* key) {
  const ZF_Entry* e = ZF_Find(node, key);
  if (!e) return nullptr;
  if (!isValue(e) || e->type != ZF_STR) {
    dropped(key);
    return nullptr;
  }
  return static_cast<const char*>(e->value.data);
}

bool isScalarChannel(const ZF_Entry* e) {
  return isValue(e) && (e->type == ZF_FP || e->type == ZF_FP_C) && e->value.count > 0;
}

// A scalar channel: an FP value, or an animated FP_C value.
const ZF_Entry* fpKey(const ZF_Entry* node, const char* key) {
  const ZF_Entry* e = ZF_Find(node, key);
  if (!e) return nullptr;
  if (!isScalarChannel(e)) {
    dropped(key);
    return nullptr;
  }
  return e;
}

// A vector channel of n components: an FP value of at least n elements, or
// an FP_C array of exactly n non-empty rows.
bool isVectorChannel(const ZF_Entry* e, uint32_t n) {
  if (!e) return false;
  if (e->kind == ZF_VALUE) return e->type == ZF_FP && e->value.count >= n;
  if (e->kind != ZF_ARRAY || e->type != ZF_FP_C || e->count != n) return false;
  for (uint32_t r = 0; r < n; ++r)
    if (e->rows[r].count == 0 || e->rows[r].markCount == 0) return false;
  return true;
}

const ZF_Entry* vecKey(const ZF_Entry* node, const char* key, uint32_t n) {
  const ZF_Entry* e = ZF_Find(node, key);
  if (!e) return nullptr;
  if (!isVectorChannel(e, n)) {
    dropped(key);
    return nullptr;
  }
  return e;
}

// A float read once: element 0 of an FP or FP_C value.
float floatKey(const ZF_Entry* node, const char* key, float fallback = 0.0f) {
  const ZF_Entry* e = fpKey(node, key);
  return e ? ZF_FP_At(e, 0) : fallback;
}

ZF_Float3 float3Key(const ZF_Entry* node, const char* key) {
  const ZF_Entry* e = vecKey(node, key, 3);
  return e ? ZF_FP3_At(e, 0) : ZF_Float3{0, 0, 0};
}

const ZF_Entry* nodeKey(const ZF_Entry* node, const char* key) {
  const ZF_Entry* e = ZF_Find(node, key);
  if (e && e->kind != ZF_NODE) {
    dropped(key);
    return nullptr;
  }
  return e;
}

}  // namespace

int ZF_SurfaceChannelIndex(const char* name) {
  if (!name) return -1;
  for (int c = 0; c < ZF_SURFACE_CHANNELS; ++c)
    if (std::strcmp(name, ZF_SurfaceChannelNames[c]) == 0) return c;
  return -1;
}

int ZF_ParamKindOf(const ZF_Entry* value) {
  if (!value) return ZF_PARAM_NONE;
  if (value->kind == ZF_ARRAY) return ZF_PARAM_FLOAT3;
  if (value->kind != ZF_VALUE) return ZF_PARAM_NONE;
  switch (value->type) {
    case ZF_FP: return value->value.count == 3 ? ZF_PARAM_FLOAT3 : ZF_PARAM_FLOAT;
    case ZF_FP_C: return ZF_PARAM_FLOAT;
    case ZF_STR: return ZF_PARAM_TEXT;
    case ZF_I4: case ZF_U4: return ZF_PARAM_INT;
    default: return ZF_PARAM_NONE;
  }
}

namespace {

// A parameter or channel value as the evaluators can take it: arrays must be
// 3-row FP_C vectors, scalars need an element.
const ZF_Entry* paramValue(const ZF_Entry* holder) {
  const ZF_Entry* e = ZF_Find(holder, "value");
  if (!e) return nullptr;
  const int kind = ZF_ParamKindOf(e);
  bool ok = kind != ZF_PARAM_NONE;
  if (kind == ZF_PARAM_FLOAT3 && e->kind == ZF_ARRAY) ok = isVectorChannel(e, 3);
  if (kind == ZF_PARAM_FLOAT || kind == ZF_PARAM_INT) ok = e->value.count > 0;
  if (!ok) {
    dropped("value");
    return nullptr;
  }
  return e;
}

// Values a parameter entry holds at a time: an animated scalar one, a vector
// its rows, a plain value its elements.
int valueElements(const ZF_Entry* e) {
  if (!e) return 0;
  if (e->kind == ZF_ARRAY) return static_cast<int>(e->count);
  if (e->type == ZF_FP_C || e->type == ZF_STR) return 1;
  return static_cast<int>(e->value.count);
}

// --- Effect descriptions --------------------------------------------------------------------
const ZF_EffectDesc* makeEffect(ZF_SceneView* view, const ZF_Entry* effectNode) {
  if (!effectNode || effectNode->kind != ZF_NODE) return nullptr;
  auto desc = std::make_unique<ZF_EffectDesc>();
  const char* file = strKey(effectNode, "filename");
  const char* cflags = strKey(effectNode, "cflags");
  desc->filename = file ? file : "";
  desc->cflags = cflags ? cflags : "";
  const ZF_Entry* params = nodeKey(effectNode, "Parameters");
  const uint32_t count = ZF_ChildCount(params);
  for (uint32_t i = 0; i < count && desc->params.size() < ZF_MAX_EFFECT_PARAMS; ++i) {
    const ZF_Entry* p = ZF_Child(params, i);
    ZF_EffectParamDesc d;
    d.name = p->name ? p->name : "";
    d.value = p->kind == ZF_NODE ? paramValue(p) : nullptr;
    d.kind = ZF_ParamKindOf(d.value);
    d.colorSpace = intKey(p, "img_colorspace", 0);
    d.reference = intKey(p, "img_reference", 0);
    desc->params.push_back(d);
  }
  view->effects.push_back(std::move(desc));
  return view->effects.back().get();
}

const ZF_EffectDesc* effectUnder(ZF_SceneView* view, const ZF_Entry* holder) {
  return makeEffect(view, nodeKey(holder, "Effect"));
}

std::vector<int> objectSet(const ZF_SceneView* view, const ZF_Entry* setNode) {
  std::vector<int> set;
  const uint32_t count = ZF_ChildCount(setNode);
  for (uint32_t i = 0; i < count; ++i) {
    const ZF_Entry* c = ZF_Child(setNode, i);
    if (!isValue(c) || c->type != ZF_STR) continue;
    const char* wanted = static_cast<const char*>(c->value.data);
    for (size_t k = 0; k < view->objects.size(); ++k) {
      const char* name = view->objects[k].name;
      if (name && std::strcmp(name, wanted) == 0) {
        set.push_back(static_cast<int>(k));
        break;  // the first object with the name wins
      }
    }
  }
  return set;
}

// --- Sections, in build order ----------------------------------------------------------------
void readCubeMaps(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->cubeMapsNode);
  view->cubeMaps.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->cubeMapsNode, i);
    ZF_CubeMapRec& r = view->cubeMaps[i];
    r.name = strKey(m, "name");
    r.renderType = intKey(m, "renderType", 0);
    r.textureSize = intKey(m, "textureSize", 0);
    r.renderTime = floatKey(m, "renderTime");
    r.hideObject = intKey(m, "hideObject", 0);
    r.position = vecKey(m, "position", 3);
    r.cameraOffset = vecKey(m, "cameraOffset", 3);
    r.showVolumetric = intKey(m, "showVolumetric", 0);
    r.clampVolumetric = intKey(m, "clampVolumetric", 0);
    r.clampVolumetricMax = floatKey(m, "clampVolumetricMax");
    r.useLatLong = intKey(m, "useLatLong", 0);
  }
}

void readCameras(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->camerasNode);
  view->cameras.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->camerasNode, i);
    ZF_CameraRec& r = view->cameras[i];
    r.position = vecKey(m, "position", 3);
    r.rotation = vecKey(m, "rotation", 3);
    r.zoomFactor = fpKey(m, "zoomFactor");
    r.focalDistance = fpKey(m, "focalDistance");
    r.fStop = fpKey(m, "fStop");
    r.separation = fpKey(m, "separation");
    r.convergencePoint = fpKey(m, "convergencePoint");
    r.width = 640;
    r.height = 480;
    const ZF_Entry* res = ZF_Find(m, "resolution");
    if (res) {
      if (isValue(res) && (res->type == ZF_I4 || res->type == ZF_U4) && res->value.count >= 2) {
        r.width = static_cast<const int32_t*>(res->value.data)[0];
        r.height = static_cast<const int32_t*>(res->value.data)[1];
      } else {
        dropped("resolution");
      }
    }
    r.flags = intKey(m, "flags", 0);
    r.usingConvergencePoint = intKey(m, "usingConvergencePoint", 0);
  }
}

void readLights(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->lightsNode);
  view->lights.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->lightsNode, i);
    ZF_LightRec& r = view->lights[i];
    r = ZF_LightRec{};
    r.name = strKey(m, "name");
    r.type = intKey(m, "type", 1);
    r.position = vecKey(m, "position", 3);
    r.rotation = vecKey(m, "rotation", 3);
    r.color = vecKey(m, "color", 3);
    r.intensity = fpKey(m, "intensity");
    r.range = fpKey(m, "range");
    r.falloff = intKey(m, "falloff", 0);
    r.coneAngles = vecKey(m, "coneAngles", 2);
    r.shadowType = intKey(m, "shadowType", 0);
    const ZF_Float3 sc = float3Key(m, "shadowColor");
    r.shadowColor[0] = sc.x, r.shadowColor[1] = sc.y, r.shadowColor[2] = sc.z;
    r.shadMapSize = intKey(m, "shadMapSize", 512);
    r.shadMapFuzz = floatKey(m, "shadMapFuzz");
    r.projImage = strKey(m, "projImage");
    r.flags = intKey(m, "flags", 0);
    r.distantShadowPositionOffset = fpKey(m, "distantShadowPositionOffset");
    r.distantShadowDimWidth = fpKey(m, "distantShadowDimWidth");
    r.distantShadowDimHeight = fpKey(m, "distantShadowDimHeight");
    r.distantShadowPosition = intKey(m, "distantShadowPosition", 0, &r.hasDistantShadowPosition);
    const ZF_Entry* vol = nodeKey(m, "Volumetric");
    r.hasVolumetric = vol != nullptr;
    const ZF_Entry* vf = ZF_Find(vol, "flags");
    if (vf) {
      // Elements 1 and 4 are used: fewer than 5 elements cannot be read.
      if (isValue(vf) && (vf->type == ZF_I4 || vf->type == ZF_U4) && vf->value.count >= 5) {
        r.hasVolumetricFlags = true;
        for (int k = 0; k < 5; ++k) r.volumetricFlags[k] = static_cast<const int32_t*>(vf->value.data)[k];
      } else {
        dropped("flags");
      }
    }
    r.volumetricColor = vecKey(vol, "color", 3);
    for (int k = 0; k < ZF_VOL_COUNT; ++k) r.volumetric[k] = fpKey(vol, kVolumetricKeys[k]);
  }
}

void readEmitters(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->emittersNode);
  view->emitters.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->emittersNode, i);
    ZF_EmitterRec& r = view->emitters[i];
    r = ZF_EmitterRec{};
    r.type = intKey(m, "type", -1);
    r.name = strKey(m, "name");
    r.parentName = strKey(m, "parentName");
    r.selectionMask = intKey(m, "selectionMask", 0);
    r.position = vecKey(m, "position", 3);
    r.rotation = vecKey(m, "rotation", 3);
    r.scale = vecKey(m, "scale", 3);
    r.hyperVoxelNode = nodeKey(m, "HyperVoxel");
    for (int k = 0; k < ZF_HV_COUNT; ++k) r.hv[k] = ZF_Find(r.hyperVoxelNode, kHyperVoxelKeys[k]);
    r.particleFxNode = nodeKey(m, "ParticleFx");
    for (int k = 0; k < ZF_PFX_COUNT; ++k) r.pfx[k] = ZF_Find(r.particleFxNode, kParticleFxKeys[k]);
    r.effect = effectUnder(view, nodeKey(m, "Shader"));
  }
}

void readSceneObjects(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->sceneObjectsNode);
  view->sceneObjects.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->sceneObjectsNode, i);
    ZF_SceneObjectRec& r = view->sceneObjects[i];
    r.filename = strKey(m, "filename");
    const ZF_Entry* surfaces = nodeKey(m, "Surfaces");
    const uint32_t count = ZF_ChildCount(surfaces);
    r.surfaces.resize(count);
    const ZF_EffectDesc* everywhere = nullptr;  // "applyToSurface" 2
    const ZF_EffectDesc* elsewhere = nullptr;   // "applyToSurface" 1
    for (uint32_t s = 0; s < count; ++s) {
      const ZF_Entry* sn = ZF_Child(surfaces, s);
      ZF_SurfaceDesc& d = r.surfaces[s];
      const char* name = strKey(sn, "name");
      d.name = name ? name : "";
      const ZF_Entry* params = nodeKey(sn, "Parameters");
      for (uint32_t p = 0; p < ZF_ChildCount(params); ++p) {
        const ZF_Entry* given = ZF_Child(params, p);
        if (ZF_SurfaceChannelIndex(given->name) < 0)
          zeLog("ZF_SceneOpen: surface '%s' of '%s' has no channel '%s'; ignored\n", d.name,
                r.filename ? r.filename : "", given->name ? given->name : "");
      }
      for (int c = 0; c < ZF_SURFACE_CHANNELS; ++c) {
        const ZF_Entry* ch = nodeKey(params, ZF_SurfaceChannelNames[c]);
        ZF_ChannelDesc& cd = d.channels[c];
        cd.value = paramValue(ch);
        cd.kind = ZF_ParamKindOf(cd.value);
        cd.elements = valueElements(cd.value);
        cd.imageFile = strKey(ch, "img_filename");
        cd.colorSpace = intKey(ch, "img_colorspace", 0);
        cd.mipmap = intKey(ch, "img_mipmap", 1);
      }
      const ZF_Entry* shader = nodeKey(sn, "Shader");
      d.applyToSurface = intKey(shader, "applyToSurface", 0);
      d.own = effectUnder(view, shader);
      if (d.own && d.applyToSurface == 2) everywhere = d.own;
      if (d.own && d.applyToSurface == 1) elsewhere = d.own;
    }
    for (ZF_SurfaceDesc& d : r.surfaces) {
      if (d.applyToSurface == 3) d.chosen = nullptr;
      else if (everywhere) d.chosen = everywhere;
      else if (d.own) d.chosen = d.own;
      else d.chosen = elsewhere;
    }
  }
}

void readObjects(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->objectsNode);
  view->objects.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->objectsNode, i);
    ZF_ObjectRec& r = view->objects[i];
    r.zfilename = strKey(m, "zfilename");
    r.name = strKey(m, "name");
    r.filename = strKey(m, "filename");
    r.position = vecKey(m, "position", 3);
    r.rotation = vecKey(m, "rotation", 3);
    r.scale = vecKey(m, "scale", 3);
    r.pointCloudCount = intKey(m, "pointCloudCount", 0);
    r.pointCloudFlags = intKey(m, "pointCloudFlags", 0);
    r.shadowOpts = intKey(m, "shadowOpts", 0);
    r.selectionMask = intKey(m, "selectionMask", 0);
    r.vertexTextureName = strKey(m, "vertexTextureName");
    r.vertexTextureContent = intKey(m, "vertexTextureContent", 0);
    r.vertexTextureFormat = intKey(m, "vertexTextureFormat", 0);
    const ZF_Entry* mdd = nodeKey(m, "MDD");
    r.hasMdd = mdd != nullptr;
    r.mddFile = strKey(mdd, "filename");
    r.applyCacheTo = intKey(mdd, "applyCacheTo", 0);
    r.endBehavior = intKey(mdd, "endBehavior", 0);
    r.postBehavior = intKey(mdd, "postBehavior", 0);
    r.mddTotalTime = floatKey(mdd, "mddTotalTime");
    r.mddTimes = fpKey(mdd, "times");
    const ZF_Entry* morphs = nodeKey(m, "Morphs");
    for (uint32_t k = 0; k < ZF_ChildCount(morphs); ++k) r.morphs.push_back(fpKey(ZF_Child(morphs, k), "value"));
    const ZF_Entry* cubes = nodeKey(m, "UseCubeMaps");
    for (uint32_t k = 0; k < ZF_ChildCount(cubes); ++k) {
      const ZF_Entry* c = ZF_Child(cubes, k);
      ZF_CubeInfluence inf;
      inf.cubeMapName = strKey(c, "renderCubeMap");
      inf.cubeMap = -1;
      for (size_t j = 0; inf.cubeMapName && j < view->cubeMaps.size(); ++j) {
        if (view->cubeMaps[j].name && std::strcmp(view->cubeMaps[j].name, inf.cubeMapName) == 0) {
          inf.cubeMap = static_cast<int>(j);
          break;
        }
      }
      inf.aabbPosition = vecKey(c, "aabbPosition", 3);
      inf.aabbScale = vecKey(c, "aabbScale", 3);
      inf.influence = fpKey(c, "influence");
      r.influences.push_back(inf);
    }
    r.sceneObject = -1;
    for (size_t j = 0; r.filename && j < view->sceneObjects.size(); ++j)
      if (view->sceneObjects[j].filename && std::strcmp(view->sceneObjects[j].filename, r.filename) == 0)
        r.sceneObject = static_cast<int>(j);  // the last match wins
  }
}

void readProbes(ZF_SceneView* view) {
  const ZF_Entry* ps = nodeKey(view->scene, "ProbesSettings");
  view->hasProbesSettings = ps != nullptr;
  ZF_ProbesSettingsRec& s = view->probesSettings;
  s.renderTime = floatKey(ps, "renderTime");
  s.textureName = strKey(ps, "textureName");
  s.textureSize = intKey(ps, "textureSize", 0);
  s.hideSet = objectSet(view, nodeKey(ps, "hideSet"));
  s.showSet = objectSet(view, nodeKey(ps, "showSet"));
  const uint32_t n = ZF_ChildCount(view->probesNode);
  view->probes.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->probesNode, i);
    view->probes[i].name = strKey(m, "name");
    view->probes[i].position = float3Key(m, "position");
    view->probes[i].radius = floatKey(m, "radius");
  }
  view->probesActive = view->hasProbesSettings && n > 0;
}

void readCameraShaders(ZF_SceneView* view) {
  const uint32_t n = ZF_ChildCount(view->postProcsNode);
  view->cameraShaders.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* m = ZF_Child(view->postProcsNode, i);
    ZF_CameraShaderRec& r = view->cameraShaders[i];
    r.useframe = intKey(m, "useframe", 0);
    r.startframe = intKey(m, "startframe", 0);
    r.endframe = intKey(m, "endframe", 0);
    r.effect = effectUnder(view, m);
  }
}

// --- Render commands ----------------------------------------------------------------------------
void readConnects(const ZF_Entry* node, ZF_RenderConnect* out, int* count, int limit, const char* tooMany) {
  const uint32_t n = ZF_ChildCount(node);
  if (n > static_cast<uint32_t>(limit)) throw OpenFailure{tooMany};
  *count = static_cast<int>(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* c = ZF_Child(node, i);
    const char* slot = strKey(c, "name");
    const char* texture = strKey(c, "value");
    out[i].slot = slot ? slot : "";
    out[i].texture = texture ? texture : "";
  }
}

const ZF_RenderParam* findParam(const ZF_RenderCommand& c, const char* name) {
  for (int i = 0; i < c.paramCount; ++i)
    if (std::strcmp(c.params[i].name, name) == 0) return &c.params[i];
  return nullptr;
}

void readRenderCommands(ZF_SceneView* view) {
  const ZF_Entry* block = nodeKey(view->scene, "ZarnRenderCommands");
  const ZF_Entry* commands = nodeKey(block, "Commands");
  view->hasRenderCommands = commands != nullptr;
  const uint32_t n = ZF_ChildCount(commands);
  if (n > ZF_MAX_RENDER_COMMANDS) throw OpenFailure{"Renderer: too much commands"};
  view->renderCommands.resize(n);
  for (uint32_t i = 0; i < n; ++i) {
    const ZF_Entry* cn = ZF_Child(commands, i);
    ZF_RenderCommand& c = view->renderCommands[i];
    std::memset(&c, 0, sizeof c);
    const char* name = strKey(cn, "name");
    const char* cmd = strKey(cn, "cmd");
    c.name = name ? name : "";
    c.cmd = cmd ? cmd : "";
    readConnects(nodeKey(cn, "Inputs"), c.inputs, &c.inputCount, ZF_MAX_RENDER_INPUTS, "Renderer: too much inputs");
    readConnects(nodeKey(cn, "Outputs"), c.outputs, &c.outputCount, ZF_MAX_RENDER_OUTPUTS,
                 "Renderer: too much outputs");
    const ZF_Entry* params = nodeKey(cn, "Parameters");
    const uint32_t pn = ZF_ChildCount(params);
    if (pn > ZF_MAX_RENDER_PARAMS) throw OpenFailure{"Renderer: too much parameters"};
    c.paramCount = static_cast<int>(pn);
    for (uint32_t k = 0; k < pn; ++k) {
      const ZF_Entry* pe = ZF_Child(params, k);
      ZF_RenderParam& p = c.params[k];
      const char* pname = strKey(pe, "name");
      p.name = pname ? pname : "";
      const ZF_Entry* effect = ZF_Find(pe, "Effect");
      if (effect) {  // the effect wins over a value
        if (view->renderEffects.size() >= ZF_MAX_RENDER_EFFECTS) throw OpenFailure{"Renderer: too much shaders"};
        const ZF_EffectDesc* desc = makeEffect(view, effect);
        if (!desc) throw OpenFailure{"Renderer: failed to create effect"};
        p.kind = ZF_RP_EFFECT;
        p.intValue = static_cast<int>(view->renderEffects.size());
        view->renderEffects.push_back(desc);
        continue;
      }
      const ZF_Entry* value = ZF_Find(pe, "value");
      if (!isValue(value)) throw OpenFailure{"Renderer: unknown param type"};
      switch (value->type) {
        case ZF_FP:
          if (value->value.count == 3) {
            const ZF_Float3 v = ZF_FP3_At(value, 0);
            p.kind = ZF_RP_FLOAT3;
            p.value[0] = v.x, p.value[1] = v.y, p.value[2] = v.z;
          } else {
            p.kind = ZF_RP_FLOAT;
            p.value[0] = ZF_FP_At(value, 0);
          }
          break;
        case ZF_STR:
          p.kind = ZF_RP_STRING;
          p.text = static_cast<const char*>(value->value.data);
          break;
        case ZF_I4:
        case ZF_U4:
          p.kind = ZF_RP_INT;
          p.intValue = value->value.count ? static_cast<const int32_t*>(value->value.data)[0] : 0;
          break;
        case ZF_FP_C:
          throw OpenFailure{"Renderer: unknown param value type"};
        default:
          throw OpenFailure{"Renderer: unknown param type"};
      }
      if (!p.text) p.text = "";
    }
    // A light's view: the light is named; the renderer wants its index.
    if (std::strcmp(c.cmd, "Render Objects") == 0) {
      const ZF_RenderParam* v = findParam(c, "View");
      const ZF_RenderParam* sel = findParam(c, "ViewSelect");
      if (v && v->kind == ZF_RP_INT && v->intValue == 2 && sel && sel->kind == ZF_RP_STRING &&
          std::strcmp(sel->text, "(none)") != 0) {
        int found = -1;
        for (size_t l = 0; l < view->lights.size(); ++l)
          if (view->lights[l].name && std::strcmp(view->lights[l].name, sel->text) == 0) {
            found = static_cast<int>(l);
            break;
          }
        if (found < 0) throw OpenFailure{"Renderer: cannot find light for Render Objects"};
        if (c.paramCount >= ZF_MAX_RENDER_PARAMS) throw OpenFailure{"Renderer: too much parameters to add extra"};
        ZF_RenderParam& extra = c.params[c.paramCount++];
        extra.name = "ViewNode";
        extra.kind = ZF_RP_LIGHT;
        extra.intValue = found;
        extra.text = "";
      }
    }
  }
}

void build(ZF_SceneView* view) {
  const ZF_Entry* info = nodeKey(view->scene, "SceneInfo");
  view->frameStart = intKey(info, "frameStart", 0);
  view->frameEnd = intKey(info, "frameEnd", 0);
  view->frameStep = intKey(info, "frameStep", 0);
  view->framesPerSecond = floatKey(info, "framesPerSecond");
  view->renderCamera = fpKey(info, "renderCamera");
  view->loadAudio = ZF_Find(info, "loadAudio");
  view->audioStartTime = ZF_Find(info, "audioStartTime");

  const ZF_Entry* scene = view->scene;
  view->objectsNode = nodeKey(scene, "Objects");
  view->camerasNode = nodeKey(scene, "Cameras");
  view->lightsNode = nodeKey(scene, "Lights");
  view->emittersNode = nodeKey(scene, "FxEmitters");
  view->postProcsNode = nodeKey(scene, "ZarnPostProcs");
  view->sceneObjectsNode = nodeKey(scene, "SceneObjects");
  view->cubeMapsNode = nodeKey(scene, "CubeMaps");
  view->probesNode = nodeKey(scene, "Probes");

  view->backdropInfo = nodeKey(scene, "BackdropInfo");
  view->zenith = float3Key(view->backdropInfo, "zenith");
  view->ambient = vecKey(nodeKey(scene, "LightInfo"), "ambient", 3);
  const ZF_Entry* colorSpace = nodeKey(scene, "ColorSpace");
  view->colorSpaceViewer = intKey(colorSpace, "ColorSpaceViewer", 0);
  view->colorSpace8BitFiles = intKey(colorSpace, "ColorSpace8BitFiles", 0);
  const ZF_Entry* imageProcessing = nodeKey(scene, "ImageProcessing");
  view->glowEffect = intKey(imageProcessing, "glowEffect", 0);
  view->glowIntensity = fpKey(imageProcessing, "glowIntensity");
  view->glowRadius = fpKey(imageProcessing, "glowRadius");
  const ZF_Entry* settings = nodeKey(scene, "ZarnRenderSettings");
  for (int k = 0; k < ZF_RS_COUNT; ++k) {
    const ZF_Entry* e = ZF_Find(settings, ZF_RenderSettingNames[k]);
    bool ok = e == nullptr;
    if (e && ZF_RenderSettingIsInt(k)) ok = isValue(e) && (e->type == ZF_I4 || e->type == ZF_U4) && e->value.count;
    else if (e && k == ZF_RS_STREAK_TINT) ok = isVectorChannel(e, 3);
    else if (e) ok = isScalarChannel(e);
    if (!ok) dropped(ZF_RenderSettingNames[k]);
    view->renderSettings[k] = ok ? e : nullptr;
  }

  readCubeMaps(view);
  readCameras(view);
  readLights(view);
  readEmitters(view);
  readSceneObjects(view);
  readObjects(view);
  for (size_t i = 0; i < view->cubeMaps.size(); ++i) {
    const ZF_Entry* m = ZF_Child(view->cubeMapsNode, static_cast<uint32_t>(i));
    view->cubeMaps[i].hideSet = objectSet(view, nodeKey(m, "hideSet"));
    view->cubeMaps[i].showSet = objectSet(view, nodeKey(m, "showSet"));
  }
  readProbes(view);
  readCameraShaders(view);
  readRenderCommands(view);
}

}  // namespace

// --- Open and close ------------------------------------------------------------------------------
ZF_SceneView* ZF_SceneOpenDocument(ZF_Document* document) {
  lastError[0] = '\0';
  if (!document) return nullptr;
  const ZF_Entry* scene = ZF_Find(ZF_Root(document), "Scene");
  if (!scene || scene->kind != ZF_NODE) {
    ZF_Free(document);
    return nullptr;
  }
  auto view = std::make_unique<ZF_SceneView>();
  view->document = document;
  view->scene = scene;
  try {
    build(view.get());
  } catch (const OpenFailure& failure) {
    zeFormatText(lastError, "%s", failure.text);
    ZF_SceneClose(view.release());
    return nullptr;
  } catch (const std::bad_alloc&) {
    zeFormatText(lastError, "out of memory");
    ZF_SceneClose(view.release());
    return nullptr;
  }
  return view.release();
}

namespace {
ZF_SceneClaim foreignClaims = nullptr;
ZF_SceneReader foreignRead = nullptr;
}  // namespace

void ZF_SetSceneReader(ZF_SceneClaim claims, ZF_SceneReader read) {
  foreignClaims = claims;
  foreignRead = read;
}

ZF_Document* ZF_SceneLoadDocument(const char* path) {
  if (!path) return nullptr;
  if (foreignClaims && foreignRead && foreignClaims(path)) return foreignRead(path);
  return ZF_Load(path);
}

ZF_SceneView* ZF_SceneOpen(const char* path) {
  lastError[0] = '\0';
  if (!path) return nullptr;
  ZF_Document* document = ZF_SceneLoadDocument(path);
  if (!document && foreignClaims && foreignClaims(path)) {
    zeFormatText(lastError, "the scene could not be converted (the log says why)");
    return nullptr;
  }
  return ZF_SceneOpenDocument(document);
}

void ZF_SceneClose(ZF_SceneView* view) {
  if (!view) return;
  ZF_Free(view->document);
  delete view;
}

const char* ZF_SceneLastError() { return lastError; }

// --- Evaluators -------------------------------------------------------------------------------------
namespace {

void evalValue(const ZF_Entry* value, int kind, float t, float* out3, int* outInt, const char** outText) {
  out3[0] = out3[1] = out3[2] = 0.0f;
  *outInt = 0;
  *outText = nullptr;
  switch (kind) {
    case ZF_PARAM_FLOAT3: {
      const ZF_Float3 v = ZF_FP3_Lerp(value, t);
      out3[0] = v.x, out3[1] = v.y, out3[2] = v.z;
      break;
    }
    case ZF_PARAM_FLOAT:
      out3[0] = ZF_FP_Lerp(value, t);
      break;
    case ZF_PARAM_INT:
      *outInt = static_cast<const int32_t*>(value->value.data)[0];
      break;
    case ZF_PARAM_TEXT:
      *outText = static_cast<const char*>(value->value.data);
      break;
    default:
      break;
  }
}

bool sameText(const char* a, const char* b) {
  if (!a || !b) return a == b;
  return std::strcmp(a, b) == 0;
}

}  // namespace

void ZF_EffectParamsEval(const ZF_EffectDesc* desc, float t, ZF_EffectParams* out) {
  out->filename = desc ? desc->filename : "";
  out->cflags = desc ? desc->cflags : "";
  out->count = 0;
  if (!desc) return;
  for (const ZF_EffectParamDesc& d : desc->params) {
    if (out->count >= ZF_MAX_EFFECT_PARAMS) break;
    ZF_EffectParam& p = out->params[out->count++];
    p.name = d.name;
    p.kind = d.kind;
    evalValue(d.value, d.kind, t, p.value, &p.intValue, &p.text);
    p.colorSpace = d.colorSpace;
    p.reference = d.reference;
  }
}

bool ZF_EffectParamsEqual(const ZF_EffectParams& a, const ZF_EffectParams& b) {
  if (a.count != b.count || !sameText(a.filename, b.filename) || !sameText(a.cflags, b.cflags)) return false;
  for (int i = 0; i < a.count; ++i) {
    const ZF_EffectParam& x = a.params[i];
    const ZF_EffectParam& y = b.params[i];
    if (x.kind != y.kind || !sameText(x.name, y.name) || x.intValue != y.intValue || !sameText(x.text, y.text) ||
        x.colorSpace != y.colorSpace || x.reference != y.reference)
      return false;
    if (std::memcmp(x.value, y.value, sizeof x.value) != 0) return false;
  }
  return true;
}

int ZF_SurfaceParamsEval(const ZF_SceneObjectRec* surfaces, float t, ZF_SurfaceParams* out, int capacity) {
  if (!surfaces || !out || capacity <= 0) return 0;
  if (capacity > ZF_MAX_SURFACES) capacity = ZF_MAX_SURFACES;
  const int n = static_cast<int>(surfaces->surfaces.size()) < capacity ? static_cast<int>(surfaces->surfaces.size())
                                                                         : capacity;
  for (int s = 0; s < n; ++s) {
    const ZF_SurfaceDesc& d = surfaces->surfaces[s];
    ZF_SurfaceParams& p = out[s];
    p.name = d.name;
    for (int c = 0; c < ZF_SURFACE_CHANNELS; ++c) {
      const ZF_ChannelDesc& cd = d.channels[c];
      ZF_ChannelValue& v = p.channels[c];
      v.kind = cd.kind;
      v.elements = cd.elements;
      const char* text;
      evalValue(cd.value, cd.kind, t, v.value, &v.intValue, &text);
      // A channel's text is its image; an image file given beside wins.
      v.imageFile = cd.imageFile ? cd.imageFile : text;
      v.colorSpace = cd.colorSpace;
      v.mipmap = cd.mipmap;
    }
    p.hasEffect = d.chosen != nullptr;
    if (p.hasEffect) ZF_EffectParamsEval(d.chosen, t, &p.effect);
    else p.effect.count = 0;
  }
  return n;
}

int ZF_MorphWeightsEval(const ZF_ObjectRec* object, float t, int* indices, float* weights) {
  if (!object) return 0;
  int n = 0;
  const size_t targets = object->morphs.size();
  for (size_t k = 0; k < targets && n < ZF_MAX_MORPH_WEIGHTS; ++k) {
    const float w = object->morphs[k] ? ZF_FP_Lerp(object->morphs[k], t) : 0.0f;
    if (w != 0.0f) {
      indices[n] = static_cast<int>(k) + 1;
      weights[n] = w;
      ++n;
    }
  }
  return n;
}
