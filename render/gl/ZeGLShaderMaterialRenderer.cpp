#include "render/gl/ZeGLShaderMaterialRenderer.h"

#include "render/gl/ZeGLStateGuard.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cstring>

using namespace irr;

namespace {

GLuint compileStage(GLenum type, const std::string& text, std::string* error) {
  GLuint shader = glCreateShader(type);
  const char* src = text.c_str();
  glShaderSource(shader, 1, &src, nullptr);
  glCompileShader(shader);
  GLint ok = GL_FALSE;
  glGetShaderiv(shader, GL_COMPILE_STATUS, &ok);
  if (!ok) {
    GLint length = 0;
    glGetShaderiv(shader, GL_INFO_LOG_LENGTH, &length);
    std::string log(size_t(std::max(length, 1)), '\0');
    glGetShaderInfoLog(shader, length, nullptr, &log[0]);
    *error += (type == GL_VERTEX_SHADER ? "vertex: " : "pixel: ") + log;
    glDeleteShader(shader);
    return 0;
  }
  return shader;
}

GLint wrapMode(int clamp) {
  switch (clamp) {
    case video::ETC_REPEAT: return GL_REPEAT;
    case video::ETC_CLAMP:
    case video::ETC_CLAMP_TO_EDGE: return GL_CLAMP_TO_EDGE;
    case video::ETC_CLAMP_TO_BORDER: return GL_CLAMP_TO_BORDER;
    case video::ETC_MIRROR: return GL_MIRRORED_REPEAT;
    default: return GL_MIRROR_CLAMP_TO_EDGE;
  }
}

GLenum bindingQuery(GLenum target) {
  switch (target) {
    case GL_TEXTURE_3D: return GL_TEXTURE_BINDING_3D;
    case GL_TEXTURE_CUBE_MAP: return GL_TEXTURE_BINDING_CUBE_MAP;
    case GL_TEXTURE_1D: return GL_TEXTURE_BINDING_1D;
    default: return GL_TEXTURE_BINDING_2D;
  }
}

}  // namespace

void CZeGLShaderMaterialRenderer::RegisterFile::markDirty(int first, int end) {
  if (first >= end) return;
  if (dirtyFirst >= dirtyEnd) {
    dirtyFirst = first;
    dirtyEnd = end;
  } else {
    dirtyFirst = std::min(dirtyFirst, first);
    dirtyEnd = std::max(dirtyEnd, end);
  }
}

CZeGLShaderMaterialRenderer::CZeGLShaderMaterialRenderer(video::IVideoDriver* driver,
                                                         video::IShaderConstantSetCallBack* callback,
                                                         video::IMaterialRenderer* baseRenderer, int userData)
    : driver_(driver), callback_(callback), baseRenderer_(baseRenderer), userData_(userData) {
  if (callback_) callback_->grab();
  if (baseRenderer_) baseRenderer_->grab();
  vertexFile_.capacity = ZE_VERTEX_REGISTERS;
  pixelFile_.capacity = ZE_PIXEL_REGISTERS;
  vertexFile_.values.assign(size_t(ZE_VERTEX_REGISTERS) * 4, 0.0f);
  pixelFile_.values.assign(size_t(ZE_PIXEL_REGISTERS) * 4, 0.0f);
  glGenSamplers(kUnits, samplers_);
}

CZeGLShaderMaterialRenderer::~CZeGLShaderMaterialRenderer() {
  if (program_) glDeleteProgram(program_);
  glDeleteSamplers(kUnits, samplers_);
  if (callback_) callback_->drop();
  if (baseRenderer_) baseRenderer_->drop();
}

bool CZeGLShaderMaterialRenderer::build(const SZeCompiledProgram& vertex, const SZeCompiledProgram& pixel,
                                        std::string* error) {
  error->clear();
  if (vertex.stage != ZE_STAGE_VERTEX || pixel.stage != ZE_STAGE_PIXEL) {
    *error = "programs of the wrong stages";
    return false;
  }
  // Building is the engine's own work: Irrlicht's cached state stays true.
  CZeGLStateGuard guard;
  // A varying the pixel stage reads but the vertex stage does not write would
  // not link: the vertex stage then writes (0, 0, 0, 1), as Direct3D leaves it.
  std::string vertexText = vertex.glsl;
  std::string extraDeclarations, extraWrites;
  for (const std::string& v : pixel.varyings)
    if (std::find(vertex.varyings.begin(), vertex.varyings.end(), v) == vertex.varyings.end()) {
      extraDeclarations += "out vec4 " + v + ";\n";
      extraWrites += "  " + v + " = vec4(0.0, 0.0, 0.0, 1.0);\n";
    }
  if (!extraDeclarations.empty()) {
    size_t afterVersion = vertexText.find('\n') + 1;
    vertexText.insert(afterVersion, extraDeclarations);
    size_t mainCall = vertexText.rfind("  zeMain();\n");
    if (mainCall != std::string::npos) vertexText.insert(mainCall, extraWrites);
  }
  GLuint vs = compileStage(GL_VERTEX_SHADER, vertexText, error);
  GLuint ps = compileStage(GL_FRAGMENT_SHADER, pixel.glsl, error);
  if (!vs || !ps) {
    if (vs) glDeleteShader(vs);
    if (ps) glDeleteShader(ps);
    return false;
  }
  GLuint program = glCreateProgram();
  glAttachShader(program, vs);
  glAttachShader(program, ps);
  // Generic attributes beyond the fixed-function arrays, at fixed slots.
  GLuint slot = 1;
  for (const std::string& a : vertex.attributes) glBindAttribLocation(program, slot++, a.c_str());
  glLinkProgram(program);
  glDeleteShader(vs);
  glDeleteShader(ps);
  GLint ok = GL_FALSE;
  glGetProgramiv(program, GL_LINK_STATUS, &ok);
  if (!ok) {
    GLint length = 0;
    glGetProgramiv(program, GL_INFO_LOG_LENGTH, &length);
    std::string log(size_t(std::max(length, 1)), '\0');
    glGetProgramInfoLog(program, length, nullptr, &log[0]);
    *error = "link: " + log;
    glDeleteProgram(program);
    return false;
  }
  if (program_) glDeleteProgram(program_);
  program_ = program;

  glUseProgram(program_);
  halfPixel_.bind(program_);
  for (int stage = 0; stage < 2; ++stage) {
    RegisterFile& file = stage == 0 ? vertexFile_ : pixelFile_;
    const SZeCompiledProgram& p = stage == 0 ? vertex : pixel;
    const char* fileName = stage == 0 ? "zeVC" : "zePC";
    file.table = p.constants;
    file.locations.assign(size_t(file.capacity), -1);
    char uniform[32];
    for (int r = 0; r < file.capacity; ++r) {
      std::snprintf(uniform, sizeof uniform, "%s[%d]", fileName, r);
      file.locations[size_t(r)] = glGetUniformLocation(program_, uniform);
    }
    file.markDirty(0, file.capacity);  // a new program starts from the values held
    for (const SZeConstant& c : p.constants.constants) {
      if (c.registerSet != 's') continue;
      const std::string name = zeGlslSamplerName(uint32_t(stage), c.name);
      GLint location = glGetUniformLocation(program_, name.c_str());
      // Pixel samplers past unit 7 have no unit of their own (the effect
      // builder refuses them); they stay on unit 0 rather than alias a vertex unit.
      const bool hasUnit = stage == 0 || c.registerIndex < ZE_PIXEL_SAMPLERS;
      if (location >= 0 && hasUnit) glUniform1i(location, (stage == 0 ? ZE_VERTEX_SAMPLER_UNIT0 : 0) + c.registerIndex);
    }
  }
  return true;
}

void CZeGLShaderMaterialRenderer::setStageTexture(int unit, unsigned target, unsigned name, bool hasMipMaps, int wrapU,
                                                  int wrapV, bool bilinear, bool trilinear) {
  if (unit < 0 || unit >= kUnits) return;
  Unit& u = units_[unit];
  u.target = target;
  u.name = name;
  u.hasMipMaps = hasMipMaps;
  u.wrapU = wrapU;
  u.wrapV = wrapV;
  u.bilinear = bilinear;
  u.trilinear = trilinear;
}

void CZeGLShaderMaterialRenderer::configureSampler(int unit, bool hasMipMaps, int wrapU, int wrapV, bool bilinear,
                                                   bool trilinear) {
  GLuint s = samplers_[unit];
  glSamplerParameteri(s, GL_TEXTURE_WRAP_S, wrapMode(wrapU));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_T, wrapMode(wrapV));
  glSamplerParameteri(s, GL_TEXTURE_WRAP_R, wrapMode(wrapU));
  GLint mag = (bilinear || trilinear) ? GL_LINEAR : GL_NEAREST;
  GLint min = mag;
  if (hasMipMaps)
    min = trilinear ? GL_LINEAR_MIPMAP_LINEAR : bilinear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
  glSamplerParameteri(s, GL_TEXTURE_MIN_FILTER, min);
  glSamplerParameteri(s, GL_TEXTURE_MAG_FILTER, mag);
  glBindSampler(GLuint(unit), s);
}

void CZeGLShaderMaterialRenderer::OnSetMaterial(const video::SMaterial& material,
                                                const video::SMaterial& lastMaterial, bool resetAllRenderstates,
                                                video::IMaterialRendererServices* services) {
  currentMaterial_ = material;
  material_ = &currentMaterial_;
  glUseProgram(program_);
  engineStates_.restore();  // Irrlicht sets its states over what it believes is there
  if (baseRenderer_) baseRenderer_->OnSetMaterial(material, lastMaterial, resetAllRenderstates, services);
  if (callback_) callback_->OnSetMaterial(material);
  services->setBasicRenderStates(material, lastMaterial, resetAllRenderstates);
  engineStates_.apply(zeGLEngineMaterial());
}

bool CZeGLShaderMaterialRenderer::OnRender(video::IMaterialRendererServices* service, video::E_VERTEX_TYPE vtxtype) {
  if (callback_) callback_->OnSetConstants(this, userData_);
  if (!program_) return false;
  glUseProgram(program_);
  upload(vertexFile_);
  upload(pixelFile_);
  halfPixel_.update();
  for (int unit = 0; unit < kUnits; ++unit) {
    Unit& u = units_[unit];
    if (u.name) {
      glActiveTexture(GLenum(GL_TEXTURE0 + unit));
      GLint previous = 0;
      glGetIntegerv(bindingQuery(u.target), &previous);
      u.previousBinding = GLuint(previous);
      glBindTexture(u.target, u.name);
      configureSampler(unit, u.hasMipMaps, u.wrapU, u.wrapV, u.bilinear, u.trilinear);
      u.bound = true;
    } else if (unit < int(video::MATERIAL_MAX_TEXTURES) && material_ && material_->TextureLayer[unit].Texture) {
      const video::SMaterialLayer& layer = material_->TextureLayer[unit];
      configureSampler(unit, layer.Texture->hasMipMaps(), layer.TextureWrapU, layer.TextureWrapV,
                       layer.BilinearFilter, layer.TrilinearFilter);
    } else {
      glBindSampler(GLuint(unit), 0);
    }
  }
  glActiveTexture(GL_TEXTURE0);
  return true;
}

void CZeGLShaderMaterialRenderer::OnUnsetMaterial() {
  for (int unit = 0; unit < kUnits; ++unit) {
    glBindSampler(GLuint(unit), 0);
    Unit& u = units_[unit];
    if (!u.bound) continue;
    glActiveTexture(GLenum(GL_TEXTURE0 + unit));
    glBindTexture(u.target, u.previousBinding);
    u.bound = false;
  }
  glActiveTexture(GL_TEXTURE0);
  glUseProgram(0);
  engineStates_.restore();
  if (baseRenderer_) baseRenderer_->OnUnsetMaterial();
  material_ = nullptr;
}

bool CZeGLShaderMaterialRenderer::isTransparent() const {
  return baseRenderer_ ? baseRenderer_->isTransparent() : false;
}

void CZeGLShaderMaterialRenderer::setBasicRenderStates(const video::SMaterial& material,
                                                       const video::SMaterial& lastMaterial,
                                                       bool resetAllRenderstates) {
  // The driver is the services object Irrlicht passed; states are its business.
  if (auto* services = dynamic_cast<video::IMaterialRendererServices*>(driver_))
    services->setBasicRenderStates(material, lastMaterial, resetAllRenderstates);
}

bool CZeGLShaderMaterialRenderer::byName(RegisterFile& file, const char* name, const float* values, int count) {
  int first = 0, end = 0;
  if (!name || !values || count <= 0) return false;
  if (!file.table.writeByName(name, values, count, file.values.data(), file.capacity, &first, &end)) return false;
  file.markDirty(first, end);
  return true;
}

void CZeGLShaderMaterialRenderer::byRegister(RegisterFile& file, const float* data, int start, int amount) {
  if (!data || start < 0 || amount <= 0 || start >= file.capacity) return;
  amount = std::min(amount, file.capacity - start);
  std::memcpy(&file.values[size_t(start) * 4], data, size_t(amount) * 4 * sizeof(float));
  file.markDirty(start, start + amount);
}

void CZeGLShaderMaterialRenderer::upload(RegisterFile& file) {
  if (file.dirtyFirst >= file.dirtyEnd) return;
  // Consecutive registers with consecutive locations go up in one call.
  int r = file.dirtyFirst;
  while (r < file.dirtyEnd) {
    GLint location = file.locations[size_t(r)];
    if (location < 0) {
      ++r;
      continue;
    }
    int run = 1;
    while (r + run < file.dirtyEnd && file.locations[size_t(r + run)] == location + run) ++run;
    glUniform4fv(location, run, &file.values[size_t(r) * 4]);
    r += run;
  }
  file.dirtyFirst = file.dirtyEnd = 0;
}

bool CZeGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const f32* floats, int count) {
  return byName(vertexFile_, name, floats, count);
}

bool CZeGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const bool* bools, int count) {
  if (!bools || count <= 0) return false;
  if (scratch_.size() < size_t(count)) scratch_.resize(size_t(count));  // grows once, reused every draw
  for (int i = 0; i < count; ++i) scratch_[size_t(i)] = bools[i] ? 1.0f : 0.0f;
  return byName(vertexFile_, name, scratch_.data(), count);
}

bool CZeGLShaderMaterialRenderer::setVertexShaderConstant(const c8* name, const s32* ints, int count) {
  if (!ints || count <= 0) return false;
  if (scratch_.size() < size_t(count)) scratch_.resize(size_t(count));  // grows once, reused every draw
  for (int i = 0; i < count; ++i) scratch_[size_t(i)] = float(ints[i]);
  return byName(vertexFile_, name, scratch_.data(), count);
}

void CZeGLShaderMaterialRenderer::setVertexShaderConstant(const f32* data, s32 startRegister, s32 constantAmount) {
  byRegister(vertexFile_, data, startRegister, constantAmount);
}

bool CZeGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const f32* floats, int count) {
  return byName(pixelFile_, name, floats, count);
}

bool CZeGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const bool* bools, int count) {
  if (!bools || count <= 0) return false;
  if (scratch_.size() < size_t(count)) scratch_.resize(size_t(count));  // grows once, reused every draw
  for (int i = 0; i < count; ++i) scratch_[size_t(i)] = bools[i] ? 1.0f : 0.0f;
  return byName(pixelFile_, name, scratch_.data(), count);
}

bool CZeGLShaderMaterialRenderer::setPixelShaderConstant(const c8* name, const s32* ints, int count) {
  if (!ints || count <= 0) return false;
  if (scratch_.size() < size_t(count)) scratch_.resize(size_t(count));  // grows once, reused every draw
  for (int i = 0; i < count; ++i) scratch_[size_t(i)] = float(ints[i]);
  return byName(pixelFile_, name, scratch_.data(), count);
}

void CZeGLShaderMaterialRenderer::setPixelShaderConstant(const f32* data, s32 startRegister, s32 constantAmount) {
  byRegister(pixelFile_, data, startRegister, constantAmount);
}
