#include "tools/hlslc/zeEffectCheck.h"

#include <cstdio>
#include <string>
#include <vector>

#include "base/zeFile.h"
#include "effect/CZeEffectBuilder.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "effect/zeFxMaterial.h"
#include "effect/zeHlslTranslator.h"
#include "tools/hlslc/zeHlslcFiles.h"

namespace {

void listAnnotations(const char* indent, const std::vector<SParameter>& annotations) {
  for (const SParameter& a : annotations) std::printf("%s%s = \"%s\"\n", indent, a.sid.c_str(), a.value.c_str());
}

// Compiles one stage of a pass; false with the errors on standard error.
bool compileStage(const SShader& shader, const std::vector<SZeShaderMacro>& macros, CZeHlslcIncludes* includes) {
  SZeTranslateRequest request;
  request.stage = shader.stage == ZE_FX_STAGE_VERTEX ? ZE_STAGE_VERTEX : ZE_STAGE_PIXEL;
  std::string source = shader.source;
  if (source.compare(0, 7, "file://") == 0) source = source.substr(7);
  request.sourcePath = source;
  request.entry = shader.entry.empty() ? "main" : shader.entry;
  request.macros = macros;
  request.includes = includes;
  if (!zeHlslcReadFile(source, &request.source)) {
    std::fprintf(stderr, "%s(0): error: cannot read the shader file\n", source.c_str());
    return false;
  }
  SZeCompiledProgram program;
  std::string errors;
  if (!zeTranslateHlsl(request, &program, &errors)) {
    std::fputs(errors.c_str(), stderr);
    return false;
  }
  return true;
}

int usage() {
  std::fprintf(stderr, "usage: zarn-hlslc -effect FILE [-D NAME[=VALUE]]... [-I FOLDER]...\n"
                       "  lists the techniques, passes, parameters, render states and binds of an effect file\n"
                       "  and compiles every pass; errors as file(line), exit status 1 on any failure\n");
  return 2;
}

}  // namespace

int zeEffectCheckMain(int argc, char** argv) {
  std::string file;
  std::vector<SZeShaderMacro> macros;
  CZeHlslcIncludes includes;
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    if (a == "-effect") continue;
    if (a.compare(0, 2, "-D") == 0 || a.compare(0, 2, "-I") == 0) {
      std::string v = a.size() > 2 ? a.substr(2) : (i + 1 < argc ? argv[++i] : "");
      if (v.empty()) return usage();
      if (a[1] == 'I') {
        includes.folders.push_back(v);
      } else {
        size_t eq = v.find('=');
        macros.push_back({v.substr(0, eq), eq == std::string::npos ? "" : v.substr(eq + 1)});
      }
    } else if (!a.empty() && a[0] == '-') {
      std::fprintf(stderr, "zarn-hlslc: unknown option %s\n", a.c_str());
      return usage();
    } else if (file.empty()) {
      file = a;
    } else {
      return usage();
    }
  }
  if (file.empty()) return usage();

  std::vector<const char*> names;
  for (const SZeShaderMacro& m : macros) names.push_back(m.name.c_str());
  names.push_back(nullptr);
  CZeEffectDefLoaderZarn loader;
  const char* error = nullptr;
  CZeEffectDef* def = loader.loadDefinition(file.c_str(), names.data(), 0, &error);
  if (error) {
    std::fprintf(stderr, "%s(%d): error: %s\n", loader.errorFile().c_str(), loader.errorLine(), error);
    def->drop();
    return 1;
  }
  std::printf("effect %s\n", def->path.c_str());
  if (!def->title.empty()) std::printf("  title \"%s\"\n", def->title.c_str());
  listAnnotations("  ", def->annotations);
  std::printf("parameters\n");
  for (const SParameter& p : def->parameters) {
    std::printf("  %s %s", zeFxTypeName(p.type), p.sid.c_str());
    if (!p.semantic.empty()) std::printf(" : %s", p.semantic.c_str());
    if (!p.value.empty()) std::printf(" = %s", p.value.c_str());
    for (const SSampler& s : p.samplers)
      if (!s.source.empty()) std::printf(" <- %s", s.source.c_str());
    std::printf("\n");
    listAnnotations("    ", p.annotations);
  }

  std::vector<SZeShaderMacro> caller = macros;
  caller.push_back(SZeShaderMacro());
  bool ok = true;
  for (const STechnique& t : def->techniques) {
    std::printf("technique \"%s\"\n", t.sid.c_str());
    listAnnotations("  ", t.annotations);
    for (size_t p = 0; p < t.passes.size(); ++p) {
      const SPass& pass = t.passes[p];
      std::printf("  pass %zu \"%s\"\n", p, pass.sid.c_str());
      listAnnotations("    ", pass.annotations);
      for (const SState& s : pass.states) {
        std::printf("    state %s = \"%s\"", s.name.c_str(), s.value.c_str());
        if (!s.param.empty()) std::printf(" %s sampler %d", s.param.c_str(), s.index);
        std::printf("\n");
      }
      std::vector<const SShader*> shaders;
      for (const SShader& s : pass.shaders) {
        std::printf("    %s %s %s %s\n", zeFxStageName(s.stage), zeFxTargetName(s.target), s.entry.c_str(),
                    s.source.c_str());
        for (const SParameter& b : s.binds) std::printf("      bind %s -> %s\n", b.sid.c_str(), b.value.c_str());
        shaders.push_back(&s);
      }
      std::vector<SZeShaderMacro> merged;
      std::string macroError;
      if (!CZeEffectBuilder::mergeMacros(caller.data(), shaders, &merged, &macroError)) {
        std::fprintf(stderr, "%s(0): error: %s\n", file.c_str(), macroError.c_str());
        ok = false;
        continue;
      }
      for (const SShader& s : pass.shaders) {
        if (s.stage != ZE_FX_STAGE_VERTEX && s.stage != ZE_FX_STAGE_FRAGMENT) continue;
        const bool compiled = compileStage(s, merged, &includes);
        std::printf("      %s %s\n", s.entry.c_str(), compiled ? "compiled" : "FAILED");
        ok = ok && compiled;
      }
    }
  }
  def->drop();
  return ok ? 0 : 1;
}
