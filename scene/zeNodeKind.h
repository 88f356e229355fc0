// Object kinds, told apart by the node's type identifier.
#pragma once

#include <irrlicht.h>

enum ZeObjectKind {
  ZE_KIND_UNSUPPORTED = 0,
  ZE_KIND_STATIC,    // "mesh": Irrlicht mesh scene node
  ZE_KIND_ANIMATED,  // "amsh": Irrlicht animated mesh scene node
  ZE_KIND_MORPH,     // "morp": morph mesh node
  ZE_KIND_MDD,       // "mddm": point-cache mesh node
};

constexpr irr::u32 ZE_NODE_TYPE_MORPH = MAKE_IRR_ID('m', 'o', 'r', 'p');
constexpr irr::u32 ZE_NODE_TYPE_MDD = MAKE_IRR_ID('m', 'd', 'd', 'm');

ZeObjectKind zeObjectKind(const irr::scene::ISceneNode* node);
// The mesh an object draws (for an animated mesh, its animated mesh), or nullptr.
irr::scene::IMesh* zeObjectMesh(irr::scene::ISceneNode* node);

// The engine's frame count of a mesh: 0 for a mesh that does not animate,
// whatever Irrlicht reports (its static meshes count one frame).
irr::u32 zeMeshFrameCount(irr::scene::IAnimatedMesh* mesh);
