// How zarn-hlslc reads its files: through the file layer, which takes regular
// files of bounded size only (not /dev/zero, a FIFO or a directory) and says
// so; includes are looked for beside the including file, then in the -I
// folders.
#pragma once

#include <string>
#include <vector>

#include "base/zeFile.h"
#include "effect/zeHlslTranslator.h"

inline bool zeHlslcReadFile(const std::string& path, std::string* out) { return zeFileReadAll(path.c_str(), out); }

class CZeHlslcIncludes : public IZeShaderIncludeSource {
 public:
  std::vector<std::string> folders;
  bool openInclude(const std::string& name, const std::string& includer, std::string* opened,
                   std::string* bytes) override {
    const size_t slash = includer.find_last_of("/\\");
    std::vector<std::string> tries{(slash == std::string::npos ? "." : includer.substr(0, slash)) + "/" + name};
    for (const std::string& f : folders) tries.push_back(f + "/" + name);
    for (const std::string& t : tries)
      if (zeHlslcReadFile(t, bytes)) {
        *opened = t;
        return true;
      }
    return false;
  }
};
