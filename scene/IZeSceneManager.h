// The engine scene manager: turns object files into the right kind of node and
// gives nodes their extensions. Owned by the engine manager (its scene-manager
// slot); the point-cache, point-cloud, particle, morph, cube-map and probe
// operations join it with their own layers.
#pragma once

#include <irrlicht.h>

class IZeSceneNodeExt;
class IZeLightSceneNodeExt;

class IZeSceneManager {
 public:
  virtual ~IZeSceneManager() = default;
  // A node for the object in `file` under `parent` (nullptr: the scene root),
  // owned by the scene graph; nullptr when the mesh cannot be loaded.
  virtual irr::scene::ISceneNode* addObjectNode(const char* file, irr::scene::ISceneNode* parent = nullptr,
                                                irr::s32 id = -1) = 0;
  // A clone of `source` in the same parent, its extension updated; nullptr
  // when the clone cannot be made or updated.
  virtual irr::scene::ISceneNode* cloneNode(irr::scene::ISceneNode* source) = 0;
  // The node's extension, made (one row per material) when it has none.
  virtual IZeSceneNodeExt* getNodeExt(irr::scene::ISceneNode* node) = 0;
  virtual IZeLightSceneNodeExt* getLightNodeExt(irr::scene::ILightSceneNode* node) = 0;
  virtual void setTimeMs(irr::u32 timeMs) = 0;
  virtual irr::u32 getTimeMs() const = 0;
};
