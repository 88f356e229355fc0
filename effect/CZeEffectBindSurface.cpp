// Families of the buffer being drawn: LightWave surface values, particle
// settings, the node extension, the material's textures; the user semantic
// map; and the built-in list.
#include "effect/CZeEffectBinds.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "base/zeMessage.h"
#include "effect/CZeEffectDef.h"
#include "effect/zeFxMaterial.h"
#include "scene/IZeSceneNodeExt.h"
#include "mesh/IZeSurface.h"

using namespace irr;

namespace {

bool anyStage(const SZeFxConstBind& c) { return c.stage == ZE_FX_STAGE_VERTEX || c.stage == ZE_FX_STAGE_FRAGMENT; }

// Binary digits of v (0 for 0).
int binaryDigits(u32 v) {
  int n = 0;
  while (v) ++n, v >>= 1;
  return n;
}

// The surface of the draw, checked as the two surface families need it.
const IZeSurface* drawSurface(const SZeEffectDrawContext* c, const char* family, u32 wanted, const char* typeName) {
  if (!c || !c->node) {
    zeMessage(ZE_ERROR, "%s::onSetMaterial : Missing matExt->Node", family);
    return nullptr;
  }
  if (!c->nodeExt) {
    zeMessage(ZE_ERROR, "%s::onSetMaterial : Missing IZeSceneNodeExt", family);
    return nullptr;
  }
  IZeSurface* surface = c->materialIndex >= 0 ? c->nodeExt->getSurface(u32(c->materialIndex)) : nullptr;
  if (!surface) {
    zeMessage(ZE_ERROR, "%s::onSetMaterial : Missing Surface at index %d", family, c->materialIndex);
    return nullptr;
  }
  if (surface->getKind() != wanted) {
    zeMessage(ZE_ERROR, "%s::onSetMaterial : Unexpected Surface type != %s at index %d", family, typeName,
              c->materialIndex);
    return nullptr;
  }
  return surface;
}

// --- LightWave surface --------------------------------------------------------------------

constexpr int LW_ROUGHNESS = 100, LW_MAX_MIP = 101;

void lightwaveCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const IZeSurfaceLightwave* v = static_cast<CZeEffectBindLightwave*>(b.bind)->surface;
  if (!v) return;
  if (b.userData[0] == LW_ROUGHNESS) {
    const float r = std::pow(2.0f, v->getFloat(ZE_LW_GLOSSINESS) * 10.0f + 2.0f);
    zeFxSendFloats(s, b, &r, 1);
    return;
  }
  if (b.userData[0] == LW_MAX_MIP) {
    float mip = 1.0f;
    if (video::ITexture* t = v->getTexture(ZE_LW_REFLECTION_IMAGE)) {
      const core::dimension2du size = t->getOriginalSize();
      const int x = binaryDigits(core::max_(size.Width, size.Height)) - 1;
      if (x > 1) mip = float(x);
    }
    zeFxSendFloats(s, b, &mip, 1);
    return;
  }
  const int channel = b.userData[0];
  switch (b.type) {
    case ZE_FX_FLOAT: zeFxSendFloats(s, b, v->getValue(channel), 1); break;
    case ZE_FX_FLOAT3: zeFxSendFloats(s, b, v->getValue(channel), 3); break;
    default: {
      const float f = float(v->getInt(channel));
      zeFxSendFloats(s, b, &f, 1);
    }
  }
}

// --- Particle settings --------------------------------------------------------------------

enum HV { HV_COLOUR, HV_SIZE, HV_ROTATION, HV_COLOUR_KEYS, HV_COLOUR_PARAMS, HV_COLOUR_VALUES, HV_SIZE_KEYS,
          HV_SIZE_PARAMS, HV_SIZE_VALUES, HV_COUNT };
const char* const kHV[HV_COUNT] = {"LWHV_Color",          "LWHV_Size",           "LWHV_Rotation",
                                   "LWHV_ColorNumKeys",   "LWHV_ColorKeyParams", "LWHV_ColorKeyValues",
                                   "LWHV_SizeNumKeys",    "LWHV_SizeKeyParams",  "LWHV_SizeKeyValues"};

void hyperVoxelCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const SZeLWHVValues* v = static_cast<CZeEffectBindLightwaveHV*>(b.bind)->values;
  if (!v) return;
  float keys = 0;
  switch (b.userData[0]) {
    case HV_COLOUR: zeFxSendFloats(s, b, v->colour, 4); return;
    case HV_SIZE: zeFxSendFloats(s, b, &v->size, 1); return;
    case HV_ROTATION: zeFxSendFloats(s, b, &v->rotation, 1); return;
    case HV_COLOUR_KEYS: keys = float(v->colourNumKeys); break;
    case HV_COLOUR_PARAMS: zeFxSendFloats(s, b, v->colourKeyParams, 8); return;
    case HV_COLOUR_VALUES: zeFxSendFloats(s, b, v->colourKeyValues, 36); return;
    case HV_SIZE_KEYS: keys = float(v->sizeNumKeys); break;
    case HV_SIZE_PARAMS: zeFxSendFloats(s, b, v->sizeKeyParams, 8); return;
    default: zeFxSendFloats(s, b, v->sizeKeyValues, b.stage == ZE_FX_STAGE_VERTEX ? 9 : 8); return;
  }
  zeFxSendFloats(s, b, &keys, 1);
}

// --- Node extension -----------------------------------------------------------------------

enum NodeValue { NV_CUBE1, NV_CUBE2, NV_LERP, NV_BOX_POS, NV_BOX_SCALE, NV_PREV_WORLD, NV_PREV_WVP, NV_COUNT };

void nodeExtCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  auto* f = static_cast<CZeEffectBindNodeExt*>(b.bind);
  const SZeEffectDrawContext* c = f->context;
  if (!c || !c->nodeExt) return;
  const IZeSceneNodeExt* ext = c->nodeExt;
  float v[3] = {0, 0, 0};
  switch (b.userData[0]) {
    case NV_CUBE1:
    case NV_CUBE2: {
      IReferenceCounted* cube = b.userData[0] == NV_CUBE1 ? ext->getCubeMap1() : ext->getCubeMap2();
      core::vector3df p;
      if (cube && f->env()->cubeMaps && f->env()->cubeMaps->cubeMapPosition(cube, &p))
        v[0] = p.X, v[1] = p.Y, v[2] = p.Z;
      zeFxSendFloats(s, b, v, 3);
      return;
    }
    case NV_LERP: v[0] = ext->getCubeMapBlend(); zeFxSendFloats(s, b, v, 1); return;
    case NV_BOX_POS:
    case NV_BOX_SCALE: {
      const core::vector3df& p = b.userData[0] == NV_BOX_POS ? ext->getBoxPosition() : ext->getBoxSize();
      v[0] = p.X, v[1] = p.Y, v[2] = p.Z;
      zeFxSendFloats(s, b, v, 3);
      return;
    }
    case NV_PREV_WORLD: zeFxSendMatrix(s, b, ext->getMatrix(), b.userData[1] != 0); return;
    default: {
      const SZeLastFrameInfo& l = f->env()->lastFrame;
      zeFxSendMatrix(s, b, l.prevProjection * l.prevView * ext->getMatrix(), b.userData[1] != 0);
    }
  }
}

// --- Material -----------------------------------------------------------------------------

void materialCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const SZeEffectDrawContext* c = static_cast<CZeEffectBindMaterial*>(b.bind)->context;
  const int n = b.userData[0];
  video::ITexture* t = nullptr;
  if (c && b.stage == ZE_FX_STAGE_VERTEX) {
    if (c->record && n < ZE_FX_VERTEX_LAYERS) t = c->record->layers[ZE_FX_PIXEL_LAYERS + n].texture;
  } else if (c) {
    if (c->record && n < ZE_FX_PIXEL_LAYERS) t = c->record->layers[n].texture;
    else if (c->material && n < int(video::MATERIAL_MAX_TEXTURES)) t = c->material->TextureLayer[n].Texture;
  }
  const core::dimension2du size = t ? t->getOriginalSize() : core::dimension2du(0, 0);
  if (b.userData[1] == 0) {
    const float v[2] = {float(size.Width), float(size.Height)};
    zeFxSendFloats(s, b, v, 2);
  } else {
    const float v = float(binaryDigits(core::max_(size.Width, size.Height)));
    zeFxSendFloats(s, b, &v, 1);
  }
}

// --- Semantic map -------------------------------------------------------------------------

void semanticMapCallback(video::IMaterialRendererServices* s, const SZeFxConstBind& b, const SZeEffectDrawContext*) {
  const IZeEffectBindSemanticMap::SValue& v = static_cast<CZeEffectBindSemanticMap*>(b.bind)->value(b.userData[0]);
  float floats[16] = {};
  const int count = v.floatCount > 16 ? 16 : int(v.floatCount);
  std::memcpy(floats, v.floats, sizeof(float) * size_t(count));
  if (b.registerIndex < 0) zeFxSendFloats(s, b, floats, count);
  else zeFxSendFloats(s, b, floats, b.registerCount > 0 ? 4 * (b.registerCount > 4 ? 4 : b.registerCount) : 4);
}

}  // namespace

bool CZeEffectBindLightwave::onSetMaterial(const SZeEffectDrawContext* drawContext) {
  const IZeSurface* v = drawSurface(drawContext, "CZeEffectBindLightwave", ZE_SURFACE_LIGHTWAVE, "EZEST_LIGHTWAVE");
  surface = static_cast<const IZeSurfaceLightwave*>(v);
  return surface != nullptr;
}

ZeFxBindCallback CZeEffectBindLightwave::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c) || c.semantic.compare(0, 3, "LW_") != 0) return nullptr;
  const std::string channel = c.semantic.substr(3);
  if (channel == "Roughness") user[0] = LW_ROUGHNESS;
  else if (channel == "ReflectionMaxMip") user[0] = LW_MAX_MIP;
  else {
    int found = -1;
    for (int i = 0; i < ZE_LW_CHANNELS && found < 0; ++i)
      if (channel == ZE_LW_CHANNEL_NAMES[i]) found = i;
    if (found < 0) return nullptr;
    if (c.type != ZE_FX_FLOAT && c.type != ZE_FX_FLOAT3 && c.type != ZE_FX_BOOL && c.type != ZE_FX_INT) return nullptr;
    user[0] = found;
  }
  return lightwaveCallback;
}

bool CZeEffectBindLightwaveHV::onSetMaterial(const SZeEffectDrawContext* drawContext) {
  const IZeSurface* v =
      drawSurface(drawContext, "CZeEffectBindLightwaveHV", ZE_SURFACE_LIGHTWAVE_HV, "EZEST_LIGHTWAVEHV");
  values = v ? &static_cast<const IZeSurfaceLightwaveHV*>(v)->values() : nullptr;
  return values != nullptr;
}

ZeFxBindCallback CZeEffectBindLightwaveHV::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  for (int i = 0; i < HV_COUNT; ++i)
    if (c.semantic == kHV[i]) {
      user[0] = i;
      return hyperVoxelCallback;
    }
  return nullptr;
}

bool CZeEffectBindNodeExt::onSetMaterial(const SZeEffectDrawContext* drawContext) {
  context = drawContext;
  if (!context || !context->node) {
    zeMessage(ZE_ERROR, "CZeEffectBindNodeExt::onSetMaterial : Missing matExt->Node");
    return false;
  }
  if (!context->nodeExt) {
    zeMessage(ZE_ERROR, "CZeEffectBindNodeExt::onSetMaterial : Missing IZeSceneNodeExt");
    return false;
  }
  return true;
}

ZeFxBindCallback CZeEffectBindNodeExt::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c)) return nullptr;
  static const char* const names[5] = {"CubeMapPosition", "CubeMap2Position", "CubeMapInfluenceLerp",
                                       "CubeMapAABBPosition", "CubeMapAABBScale"};
  for (int i = 0; i < 5; ++i)
    if (c.semantic == names[i]) {
      user[0] = i;
      return nodeExtCallback;
    }
  if (c.type != ZE_FX_FLOAT4X4) return nullptr;
  const std::string& s = c.semantic;
  if (s == "PrevWorld" || s == "PrevWorldTranspose") user[0] = NV_PREV_WORLD;
  else if (s == "PrevWorldViewProjection" || s == "PrevWorldViewProjectionTranspose") user[0] = NV_PREV_WVP;
  else return nullptr;
  user[1] = s.size() > 9 && s.compare(s.size() - 9, 9, "Transpose") == 0;
  return nodeExtCallback;
}

bool CZeEffectBindMaterial::onSetMaterial(const SZeEffectDrawContext* drawContext) {
  context = drawContext;
  return true;
}

ZeFxBindCallback CZeEffectBindMaterial::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c) || c.semantic.compare(0, 7, "Texture") != 0) return nullptr;
  int n = 0;
  char member[32] = {};
  if (std::sscanf(c.semantic.c_str(), "Texture[%d].%31s", &n, member) != 2 || n < 0 || n >= ZE_FX_LAYERS)
    return nullptr;
  if (std::strcmp(member, "Size") == 0) user[1] = 0;
  else if (std::strcmp(member, "NumMips") == 0) user[1] = 1;
  else return nullptr;
  user[0] = n;
  return materialCallback;
}

ZeFxBindCallback CZeEffectBindSemanticMap::getBind(const SZeFxConstBind& c, int32_t user[2]) {
  if (!anyStage(c) || c.type < ZE_FX_FLOAT || c.type > ZE_FX_FLOAT4X4) return nullptr;
  auto found = index_.find(c.semantic);
  if (found == index_.end()) return nullptr;
  user[0] = found->second;
  return semanticMapCallback;
}

bool CZeEffectBindSemanticMap::addSemantic(const char* name, const SValue& initial) {
  if (!name || index_.count(name)) return false;
  index_[name] = int(values_.size());
  values_.push_back(initial);
  return true;
}

bool CZeEffectBindSemanticMap::setFloat(const char* name, float value) {
  auto found = name ? index_.find(name) : index_.end();
  if (found == index_.end()) return false;
  values_[size_t(found->second)].floats[0] = value;
  return true;
}

bool CZeEffectBindSemanticMap::setData(const char* name, const void* bytes, size_t length) {
  auto found = name ? index_.find(name) : index_.end();
  if (found == index_.end() || !bytes || length > sizeof(SValue::floats)) return false;
  std::memcpy(values_[size_t(found->second)].floats, bytes, length);
  return true;
}

std::vector<IZeEffectBind*> zeCreateBindList(SZeEffectBindEnv* env) {
  return {new CZeEffectBindTransform(env),    new CZeEffectBindTime(env),
          new CZeEffectBindScreen(env),       new CZeEffectBindLightwave(env),
          new CZeEffectBindLightwaveHV(env),  new CZeEffectBindLightParams(env),
          new CZeEffectBindLight(env),        new CZeEffectBindCamera(env),
          new CZeEffectBindNodeExt(env),      new CZeEffectBindLastFrameInfo(env),
          new CZeEffectBindObject(env),       new CZeEffectBindMaterial(env),
          new CZeEffectBindProbes(env),       new CZeEffectBindEvent(env),
          new CZeEffectBind};
}
