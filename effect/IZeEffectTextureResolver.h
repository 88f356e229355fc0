// Finds the texture of a sampler parameter while an effect is built: by
// semantic (named engine textures) or by the file its sampler names.
#pragma once

#include <irrlicht.h>

#include <string>
#include <vector>

class IZeTextureManager;

enum EZeTextureAnswer {
  ZE_TEXTURE_ANSWER_NONE = 0,     // no texture, not an error
  ZE_TEXTURE_ANSWER_FOUND = 1,
  ZE_TEXTURE_ANSWER_MISSING = 2,  // the named texture cannot be had: building fails
};

class IZeEffectTextureResolver : public virtual irr::IReferenceCounted {
 public:
  virtual EZeTextureAnswer resolve(int type, const std::string& semantic, const std::string& source,
                                   const std::string& effectDirectory, const std::vector<std::string>& searchPaths,
                                   irr::video::ITexture** texture) = 0;
};

// The built-in resolver over the texture manager.
class CZeEffectTextureResolver : public IZeEffectTextureResolver {
 public:
  explicit CZeEffectTextureResolver(IZeTextureManager* textures) : textures_(textures) {}
  EZeTextureAnswer resolve(int type, const std::string& semantic, const std::string& source,
                           const std::string& effectDirectory, const std::vector<std::string>& searchPaths,
                           irr::video::ITexture** texture) override;

 private:
  IZeTextureManager* textures_;
};
