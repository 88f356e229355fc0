#include "effect/CZeEffect.h"

#include <cstring>

#include "base/zeMessage.h"
#include "effect/CZeEffectBuilder.h"
#include "scene/IZeSceneNodeExt.h"

using namespace irr;

CZeEffect::CZeEffect(CZeEffectDef* definition) : definition_(definition) {
  if (definition_) definition_->grab();
}

CZeEffect::~CZeEffect() {
  for (size_t i = 0; i < values_.size(); ++i)
    if (zeFxIsSampler(definition_->parameters[i].type) && values_[i].layer()->texture)
      values_[i].layer()->texture->drop();
  for (IZeEffectBind* b : binds_) b->drop();
  if (definition_) definition_->drop();
}

CZeEffect* CZeEffect::create(const SZeEffectBuildArgs& args, bool* ok, std::string* error) {
  auto* effect = new CZeEffect(args.definition);
  CZeEffectBuilder builder(effect, args);
  *ok = builder.build();
  *error = builder.error();
  return effect;
}

// --- Values ---------------------------------------------------------------------------

namespace {

bool plainValue(const CZeEffectDef& def, int handle) {
  return handle >= 0 && size_t(handle) < def.parameters.size() && !zeFxIsSampler(def.parameters[size_t(handle)].type);
}

}  // namespace

bool CZeEffect::getFloats(int handle, float* values, int count) const {
  if (!plainValue(*definition_, handle) || !values || count < 0 || count > 16) return false;
  std::memcpy(values, values_[size_t(handle)].floats(), sizeof(float) * size_t(count));
  return true;
}

bool CZeEffect::getInts(int handle, int* values, int count) const {
  if (!plainValue(*definition_, handle) || !values || count < 0 || count > 16) return false;
  std::memcpy(values, values_[size_t(handle)].slot, sizeof(int) * size_t(count));
  return true;
}

bool CZeEffect::getBool(int handle, bool* value) const {
  if (!plainValue(*definition_, handle) || !value) return false;
  *value = values_[size_t(handle)].slot[0] != 0;
  return true;
}

bool CZeEffect::getMatrix(int handle, float* values16) const { return getFloats(handle, values16, 16); }

bool CZeEffect::setFloats(int handle, const float* values, int count) {
  if (!plainValue(*definition_, handle) || !values || count < 0 || count > 16) return false;
  std::memcpy(values_[size_t(handle)].floats(), values, sizeof(float) * size_t(count));
  return true;
}

bool CZeEffect::setInts(int handle, const int* values, int count) {
  if (!plainValue(*definition_, handle) || !values || count < 0 || count > 16) return false;
  std::memcpy(values_[size_t(handle)].slot, values, sizeof(int) * size_t(count));
  return true;
}

bool CZeEffect::setBool(int handle, bool value) {
  if (!plainValue(*definition_, handle)) return false;
  values_[size_t(handle)].slot[0] = value ? 1 : 0;
  return true;
}

void CZeEffect::setSlotTexture(int index, video::ITexture* texture) {
  SZeFxTextureLayer* layer = values_[size_t(index)].layer();
  if (texture) texture->grab();
  if (layer->texture) layer->texture->drop();
  layer->texture = texture;
}

bool CZeEffect::setTextureByIndex(int index, video::ITexture* texture, bool srgbDefault) {
  if (index < 0 || size_t(index) >= values_.size() || !zeFxIsSampler(definition_->parameters[size_t(index)].type))
    return false;
  setSlotTexture(index, texture);
  SZeFxTextureLayer* layer = values_[size_t(index)].layer();
  const std::string* srgb = definition_->parameterAnnotation(index, "SRGB");
  layer->srgb = srgb ? (*srgb == "true") : srgbDefault;
  for (SZeFxTechnique& t : techniques_)
    for (SZeFxPass& p : t.passes)
      for (const SZeFxShader& s : p.shaders)
        for (const SZeFxTextureBind& b : s.textureBinds) {
          if (b.parameter != index) continue;
          const int l = b.stage == ZE_FX_STAGE_VERTEX ? ZE_FX_PIXEL_LAYERS + b.sampler : b.sampler;
          if (l < 0 || l >= ZE_FX_LAYERS) continue;
          p.material.layers[l].texture = texture;
          p.material.layers[l].srgb = layer->srgb;
        }
  return true;
}

// --- Passes -----------------------------------------------------------------------------

const SZeFxPass* CZeEffect::passAt(int technique, int pass) const {
  if (technique < 0 || size_t(technique) >= techniques_.size()) return nullptr;
  const SZeFxTechnique& t = techniques_[size_t(technique)];
  if (pass < 0 || size_t(pass) >= t.passes.size()) return nullptr;
  return &t.passes[size_t(pass)];
}

bool CZeEffect::applyPass(int technique, int pass, video::SMaterial& material, SZeFxMaterial& record,
                          bool noDepth) const {
  const SZeFxPass* p = passAt(technique, pass);
  if (!p) return false;
  record = p->material;
  material.MaterialType = p->irrType;
  material.MaterialTypeParam = p->irrParam;
  material.MaterialTypeParam2 = p->irrParam2;
  material.ZBuffer = p->irrZBuffer;
  material.BlendOperation = p->irrBlend;
  material.ZWriteEnable = p->material.depthWrite;
  material.PointCloud = p->material.pointCloud;
  for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES && i < u32(ZE_FX_LAYERS); ++i) {
    const SZeFxTextureLayer& from = p->material.layers[i];
    video::SMaterialLayer& to = material.TextureLayer[i];
    to.Texture = from.texture;
    to.TextureWrapU = zeIrrTextureClamp(from.wrap & 0xF);
    to.TextureWrapV = zeIrrTextureClamp(from.wrap >> 4);
    to.BilinearFilter = (from.filter & ZE_FX_BILINEAR) != 0;
    to.TrilinearFilter = (from.filter & ZE_FX_TRILINEAR) != 0;
    to.AnisotropicFilter = from.anisotropy;
  }
  if (noDepth && !(p->stateFlags & (ZE_FX_STATE_DEPTH_FUNC | ZE_FX_STATE_DEPTH_MASK | ZE_FX_STATE_DEPTH_TEST))) {
    record.depthWrite = false;
    record.depthFunc = ZE_FX_DEPTH_ALWAYS;
    material.ZWriteEnable = false;
    material.ZBuffer = zeIrrDepthFunc(ZE_FX_DEPTH_ALWAYS);
  }
  return true;
}

bool CZeEffect::setPassTexture(int technique, int pass, int handle, SZeFxTextureLayer* layers,
                               video::ITexture* texture, bool srgbDefault) const {
  const SZeFxPass* p = passAt(technique, pass);
  if (!p || !layers || handle < 0 || size_t(handle) >= values_.size() ||
      !zeFxIsSampler(definition_->parameters[size_t(handle)].type))
    return false;
  const std::string* srgb = definition_->parameterAnnotation(handle, "SRGB");
  const uint8_t flag = srgb ? (*srgb == "true") : srgbDefault;
  for (const SZeFxShader& s : p->shaders)
    for (const SZeFxTextureBind& b : s.textureBinds) {
      if (b.parameter != handle) continue;
      const int l = b.stage == ZE_FX_STAGE_VERTEX ? ZE_FX_PIXEL_LAYERS + b.sampler : b.sampler;
      if (l < 0 || l >= ZE_FX_LAYERS) continue;
      layers[l].texture = texture;
      layers[l].srgb = flag;
    }
  return true;
}

void CZeEffect::onSetShaderConstants(video::IMaterialRendererServices* services, int technique, int pass,
                                     const SZeEffectDrawContext* drawContext) const {
  const SZeFxPass* p = passAt(technique, pass);
  if (!p || !services) return;
  for (IZeEffectBind* b : p->binds)
    if (!b->onSetMaterial(drawContext)) {
      zeMessage(ZE_ERROR, "CXeEffect::onSetShaderConstants : onSetMaterial() failed, abort");
      return;
    }
  for (const SZeFxShader& s : p->shaders)
    for (const SZeFxConstBind& c : s.constBinds) c.callback(services, c, drawContext);
}

uint32_t CZeEffect::passStateFlags(int technique, int pass) const {
  const SZeFxPass* p = passAt(technique, pass);
  return p ? p->stateFlags : 0;
}

int CZeEffect::techniqueForId(int id) const {
  return id >= 0 && size_t(id) < techniqueIds_.size() ? techniqueIds_[size_t(id)] : -1;
}

CZeEffect* CZeEffect::clone() const {
  auto* copy = new CZeEffect(definition_);
  copy->values_ = values_;
  copy->techniques_ = techniques_;
  copy->binds_ = binds_;
  copy->techniqueIds_ = techniqueIds_;
  for (IZeEffectBind* b : copy->binds_) b->grab();
  for (size_t i = 0; i < copy->values_.size(); ++i)
    if (zeFxIsSampler(definition_->parameters[i].type) && copy->values_[i].layer()->texture)
      copy->values_[i].layer()->texture->grab();
  // Constants point at their own effect's slots.
  const unsigned char* oldBase = values_.empty() ? nullptr : values_[0].slot;
  for (SZeFxTechnique& t : copy->techniques_)
    for (SZeFxPass& p : t.passes)
      for (SZeFxShader& s : p.shaders)
        for (SZeFxConstBind& c : s.constBinds) {
          const size_t index = size_t(static_cast<const unsigned char*>(c.value) - oldBase) / sizeof(SZeFxParameter);
          c.value = copy->values_[index].slot;
        }
  return copy;
}

// --- Object layer -----------------------------------------------------------------------

void CZeEffect::applyToMaterial(video::SMaterial& material, SZeMaterialRecord&, int technique, int secondIndex) {
  SZeFxMaterial engine;
  applyPass(technique, secondIndex, material, engine);
}

void CZeEffect::clearFromMaterial(video::SMaterial& material, SZeMaterialRecord& record) {
  record.clearTextures();
  for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) material.TextureLayer[i].Texture = nullptr;
  material.MaterialType = video::EMT_SOLID;
}

int CZeEffect::samplerHandle(const char* name) const {
  const int handle = getParameterHandle(name);
  return handle >= 0 && zeFxIsSampler(definition_->parameters[size_t(handle)].type) ? handle : -1;
}

bool CZeEffect::setSamplerTexture(int handle, video::ITexture* texture, bool srgb) {
  return setTextureByIndex(handle, texture, srgb);
}

void CZeEffect::applyRowTextures(int technique, int pass, const SZeMaterialRecord& row, video::SMaterial& material,
                                 SZeFxMaterial& record) const {
  for (int i = 0; i < row.textureCount; ++i) {
    const SZeRowTexture& t = row.textures[i];
    if (t.handle >= 0) setPassTexture(technique, pass, t.handle, record.layers, t.texture, t.srgb);
  }
  for (int i = 0; i < row.textureCount; ++i) {
    const SZeRowTexture& t = row.textures[i];
    if (t.handle < 0 && !record.layers[0].texture) {
      record.layers[0].texture = t.texture;
      record.layers[0].srgb = t.srgb;
    }
  }
  // Irrlicht binds the layers it has; the engine record keeps the others.
  for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES && i < u32(ZE_FX_LAYERS); ++i)
    material.TextureLayer[i].Texture = record.layers[i].texture;
}

bool CZeEffect::needsTangents() const {
  for (size_t t = 0; t < definition_->techniques.size(); ++t)
    if (const std::string* v = definition_->techniqueAnnotation(int(t), "tangents"))
      if (*v == "true") return true;
  return false;
}
