// Builds one CZeEffect from its definition: parameter slots, every pass
// compiled through the shader services with merged macros, constant and
// texture binds, textures through the resolvers, material layers, and the
// technique-id table. Lives only while one effect is built.
#pragma once

#include <string>
#include <vector>

#include "effect/CZeEffect.h"

class CZeEffectBuilder {
 public:
  CZeEffectBuilder(CZeEffect* effect, const SZeEffectBuildArgs& args) : effect_(effect), args_(args) {}
  bool build();
  // The first error recorded ("Unknown error" when a failure left none).
  const std::string& error() const { return error_; }

  // Merges the inline "#define" lines of a pass's shaders into the caller's
  // macros (first definition kept, a differing one warned about). Exposed for tests.
  static bool mergeMacros(const SZeShaderMacro* callerMacros, const std::vector<const SShader*>& shaders,
                          std::vector<SZeShaderMacro>* out, std::string* error);

 private:
  bool initParameters();
  bool initTechniques();
  // One pass: its shaders, its base material, the compile, the binds and the
  // pass's material and states.
  struct PassShaders {
    std::string vertexFile, vertexEntry = "main", pixelFile, pixelEntry = "main";
    int vertexType = -1, pixelType = -1;  // the services' shader model numbers
    std::vector<const SShader*> shaders;  // vertex and pixel, in their order
  };
  bool initPass(const SPass& pass, SZeFxPass* out);
  bool passShaders(const SPass& pass, PassShaders* out);
  bool passBaseMaterial(const SPass& pass, int32_t* baseType, uint32_t* baseParam);
  int compilePass(const PassShaders& shaders, int32_t baseType);
  bool initPassBinds(const SPass& pass, const PassShaders& shaders, int materialType, SZeFxPass* out);
  void initPassMaterial(const SPass& pass, int materialType, int32_t baseType, uint32_t baseParam, SZeFxPass* out);
  bool initConstantBind(int materialType, SZeFxShader* shader, int parameter, const std::string& symbol);
  bool initTextureBind(int materialType, SZeFxShader* shader, int parameter, const std::string& symbol);
  bool loadTextures();
  bool setMaterialLayers();
  void makeTechniqueIds();
  std::string resolveShaderFile(const std::string& name) const;
  bool fail(const std::string& text);

  CZeEffect* effect_;
  const SZeEffectBuildArgs& args_;
  std::string directory_;  // of the effect file, no trailing "/"
  std::string error_;
};
