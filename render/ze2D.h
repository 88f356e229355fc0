// The engine's 2D layer: images by identifier, the per-frame 2D queue, text
// and fonts, faders, rendering into images, and its wiring into engine start
// and the frame. The script commands of the same names call these.
#pragma once

#include "render/ze2DQueue.h"
#include "render/zeFader.h"
#include "render/zeImages.h"
#include "render/zeRenderToImage.h"
#include "render/zeText.h"

// Engine stop: frees every image record, the queue, the fader and the fonts
// (they belong to the GUI environment that goes away); the colours and
// alphas persist.
void ze2DShutdown();
// Puts the image loaders (their manager slot, whose release shuts the 2D
// layer down) and the 2D queue into engine start and Sync.
void zeInstallImagesAnd2D();
