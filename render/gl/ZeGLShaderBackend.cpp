#include "render/gl/ZeGLShaderBackend.h"

#include <epoxy/gl.h>

#include "effect/zeFxMaterial.h"
#include "render/gl/ZeGLShaderMaterialRenderer.h"

CZeGLShaderBackend::CZeGLShaderBackend(irr::video::IVideoDriver* driver) : driver_(driver) {}

int CZeGLShaderBackend::addShaderMaterial(const SZeCompiledProgram& vertex, const SZeCompiledProgram& pixel,
                                          irr::video::IShaderConstantSetCallBack* callback, int baseMaterial,
                                          int userData, std::string* error) {
  if (!driver_) {
    *error = "no video driver";
    return -1;
  }
  // The engine's base material numbers, turned into Irrlicht's by name.
  irr::video::IMaterialRenderer* base =
      baseMaterial >= 0 ? driver_->getMaterialRenderer(irr::u32(zeIrrMaterialType(baseMaterial))) : nullptr;
  auto* renderer = new CZeGLShaderMaterialRenderer(driver_, callback, base, userData);
  if (!renderer->build(vertex, pixel, error)) {
    renderer->drop();
    return -1;
  }
  int type = driver_->addMaterialRenderer(renderer);
  renderer->drop();  // the driver holds it now
  if (type < 0) {
    *error = "the driver refused the material renderer";
    return -1;
  }
  renderers_[type] = renderer;
  return type;
}

bool CZeGLShaderBackend::updateShaderMaterial(int materialType, const SZeCompiledProgram& vertex,
                                              const SZeCompiledProgram& pixel, std::string* error) {
  CZeGLShaderMaterialRenderer* r = renderer(materialType);
  if (!r) {
    *error = "not a shader material type";
    return false;
  }
  return r->build(vertex, pixel, error);
}

CZeGLShaderMaterialRenderer* CZeGLShaderBackend::renderer(int materialType) const {
  auto found = renderers_.find(materialType);
  return found == renderers_.end() ? nullptr : found->second;
}
