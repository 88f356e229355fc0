// What the object layer asks of a surface (the LightWave surfaces of the mesh
// library implement it). Rows of a node extension hold one reference each.
#pragma once

#include <irrlicht.h>

struct SZeMaterialRecord;
class IZeEffect;

class IZeSurface : public virtual irr::IReferenceCounted {
 public:
  // A surface of its own with the same values (clones of objects get one each).
  virtual IZeSurface* clone() const = 0;
  // Writes the surface's values into a node material and its engine record.
  virtual void writeToMaterial(irr::video::SMaterial& material, SZeMaterialRecord& record) const = 0;
  virtual bool needsTangents() const = 0;
  // Hands the surface's compile parameters to the effect of the same row.
  virtual void passCompileParameters(IZeEffect* effect) const = 0;
};
