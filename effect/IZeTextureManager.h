// What effects ask of the texture manager: textures named by semantic (render
// targets and engine textures) and textures loaded from files by parameter
// type. The full manager (cube and volume textures, named engine textures)
// comes with the texture work; until then CZeIrrTextureManager answers.
#pragma once

#include <irrlicht.h>

enum EZeTextureLoad {
  ZE_TEXTURE_LOADED = 0,
  ZE_TEXTURE_NOT_BUILT = 1,  // a kind this build cannot make yet: no texture, no failure
  ZE_TEXTURE_FAILED = 2,
};

class IZeTextureManager {
 public:
  virtual ~IZeTextureManager() = default;
  // A named engine texture or render target, or nullptr.
  virtual irr::video::ITexture* getNamedTexture(const char* name) = 0;
  // Loads an existing file for a sampler type of the definition model.
  virtual EZeTextureLoad loadTexture(const char* file, int samplerType, irr::video::ITexture** texture) = 0;
};

// 2D images through Irrlicht's driver; named textures, cube and volume textures
// answer "none" and say once that they are not built yet.
class CZeIrrTextureManager : public IZeTextureManager {
 public:
  explicit CZeIrrTextureManager(irr::video::IVideoDriver* driver) : driver_(driver) {}
  irr::video::ITexture* getNamedTexture(const char* name) override;
  EZeTextureLoad loadTexture(const char* file, int samplerType, irr::video::ITexture** texture) override;

 private:
  irr::video::IVideoDriver* driver_;
};
