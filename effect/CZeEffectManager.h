// The one place effects are requested: definition loaders by extension, a
// cache of definitions keyed by full path and sorted macros (so a file is read
// once per macro set), the bind list, texture resolvers and search paths.
// Every request gets its own effect with its own values.
#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

#include "effect/CZeEffect.h"
#include "effect/CZeEffectBinds.h"
#include "effect/CZeTechniqueLookup.h"

class IZeGPUProgrammingServices;
class IZeEffectTextureResolver;
class IZeTextureManager;

// Writes definitions in one file format. The manager writes the text out,
// checked, so a writer never leaves a half-written file.
class IZeEffectDefWriter : public virtual irr::IReferenceCounted {
 public:
  virtual bool isAWritableFileExtension(const char* fileName) const = 0;
  // The whole document of `definition`; false when it cannot be written.
  virtual bool writeDefinitionText(const CZeEffectDef* definition, std::string* text) = 0;
};

class IZeEffectManager {
 public:
  virtual ~IZeEffectManager() = default;
  // Macro lists end with an empty name; definitions may be empty.
  virtual CZeEffectDef* getDefinition(const char* fileName, const SZeShaderMacro* macros) = 0;
  // Writes a definition with the writer of the file's extension: to a
  // temporary file beside it that replaces it only once wholly written.
  virtual bool writeDefinition(const CZeEffectDef* definition, const char* fileName) = 0;
  virtual CZeEffect* createEffect(const char* fileName, int defaultBaseMaterial, const SZeShaderMacro* macros,
                                  irr::video::IShaderConstantSetCallBack* callback) = 0;
  virtual int getTechniqueId(const char* name) const = 0;
  virtual void addShaderSearchPath(const char* directory) = 0;
  virtual void addTextureSearchPath(const char* directory) = 0;
  virtual void addBind(IZeEffectBind* bind) = 0;
  virtual void addTextureResolver(IZeEffectTextureResolver* resolver) = 0;
  virtual void addDefinitionLoader(IZeEffectDefLoader* loader) = 0;
  virtual void addDefinitionWriter(IZeEffectDefWriter* writer) = 0;
  virtual IZeEffectBindSemanticMap* createSemanticMap() = 0;
  virtual const char* getLastError() const = 0;
  // The same to an open file; false when any byte is not written.
  virtual bool writeDefinition(const CZeEffectDef* definition, irr::io::IWriteFile* file) = 0;
};

class CZeEffectManager : public IZeEffectManager {
 public:
  // The manager's own pieces: the bind list (shared environment `env`), one
  // texture resolver over `textures`, the engine's loader and the COLLADA
  // loader and writer. `fileSystem` may be null (paths are then made
  // absolute by the engine's file layer). Loaders are told the driver is not
  // OpenGL on every backend: the OpenGL backend translates the same HLSL
  // content (COLLADA's profile_CG) Direct3D 9 compiled, so `openGL` changes
  // nothing the loaders see.
  CZeEffectManager(IZeGPUProgrammingServices* services, IZeTextureManager* textures,
                   const IZeTechniqueLookup* techniques, irr::io::IFileSystem* fileSystem, bool openGL);
  ~CZeEffectManager() override;

  CZeEffectDef* getDefinition(const char* fileName, const SZeShaderMacro* macros) override;
  bool writeDefinition(const CZeEffectDef* definition, const char* fileName) override;
  CZeEffect* createEffect(const char* fileName, int defaultBaseMaterial, const SZeShaderMacro* macros,
                          irr::video::IShaderConstantSetCallBack* callback) override;
  int getTechniqueId(const char* name) const override;
  void addShaderSearchPath(const char* directory) override;
  void addTextureSearchPath(const char* directory) override;
  void addBind(IZeEffectBind* bind) override;
  void addTextureResolver(IZeEffectTextureResolver* resolver) override;
  void addDefinitionLoader(IZeEffectDefLoader* loader) override;
  void addDefinitionWriter(IZeEffectDefWriter* writer) override;
  IZeEffectBindSemanticMap* createSemanticMap() override;
  const char* getLastError() const override { return lastError_.c_str(); }
  bool writeDefinition(const CZeEffectDef* definition, irr::io::IWriteFile* file) override;

  // What the families read at draw time; the engine updates it each frame.
  SZeEffectBindEnv& bindEnvironment() { return env_; }
  const std::vector<IZeEffectBind*>& binds() const { return binds_; }
  size_t cachedDefinitions() const { return cache_.size(); }
  // The callback given to shaders when the caller gives none.
  irr::video::IShaderConstantSetCallBack* defaultCallback() const { return defaultCallback_; }

 private:
  struct SEffectDefEntry {
    std::string path;
    bool usesMacros = false;
    std::vector<SZeShaderMacro> macros;  // sorted by name, then definition
    CZeEffectDef* definition = nullptr;  // one reference
  };
  bool writeText(const CZeEffectDef* definition, const char* fileName, std::string* text);
  static bool less(const SEffectDefEntry& a, const std::string& path, const std::vector<SZeShaderMacro>& macros);

  IZeGPUProgrammingServices* services_;
  const IZeTechniqueLookup* techniques_;
  irr::io::IFileSystem* fileSystem_;
  SZeEffectBindEnv env_;
  std::vector<IZeEffectDefLoader*> loaders_;
  std::vector<IZeEffectDefWriter*> writers_;
  std::vector<IZeEffectBind*> binds_;
  std::vector<IZeEffectTextureResolver*> resolvers_;
  std::vector<std::string> shaderPaths_, texturePaths_;
  std::vector<SEffectDefEntry> cache_;  // sorted
  irr::video::IShaderConstantSetCallBack* defaultCallback_;
  std::string lastError_;
};
