// One input of the HLSL pre-pass fuzzer, shared with the test that replays
// its corpus. The input has the include fuzzer's layout (hlslIncludeFuzzOne.h:
// a main file and up to three includes, cut at "\n@@\n"). Each file goes
// through the pre-pass as the translator's include bridge hands it on; the
// main file's entries are bound (uniform parameters, from the techniques and
// from a named list) and resolved (shader objects, array elements, passes).
// It must end, stay in bounds, keep every line of every file where it was,
// and write wrappers whose only directive lines are conditions.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "effect/zeHlslPrepass.h"
#include "effect/zeHlslTranslator.h"
#include "fuzz/hlslIncludeFuzzOne.h"

// False when an invariant breaks.
inline bool zeHlslPrepassFuzzOne(const uint8_t* data, size_t size) {
  zeFuzz::MemoryIncludes files;
  zeFuzz::splitInput(data, size, &files);
  for (const auto& file : files.files) {
    SZeHlslPrepassInfo info;
    const std::string out = zeHlslPrepass(file.second, &info);
    // Lines are kept, so messages name the written lines.
    if (std::count(out.begin(), out.end(), '\n') != std::count(file.second.begin(), file.second.end(), '\n'))
      return false;
    // The helpers the rewritten code calls are written for whatever it asked.
    zeHlslHelperPreamble(info);
  }
  const std::string& main = files.files[zeFuzz::kFileNames[0]];
  for (const char* entry : {"VS", "VS(1, true)", "vs_main", "ps_main"}) {
    std::string wrapper, name, error;
    if (!zeHlslBindUniformEntry(main, entry, &wrapper, &name, &error)) continue;
    // The wrapper follows the whole file: an include or a definition in it
    // would be read a second time. Its only directives are conditions.
    for (size_t line = 0; line < wrapper.size(); line = wrapper.find('\n', line) + 1) {
      size_t q = line;
      while (q < wrapper.size() && (wrapper[q] == ' ' || wrapper[q] == '\t')) ++q;
      if (q < wrapper.size() && wrapper[q] == '#') {
        ++q;
        while (q < wrapper.size() && (wrapper[q] == ' ' || wrapper[q] == '\t')) ++q;
        if (wrapper.compare(q, 2, "if") != 0 && wrapper.compare(q, 4, "elif") != 0 && wrapper.compare(q, 4, "else") != 0 &&
            wrapper.compare(q, 5, "endif") != 0)
          return false;
      }
      if (wrapper.find('\n', line) == std::string::npos) break;
    }
  }
  const std::vector<SZeShaderMacro> macros = {{"I", "1"}};
  for (const char* entry : {"PS", "VS[I]", "VS[Index]", "T.P", "T.P0"}) {
    std::string resolved, error;
    zeHlslResolveShaderEntry(main, entry, entry[0] == 'V', macros, &resolved, &error);
  }
  return true;
}
