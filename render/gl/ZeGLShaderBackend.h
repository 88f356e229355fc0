// The shader services' driver side on OpenGL: each translated pair becomes a
// CZeGLShaderMaterialRenderer registered with Irrlicht's driver. The driver
// owns the renderers, so the backend (and the services using it) must be
// released before the device.
#pragma once

#include <map>

#include "effect/IZeShaderBackend.h"

namespace irr {
namespace video {
class IVideoDriver;
}
}  // namespace irr
class CZeGLShaderMaterialRenderer;

class CZeGLShaderBackend : public IZeShaderBackend {
 public:
  explicit CZeGLShaderBackend(irr::video::IVideoDriver* driver);
  int addShaderMaterial(const SZeCompiledProgram& vertex, const SZeCompiledProgram& pixel,
                        irr::video::IShaderConstantSetCallBack* callback, int baseMaterial, int userData,
                        std::string* error) override;
  bool updateShaderMaterial(int materialType, const SZeCompiledProgram& vertex, const SZeCompiledProgram& pixel,
                            std::string* error) override;
  // The renderer of a material type made here, or nullptr.
  CZeGLShaderMaterialRenderer* renderer(int materialType) const;

 private:
  irr::video::IVideoDriver* driver_;
  std::map<int, CZeGLShaderMaterialRenderer*> renderers_;  // owned by the driver
};
