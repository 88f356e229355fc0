// The shader services (see IZeGPUProgrammingServices.h). The translator stands
// in for the Direct3D compiler; the backend (the OpenGL material renderers, or a
// fake in tests) stands in for the driver's shader interface.
#pragma once

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "effect/IZeGPUProgrammingServices.h"
#include "effect/IZeShaderBackend.h"

using SShaderMacro = SZeShaderMacro;

struct SShaderCompiledEntry {
  unsigned id = 0;
  unsigned char vertex = 0;
  std::string file;
  std::string entry;
  std::vector<SZeShaderMacro> macros;  // sorted
  int target = 0;
  std::vector<std::string> includes;   // "/" separators, sorted
  std::string code;                    // the translated program, cache form
  SZeCompiledProgram program;          // the same, read back
};

struct SShaderMaterialTypeEntry {
  std::string vertexFile, vertexEntry, pixelFile, pixelEntry;
  int vertexType = 0, pixelType = 0, baseMaterial = 0;
  std::vector<SZeShaderMacro> macros;
  int materialType = -1;
  unsigned vertexId = 0, pixelId = 0;
};

// Finds includes for one compilation: first beside the shader, then beside
// every include found so far; records every file it opened.
class ShaderIncludeCallback : public IZeShaderIncludeSource {
 public:
  explicit ShaderIncludeCallback(const std::string& shaderDirectory);
  bool openInclude(const std::string& name, const std::string& includerPath, std::string* openedPath,
                   std::string* bytes) override;
  void closeInclude(const void* bytes) override;
  std::set<std::string> directories;  // searched in ascending text order
  std::vector<std::string> opened;
};

class CZeGPUProgrammingServices : public IZeGPUProgrammingServices {
 public:
  // backend may be nullptr (no shader-capable driver): creation then fails with
  // "ZeGPU: failed to get gpu".
  explicit CZeGPUProgrammingServices(IZeShaderBackend* backend);
  ~CZeGPUProgrammingServices() override;

  void setCache(const char* directory, unsigned flags) override;
  int createMaterialFromFiles(const char* vertexFile, const char* vertexEntry, int vertexType, const char* pixelFile,
                              const char* pixelEntry, int pixelType, irr::video::IShaderConstantSetCallBack* callback,
                              int baseMaterial, int userData, const SZeShaderMacro* macros,
                              std::string* errorText) override;
  bool recompile(const std::vector<std::string>& changedFiles, std::vector<int>* changedMaterialTypes,
                 std::string* errorText) override;
  bool getPixelShaderConstantRegister(int materialType, const char* name, int* registerIndex,
                                      int* registerCount) override;
  bool getVertexShaderConstantRegister(int materialType, const char* name, int* registerIndex,
                                       int* registerCount) override;
  bool getPixelShaderSamplerIndex(int materialType, const char* name, int* index) override;
  bool getVertexShaderSamplerIndex(int materialType, const char* name, int* index) override;
  bool printConstants(int materialType) override;
  int createMaterial(const char* vertexFile, const char* vertexEntry, int vertexType, const char* pixelFile,
                     const char* pixelEntry, int pixelType, irr::video::IShaderConstantSetCallBack* callback,
                     int baseMaterial, int userData, const SZeShaderMacro* macros, std::string* errorText,
                     int* vertexId, int* pixelId) override;

  // For tests and tools.
  const std::string& cacheDirectory() const { return cacheDirectory_; }
  unsigned cacheFlags() const { return cacheFlags_; }
  size_t compiledCount() const { return compiled_.size(); }
  const SShaderCompiledEntry* compiledEntry(unsigned id) const;
  // Include files of a source file, as the up-to-date test finds them.
  std::vector<std::string> getShaderIncludes(const std::string& sourceFile);

 private:
  struct CompiledKey {
    unsigned char vertex;
    std::string file, entry;
    std::vector<SZeShaderMacro> macros;
    bool operator<(const CompiledKey& o) const;
  };
  struct MaterialKey {
    std::string vertexFile, vertexEntry, pixelFile, pixelEntry;
    int vertexType, pixelType, baseMaterial;
    std::vector<SZeShaderMacro> macros;
    bool operator<(const MaterialKey& o) const;
  };

  SShaderCompiledEntry* getCompiledShader(const std::string& file, const std::string& entry, bool vertex, int target,
                                          const std::vector<SZeShaderMacro>& macros, std::string* errorText);
  bool readFromCache(const CompiledKey& key, SShaderCompiledEntry* entry);
  bool compile(SShaderCompiledEntry* entry, std::string* errorText);
  void writeToCache(const SShaderCompiledEntry& entry);
  const SShaderMaterialTypeEntry* materialOf(int materialType) const;
  const SZeCompiledProgram* programOf(int materialType, bool vertex) const;
  // The text of a source file, read once per material request (the existence
  // check, the dependency scans and the compiler share it); nullptr when it
  // does not open.
  const std::string* sourceText(const std::string& file);

  IZeShaderBackend* backend_;
  std::string cacheDirectory_;
  unsigned cacheFlags_ = 0;
  unsigned nextId_ = 1;
  std::map<CompiledKey, std::unique_ptr<SShaderCompiledEntry>> compiled_;
  std::map<MaterialKey, SShaderMaterialTypeEntry> materials_;
  std::map<std::string, std::string> sourceTexts_;  // during one material request only
  bool keepSourceTexts_ = false;
};
