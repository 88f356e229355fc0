// The engine's 2D drawing of its own textures (images the GL registry holds:
// half-float and 16-bit images, renderable images) and the built-in loading
// shader. Irrlicht's own textures, lines, boxes and text go through the
// driver; these draws land in the same pixel space: (0, 0) is the top-left
// pixel of the current draw target.
#pragma once

#include <string>

#include "base/ZeHandlePool.h"

class CZeGLTexture;
class CZeImage;

// A registry texture with the image's pixels (formats 3, 4, 5, 13; the first
// slice of a volume). The empty handle when the name is taken or the texture
// cannot be made.
ZeTextureHandle zeGLUploadImage(const std::string& name, const CZeImage& image);

// Draws the texture over (x, y)-(x + width, y + height) in pixels of the
// current target, multiplied by colour (0xAARRGGBB). Blends when useAlpha
// (texture alpha times colour alpha) or when the colour's alpha is below 255,
// as the driver's own 2D images do.
bool zeGLDrawImage2D(const CZeGLTexture& texture, int x, int y, int width, int height, unsigned colour,
                     bool useAlpha);

// Filled rectangles in one draw: (x1, y1)-(x2, y2) in pixels of the current
// target, colour 0xAARRGGBB, blended by its alpha. Rectangles with x2 < x1 or
// y2 < y1 are skipped, as the driver's own 2D rectangles are.
struct SZeGLBox {
  int x1, y1, x2, y2;
  unsigned colour;
};
bool zeGLDrawBoxes(const SZeGLBox* boxes, int count);

// The built-in loading screen over the whole target: progress 0..1.29,
// resolution in pixels, `image` (or none) bound to unit 0.
bool zeGLDrawLoadingShader(float width, float height, float progress, const CZeGLTexture* image);

// Releases the programs (the device is going away).
void zeGLRelease2D();
