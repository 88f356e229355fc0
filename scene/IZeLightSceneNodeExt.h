// The light node extension (animator type 4322): what the engine's renderers
// need of a light beyond Irrlicht's light data.
#pragma once

#include <irrlicht.h>

#include "scene/IZeSceneNodeExt.h"

struct SZeLightData {
  irr::s32 falloffType = 1;
  float intensity = 1.0f;
  irr::video::ITexture* projectionImage = nullptr;  // one reference
  irr::video::SColorf shadowColor{0.0f, 0.0f, 0.0f, 1.0f};
  irr::s32 shadowMapSize = 512;
  float rendererValue = 5.0f;  // read by the renderers, set by no command
  float shadowMapFuzz = 0.0f;
  irr::s32 distantShadowPositionOn = 0;
  float distantShadowPositionOffset = 1.0f;
  float distantShadowWidth = 30.0f;
  float distantShadowHeight = 30.0f;
  irr::s32 volumetricOn = 0;
  float volumetricDensity = 1.0f;
  irr::s32 volumetricColorOn = 0;
  irr::video::SColorf volumetricColor{1.0f, 1.0f, 1.0f, 1.0f};
  float volumetricBase = 0.0f;
  irr::s32 volumeClampOn = 0;
  float volumeClamp = 1.0f;
  irr::s32 volumetricQuality = 0;
};

class IZeLightSceneNodeExt : public irr::scene::ISceneNodeAnimator {
 public:
  virtual SZeLightData& getLightData() = 0;
  virtual const SZeLightData& getLightData() const = 0;
  // Replaces the projection image (nullptr clears it).
  virtual void setProjectionImage(irr::video::ITexture* texture) = 0;
};

// The light's extension (animator of type 4322), or nullptr.
IZeLightSceneNodeExt* zeFindLightNodeExt(irr::scene::ISceneNode* node);
