#include "mesh/CZeSurfaceLightwaveHV.h"

#include "mesh/zeDeviceLog.h"
#include "scene/IZeEffect.h"
#include "scene/IZeSceneNodeExt.h"

using namespace irr;

namespace {

const char* const kClipSampler = "LWHV_Tex_Clip";

// Engine material types of the effect's base material, by blend mode.
constexpr int kBaseByBlend[3] = {13, 12, 23};

}  // namespace

CZeSurfaceLightwaveHV::~CZeSurfaceLightwaveHV() { setClipTexture(nullptr); }

void CZeSurfaceLightwaveHV::setClipTexture(video::ITexture* texture) {
  if (texture) texture->grab();
  if (clip_) clip_->drop();
  clip_ = texture;
}

void CZeSurfaceLightwaveHV::setBlendMode(int mode) {
  if (mode >= ZE_HV_BLEND_ALPHA && mode <= ZE_HV_BLEND_SUB) blend_ = mode;
}

IZeSurface* CZeSurfaceLightwaveHV::clone() const {
  CZeSurfaceLightwaveHV* copy = new CZeSurfaceLightwaveHV;
  copy->setClipTexture(clip_);
  copy->blend_ = blend_;
  copy->values_ = values_;
  return copy;
}

void CZeSurfaceLightwaveHV::initFromMaterial(const video::SMaterial& m) {
  setClipTexture(m.getTexture(0));
  blend_ = m.MaterialType == video::EMT_TRANSPARENT_ALPHA_CHANNEL ? ZE_HV_BLEND_ALPHA
           : m.MaterialType == video::EMT_ONETEXTURE_BLEND        ? ZE_HV_BLEND_SUB
                                                                  : ZE_HV_BLEND_ADD;
}

void CZeSurfaceLightwaveHV::writeToMaterial(video::SMaterial& m) const {
  m.setTexture(0, clip_);
  switch (blend_) {
    case ZE_HV_BLEND_ALPHA: m.MaterialType = video::EMT_TRANSPARENT_ALPHA_CHANNEL; break;
    case ZE_HV_BLEND_ADD: m.MaterialType = video::EMT_TRANSPARENT_ADD_COLOR; break;
    case ZE_HV_BLEND_SUB:
      // The one-texture blend subtracts the sprite from what is behind it.
      m.MaterialType = video::EMT_ONETEXTURE_BLEND;
      m.MaterialTypeParam = video::pack_textureBlendFunc(video::EBF_ONE, video::EBF_ONE);
      m.BlendOperation = video::EBO_REVSUBTRACT;
      break;
    default: m.MaterialType = video::EMT_SOLID; break;
  }
  // Sprites are see-through: they test depth but do not write it.
  m.ZWriteEnable = false;
}

bool CZeSurfaceLightwaveHV::getEffectCompileParameters(const SZeSurfaceNodeFacts*, SZeSurfaceMacro* macros,
                                                       int capacity, int* count, int* baseMaterial) const {
  if (baseMaterial) *baseMaterial = kBaseByBlend[blend_];
  if (count) *count = 0;
  if (capacity <= 0) return true;
  const char* names[5];
  int n = 0;
  if (clip_) names[n++] = "USE_TEX_COLOR";
  if (values_.colourNumKeys > 0) names[n++] = "USE_COLOR_GRADIENT";
  if (values_.sizeNumKeys > 0) names[n++] = "USE_SIZE_GRADIENT";
  if (values_.rotation != 0.0f) names[n++] = "USE_ROTATION";
  static const char* const blends[3] = {"USE_BLEND_ALPHA", "USE_BLEND_ADD", "USE_BLEND_SUB"};
  names[n++] = blends[blend_];
  if (!macros || n + 1 > capacity) {
    zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwaveHV::getEffectCompileParameters Not enough space for macros");
    return false;
  }
  for (int i = 0; i < n; ++i) macros[i] = SZeSurfaceMacro{names[i], ""};
  macros[n] = SZeSurfaceMacro{"", ""};
  if (count) *count = n;
  return true;
}

bool CZeSurfaceLightwaveHV::setEffectTextures(IZeEffect* effect) const {
  if (!effect) return false;
  const int handle = effect->samplerHandle(kClipSampler);
  if (handle < 0 || effect->setSamplerTexture(handle, clip_, false)) return true;
  zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwaveHV::setEffectTextures setSamplerTexture failed for %s", kClipSampler);
  return false;
}

bool CZeSurfaceLightwaveHV::setEffectTexturesOnMaterial(IZeEffect* effect, SZeMaterialRecord& record) const {
  record.clearTextures();
  if (!effect) return false;
  const int handle = effect->samplerHandle(kClipSampler);
  if (handle < 0 || !clip_ || record.addTexture(handle, clip_, false)) return true;
  zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwaveHV::setEffectTextures setSamplerTexture failed for %s", kClipSampler);
  return false;
}
