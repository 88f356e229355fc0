// What the shader services ask of the video driver: turn a pair of translated
// programs into a material type, and swap the programs of a material type in
// place. The OpenGL side (render/gl/ZeGLShaderMaterialRenderer) implements it;
// tests use a recording fake. Keeps every GL call out of effect/.
#pragma once

#include <string>

#include "effect/zeHlslTranslator.h"

namespace irr {
namespace video {
class IShaderConstantSetCallBack;
}
}  // namespace irr

class IZeShaderBackend {
 public:
  virtual ~IZeShaderBackend() = default;
  // A new material type, or -1 with *error set.
  virtual int addShaderMaterial(const SZeCompiledProgram& vertex, const SZeCompiledProgram& pixel,
                                irr::video::IShaderConstantSetCallBack* callback, int baseMaterial, int userData,
                                std::string* error) = 0;
  // Replaces the programs of a material type made by addShaderMaterial.
  virtual bool updateShaderMaterial(int materialType, const SZeCompiledProgram& vertex,
                                    const SZeCompiledProgram& pixel, std::string* error) = 0;
};
