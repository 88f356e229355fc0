// What the object layer asks of an effect (the effect runtime implements it).
// Rows of a node extension hold one reference each.
#pragma once

#include <irrlicht.h>

struct SZeMaterialRecord;

class IZeEffect : public virtual irr::IReferenceCounted {
 public:
  // Binds the effect to a node material with the given technique and second index.
  virtual void applyToMaterial(irr::video::SMaterial& material, SZeMaterialRecord& record, int technique,
                               int secondIndex) = 0;
  // Undoes applyToMaterial's bindings.
  virtual void clearFromMaterial(irr::video::SMaterial& material, SZeMaterialRecord& record) = 0;
  virtual bool needsTangents() const = 0;
  // The sampler parameter called `name`, or -1 when the effect has none.
  virtual int samplerHandle(const char* name) const = 0;
  // Gives a sampler its texture and sRGB flag for every draw of the effect
  // (the parameter's own "SRGB" annotation, when it has one, wins).
  virtual bool setSamplerTexture(int handle, irr::video::ITexture* texture, bool srgb) = 0;
};
