// One input of the HLSL include fuzzer, shared with the tests that replay its
// corpus. The input is cut at each "\n@@\n" into the main file and up to
// three include files ("a.fxh", "b.fxh", "sub/c.fxh"), served from memory
// beside their includer, so includes of includes, cycles and deep chains all
// come up. Both stages are translated.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>

#include "base/zeMessage.h"
#include "base/zePath.h"
#include "effect/zeHlslTranslator.h"

namespace zeFuzz {

class MemoryIncludes : public IZeShaderIncludeSource {
 public:
  std::map<std::string, std::string> files;
  bool openInclude(const std::string& name, const std::string& includer, std::string* opened,
                   std::string* bytes) override {
    const size_t slash = includer.find_last_of('/');
    // Folded, so that a file reached two ways is the same file.
    const std::string path =
        zePathFold((slash == std::string::npos ? std::string() : includer.substr(0, slash + 1)) + name);
    auto f = files.find(path);
    if (f == files.end()) return false;
    *bytes = f->second;
    *opened = path;
    return true;
  }
};

// The main file first, then the includes it may name.
constexpr const char* kFileNames[] = {"fx/main.hlsl", "fx/a.fxh", "fx/b.fxh", "fx/sub/c.fxh"};

// The files of one input, by name (an input without "\n@@\n" is the main file alone).
inline void splitInput(const uint8_t* data, size_t size, MemoryIncludes* includes) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  size_t at = 0;
  for (int k = 0; k < 4 && at <= input.size(); ++k) {
    size_t cut = input.find("\n@@\n", at);
    if (k == 3 || cut == std::string::npos) cut = input.size();
    includes->files[kFileNames[k]] = input.substr(at, cut - at);
    at = cut + 4;
  }
}

}  // namespace zeFuzz

// Translates one input; the number of stages that translated.
inline int zeHlslIncludeFuzzOne(const uint8_t* data, size_t size) {
  const char* const* names = zeFuzz::kFileNames;
  zeFuzz::MemoryIncludes includes;
  zeFuzz::splitInput(data, size, &includes);
  int translated = 0;
  for (uint32_t stage : {ZE_STAGE_PIXEL, ZE_STAGE_VERTEX}) {
    SZeTranslateRequest request;
    request.stage = stage;
    request.sourcePath = names[0];
    request.source = includes.files[names[0]];
    request.entry = stage == ZE_STAGE_PIXEL ? "ps_main" : "vs_main";
    request.includes = &includes;
    SZeCompiledProgram program;
    std::string errors;
    translated += zeTranslateHlslInProcess(request, &program, &errors) ? 1 : 0;
  }
  return translated;
}
