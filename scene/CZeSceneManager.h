#pragma once

#include <irrlicht.h>

#include <string>

#include "scene/IZeSceneManager.h"

class CZeMeshLoaders;
class IZeMorphMesh;

// The name under which Irrlicht's mesh cache keeps the mesh of an object
// file; its loader also looks for textures beside it.
std::string zeObjectMeshName(const char* file);

// What a loaded mesh becomes.
enum ZeNodeChoice {
  ZE_CHOOSE_STATIC,    // no frames: a static mesh node
  ZE_CHOOSE_ANIMATED,  // frames, or a skeletal .psk/.psa file: an animated mesh node
  ZE_CHOOSE_SKINNED,   // a skinned mesh with frames: a morph mesh node
};
ZeNodeChoice zeChooseNodeKind(const char* file, irr::scene::IAnimatedMesh* mesh);

class CZeSceneManager final : public IZeSceneManager {
 public:
  explicit CZeSceneManager(irr::IrrlichtDevice* device);
  ~CZeSceneManager() override;

  irr::scene::ISceneNode* addObjectNode(const char* file, irr::scene::ISceneNode* parent = nullptr,
                                        irr::s32 id = -1) override;
  // A point-cache node: the object's mesh moved by `cacheFile`, with the
  // .zpnts file beside the object; nullptr after device-log errors.
  irr::scene::ISceneNode* addMDDNode(const char* file, const char* cacheFile,
                                     irr::scene::ISceneNode* parent = nullptr, irr::s32 id = -1);
  irr::scene::ISceneNode* cloneNode(irr::scene::ISceneNode* source) override;
  // The morph map of the object in `file` (its .zmorph file, else its target
  // meshes name.morph1.ext ...), skinned when the object's mesh is skinned
  // with frames; nullptr after device-log errors or when there is none. One
  // reference for the caller.
  IZeMorphMesh* loadMorphMap(const char* file);
  IZeSceneNodeExt* getNodeExt(irr::scene::ISceneNode* node) override;
  IZeLightSceneNodeExt* getLightNodeExt(irr::scene::ILightSceneNode* node) override;
  void setTimeMs(irr::u32 timeMs) override { timeMs_ = timeMs; }
  irr::u32 getTimeMs() const override { return timeMs_; }

  // The mesh of `file` from Irrlicht's mesh cache, read through the engine's
  // file hooks on first use (so archives and loosely spelled names work).
  irr::scene::IAnimatedMesh* getMesh(const char* file);

 private:
  // A morph node at `parent` (the root when none) that takes over `map`'s
  // reference; nullptr when map is.
  irr::scene::ISceneNode* addMorphNode(IZeMorphMesh* map, irr::scene::ISceneNode* parent, irr::s32 id);

  irr::IrrlichtDevice* device_;
  irr::scene::ISceneManager* sceneManager_;
  CZeMeshLoaders* loaders_;  // the engine's .x, .obj and .lwo loaders, asked directly
  irr::u32 timeMs_ = 0;
};
