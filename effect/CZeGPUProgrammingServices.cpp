// Contents: include handler · keys · create material · compiled shaders ·
// cache read/write · dependency scan · recompile · constant queries.
#include "effect/CZeGPUProgrammingServices.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <cstdint>
#include <cstring>

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "base/zeSafeWrite.h"
#include "effect/zeShaderCacheName.h"

namespace {

std::string slashes(std::string s) {
  std::replace(s.begin(), s.end(), '\\', '/');
  return s;
}

// The folder of a file without its last slash; "." when the path names none.
std::string directoryOf(const std::string& path) {
  const std::string folder = zePathDirectory(path);
  return folder.empty() ? "." : folder.substr(0, folder.size() - 1);
}

const char* stageName(bool vertex) { return vertex ? "Vertex" : "Pixel"; }

bool modificationTime(const std::string& path, struct timespec* out) {
  struct stat st;
  if (::stat(zeAbsolutePath(path.c_str()), &st) != 0) return false;
  *out = st.st_mtim;
  return true;
}

bool newer(const struct timespec& a, const struct timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec > b.tv_nsec;
}

// A cache file is replaced only by a complete one (base/zeSafeWrite.h).
bool writeWhole(const std::string& path, const std::string& bytes, bool* opened) {
  const ZeSafeWriteResult result = zeWriteFileSafely(path.c_str(), bytes.data(), bytes.size());
  *opened = result != ZE_WRITE_CANNOT_CREATE;
  return result == ZE_WRITE_DONE;
}

std::vector<SZeShaderMacro> copyMacros(const SZeShaderMacro* macros) {
  std::vector<SZeShaderMacro> out;
  for (const SZeShaderMacro* m = macros; m && !m->name.empty(); ++m) out.push_back(*m);
  zeSortShaderMacros(&out);
  return out;
}

bool macrosLess(const std::vector<SZeShaderMacro>& a, const std::vector<SZeShaderMacro>& b) {
  if (a.size() != b.size()) return a.size() < b.size();
  for (size_t i = 0; i < a.size(); ++i) {
    if (a[i].name != b[i].name) return a[i].name < b[i].name;
    if (a[i].definition != b[i].definition) return a[i].definition < b[i].definition;
  }
  return false;
}

// Reads the rest of an open file. Its size is not asked for: on plain files
// that costs four system calls, more than the short files here take to read.
void readRest(ZeFile* f, std::string* out) {
  out->clear();
  char chunk[65536];
  for (;;) {
    const size_t got = f->read(chunk, 1, sizeof chunk);
    out->append(chunk, got);
    if (got < sizeof chunk) break;
  }
}

// Error text when the caller asked for one, else a message at `level`.
void fail(std::string* errorText, int level, const std::string& text, const std::string& message) {
  if (errorText) *errorText = text;
  else zeMessage(level, "%s", message.c_str());
}

}  // namespace

std::string zeShaderCacheDirectory(const char* base) { return zePathJoin(base ? base : "", "shadersCache"); }

unsigned zeShaderCacheDefaultFlags(bool packaged) {
  return packaged ? ZE_SHADER_CACHE_READ : ZE_SHADER_CACHE_READ | ZE_SHADER_CACHE_CHECK | ZE_SHADER_CACHE_WRITE;
}

// --- include handler -------------------------------------------------------------

ShaderIncludeCallback::ShaderIncludeCallback(const std::string& shaderDirectory) {
  directories.insert(shaderDirectory);
}

bool ShaderIncludeCallback::openInclude(const std::string& name, const std::string&, std::string* openedPath,
                                        std::string* bytes) {
  zeMessage(ZE_DEBUG, "ZeGPU: ShaderIncludeCallback: FileName='%s'", name.c_str());
  for (const std::string& dir : directories) {
    std::string path = dir + "/" + name;
    if (zeFileReadAll(path.c_str(), bytes)) {
      zeMessage(ZE_DEBUG, "ZeGPU: Include found: '%s'", path.c_str());
      directories.insert(directoryOf(path));
      opened.push_back(path);
      *openedPath = path;
      return true;
    }
    zeMessage(ZE_DEBUG, "ZeGPU: Include Not found: '%s'", path.c_str());
  }
  zeMessage(ZE_ERROR, "ZeGPU: ShaderIncludeCallback:Open FileName='%s' FAILED", name.c_str());
  return false;
}

void ShaderIncludeCallback::closeInclude(const void* bytes) {
  if (!bytes) {
    zeMessage(ZE_DEBUG, "ZeGPU: ShaderIncludeCallback:Close pData IS NULL!");
    return;
  }
  zeMessage(ZE_DEBUG, "ShaderIncludeCallback:Close pData=0x%08x", unsigned(reinterpret_cast<uintptr_t>(bytes)));
}

// --- keys ------------------------------------------------------------------------

bool CZeGPUProgrammingServices::CompiledKey::operator<(const CompiledKey& o) const {
  if (vertex != o.vertex) return vertex < o.vertex;
  if (file != o.file) return file < o.file;
  if (entry != o.entry) return entry < o.entry;
  return macrosLess(macros, o.macros);
}

bool CZeGPUProgrammingServices::MaterialKey::operator<(const MaterialKey& o) const {
  if (vertexFile != o.vertexFile) return vertexFile < o.vertexFile;
  if (vertexEntry != o.vertexEntry) return vertexEntry < o.vertexEntry;
  if (pixelFile != o.pixelFile) return pixelFile < o.pixelFile;
  if (pixelEntry != o.pixelEntry) return pixelEntry < o.pixelEntry;
  if (vertexType != o.vertexType) return vertexType < o.vertexType;
  if (pixelType != o.pixelType) return pixelType < o.pixelType;
  if (baseMaterial != o.baseMaterial) return baseMaterial < o.baseMaterial;
  return macrosLess(macros, o.macros);
}

CZeGPUProgrammingServices::CZeGPUProgrammingServices(IZeShaderBackend* backend) : backend_(backend) {}
CZeGPUProgrammingServices::~CZeGPUProgrammingServices() = default;

void CZeGPUProgrammingServices::setCache(const char* directory, unsigned flags) {
  cacheDirectory_ = directory ? directory : "";
  cacheFlags_ = flags;
}

// --- create material ---------------------------------------------------------------

int CZeGPUProgrammingServices::createMaterialFromFiles(const char* vertexFile, const char* vertexEntry, int vertexType,
                                                       const char* pixelFile, const char* pixelEntry, int pixelType,
                                                       irr::video::IShaderConstantSetCallBack* callback,
                                                       int baseMaterial, int userData, const SZeShaderMacro* macros,
                                                       std::string* errorText) {
  MaterialKey key{vertexFile ? vertexFile : "", vertexEntry ? vertexEntry : "", pixelFile ? pixelFile : "",
                  pixelEntry ? pixelEntry : "", vertexType, pixelType, baseMaterial, copyMacros(macros)};
  auto found = materials_.find(key);
  if (found != materials_.end()) {
    zeMessage(ZE_DEBUG, "ZeGPU: Found already created shader %s %s", key.vertexFile.c_str(), key.pixelFile.c_str());
    return found->second.materialType;
  }
  // The source texts read here serve the whole request, then go.
  struct KeepSources {
    CZeGPUProgrammingServices* s;
    ~KeepSources() {
      s->keepSourceTexts_ = false;
      s->sourceTexts_.clear();
    }
  } keep{this};
  keepSourceTexts_ = true;
  if (!sourceText(key.vertexFile) || !sourceText(key.pixelFile)) {
    fail(errorText, ZE_ERROR, "Shader files not found : " + key.vertexFile + " " + key.pixelFile,
         "ZeGPU: Shader files not found " + key.vertexFile + " " + key.pixelFile);
    return -1;
  }
  int vertexId = 0, pixelId = 0;
  int type = createMaterial(vertexFile, vertexEntry, vertexType, pixelFile, pixelEntry, pixelType, callback,
                            baseMaterial, userData, macros, errorText, &vertexId, &pixelId);
  if (type == -1) {
    if (!errorText)
      zeMessage(ZE_ERROR, "ZeGPU: Failed to get shader %s %s", key.vertexFile.c_str(), key.pixelFile.c_str());
    return -1;
  }
  SShaderMaterialTypeEntry entry;
  entry.vertexFile = key.vertexFile;
  entry.vertexEntry = key.vertexEntry;
  entry.pixelFile = key.pixelFile;
  entry.pixelEntry = key.pixelEntry;
  entry.vertexType = vertexType;
  entry.pixelType = pixelType;
  entry.baseMaterial = baseMaterial;
  entry.macros = key.macros;
  entry.materialType = type;
  entry.vertexId = unsigned(vertexId);
  entry.pixelId = unsigned(pixelId);
  materials_.emplace(std::move(key), std::move(entry));
  return type;
}

int CZeGPUProgrammingServices::createMaterial(const char* vertexFile, const char* vertexEntry, int vertexType,
                                              const char* pixelFile, const char* pixelEntry, int pixelType,
                                              irr::video::IShaderConstantSetCallBack* callback, int baseMaterial,
                                              int userData, const SZeShaderMacro* macros, std::string* errorText,
                                              int* vertexId, int* pixelId) {
  if (!backend_) {
    fail(errorText, ZE_ERROR, "ZeGPU: failed to get gpu", "ZeGPU: failed to get gpu");
    return -1;
  }
  std::vector<SZeShaderMacro> sorted = copyMacros(macros);
  SShaderCompiledEntry* vs = getCompiledShader(vertexFile ? vertexFile : "", vertexEntry ? vertexEntry : "main",
                                               true, vertexType, sorted, errorText);
  if (!vs) return -1;
  SShaderCompiledEntry* ps = getCompiledShader(pixelFile ? pixelFile : "", pixelEntry ? pixelEntry : "main", false,
                                               pixelType, sorted, errorText);
  if (!ps) return -1;
  std::string error;
  int type = backend_->addShaderMaterial(vs->program, ps->program, callback, baseMaterial, userData, &error);
  if (type < 0) {
    if (!error.empty()) zeMessage(ZE_ERROR, "ZeGPU: %s", error.c_str());  // the driver's own reason
    fail(errorText, ZE_ERROR, "ZeGPU: addHighLevelShaderMaterial failed", "ZeGPU: addHighLevelShaderMaterial failed");
    return -1;
  }
  if (vertexId) *vertexId = int(vs->id);
  if (pixelId) *pixelId = int(ps->id);
  return type;
}

// --- compiled shaders --------------------------------------------------------------

SShaderCompiledEntry* CZeGPUProgrammingServices::getCompiledShader(const std::string& file, const std::string& entry,
                                                                    bool vertex, int target,
                                                                    const std::vector<SZeShaderMacro>& macros,
                                                                    std::string* errorText) {
  CompiledKey key{static_cast<unsigned char>(vertex ? 1 : 0), file, entry, macros};
  auto found = compiled_.find(key);
  if (found != compiled_.end()) {
    SShaderCompiledEntry* e = found->second.get();
    zeMessage(ZE_DEBUG, "ZeGPU: Found already compiled shader %s %s", file.c_str(), stageName(vertex));
    if (!e->code.empty()) return e;
    fail(errorText, ZE_ERROR, "ZeGPU: Found compiled shader but Buffer is NULL !!!!! ",
         "ZeGPU: Found compiled shader but Buffer is NULL !!!!! ");
    if (!compile(e, errorText)) return nullptr;
    if (errorText) errorText->clear();
    writeToCache(*e);
    return e;
  }
  auto e = std::make_unique<SShaderCompiledEntry>();
  e->vertex = key.vertex;
  e->file = file;
  e->entry = entry;
  e->macros = macros;
  e->target = target;
  if (!readFromCache(key, e.get())) {
    if (!compile(e.get(), errorText)) return nullptr;
    writeToCache(*e);
  }
  e->id = nextId_++;
  SShaderCompiledEntry* raw = e.get();
  compiled_.emplace(std::move(key), std::move(e));
  return raw;
}

const std::string* CZeGPUProgrammingServices::sourceText(const std::string& file) {
  if (!keepSourceTexts_) sourceTexts_.clear();  // outside a request a file is read afresh
  auto held = sourceTexts_.find(file);
  if (held != sourceTexts_.end()) return &held->second;
  ZeFile* f = zeFileOpen(file.c_str(), "rb");
  if (!f) return nullptr;
  std::string text;
  readRest(f, &text);
  zeFileClose(f);
  return &(sourceTexts_[file] = std::move(text));
}

bool CZeGPUProgrammingServices::compile(SShaderCompiledEntry* entry, std::string* errorText) {
  const bool vertex = entry->vertex != 0;
  std::string source;
  auto held = sourceTexts_.find(entry->file);
  if (keepSourceTexts_ && held != sourceTexts_.end()) {
    source = held->second;
  } else {
    ZeFile* f = zeFileOpen(entry->file.c_str(), "rb");
    if (!f) {
      fail(errorText, ZE_ERROR, "Shader file " + entry->file + " not found",
           "ZeGPU: Shader file not found " + entry->file);
      return false;
    }
    readRest(f, &source);
    zeFileClose(f);
  }
  if (entry->macros.size() >= 40) {
    fail(errorText, ZE_ERROR, "Too many defines for shader " + entry->file,
         "ZeGPU: Too many defines for shader " + entry->file);
    return false;
  }
  zeMessage(ZE_DEBUG, "ZeGPU: compile shader %s", entry->file.c_str());
  ShaderIncludeCallback includes(directoryOf(entry->file));
  SZeTranslateRequest request;
  request.stage = vertex ? ZE_STAGE_VERTEX : ZE_STAGE_PIXEL;
  request.sourcePath = entry->file;
  request.source = std::move(source);
  request.entry = entry->entry;
  request.macros = entry->macros;
  request.includes = &includes;
  SZeCompiledProgram program;
  std::string messages;
  if (!zeTranslateHlsl(request, &program, &messages)) {
    size_t memory = messages.find("memory(");
    if (memory != std::string::npos) messages = messages.substr(memory);
    std::string text = std::string("Failed to Compile ") + stageName(vertex) + " shader " + entry->file + "\n" + messages;
    fail(errorText, ZE_ERROR, text, std::string("ZeGPU: ") + text);
    return false;
  }
  entry->program = std::move(program);
  entry->program.serialize(&entry->code);
  std::vector<std::string> includesList;
  for (const std::string& p : includes.opened) includesList.push_back(slashes(p));
  includesList.push_back(slashes(entry->file));
  std::sort(includesList.begin(), includesList.end());
  includesList.erase(std::unique(includesList.begin(), includesList.end()), includesList.end());
  entry->includes = std::move(includesList);
  return true;
}

// --- cache read/write --------------------------------------------------------------

bool CZeGPUProgrammingServices::readFromCache(const CompiledKey& key, SShaderCompiledEntry* entry) {
  if (!(cacheFlags_ & ZE_SHADER_CACHE_READ) || cacheDirectory_.empty()) {
    zeMessage(ZE_DEBUG, "ZeGPU: Cache not read enabled");
    return false;
  }
  const std::string macroText = zeShaderMacroText(key.macros);
  const std::string path = cacheDirectory_ + "/" + zeShaderCacheFileName(key.file, key.entry, key.vertex, macroText);
  zeMessage(ZE_DEBUG, "ZeGPU: Read from cache = '%s'", path.c_str());
  // Opened once: the existence test, and later the read.
  ZeFile* f = zeFileOpen(path.c_str(), "rb");
  if (!f) {
    zeMessage(ZE_DEBUG, "ZeGPU: File does not exist in the cache '%s'", path.c_str());
    return false;
  }
  struct CloseAtEnd {
    ZeFile* f;
    ~CloseAtEnd() { zeFileClose(f); }
  } closeAtEnd{f};
  const std::string infPath = path + ".inf";
  std::string cachedMacros;
  if (!zeFileReadAll(infPath.c_str(), &cachedMacros)) {
    zeMessage(ZE_ERROR, "ZeGPU: isCachedShaderMatch:read file '%s' FAILED", infPath.c_str());
    return false;
  }
  if (cachedMacros != macroText) {
    zeMessage(ZE_WARN, "ZeGPU: WARNING ! Conflict in Shader Cache on '%s' : Cached Macros : '%s' ; New Macros '%s'",
              path.c_str(), cachedMacros.c_str(), macroText.c_str());
    return false;
  }
  std::vector<std::string> dependencies;
  for (const std::string& inc : getShaderIncludes(key.file)) dependencies.push_back(slashes(inc));
  dependencies.push_back(slashes(key.file));
  std::vector<std::string> unique;
  for (const std::string& d : dependencies)
    if (std::find(unique.begin(), unique.end(), d) == unique.end()) unique.push_back(d);
  if (cacheFlags_ & ZE_SHADER_CACHE_CHECK) {
    struct timespec cacheTime;
    if (!modificationTime(path, &cacheTime)) {
      zeMessage(ZE_ERROR, "ZeGPU: failed to stat '%s'", path.c_str());
      return false;
    }
    for (const std::string& d : unique) {
      struct timespec t;
      if (!modificationTime(d, &t)) {
        zeMessage(ZE_ERROR, "ZeGPU: failed to stat file '%s'", d.c_str());
        continue;
      }
      if (newer(t, cacheTime)) {
        zeMessage(ZE_DEBUG, "ZeGPU: file '%s' more recent", d.c_str());
        zeMessage(ZE_DEBUG, "ZeGPU: '%s' not up to date against shader files", path.c_str());
        return false;
      }
    }
    zeMessage(ZE_DEBUG, "ZeGPU: '%s' is up to date", path.c_str());
  }
  std::string code;
  readRest(f, &code);
  // A file of another translator, or made from another source, is a miss.
  std::string why;
  SZeCompiledProgram program;
  if (!program.deserialize(code.data(), code.size(), key.file, &why) ||
      program.stage != (key.vertex ? ZE_STAGE_VERTEX : ZE_STAGE_PIXEL) || program.entry != key.entry) {
    if (why.empty()) why = "made for another stage or entry point";
    zeMessage(ZE_WARN, "ZeGPU: cached shader '%s' is not usable (%s), compiling again", path.c_str(), why.c_str());
    return false;
  }
  std::sort(unique.begin(), unique.end());
  entry->includes = std::move(unique);
  entry->code = std::move(code);
  entry->program = std::move(program);
  return true;
}

void CZeGPUProgrammingServices::writeToCache(const SShaderCompiledEntry& entry) {
  if (!(cacheFlags_ & ZE_SHADER_CACHE_WRITE) || cacheDirectory_.empty()) {
    zeMessage(ZE_DEBUG, "ZeGPU: Cache not write enabled");
    return;
  }
  const std::string macroText = zeShaderMacroText(entry.macros);
  const std::string path =
      cacheDirectory_ + "/" + zeShaderCacheFileName(entry.file, entry.entry, entry.vertex != 0, macroText);
  zeMessage(ZE_DEBUG, "ZeGPU: Write to cache '%s'", path.c_str());
  // A fresh install has no cache folder yet; without it nothing would ever be cached.
  ::mkdir(cacheDirectory_.c_str(), 0777);
  bool opened = false;
  if (!writeWhole(path, entry.code, &opened)) {
    if (!opened) zeMessage(ZE_DEBUG, "ZeGPU: Cached Compiled Shader cannot be opened for write '%s'", path.c_str());
    else zeMessage(ZE_ERROR, "ZeGPU: Cached Compiled Shader file cannot be write %s", path.c_str());
    return;
  }
  const std::string infPath = path + ".inf";
  if (!writeWhole(infPath, macroText, &opened)) {
    if (!opened) zeMessage(ZE_ERROR, "ZeGPU: Cached Shader Info cannot be opened for write '%s'", infPath.c_str());
    else zeMessage(ZE_ERROR, "ZeGPU: Cached Shader Info cannot be write %s", infPath.c_str());
  }
}

// --- dependency scan ---------------------------------------------------------------

std::vector<std::string> CZeGPUProgrammingServices::getShaderIncludes(const std::string& sourceFile) {
  std::vector<std::string> found;
  // (file, level): the source is level 0; files of level 4 are listed, not opened.
  std::vector<std::pair<std::string, int>> work{{sourceFile, 0}};
  for (size_t w = 0; w < work.size(); ++w) {
    const std::string file = work[w].first;
    const int level = work[w].second;
    if (level >= 4) continue;
    std::string read;
    const std::string* held = level == 0 ? sourceText(file) : nullptr;
    if (!held && (level == 0 || !zeFileReadAll(file.c_str(), &read))) {
      zeMessage(ZE_ERROR, "ZeGPU: getShaderIncludes:read file '%s' FAILED", file.c_str());
      continue;
    }
    const std::string& text = held ? *held : read;
    const std::string dir = directoryOf(file);
    for (size_t p = text.find("#include"); p != std::string::npos; p = text.find("#include", p + 8)) {
      size_t eol = text.find_first_of("\r\n", p);
      std::string line = text.substr(p + 8, eol == std::string::npos ? std::string::npos : eol - p - 8);
      size_t open = line.find('"');
      size_t close = open == std::string::npos ? open : line.find('"', open + 1);
      if (close == std::string::npos) continue;
      std::string name = slashes(dir + "/" + line.substr(open + 1, close - open - 1));
      if (std::find(found.begin(), found.end(), name) != found.end()) continue;
      found.push_back(name);
      work.push_back({name, level + 1});
    }
  }
  return found;
}

// --- recompile ---------------------------------------------------------------------

bool CZeGPUProgrammingServices::recompile(const std::vector<std::string>& changedFiles,
                                          std::vector<int>* changedMaterialTypes, std::string* errorText) {
  std::string errors;
  std::set<std::string> changed;
  for (const std::string& f : changedFiles) {
    changed.insert(slashes(f));
    changed.insert(slashes(zeAbsolutePath(f.c_str())));
  }
  std::set<unsigned> recompiled;
  std::map<unsigned, std::string> oldTables;
  for (auto& item : compiled_) {
    SShaderCompiledEntry& e = *item.second;
    bool depends = false;
    for (const std::string& inc : e.includes)
      depends = depends || changed.count(inc) || changed.count(slashes(zeAbsolutePath(inc.c_str())));
    if (!depends) continue;
    zeLog("ZeGPU: recompile %s (%s)...\n", e.file.c_str(), stageName(e.vertex != 0));
    SShaderCompiledEntry fresh = e;
    std::string error;
    if (!compile(&fresh, &error)) {
      errors += "Failed to compile " + e.file + "\n" + error + "\n";
      continue;
    }
    oldTables[e.id] = e.program.constantTableBytes();
    e.code = std::move(fresh.code);
    e.program = std::move(fresh.program);
    e.includes = std::move(fresh.includes);
    writeToCache(e);
    recompiled.insert(e.id);
  }
  for (auto& item : materials_) {
    SShaderMaterialTypeEntry& m = item.second;
    if (!recompiled.count(m.vertexId) && !recompiled.count(m.pixelId)) continue;
    const SShaderCompiledEntry* vs = compiledEntry(m.vertexId);
    const SShaderCompiledEntry* ps = compiledEntry(m.pixelId);
    std::string error;
    if (!backend_ || !vs || !ps || !backend_->updateShaderMaterial(m.materialType, vs->program, ps->program, &error)) {
      errors += "Failed to update material " + m.vertexFile + " " + m.pixelFile + "\n";
      continue;
    }
    if (changedMaterialTypes) changedMaterialTypes->push_back(m.materialType);
    for (int stage = 0; stage < 2; ++stage) {
      const SShaderCompiledEntry* s = stage == 0 ? vs : ps;
      auto old = oldTables.find(s->id);
      if (old == oldTables.end()) continue;
      std::string now = s->program.constantTableBytes();
      const char* which = stage == 0 ? "vertex" : "pixel";
      if (now.size() != old->second.size())
        zeMessage(ZE_WARN, "ZeGPU: warning, you may restart the engine: %s: %s contant buffer sizes are different prev=%d new=%d",
                  s->file.c_str(), which, int(old->second.size()), int(now.size()));
      else if (now != old->second)
        zeMessage(ZE_WARN, "ZeGPU: warning, you may restart the engine: %s: %s contant buffer sizes are different",
                  s->file.c_str(), which);
    }
  }
  if (errorText) *errorText = errors;
  if (!errors.empty()) zeMessage(ZE_ERROR, "ZeGPU: %s", errors.c_str());
  return errors.empty();
}

// --- constant queries --------------------------------------------------------------

const SShaderCompiledEntry* CZeGPUProgrammingServices::compiledEntry(unsigned id) const {
  for (const auto& item : compiled_)
    if (item.second->id == id) return item.second.get();
  return nullptr;
}

const SShaderMaterialTypeEntry* CZeGPUProgrammingServices::materialOf(int materialType) const {
  for (const auto& item : materials_)
    if (item.second.materialType == materialType) return &item.second;
  return nullptr;
}

const SZeCompiledProgram* CZeGPUProgrammingServices::programOf(int materialType, bool vertex) const {
  const SShaderMaterialTypeEntry* m = materialOf(materialType);
  if (!m) return nullptr;
  const SShaderCompiledEntry* e = compiledEntry(vertex ? m->vertexId : m->pixelId);
  return e ? &e->program : nullptr;
}

static bool constantRegister(const SZeCompiledProgram* program, const char* name, int* reg, int* count) {
  *reg = -1;
  *count = 0;
  if (!program) return true;  // not a material of these services
  SZeConstRef ref;
  if (!program->constants.find(name, &ref)) return false;
  *reg = ref.registerIndex;
  *count = ref.registerCount;
  return true;
}

static bool samplerIndex(const SZeCompiledProgram* program, const char* name, int* index) {
  *index = -1;
  if (!program) return true;
  SZeConstRef ref;
  if (!program->constants.find(name, &ref) || ref.registerSet != 's') return false;
  *index = ref.registerIndex;
  return true;
}

bool CZeGPUProgrammingServices::getPixelShaderConstantRegister(int materialType, const char* name, int* reg,
                                                               int* count) {
  return constantRegister(programOf(materialType, false), name, reg, count);
}

bool CZeGPUProgrammingServices::getVertexShaderConstantRegister(int materialType, const char* name, int* reg,
                                                                int* count) {
  return constantRegister(programOf(materialType, true), name, reg, count);
}

bool CZeGPUProgrammingServices::getPixelShaderSamplerIndex(int materialType, const char* name, int* index) {
  return samplerIndex(programOf(materialType, false), name, index);
}

bool CZeGPUProgrammingServices::getVertexShaderSamplerIndex(int materialType, const char* name, int* index) {
  return samplerIndex(programOf(materialType, true), name, index);
}

bool CZeGPUProgrammingServices::printConstants(int materialType) {
  const SZeCompiledProgram* vs = programOf(materialType, true);
  const SZeCompiledProgram* ps = programOf(materialType, false);
  if (!backend_ || !vs || !ps) {
    zeMessage(ZE_ERROR, "printConstants not supported for this DriverType");
    return false;
  }
  // One log line per constant: a whole table would not fit one message.
  for (int stage = 0; stage < 2; ++stage) {
    zeLog(stage == 0 ? "Vertex Shader Constants\n" : "Pixel Shader Constants\n");
    const std::string table = (stage == 0 ? vs : ps)->constants.describe();
    for (size_t p = 0; p < table.size();) {
      size_t e = table.find('\n', p);
      zeLog("%s\n", table.substr(p, e - p).c_str());
      p = e == std::string::npos ? table.size() : e + 1;
    }
  }
  return true;
}
