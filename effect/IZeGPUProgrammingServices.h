// Shader services: HLSL files to shader material types, compiled once per
// request key, cached on disk, recompiled when a file they depend on changes,
// and the constant queries of effect binding.
#pragma once

#include <string>
#include <vector>

#include "effect/zeHlslTranslator.h"

namespace irr {
namespace video {
class IShaderConstantSetCallBack;
}
}  // namespace irr

// Cache flags.
constexpr unsigned ZE_SHADER_CACHE_READ = 0x1;
constexpr unsigned ZE_SHADER_CACHE_CHECK = 0x2;
constexpr unsigned ZE_SHADER_CACHE_WRITE = 0x4;

class IZeGPUProgrammingServices {
 public:
  virtual ~IZeGPUProgrammingServices() = default;
  // 1
  virtual void setCache(const char* directory, unsigned flags) = 0;
  // 2: macros is a list ended by an empty name (may be nullptr). With errorText
  // nullptr failures are reported as messages. Material type or -1.
  virtual int createMaterialFromFiles(const char* vertexFile, const char* vertexEntry, int vertexType,
                                      const char* pixelFile, const char* pixelEntry, int pixelType,
                                      irr::video::IShaderConstantSetCallBack* callback, int baseMaterial,
                                      int userData, const SZeShaderMacro* macros, std::string* errorText) = 0;
  // 3
  virtual bool recompile(const std::vector<std::string>& changedFiles, std::vector<int>* changedMaterialTypes,
                         std::string* errorText) = 0;
  // 4, 5: register -1 and count 0 (success) for a material type these services did not make.
  virtual bool getPixelShaderConstantRegister(int materialType, const char* name, int* registerIndex,
                                              int* registerCount) = 0;
  virtual bool getVertexShaderConstantRegister(int materialType, const char* name, int* registerIndex,
                                               int* registerCount) = 0;
  // 6, 7
  virtual bool getPixelShaderSamplerIndex(int materialType, const char* name, int* index) = 0;
  virtual bool getVertexShaderSamplerIndex(int materialType, const char* name, int* index) = 0;
  // 8
  virtual bool printConstants(int materialType) = 0;
  // 9
  virtual int createMaterial(const char* vertexFile, const char* vertexEntry, int vertexType, const char* pixelFile,
                             const char* pixelEntry, int pixelType, irr::video::IShaderConstantSetCallBack* callback,
                             int baseMaterial, int userData, const SZeShaderMacro* macros, std::string* errorText,
                             int* vertexId, int* pixelId) = 0;
};

// "<base>/shadersCache" (no second "/" when base ends in one).
std::string zeShaderCacheDirectory(const char* baseDirectory);
// Read, check and write; read only when the data comes from a packaged archive.
unsigned zeShaderCacheDefaultFlags(bool packaged);
