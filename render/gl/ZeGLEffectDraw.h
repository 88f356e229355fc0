// The engine's own draw of buffers that carry an effect: the pass's material
// is applied, the draw context (node, extension, buffer, material) named in
// the effect callback, and the buffer drawn once per pass. Irrlicht's scene
// manager knows nothing of effects, so buffers with one go through here:
// the node drawer (ZeGLDrawList) for the frame's items, the 2D layer for
// boxes and images drawn with an effect.
#pragma once

#include <irrlicht.h>

class CZeEffect;
class CZeEffectCallback;
class IZeSceneNodeExt;

// Draws one buffer with `effect`, technique `technique`, every pass in order.
// `material` is the buffer's node material; the world transform is the node's
// when a node is given. `flipWinding` swaps the culled faces after each
// pass's states (a mirrored view). False when the technique has no pass.
bool zeGLDrawBufferWithEffect(irr::video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                              int technique, irr::scene::ISceneNode* node, IZeSceneNodeExt* nodeExt,
                              irr::scene::IMeshBuffer* buffer, const irr::video::SMaterial& material,
                              int materialIndex, bool flipWinding = false);

// Draws one pass of `effect` over `buffer` with the world transform as it is
// (no node), for screen quads: no depth test or write unless the pass sets
// depth states. False when the effect has no such pass.
bool zeGLDrawBufferWithEffectPass(irr::video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                                  int technique, int pass, irr::scene::IMeshBuffer* buffer,
                                  const irr::video::SMaterial& material);

// A mirrored view: the faces a material culls swap.
inline void zeFlipWinding(irr::video::SMaterial& material) {
  const bool back = material.BackfaceCulling;
  material.BackfaceCulling = material.FrontfaceCulling;
  material.FrontfaceCulling = back;
}
