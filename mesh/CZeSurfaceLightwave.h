// The LightWave surface ("lwsr"): 39 channels, each a value, an optional
// image map and its colour-space flag, plus a second reflection image.
#pragma once

#include "mesh/IZeSurface.h"

class CZeSurfaceLightwave final : public IZeSurfaceLightwave {
 public:
  // The defaults: all zero except BaseColor (0.78, 0.78, 0.78), Diffuse 1,
  // Bump 1, Glossiness 0.4, LineSize 1 and VertexColoring 1.
  CZeSurfaceLightwave();
  ~CZeSurfaceLightwave() override;
  CZeSurfaceLightwave(const CZeSurfaceLightwave&) = delete;
  CZeSurfaceLightwave& operator=(const CZeSurfaceLightwave&) = delete;

  irr::u32 getKind() const override { return ZE_SURFACE_LIGHTWAVE; }
  void initFromMaterial(const irr::video::SMaterial& material) override;
  void writeToMaterial(irr::video::SMaterial& material) const override;
  bool needsTangents() const override { return textures_[ZE_LW_BUMP] != nullptr; }
  bool getEffectCompileParameters(const SZeSurfaceNodeFacts* node, SZeSurfaceMacro* macros, int capacity, int* count,
                                  int* baseMaterial) const override;
  bool setEffectTextures(IZeEffect* effect) const override;
  bool setEffectTexturesOnMaterial(IZeEffect* effect, SZeMaterialRecord& record) const override;
  IZeSurface* clone() const override;

  void copyChannels(const IZeSurfaceLightwave& from) override;
  void setFloat(int channel, float value) override;
  void setInt(int channel, int value) override;
  void setFloat3(int channel, float x, float y, float z) override;
  void setTexture(int channel, irr::video::ITexture* texture) override;
  void setColorSpace(int channel, bool srgb) override;
  void setReflectionImage2(irr::video::ITexture* texture) override;
  float getFloat(int channel) const override;
  int getInt(int channel) const override;
  const float* getValue(int channel) const override;
  irr::video::ITexture* getTexture(int channel) const override;
  bool getColorSpace(int channel) const override;
  irr::video::ITexture* getReflectionImage2() const override { return reflectionImage2_; }
  SZeLWChannel* getChannels() override { return channels_; }

  // The compile-macro flag bits in force for `node` (null: no object known).
  irr::u32 macroBits(const SZeSurfaceNodeFacts* node) const;

 private:
  void clearChannels();
  bool hasTexture(int channel) const { return textures_[channel] != nullptr; }

  SZeLWChannel channels_[ZE_LW_CHANNELS];
  irr::video::ITexture* textures_[ZE_LW_CHANNELS] = {};  // one reference each
  uint8_t colorSpaces_[ZE_LW_CHANNELS] = {};              // 1: the image is sRGB-encoded
  irr::video::ITexture* reflectionImage2_ = nullptr;  // one reference
};

// The macro of each flag bit, from bit 0 up.
constexpr int ZE_LW_MACRO_COUNT = 27;
extern const char* const ZE_LW_MACRO_NAMES[ZE_LW_MACRO_COUNT];
