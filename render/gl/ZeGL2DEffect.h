// 2D draws through an effect: the effect gets the rectangle and colour (and
// the image) and places the rectangle itself on the shared screen quad.
#pragma once

class CZeEffect;
class CZeEffectCallback;
class ZeImageTexture;

// Applies technique 0, pass 0 of `effect` to the shared screen quad and draws
// it with an identity world transform. "Rectangle" = (x, y, width, height) in
// pixels, "Color" = the colour's bytes (0xAARRGGBB) / 255 and, with an image,
// "Image" = its texture. False when the effect has no pass 0 or nothing draws.
bool zeGLDraw2DWithEffect(CZeEffect* effect, CZeEffectCallback* callback, const float rectangle[4], unsigned colour,
                          const ZeImageTexture* image);
