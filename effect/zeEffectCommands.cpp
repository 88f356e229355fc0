#include "effect/zeEffectCommands.h"

#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectManager.h"
#include "effect/IZeTextureManager.h"

using namespace irr;

namespace {

// A seam with no subsystem behind it yet says so and fails the command.
bool haveSeams(SZeEffectCommandEnv& env, const char* what) { return env.seams || zeNotBuilt(what); }

CZeEffect* findEffect(SZeEffectCommandEnv& env, int id) {
  ZeEffectCell* cell = env.table ? env.table->find(id) : nullptr;
  if (!cell) {
    zeReportArgError(1, "Effect ID %d does not exist. %s", id, env.table ? env.table->reason() : "");
    return nullptr;
  }
  return cell->effect;
}

// The parameter for a constant command; reports "Unknown constant".
CZeEffect* constantTarget(SZeEffectCommandEnv& env, int id, const char* name, int* handle) {
  CZeEffect* e = findEffect(env, id);
  if (!e) return nullptr;
  *handle = e->getParameterHandle(name ? name : "");
  if (*handle < 0) {
    zeReportArgError(2, "Unknown constant '%s'", name ? name : "");
    return nullptr;
  }
  return e;
}

CZeEffect* textureTarget(SZeEffectCommandEnv& env, int id, const char* name, int* handle) {
  CZeEffect* e = findEffect(env, id);
  if (!e) return nullptr;
  *handle = e->getParameterHandle(name ? name : "");
  if (*handle < 0) {
    zeReportArgError(2, "Unknown texture '%s'", name ? name : "");
    return nullptr;
  }
  return e;
}

bool setDone(bool ok, const char* name) {
  if (!ok) zeReportArgError(2, "failed to set value for constant '%s'", name ? name : "");
  return ok;
}

int loadWithParameters(SZeEffectCommandEnv& env, const char* file, int id, SZeEffectCompileParameters& p) {
  if (p.macros.size() > size_t(ZE_EFFECT_MAX_MACROS)) p.macros.resize(ZE_EFFECT_MAX_MACROS);
  p.macros.push_back(SZeShaderMacro{});
  return zeLoadEffect(env, file, id, p.baseMaterial, p.macros.data());
}

}  // namespace

void zeParseMacroText(const std::string& text, std::vector<SZeShaderMacro>* macros) {
  size_t at = 0;
  while (at < text.size()) {
    const size_t end = text.find(' ', at);
    const std::string word = text.substr(at, end == std::string::npos ? std::string::npos : end - at);
    at = end == std::string::npos ? text.size() : end + 1;
    if (word.empty()) continue;
    const size_t eq = word.find('=');
    if (eq == std::string::npos) macros->push_back(SZeShaderMacro{word, ""});
    else macros->push_back(SZeShaderMacro{word.substr(0, eq), word.substr(eq + 1)});
  }
}

CZeEffect* zeEffectOf(SZeEffectCommandEnv& env, int id) {
  ZeEffectCell* cell = env.table ? env.table->peek(id) : nullptr;
  return cell ? cell->effect : nullptr;
}

bool zeEffectExists(SZeEffectCommandEnv& env, int id) { return env.table && env.table->has(id); }

void zeDeleteEffect(SZeEffectCommandEnv& env, int id) {
  if (!env.table || !env.table->has(id)) return;
  ZeEffectCell* cell = env.table->remove(id);
  if (cell->effect) cell->effect->drop();
  delete cell;
}

int zeLoadEffect(SZeEffectCommandEnv& env, const char* file, int id, int baseMaterial, const SZeShaderMacro* macros) {
  if (!env.table || !env.manager) {
    zeReportArgError(2, "invalid effect ID %d : %s", id, "no effect table");
    return -1;
  }
  auto* cell = new ZeEffectCell;
  cell->id = id;
  if (!env.table->add(id, cell)) {
    delete cell;
    zeReportArgError(2, "invalid effect ID %d : %s", id, env.table->reason());
    return -1;
  }
  // Loading errors must reach the user even under a quiet threshold.
  const int threshold = zeGetMessageThreshold();
  if (threshold > ZE_ERROR) zeSetMessageThreshold(ZE_ERROR);
  cell->effect = env.manager->createEffect(file ? file : "", baseMaterial, macros, nullptr);
  zeSetMessageThreshold(threshold);
  if (!cell->effect) {
    zeReportArgError(1, "Failed to load effect '%s' : %s", file ? file : "", env.manager->getLastError());
    env.table->remove(id);
    delete cell;
    return -1;
  }
  return 0;
}

int zeLoadEffect(SZeEffectCommandEnv& env, const char* file, int id) {
  return zeLoadEffect(env, file, id, -1, nullptr);
}

int zeLoadEffectForObjectSurface(SZeEffectCommandEnv& env, const char* file, int id, int object, int surface) {
  if (!haveSeams(env, "Effects for object surfaces")) return -1;
  SZeEffectCompileParameters p;
  switch (env.seams->objectSurfaceParameters(object, surface, &p)) {
    case 0: break;
    case 1: zeReportArgError(3, "Object ID %d does not exist", object); return -1;
    case 2: zeReportArgError(3, "Object ID %d does not have node extension", object); return -1;
    case 3: zeReportArgError(4, "Invalid surface ID %d for the Object ID %d", surface, object); return -1;
    default: zeReportArgError(-1, "Failed to get the effect compile parameters"); return -1;
  }
  if (!env.seams->rendererMacros(&p)) {
    zeReportArgError(-1, "Failed to get the renderer effect");
    return -1;
  }
  return loadWithParameters(env, file, id, p);
}

int zeLoadEffectForEmitter(SZeEffectCommandEnv& env, const char* file, int id, int emitter) {
  if (!haveSeams(env, "Effects for particle emitters")) return -1;
  SZeEffectCompileParameters p;
  switch (env.seams->emitterParameters(emitter, &p)) {
    case 0: break;
    case 1: zeReportArgError(3, "FxEmitter ID %d does not exist", emitter); return -1;
    case 2: zeReportArgError(3, "FxEmitter ID %d does not have node extension", emitter); return -1;
    case 3: zeReportArgError(4, "Invalid surface for the FxEmitter ID %d", emitter); return -1;
    default: zeReportArgError(-1, "Failed to get the effect compile parameters"); return -1;
  }
  return loadWithParameters(env, file, id, p);
}

int zeSetEffectConstantBool(SZeEffectCommandEnv& env, int id, const char* name, bool value) {
  int h = -1;
  CZeEffect* e = constantTarget(env, id, name, &h);
  return e && setDone(e->setBool(h, value), name) ? 0 : -1;
}

int zeSetEffectConstantInt(SZeEffectCommandEnv& env, int id, const char* name, int value) {
  int h = -1;
  CZeEffect* e = constantTarget(env, id, name, &h);
  return e && setDone(e->setInt(h, value), name) ? 0 : -1;
}

int zeSetEffectConstantFloat(SZeEffectCommandEnv& env, int id, const char* name, float value) {
  int h = -1;
  CZeEffect* e = constantTarget(env, id, name, &h);
  return e && setDone(e->setFloat(h, value), name) ? 0 : -1;
}

int zeSetEffectConstantFloats(SZeEffectCommandEnv& env, int id, const char* name, const float* values, int count) {
  int h = -1;
  CZeEffect* e = constantTarget(env, id, name, &h);
  return e && setDone(e->setFloats(h, values, count), name) ? 0 : -1;
}

int zeSetEffectTextureImage(SZeEffectCommandEnv& env, int id, const char* name, int image) {
  int h = -1;
  CZeEffect* e = textureTarget(env, id, name, &h);
  if (!e) return -1;
  video::ITexture* texture = nullptr;
  if (haveSeams(env, "Effect textures from images") && !env.seams->imageTexture(image, &texture)) {
    zeReportArgError(3, "Image %d does not exist", image);
    texture = nullptr;
  }
  if (!e->setTexture(h, texture, false)) {
    zeReportArgError(2, "failed to set texture '%s'", name);
    return -1;
  }
  return texture ? 0 : -1;
}

int zeSetEffectTextureFile(SZeEffectCommandEnv& env, int id, const char* name, const char* file) {
  int h = -1;
  CZeEffect* e = textureTarget(env, id, name, &h);
  if (!e) return -1;
  video::ITexture* texture = nullptr;
  const int type = e->getDefinition().parameters[size_t(h)].type;
  if (!env.textures || env.textures->loadTexture(file ? file : "", type, &texture) != ZE_TEXTURE_LOADED) {
    zeReportArgError(3, "failed to load texture '%s' ", file ? file : "");
    texture = nullptr;
  }
  if (!e->setTexture(h, texture, false)) {
    zeReportArgError(2, "failed to set texture '%s'", name);
    return -1;
  }
  return texture ? 0 : -1;
}

bool zeEffectParamTexture(SZeEffectCommandEnv& env, CZeEffect* e, int handle, const char* text, bool named,
                          const char* effectFile, const char* paramName, video::ITexture** texture) {
  *texture = nullptr;
  if (!text || !text[0]) return true;
  if (named) {
    *texture = env.seams ? env.seams->namedTexture(text) : env.textures ? env.textures->getNamedTexture(text) : nullptr;
    if (!*texture) zeMessage(ZE_ERROR, "%s: failed to find texture '%s' of shader param %s", effectFile, text, paramName);
    return *texture != nullptr;
  }
  std::string path = text;
  if (env.seams) {
    const std::string found = env.seams->findShaderFile(text);
    if (!found.empty()) path = found;
  }
  const int type = e->getDefinition().parameters[size_t(handle)].type;
  if (!env.textures || env.textures->loadTexture(path.c_str(), type, texture) != ZE_TEXTURE_LOADED) {
    zeMessage(ZE_ERROR, "%s: failed to load texture '%s' of shader param %s", effectFile, text, paramName);
    *texture = nullptr;
    return false;
  }
  return true;
}

int zeLoadEffectFromShaderDesc(SZeEffectCommandEnv& env, int id, const SZeShaderDesc& desc) {
  std::vector<SZeShaderMacro> macros;
  zeParseMacroText(desc.macroText, &macros);
  macros.push_back(SZeShaderMacro{});
  std::string file = desc.file;
  if (env.seams) {
    const std::string found = env.seams->findShaderFile(desc.file.c_str());
    if (!found.empty()) file = found;
  }
  if (zeLoadEffect(env, file.c_str(), id, -1, macros.data()) != 0) return -1;
  return zeApplyShaderDesc(env, id, desc, true);
}

int zeApplyShaderDesc(SZeEffectCommandEnv& env, int id, const SZeShaderDesc& desc, bool withTextures) {
  CZeEffect* e = findEffect(env, id);
  if (!e) return -1;
  const char* file = desc.file.c_str();
  if (withTextures) {
    bool ok = true;
    for (const SZeShaderDescEntry& entry : desc.entries) {
      if (entry.type != 3) continue;
      const int h = e->getParameterHandle(entry.name.c_str());
      if (h < 0) {
        zeMessage(ZE_ERROR, "%s: no effect param with name '%s'", file, entry.name.c_str());
        ok = false;
        continue;
      }
      video::ITexture* texture = nullptr;
      if (!zeEffectParamTexture(env, e, h, entry.text.c_str(), entry.kind == 1, file, entry.name.c_str(), &texture))
        ok = false;
      if (!e->setTexture(h, texture, entry.srgb)) {
        zeMessage(ZE_ERROR, "%s: failed to set texture '%s' of shader param %s", file, entry.text.c_str(),
                  entry.name.c_str());
        ok = false;
      }
    }
    if (!ok) {
      zeReportArgError(2, "Effect ID %d: failed to set textures of shader '%s'", id, file);
      return -1;
    }
  }
  bool ok = true;
  for (const SZeShaderDescEntry& entry : desc.entries) {
    if (entry.type == 3) continue;
    const int h = e->getParameterHandle(entry.name.c_str());
    if (h < 0) {
      zeMessage(ZE_ERROR, "%s: no effect param with name '%s'", file, entry.name.c_str());
      ok = false;
      continue;
    }
    switch (entry.type) {
      case 0: ok = e->setFloats(h, entry.floats, 3) && ok; break;
      case 1: ok = e->setFloats(h, entry.floats, 1) && ok; break;
      case 2: ok = e->setInt(h, entry.integer) && ok; break;
      default:
        zeMessage(ZE_ERROR, "%s: shader param '%s' unknown type %d", file, entry.name.c_str(), entry.type);
        ok = false;
    }
  }
  if (!ok) zeReportArgError(2, "Effect ID %d: failed to set parameters of shader '%s'", id, file);
  return ok ? 0 : -1;
}
