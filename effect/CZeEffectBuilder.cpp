// Contents: parameters (value slots) · macros · techniques and passes
// (compile, base material, binds, states) · textures · material layers ·
// technique ids.
#include "effect/CZeEffectBuilder.h"

#include <strings.h>

#include <cstdlib>
#include <cstring>

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "effect/CZeTechniqueLookup.h"
#include "effect/IZeEffectTextureResolver.h"
#include "effect/IZeGPUProgrammingServices.h"

using namespace irr;

bool CZeEffectBuilder::fail(const std::string& text) {
  if (error_.empty()) error_ = text;
  return false;
}

bool CZeEffectBuilder::build() {
  if (!args_.definition) return fail("Failed to get effect description");
  std::string directory = zePathDirectory(args_.definition->path);
  while (!directory.empty() && directory.back() == '/') directory.pop_back();
  directory_ = directory.empty() ? "." : directory;
  struct Step {
    bool (CZeEffectBuilder::*run)();
    const char* unknown;
  } steps[] = {{&CZeEffectBuilder::initParameters, "Unknown error init parameters"},
               {&CZeEffectBuilder::initTechniques, "Unknown error init techniques"},
               {&CZeEffectBuilder::loadTextures, "Unknown error load textures"},
               {&CZeEffectBuilder::setMaterialLayers, "Unknown error set Material Layers"}};
  for (const Step& s : steps)
    if (!(this->*s.run)()) return fail(s.unknown);
  // The binds of all passes, distinct, first use first; the effect holds them.
  for (const SZeFxTechnique& t : effect_->techniques_)
    for (const SZeFxPass& p : t.passes)
      for (IZeEffectBind* b : p.binds) {
        bool known = false;
        for (IZeEffectBind* have : effect_->binds_) known = known || have == b;
        if (!known) {
          b->grab();
          effect_->binds_.push_back(b);
        }
      }
  makeTechniqueIds();
  return true;
}

// --- Parameters -----------------------------------------------------------------------

bool CZeEffectBuilder::initParameters() {
  const CZeEffectDef& def = *args_.definition;
  effect_->values_.assign(def.parameters.size(), SZeFxParameter());
  for (size_t i = 0; i < def.parameters.size(); ++i) {
    const SParameter& p = def.parameters[i];
    SZeFxParameter& v = effect_->values_[i];
    switch (p.type) {
      case ZE_FX_BOOL: v.slot[0] = std::atoi(p.value.c_str()) != 0; break;
      case ZE_FX_INT: *v.ints() = std::atoi(p.value.c_str()); break;
      case ZE_FX_FLOAT:
      case ZE_FX_FLOAT2:
      case ZE_FX_FLOAT3:
      case ZE_FX_FLOAT4:
      case ZE_FX_FLOAT4X4: def.getFloats(int(i), v.floats(), zeFxFloatCount(p.type)); break;
      default:
        if (!zeFxIsSampler(p.type)) break;
        if (p.samplers.size() != 1) return fail("Failed to get sampler info for parameter");
        {
          const SSampler& s = p.samplers[0];
          SZeFxTextureLayer layer;
          layer.wrap = uint8_t(zeFxWrapMode(s.wrap_s) | (zeFxWrapMode(s.wrap_t) << 4));
          uint8_t filter = ZE_FX_BILINEAR;
          if (s.minfilter == "NEAREST") filter &= uint8_t(~ZE_FX_BILINEAR);
          else if (s.minfilter == "LINEAR") filter |= ZE_FX_BILINEAR;
          else if (s.minfilter == "ANISOTROPIC") layer.anisotropy = 8;
          if (s.magfilter == "NEAREST") filter &= uint8_t(~ZE_FX_BILINEAR);
          else if (s.magfilter == "LINEAR") filter |= ZE_FX_BILINEAR;
          if (s.mipfilter == "LINEAR") filter |= ZE_FX_TRILINEAR;
          layer.filter = filter;
          const std::string* srgb = zeFxFindAnnotation(p.annotations, "SRGB");
          layer.srgb = srgb && *srgb == "true";
          *v.layer() = layer;
        }
    }
  }
  return true;
}

// --- Macros ---------------------------------------------------------------------------

bool CZeEffectBuilder::mergeMacros(const SZeShaderMacro* callerMacros, const std::vector<const SShader*>& shaders,
                                   std::vector<SZeShaderMacro>* out, std::string* error) {
  out->clear();
  for (const SZeShaderMacro* m = callerMacros; m && !m->name.empty(); ++m) out->push_back(*m);
  std::vector<SZeShaderMacro> inlines;
  for (const SShader* s : shaders)
    for (const std::string& line : s->inlines) {
      size_t at = line.find("#define");
      if (at == std::string::npos) {
        *error = "Invalid source inline : no #define";
        return false;
      }
      const char* p = line.c_str() + at + 7;
      if (*p != ' ' && *p != '\t') {
        *error = "Invalid source inline : malformed after #define";
        return false;
      }
      while (*p == ' ' || *p == '\t') ++p;
      const char* nameEnd = p;
      while (*nameEnd && *nameEnd != ' ' && *nameEnd != '\t') ++nameEnd;
      if (nameEnd == p) {
        *error = "Invalid source inline : malformed after #define";
        return false;
      }
      SZeShaderMacro macro;
      macro.name.assign(p, size_t(nameEnd - p));
      while (*nameEnd == ' ' || *nameEnd == '\t') ++nameEnd;
      macro.definition = nameEnd;
      while (!macro.definition.empty() && (macro.definition.back() == ' ' || macro.definition.back() == '\t'))
        macro.definition.pop_back();
      inlines.push_back(macro);
    }
  for (const SZeShaderMacro& m : inlines) {
    bool present = false;
    for (const SZeShaderMacro& have : *out)
      if (have.name == m.name) {
        present = true;
        if (have.definition != m.definition)
          zeMessage(ZE_WARN, "Warning: when merging macros, duplicate %s with different definitions '%s' and '%s' ",
                    m.name.c_str(), have.definition.c_str(), m.definition.c_str());
        break;
      }
    if (!present) out->push_back(m);
  }
  return true;
}

// --- Techniques ---------------------------------------------------------------------------

std::string CZeEffectBuilder::resolveShaderFile(const std::string& name) const {
  if (zePathIsAbsolute(name) && zeFileExists(name.c_str())) return name;
  std::string beside = directory_ + "/" + name;
  if (zeFileExists(beside.c_str())) return beside;
  if (args_.shaderPaths)
    for (const std::string& dir : *args_.shaderPaths) {
      std::string candidate = dir + "/" + name;
      if (zeFileExists(candidate.c_str())) return candidate;
    }
  return name;
}

bool CZeEffectBuilder::initTechniques() {
  const CZeEffectDef& def = *args_.definition;
  effect_->techniques_.assign(def.techniques.size(), SZeFxTechnique());
  for (size_t t = 0; t < def.techniques.size(); ++t) {
    const STechnique& technique = def.techniques[t];
    effect_->techniques_[t].passes.assign(technique.passes.size(), SZeFxPass());
    for (size_t p = 0; p < technique.passes.size(); ++p)
      if (!initPass(technique.passes[p], &effect_->techniques_[t].passes[p])) return false;
  }
  return true;
}

namespace {

std::string stripFileScheme(const std::string& s) {
  return s.compare(0, 7, "file://") == 0 ? s.substr(7) : s;
}

int vertexShaderType(int target) {
  switch (target) {
    case ZE_FX_TARGET_VS_1_1: return 0;
    case ZE_FX_TARGET_VS_2_0: return 1;
    case ZE_FX_TARGET_VS_3_0: return 3;
    default: return -1;
  }
}

int pixelShaderType(int target) {
  switch (target) {
    case ZE_FX_TARGET_PS_1_1: return 0;
    case ZE_FX_TARGET_PS_2_0: return 4;
    case ZE_FX_TARGET_PS_3_0: return 7;
    default: return -1;
  }
}

const SState* findState(const SPass& pass, const char* name) {
  for (const SState& s : pass.states)
    if (s.name == name) return &s;
  return nullptr;
}

}  // namespace

bool CZeEffectBuilder::initPass(const SPass& pass, SZeFxPass* out) {
  PassShaders shaders;
  int32_t baseType = 0;
  uint32_t baseParam = 0;
  if (!passShaders(pass, &shaders) || !passBaseMaterial(pass, &baseType, &baseParam)) return false;
  const int materialType = compilePass(shaders, baseType);
  if (materialType < 0 || !initPassBinds(pass, shaders, materialType, out)) return false;
  initPassMaterial(pass, materialType, baseType, baseParam, out);
  return true;
}

// The vertex and pixel shader of a pass: file, entry and shader model.
bool CZeEffectBuilder::passShaders(const SPass& pass, PassShaders* out) {
  int vertexTarget = 0, pixelTarget = 0;
  for (const SShader& s : pass.shaders) {
    if (s.stage == ZE_FX_STAGE_VERTEX) {
      out->vertexFile = stripFileScheme(s.source);
      if (!s.entry.empty()) out->vertexEntry = s.entry;
      vertexTarget = s.target;
      if (out->vertexFile.empty()) return fail("Inconsistent Vertex Shader Filename " + s.source);
    } else if (s.stage == ZE_FX_STAGE_FRAGMENT) {
      out->pixelFile = stripFileScheme(s.source);
      if (!s.entry.empty()) out->pixelEntry = s.entry;
      pixelTarget = s.target;
      if (out->pixelFile.empty()) return fail("Inconsistent Pixel Shader Filename " + s.source);
    } else {
      continue;
    }
    out->shaders.push_back(&s);
  }
  if (out->vertexFile.empty()) return fail("Inconsistent Vertex Shader Filename ");
  if (out->pixelFile.empty()) return fail("Inconsistent Pixel Shader Filename ");
  out->vertexType = vertexShaderType(vertexTarget);
  out->pixelType = pixelShaderType(pixelTarget);
  if (out->vertexType < 0) return fail("Unsupported Vertex Compiler target");
  if (out->pixelType < 0) return fail("Unsupported Pixel Compiler target");
  return true;
}

// A blend state, the annotation, or the caller's default.
bool CZeEffectBuilder::passBaseMaterial(const SPass& pass, int32_t* baseType, uint32_t* baseParam) {
  *baseType = args_.defaultBaseMaterial >= 0 ? args_.defaultBaseMaterial : 0;
  *baseParam = 0;
  const SState* blend = findState(pass, "blend_enable");
  if (blend && strcasecmp(blend->value.c_str(), "true") == 0) {
    const SState* src = findState(pass, "blend_func src");
    const SState* dst = findState(pass, "blend_func dest");
    *baseType = ZE_FX_MT_ONETEXTURE_BLEND;
    *baseParam = zeFxBlendWord(src ? zeFxBlendFactor(src->value) : 1, dst ? zeFxBlendFactor(dst->value) : 0);
  } else if (const std::string* annotation = zeFxFindAnnotation(pass.annotations, "baseMaterial")) {
    if (!zeFxBaseMaterial(*annotation, baseType, baseParam))
      return fail("Invalid base material annotation " + *annotation);
  }
  return true;
}

// The pass's material type from the shader services, with the merged
// macros; -1 after a failure.
int CZeEffectBuilder::compilePass(const PassShaders& p, int32_t baseType) {
  std::vector<SZeShaderMacro> macros;
  std::string macroError;
  if (!mergeMacros(args_.macros, p.shaders, &macros, &macroError)) return fail(macroError), -1;
  macros.push_back(SZeShaderMacro());  // the end mark
  if (!args_.services) return fail("ZeGPU: failed to get gpu"), -1;
  const std::string vs = resolveShaderFile(p.vertexFile), ps = resolveShaderFile(p.pixelFile);
  std::string compileError;
  const int materialType =
      args_.services->createMaterialFromFiles(vs.c_str(), p.vertexEntry.c_str(), p.vertexType, ps.c_str(),
                                              p.pixelEntry.c_str(), p.pixelType, args_.callback, baseType, 0,
                                              macros.data(), &compileError);
  if (materialType < 0) fail(compileError.empty() ? std::string("Unknown error init techniques") : compileError);
  return materialType;
}

// Constant and sampler binds of each shader; texture states bind by sampler
// stage in the pixel shader. Then the bind families the pass uses.
bool CZeEffectBuilder::initPassBinds(const SPass& pass, const PassShaders& p, int materialType, SZeFxPass* out) {
  const CZeEffectDef& def = *args_.definition;
  for (const SShader* s : p.shaders) {
    SZeFxShader shader;
    shader.stage = s->stage;
    for (const SParameter& b : s->binds) {
      if (b.sid.empty()) return fail("Failed to get Bind name");
      const int parameter = def.getParameterHandle(b.value.c_str());
      if (parameter < 0)
        return fail("failed to get Param '" + (b.value.empty() ? std::string("??") : b.value) + "' for the Bind '" +
                    b.sid + "'");
      const int type = def.parameters[size_t(parameter)].type;
      if (zeFxIsSampler(type)) {
        if (!initTextureBind(materialType, &shader, parameter, b.sid)) return false;
      } else if (zeFxFloatCount(type) > 0) {
        if (!initConstantBind(materialType, &shader, parameter, b.sid)) return false;
      }
    }
    int next = 0;
    for (SZeFxTextureBind& t : shader.textureBinds)
      if (t.sampler < 0) t.sampler = next++;
    if (s->stage == ZE_FX_STAGE_FRAGMENT)
      for (const SState& state : pass.states) {
        if (state.name != "texture1D" && state.name != "texture2D" && state.name != "texture3D" &&
            state.name != "textureCUBE")
          continue;
        const int parameter = def.getParameterHandle(state.param.c_str());
        if (parameter < 0)
          return fail("failed to get Param '" + state.param + "' for the texture state'" + state.name + "'");
        SZeFxTextureBind t;
        t.stage = ZE_FX_STAGE_FRAGMENT;
        t.parameter = parameter;
        t.sampler = state.index;
        shader.textureBinds.push_back(t);
      }
    out->shaders.push_back(shader);
  }
  for (const SZeFxShader& s : out->shaders)
    for (const SZeFxConstBind& c : s.constBinds) {
      bool known = false;
      for (IZeEffectBind* b : out->binds) known = known || b == c.bind;
      if (!known) out->binds.push_back(c.bind);
    }
  return true;
}

// The pass's material: its type, then the pass states in their order, and
// Irrlicht's fields prepared once.
void CZeEffectBuilder::initPassMaterial(const SPass& pass, int materialType, int32_t baseType, uint32_t baseParam,
                                        SZeFxPass* out) {
  SZeFxMaterial& m = out->material;
  m.materialType = materialType;
  m.typeParam = baseParam;
  m.typeParam2 = 0;
  bool depthTestOff = false;
  for (const SState& s : pass.states) {
    if (s.name == "depth_func") {
      zeFxDepthFunc(s.value, &m.depthFunc);
      out->stateFlags |= ZE_FX_STATE_DEPTH_FUNC;
    } else if (s.name == "depth_mask") {
      out->stateFlags |= ZE_FX_STATE_DEPTH_MASK;
      if (!depthTestOff) m.depthWrite = s.value == "true";
    } else if (s.name == "depth_test_enable") {
      out->stateFlags |= ZE_FX_STATE_DEPTH_TEST;
      if (s.value != "true") {
        depthTestOff = true;
        m.depthWrite = false;
        m.depthFunc = ZE_FX_DEPTH_DISABLED;
      }
    } else if (s.name == "point_size_enable") {
      out->stateFlags |= ZE_FX_STATE_POINT_SIZE;
      m.pointCloud = s.value == "true";
    }
  }
  out->irrType = zeIrrMaterialType(m.materialType);
  std::memcpy(&out->irrParam, &m.typeParam, sizeof(float));
  std::memcpy(&out->irrParam2, &m.typeParam2, sizeof(float));
  out->irrZBuffer = u8(zeIrrDepthFunc(m.depthFunc));
  out->irrBlend = baseType == ZE_FX_MT_SOLID ? video::EBO_NONE : video::EBO_ADD;
}

bool CZeEffectBuilder::initConstantBind(int materialType, SZeFxShader* shader, int parameter,
                                        const std::string& symbol) {
  int reg = -1, count = 0;
  bool used = false;
  if (shader->stage == ZE_FX_STAGE_VERTEX)
    used = args_.services->getVertexShaderConstantRegister(materialType, symbol.c_str(), &reg, &count);
  else if (shader->stage == ZE_FX_STAGE_FRAGMENT)
    used = args_.services->getPixelShaderConstantRegister(materialType, symbol.c_str(), &reg, &count);
  else
    return fail("initConstantBind: Unsupported shader stage");
  if (!used) return true;  // the shader does not use the symbol
  const SParameter& p = args_.definition->parameters[size_t(parameter)];
  SZeFxConstBind c;
  c.stage = shader->stage;
  c.type = p.type;
  c.symbol = symbol;
  c.semantic = p.semantic;
  c.value = effect_->values_[size_t(parameter)].slot;
  c.floatCount = zeFxFloatCount(p.type);
  c.registerIndex = reg;
  c.registerCount = count;
  if (args_.binds)
    for (size_t i = 0; i < args_.binds->size(); ++i) {
      IZeEffectBind* family = (*args_.binds)[i];
      ZeFxBindCallback callback = family->getBind(c, c.userData);
      if (!callback) continue;
      c.bind = family;
      c.callback = callback;
      if (i + 1 == args_.binds->size() && !c.semantic.empty())
        zeMessage(ZE_WARN, "Warning: %s: the Semantic '%s' has no corresponding binding",
                  args_.definition->path.c_str(), c.semantic.c_str());
      break;
    }
  if (!c.callback) return fail("failed to get a bind function for " + symbol);
  shader->constBinds.push_back(c);
  return true;
}

bool CZeEffectBuilder::initTextureBind(int materialType, SZeFxShader* shader, int parameter,
                                       const std::string& symbol) {
  int index = -1;
  bool used = false;
  if (shader->stage == ZE_FX_STAGE_VERTEX)
    used = args_.services->getVertexShaderSamplerIndex(materialType, symbol.c_str(), &index);
  else if (shader->stage == ZE_FX_STAGE_FRAGMENT)
    used = args_.services->getPixelShaderSamplerIndex(materialType, symbol.c_str(), &index);
  else
    return fail("initTextureBind: Unsupported shader stage");
  if (!used) return true;
  SZeFxTextureBind t;
  t.stage = shader->stage;
  t.registerIndex = index;
  t.symbol = symbol;
  t.parameter = parameter;
  t.sampler = index;
  shader->textureBinds.push_back(t);
  return true;
}

// --- Textures and layers --------------------------------------------------------------------

bool CZeEffectBuilder::loadTextures() {
  const CZeEffectDef& def = *args_.definition;
  static const std::vector<std::string> noPaths;
  const std::vector<std::string>& paths = args_.texturePaths ? *args_.texturePaths : noPaths;
  for (size_t i = 0; i < def.parameters.size(); ++i) {
    const SParameter& p = def.parameters[i];
    if (!zeFxIsSampler(p.type)) continue;
    bool bound = false;
    for (const SZeFxTechnique& t : effect_->techniques_)
      for (const SZeFxPass& pass : t.passes)
        for (const SZeFxShader& s : pass.shaders)
          for (const SZeFxTextureBind& b : s.textureBinds) bound = bound || b.parameter == int(i);
    if (!bound) {
      zeMessage(ZE_DEBUG,
                "CZeEffectBuilder::loadTextures : The Texture Parameter '%s' is not bound to any shader sampler, do "
                "not load texture.",
                p.sid.c_str());
      continue;
    }
    const std::string& source = p.samplers[0].source;
    if (p.semantic.empty() && source.empty()) continue;
    if (!args_.resolvers) continue;
    for (IZeEffectTextureResolver* r : *args_.resolvers) {
      video::ITexture* texture = nullptr;
      EZeTextureAnswer answer = r->resolve(p.type, p.semantic, source, directory_, paths, &texture);
      if (answer == ZE_TEXTURE_ANSWER_MISSING)
        return fail("Failed to get Texture [ Semantic=" + (p.semantic.empty() ? std::string("<null>") : p.semantic) +
                    " ImageUrl=" + (source.empty() ? std::string("<null>") : source) + " ] of parameter " +
                    (p.sid.empty() ? std::string("<Unknown!>") : p.sid));
      if (answer == ZE_TEXTURE_ANSWER_FOUND) {
        effect_->setSlotTexture(int(i), texture);
        zeMessage(ZE_DEBUG, "CZeEffectBuilder::loadParameterTexture : loaded Semantic='%s' Url='%s'",
                  p.semantic.c_str(), source.c_str());
        break;
      }
    }
  }
  return true;
}

bool CZeEffectBuilder::setMaterialLayers() {
  for (SZeFxTechnique& t : effect_->techniques_)
    for (SZeFxPass& pass : t.passes)
      for (const SZeFxShader& s : pass.shaders)
        for (const SZeFxTextureBind& b : s.textureBinds) {
          const SZeFxTextureLayer& from = *effect_->values_[size_t(b.parameter)].layer();
          if (b.stage == ZE_FX_STAGE_VERTEX) {
            if (b.sampler < 0 || b.sampler >= ZE_FX_VERTEX_LAYERS)
              return fail("Sampler illegal index > MATERIAL_MAX_TEXTURES_VERTEX");
            pass.material.layers[ZE_FX_PIXEL_LAYERS + b.sampler] = from;
          } else {
            if (b.sampler < 0 || b.sampler >= ZE_FX_PIXEL_LAYERS)
              return fail("Sampler illegal index > MATERIAL_MAX_TEXTURES");
            pass.material.layers[b.sampler] = from;
          }
        }
  return true;
}

void CZeEffectBuilder::makeTechniqueIds() {
  std::vector<int32_t>& ids = effect_->techniqueIds_;
  ids.assign(2, -1);
  if (!args_.techniques) return;
  const CZeEffectDef& def = *args_.definition;
  for (size_t t = 0; t < def.techniques.size(); ++t) {
    const int id = args_.techniques->getTechniqueId(def.techniques[t].sid.c_str());
    if (id < 0) continue;
    if (size_t(id) >= ids.size()) ids.resize(size_t(id) + 1, -1);
    ids[size_t(id)] = int32_t(t);
  }
}
