// The HyperVoxel surface ("lwhv") of particle sprites: a clip texture, the
// particle settings and a blend mode.
#pragma once

#include "mesh/IZeSurface.h"

class CZeSurfaceLightwaveHV : public IZeSurfaceLightwaveHV {
 public:
  CZeSurfaceLightwaveHV() = default;
  ~CZeSurfaceLightwaveHV() override;
  CZeSurfaceLightwaveHV(const CZeSurfaceLightwaveHV&) = delete;
  CZeSurfaceLightwaveHV& operator=(const CZeSurfaceLightwaveHV&) = delete;

  irr::u32 getKind() const override { return ZE_SURFACE_LIGHTWAVE_HV; }
  void initFromMaterial(const irr::video::SMaterial& material) override;
  void writeToMaterial(irr::video::SMaterial& material) const override;
  bool needsTangents() const override { return false; }
  bool getEffectCompileParameters(const SZeSurfaceNodeFacts* node, SZeSurfaceMacro* macros, int capacity, int* count,
                                  int* baseMaterial) const override;
  bool setEffectTextures(IZeEffect* effect) const override;
  bool setEffectTexturesOnMaterial(IZeEffect* effect, SZeMaterialRecord& record) const override;
  IZeSurface* clone() const override;

  void setClipTexture(irr::video::ITexture* texture) override;
  irr::video::ITexture* getClipTexture() const override { return clip_; }
  void setBlendMode(int mode) override;
  int getBlendMode() const override { return blend_; }
  SZeLWHVValues& values() override { return values_; }
  const SZeLWHVValues& values() const override { return values_; }

 private:
  irr::video::ITexture* clip_ = nullptr;  // one reference
  int blend_ = ZE_HV_BLEND_ADD;
  SZeLWHVValues values_;
};
