#include "scene/CZeLightSceneNodeExt.h"

using namespace irr;

IZeLightSceneNodeExt* zeFindLightNodeExt(scene::ISceneNode* node) {
  if (!node) return nullptr;
  for (scene::ISceneNodeAnimator* animator : node->getAnimators())
    if (static_cast<s32>(animator->getType()) == ZE_LIGHT_NODE_EXT_TYPE)
      return static_cast<IZeLightSceneNodeExt*>(animator);
  return nullptr;
}

void zeReleaseDriverTexture(video::IVideoDriver* driver, video::ITexture* texture) {
  if (!texture) return;
  // The driver's texture cache holds one reference; ours is the other.
  const bool lastUser = texture->getReferenceCount() <= 2;
  texture->drop();
  if (lastUser && driver) driver->removeTexture(texture);
}

CZeLightSceneNodeExt::CZeLightSceneNodeExt(video::IVideoDriver* driver) : driver_(driver) {}

CZeLightSceneNodeExt::~CZeLightSceneNodeExt() { setProjectionImage(nullptr); }

scene::ISceneNodeAnimator* CZeLightSceneNodeExt::createClone(scene::ISceneNode*, scene::ISceneManager*) {
  CZeLightSceneNodeExt* copy = new CZeLightSceneNodeExt(driver_);
  copy->data_ = data_;
  if (copy->data_.projectionImage) copy->data_.projectionImage->grab();
  return copy;
}

void CZeLightSceneNodeExt::setProjectionImage(video::ITexture* texture) {
  if (texture == data_.projectionImage) return;
  if (texture) texture->grab();
  zeReleaseDriverTexture(driver_, data_.projectionImage);
  data_.projectionImage = texture;
}
