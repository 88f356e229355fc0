// The engine's own draw of buffers that carry an effect: the pass's material
// is applied, the draw context (node, extension, buffer, material) named in
// the effect callback, and the buffer drawn once per pass. Irrlicht's scene
// manager knows nothing of effects, so buffers with one go through here.
#pragma once

#include <irrlicht.h>

class CZeEffect;
class CZeEffectCallback;
class IZeSceneNodeExt;

// Draws one buffer with `effect`, technique `technique`, every pass in order.
// `material` is the buffer's node material; the world transform is the node's
// when a node is given. False when the technique has no pass.
bool zeGLDrawBufferWithEffect(irr::video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                              int technique, irr::scene::ISceneNode* node, IZeSceneNodeExt* nodeExt,
                              irr::scene::IMeshBuffer* buffer, const irr::video::SMaterial& material,
                              int materialIndex);

// Draws one pass of `effect` over `buffer` with the world transform as it is
// (no node), for screen quads: no depth test or write unless the pass sets
// depth states. False when the effect has no such pass.
bool zeGLDrawBufferWithEffectPass(irr::video::IVideoDriver* driver, CZeEffectCallback* callback, CZeEffect* effect,
                                  int technique, int pass, irr::scene::IMeshBuffer* buffer,
                                  const irr::video::SMaterial& material);

// Draws every buffer of `mesh`: rows whose effect is a built effect draw with
// its default technique (0) pass by pass, the others as Irrlicht would.
void zeGLDrawMeshWithEffects(irr::video::IVideoDriver* driver, CZeEffectCallback* callback,
                             irr::scene::ISceneNode* node, IZeSceneNodeExt* nodeExt, irr::scene::IMesh* mesh);

// The scene graph of one frame: Irrlicht's scene manager draws everything
// but the buffers whose row carries a built effect (their materials write
// nothing while it runs: it knows no draw context), then the visible, unculled
// nodes with such rows are drawn through zeGLDrawMeshWithEffects.
void zeGLDrawSceneWithEffects(irr::scene::ISceneManager* scene, irr::video::IVideoDriver* driver,
                              CZeEffectCallback* callback);
