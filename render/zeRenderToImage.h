// Rendering a frame into a renderable image: the frame body Sync runs (the
// current renderer, the GUI, the 2D queue) lands in the image.
#pragma once

// 0 or -1. The frame stays open; the next Sync ends it.
int zeRenderToImage(int id, int clear);
