#include "effect/CZeEffectDef.h"

#include <cstdlib>
#include <cstring>

const char* zeFxStageName(int stage) {
  static const char* const names[] = {"UNKNOWN", "TESSELATION", "VERTEX", "GEOMETRY", "FRAGMENT"};
  return stage >= 0 && stage <= 4 ? names[stage] : "UNKNOWN";
}

const char* zeFxTargetName(int target) {
  static const char* const names[] = {"vs_1_1", "vs_2_0", "vs_3_0", "ps_1_1", "ps_2_0", "ps_3_0"};
  return target >= 1 && target <= 6 ? names[target - 1] : "UNKNOWN";
}

const char* zeFxTypeName(int type) {
  static const char* const names[] = {"unknown",   "bool",      "float",     "float2",      "float3",
                                      "float4",    "float4x4",  "int",       "sampler1D",   "sampler2D",
                                      "sampler3D", "samplerRect", "samplerCube", "samplerDepth", "usertype"};
  return type >= 0 && type <= 14 ? names[type] : "unknown";
}

const std::string* zeFxFindAnnotation(const std::vector<SParameter>& annotations, const char* name) {
  for (const SParameter& a : annotations)
    if (a.sid == name) return &a.value;
  return nullptr;
}

int CZeEffectDef::getParameterHandle(const char* name) const {
  if (!name) return -1;
  for (size_t i = 0; i < parameters.size(); ++i)
    if (parameters[i].sid == name) return int(i);
  return -1;
}

namespace {

// Whitespace-separated numbers of a default value text; missing ones read as 0.
void readNumbers(const std::string& text, float* out, int count) {
  const char* p = text.c_str();
  for (int i = 0; i < count; ++i) {
    char* end = nullptr;
    double v = std::strtod(p, &end);
    if (end == p) {
      out[i] = 0.0f;
      continue;
    }
    out[i] = float(v);
    p = end;
  }
}

}  // namespace

bool CZeEffectDef::getFloats(int handle, float* values, int count) const {
  if (handle < 0 || size_t(handle) >= parameters.size() || !values || count < 0 || count > 16) return false;
  readNumbers(parameters[size_t(handle)].value, values, count);
  return true;
}

bool CZeEffectDef::getInts(int handle, int* values, int count) const {
  float f[16];
  if (!getFloats(handle, f, count)) return false;
  for (int i = 0; i < count; ++i) values[i] = int(f[i]);
  return true;
}

bool CZeEffectDef::getBool(int handle, bool* value) const {
  int v = 0;
  if (!value || !getInts(handle, &v, 1)) return false;
  *value = v != 0;
  return true;
}

bool CZeEffectDef::getMatrix(int handle, float* values16) const { return getFloats(handle, values16, 16); }

const std::string* CZeEffectDef::parameterAnnotation(int handle, const char* name) const {
  if (handle < 0 || size_t(handle) >= parameters.size()) return nullptr;
  return zeFxFindAnnotation(parameters[size_t(handle)].annotations, name);
}

const std::string* CZeEffectDef::passAnnotation(int technique, int pass, const char* name) const {
  if (technique < 0 || size_t(technique) >= techniques.size()) return nullptr;
  const STechnique& t = techniques[size_t(technique)];
  if (pass < 0 || size_t(pass) >= t.passes.size()) return nullptr;
  return zeFxFindAnnotation(t.passes[size_t(pass)].annotations, name);
}

const std::string* CZeEffectDef::techniqueAnnotation(int technique, const char* name) const {
  if (technique < 0 || size_t(technique) >= techniques.size()) return nullptr;
  return zeFxFindAnnotation(techniques[size_t(technique)].annotations, name);
}
