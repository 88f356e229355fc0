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
};
