#include "effect/CZeEffectManager.h"

#include <algorithm>
#include <tuple>

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zeSafeWrite.h"
#include "effect/CZeEffectCallback.h"
#include "effect/CZeEffectDefLoaderCollada.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/CZeEffectDefWriterCollada.h"
#include "effect/IZeEffectTextureResolver.h"

using namespace irr;

void CZeEffectCallback::OnSetConstants(video::IMaterialRendererServices* services, s32) {
  if (!effect_) {
    ++unnamedDraws;
    return;
  }
  effect_->onSetShaderConstants(services, technique_, pass_, context_);
}

namespace {

bool macroLess(const SZeShaderMacro& a, const SZeShaderMacro& b) {
  return std::tie(a.name, a.definition) < std::tie(b.name, b.definition);
}

bool macrosEqual(const std::vector<SZeShaderMacro>& a, const std::vector<SZeShaderMacro>& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i)
    if (a[i].name != b[i].name || a[i].definition != b[i].definition) return false;
  return true;
}

}  // namespace

CZeEffectManager::CZeEffectManager(IZeGPUProgrammingServices* services, IZeTextureManager* textures,
                                   const IZeTechniqueLookup* techniques, io::IFileSystem* fileSystem, bool /*openGL*/)
    : services_(services), techniques_(techniques), fileSystem_(fileSystem) {
  binds_ = zeCreateBindList(&env_);
  resolvers_.push_back(new CZeEffectTextureResolver(textures));
  // Loaders are asked from the last added; their extensions do not overlap.
  loaders_.push_back(new CZeEffectDefLoaderCollada);
  loaders_.push_back(new CZeEffectDefLoaderZarn);
  writers_.push_back(new CZeEffectDefWriterCollada);
  defaultCallback_ = new CZeEffectCallback;
}

CZeEffectManager::~CZeEffectManager() {
  for (SEffectDefEntry& e : cache_) e.definition->drop();
  for (IZeEffectBind* b : binds_) b->drop();
  for (IZeEffectTextureResolver* r : resolvers_) r->drop();
  for (IZeEffectDefLoader* l : loaders_) l->drop();
  for (IZeEffectDefWriter* w : writers_) w->drop();
  defaultCallback_->drop();
}

bool CZeEffectManager::less(const SEffectDefEntry& a, const std::string& path,
                            const std::vector<SZeShaderMacro>& macros) {
  if (a.path != path) return a.path < path;
  if (a.macros.size() != macros.size()) return a.macros.size() < macros.size();
  for (size_t i = 0; i < macros.size(); ++i) {
    if (macroLess(a.macros[i], macros[i])) return true;
    if (macroLess(macros[i], a.macros[i])) return false;
  }
  return false;
}

CZeEffectDef* CZeEffectManager::getDefinition(const char* fileName, const SZeShaderMacro* macros) {
  const char* name = fileName ? fileName : "";
  // Through the file hooks: a packaged production's effects live in its archive.
  const std::string path = zeAbsolutePath(name);
  std::vector<SZeShaderMacro> sorted;
  for (const SZeShaderMacro* m = macros; m && !m->name.empty(); ++m) sorted.push_back(*m);
  std::sort(sorted.begin(), sorted.end(), macroLess);

  // A hit under the macros, or under the path alone for a macro-free loader.
  static const std::vector<SZeShaderMacro> none;
  for (int pass = 0; pass < 2; ++pass) {
    const bool key = pass == 0;
    const std::vector<SZeShaderMacro>& k = key ? sorted : none;
    auto at = std::lower_bound(cache_.begin(), cache_.end(), 0, [&](const SEffectDefEntry& e, int) {
      return less(e, path, k);
    });
    if (at != cache_.end() && at->path == path && macrosEqual(at->macros, k) && (key || !at->usesMacros))
      return at->definition;
  }

  // Loaders from the last added to the first.
  std::vector<const char*> names;
  for (const SZeShaderMacro& m : sorted) names.push_back(m.name.c_str());
  names.push_back(nullptr);
  for (auto it = loaders_.rbegin(); it != loaders_.rend(); ++it) {
    IZeEffectDefLoader* loader = *it;
    if (!loader->isALoadableFileExtension(name)) continue;
    const char* error = nullptr;
    CZeEffectDef* def = loader->loadDefinition(path.c_str(), names.data(), 0, &error);
    if (!def) continue;
    if (error) {
      zeMessage(ZE_ERROR, "CZeEffectManager: ERROR IZeEffectDef : %s", error);
      lastError_ = error;
      def->drop();
      return nullptr;
    }
    SEffectDefEntry entry;
    entry.path = path;
    entry.usesMacros = loader->usesMacros();
    if (entry.usesMacros) entry.macros = sorted;
    entry.definition = def;
    auto at = std::lower_bound(cache_.begin(), cache_.end(), 0, [&](const SEffectDefEntry& e, int) {
      return less(e, entry.path, entry.macros);
    });
    cache_.insert(at, entry);
    return def;
  }
  zeMessage(ZE_ERROR, "CZeEffectManager: Cannot load effect %s", name);
  lastError_.clear();
  return nullptr;
}

CZeEffect* CZeEffectManager::createEffect(const char* fileName, int defaultBaseMaterial,
                                          const SZeShaderMacro* macros, video::IShaderConstantSetCallBack* callback) {
  CZeEffectDef* def = getDefinition(fileName, macros);
  if (!def) return nullptr;
  SZeEffectBuildArgs args;
  args.services = services_;
  args.binds = &binds_;
  args.resolvers = &resolvers_;
  args.shaderPaths = &shaderPaths_;
  args.texturePaths = &texturePaths_;
  args.definition = def;
  args.defaultBaseMaterial = defaultBaseMaterial;
  args.macros = macros;
  args.callback = callback ? callback : defaultCallback_;
  args.techniques = techniques_;
  bool ok = false;
  std::string error;
  CZeEffect* effect = CZeEffect::create(args, &ok, &error);
  if (!ok) {
    zeMessage(ZE_ERROR, "CZeEffectManager: ERROR CZeEffect : %s", error.c_str());
    lastError_ = error;
    effect->drop();
    return nullptr;
  }
  return effect;
}

bool CZeEffectManager::writeDefinition(const CZeEffectDef* definition, const char* fileName) {
  if (!definition || !fileName) return false;
  std::string text;
  if (!writeText(definition, fileName, &text)) return false;
  if (zeWriteFileSafely(fileName, text.data(), text.size()) != ZE_WRITE_DONE) {
    zeMessage(ZE_ERROR, "CZeEffectManager: Cannot write %s", fileName);
    return false;
  }
  return true;
}

bool CZeEffectManager::writeDefinition(const CZeEffectDef* definition, io::IWriteFile* file) {
  if (!definition || !file) return false;
  std::string text;
  if (!writeText(definition, file->getFileName().c_str(), &text)) return false;
  if (file->write(text.data(), text.size()) != static_cast<s32>(text.size())) {
    zeMessage(ZE_ERROR, "CZeEffectManager: Cannot write %s", file->getFileName().c_str());
    return false;
  }
  return true;
}

bool CZeEffectManager::writeText(const CZeEffectDef* definition, const char* fileName, std::string* text) {
  for (auto it = writers_.rbegin(); it != writers_.rend(); ++it)
    if ((*it)->isAWritableFileExtension(fileName)) return (*it)->writeDefinitionText(definition, text);
  zeMessage(ZE_ERROR, "CZeEffectManager: no effect writer for %s", fileName);
  return false;
}

int CZeEffectManager::getTechniqueId(const char* name) const {
  return techniques_ ? techniques_->getTechniqueId(name) : -1;
}

void CZeEffectManager::addShaderSearchPath(const char* directory) {
  if (directory) shaderPaths_.push_back(directory);
}

void CZeEffectManager::addTextureSearchPath(const char* directory) {
  if (directory) texturePaths_.push_back(directory);
}

void CZeEffectManager::addBind(IZeEffectBind* bind) {
  if (!bind) return;
  bind->grab();
  binds_.insert(binds_.begin(), bind);
}

void CZeEffectManager::addTextureResolver(IZeEffectTextureResolver* resolver) {
  if (!resolver) return;
  resolver->grab();
  resolvers_.insert(resolvers_.begin(), resolver);
}

void CZeEffectManager::addDefinitionLoader(IZeEffectDefLoader* loader) {
  if (!loader) return;
  loader->grab();
  loaders_.push_back(loader);
}

void CZeEffectManager::addDefinitionWriter(IZeEffectDefWriter* writer) {
  if (!writer) return;
  writer->grab();
  writers_.push_back(writer);
}

IZeEffectBindSemanticMap* CZeEffectManager::createSemanticMap() {
  auto* map = new CZeEffectBindSemanticMap;
  addBind(map);
  map->drop();  // the list holds it; the caller gets a pointer that lives with the manager
  return map;
}
