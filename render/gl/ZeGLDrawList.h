// Executing a draw list (render/zeDrawList.h) with the driver: the camera
// pass sets the view, the light pass the driver's dynamic lights, and the
// drawn passes draw each item through the node drawer, in list order.
#pragma once

#include <irrlicht.h>

#include "render/zeDrawList.h"

class CZeEffectCallback;

// Items drawn (cameras and lights set count as one each), or -1 when the
// options name a technique nobody registered (nothing is drawn).
int zeGLExecuteDrawList(irr::video::IVideoDriver* driver, const ZeDrawList& list, const SZeDrawOptions& options);

// The node drawer: one item with the node's world transform (unless
// `setWorld` is false: the previous item's node is the same), the row's
// material with the options applied, and for a row with an effect every pass
// of the technique through the effect draw (technique -1: the row's own).
// The one place the engine draws a node's buffer; false when nothing drew
// (no effect callback for an effect row, no such technique).
bool zeGLDrawItem(irr::video::IVideoDriver* driver, CZeEffectCallback* callback, const SZeDrawItem& item,
                  const SZeDrawOptions& options, int techniqueId, bool setWorld = true);
