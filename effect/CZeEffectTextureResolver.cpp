#include "effect/IZeEffectTextureResolver.h"

#include "base/zeFile.h"
#include "effect/CZeEffectDef.h"
#include "effect/IZeTextureManager.h"

EZeTextureAnswer CZeEffectTextureResolver::resolve(int type, const std::string& semantic, const std::string& source,
                                                   const std::string& effectDirectory,
                                                   const std::vector<std::string>& searchPaths,
                                                   irr::video::ITexture** texture) {
  *texture = nullptr;
  if (!textures_) return ZE_TEXTURE_ANSWER_NONE;
  if (!semantic.empty()) {
    *texture = textures_->getNamedTexture(semantic.c_str());
    return *texture ? ZE_TEXTURE_ANSWER_FOUND : ZE_TEXTURE_ANSWER_NONE;
  }
  std::string name = source;
  size_t scheme = name.find("file://");
  if (scheme != std::string::npos) name = name.substr(scheme + 7);
  if (name.empty()) return ZE_TEXTURE_ANSWER_NONE;
  if (type == ZE_FX_SAMPLERRECT || type == ZE_FX_SAMPLERDEPTH) return ZE_TEXTURE_ANSWER_NONE;
  std::string found;
  if (zeFileExists(name.c_str())) found = name;
  else if (zeFileExists((effectDirectory + "/" + name).c_str())) found = effectDirectory + "/" + name;
  else
    for (const std::string& dir : searchPaths)
      if (zeFileExists((dir + "/" + name).c_str())) {
        found = dir + "/" + name;
        break;
      }
  if (found.empty()) return ZE_TEXTURE_ANSWER_MISSING;
  switch (textures_->loadTexture(found.c_str(), type, texture)) {
    case ZE_TEXTURE_LOADED: return ZE_TEXTURE_ANSWER_FOUND;
    case ZE_TEXTURE_NOT_BUILT: return ZE_TEXTURE_ANSWER_NONE;
    default: return ZE_TEXTURE_ANSWER_MISSING;
  }
}
