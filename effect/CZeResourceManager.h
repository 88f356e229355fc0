// The engine's own standard effects, created at engine start: cube map to
// latitude-longitude, the reflection-map filter in its three variants, and
// spherical harmonics. They are handed to the render services, which draw
// with them; until those exist the resource manager keeps them itself.
#pragma once

#include "effect/CZeEffect.h"

class CZeEffectManager;

// What the render services take of the standard effects (counted references).
class IZeStandardEffectSink {
 public:
  virtual ~IZeStandardEffectSink() = default;
  virtual void setEffectCubeMapToLatLong(CZeEffect* effect) = 0;
  virtual void setEffectsReflectionMapFilter(CZeEffect* latLong, CZeEffect* cube, CZeEffect* seamless) = 0;
  virtual void setEffectSphericalHarmonicsProbes(CZeEffect* effect) = 0;
};

class CZeResourceManager {
 public:
  // `sink` may be null (the render services are not built yet).
  CZeResourceManager(CZeEffectManager* effects, IZeStandardEffectSink* sink) : effects_(effects), sink_(sink) {}
  ~CZeResourceManager();
  CZeResourceManager(const CZeResourceManager&) = delete;
  CZeResourceManager& operator=(const CZeResourceManager&) = delete;

  bool initEffectCubeMapToLatLong(const char* file);
  bool initEffectReflectionMapFilter(const char* file);
  bool initEffectSphericalHarmonicsProbes(const char* file);

  CZeEffect* cubeMapToLatLong() const { return cubeToLatLong_; }
  CZeEffect* reflectionFilter(int variant) const { return variant >= 0 && variant < 3 ? filter_[variant] : nullptr; }
  CZeEffect* sphericalHarmonics() const { return harmonics_; }

 private:
  static void replace(CZeEffect*& slot, CZeEffect* effect);
  CZeEffectManager* effects_;
  IZeStandardEffectSink* sink_;
  CZeEffect* cubeToLatLong_ = nullptr;
  CZeEffect* filter_[3] = {nullptr, nullptr, nullptr};
  CZeEffect* harmonics_ = nullptr;
};
