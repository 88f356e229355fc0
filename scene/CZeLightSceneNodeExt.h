// The light node extension.
#pragma once

#include "scene/IZeLightSceneNodeExt.h"

class CZeLightSceneNodeExt final : public IZeLightSceneNodeExt {
 public:
  // `driver` (not grabbed) gives back projection images nobody else uses.
  explicit CZeLightSceneNodeExt(irr::video::IVideoDriver* driver);
  ~CZeLightSceneNodeExt() override;

  void animateNode(irr::scene::ISceneNode* node, irr::u32 timeMs) override {}
  // Copies the whole record.
  irr::scene::ISceneNodeAnimator* createClone(irr::scene::ISceneNode* node,
                                              irr::scene::ISceneManager* newManager = nullptr) override;
  irr::scene::ESCENE_NODE_ANIMATOR_TYPE getType() const override {
    return static_cast<irr::scene::ESCENE_NODE_ANIMATOR_TYPE>(ZE_LIGHT_NODE_EXT_TYPE);
  }

  SZeLightData& getLightData() override { return data_; }
  const SZeLightData& getLightData() const override { return data_; }
  void setProjectionImage(irr::video::ITexture* texture) override;

 private:
  irr::video::IVideoDriver* driver_;
  SZeLightData data_;
};

// Lets go of a texture that came from the video driver: when nobody else
// holds it, the driver forgets it too.
void zeReleaseDriverTexture(irr::video::IVideoDriver* driver, irr::video::ITexture* texture);
