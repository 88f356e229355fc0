#include "fuzz/effectDefFuzzCheck.h"

#include "effect/CZeEffectDefLoaderZarn.h"

bool zeEffectDefFuzzCheck(const std::string& text, std::string* why) {
  static const char* const macros[] = {"USE_TEX_COLOR", "X", nullptr};
  CZeEffectDefLoaderZarn loader;
  const char* error = nullptr;
  CZeEffectDef* def = loader.loadDefinitionFromText("/fx/fuzz.hlsl", text, macros, 0, &error);
  bool ok = true;
  if (error && std::string(error).size() > 1023) {
    *why = "error text longer than 1023 characters";
    ok = false;
  }
  if (ok && !error) {
    for (const STechnique& t : def->techniques) {
      if (t.passes.size() != 1 || t.passes[0].shaders.size() != 2) {
        *why = "a technique without its one pass of two shaders";
        ok = false;
        break;
      }
      for (const SShader& s : t.passes[0].shaders)
        for (const SParameter& b : s.binds)
          if (def->getParameterHandle(b.value.c_str()) < 0) {
            *why = "a bind names no parameter: " + b.value;
            ok = false;
          }
      for (const SState& s : t.passes[0].states)
        if (!s.param.empty() && def->getParameterHandle(s.param.c_str()) < 0) {
          *why = "a texture state names no parameter: " + s.param;
          ok = false;
        }
    }
    for (const SParameter& p : def->parameters)
      if (zeFxIsSampler(p.type) != (p.samplers.size() == 1)) {
        *why = "a parameter with a wrong sampler count: " + p.sid;
        ok = false;
      }
  }
  def->drop();
  return ok;
}
