#include "render/gl/ZeGLPixelCentre.h"

#include "effect/zeHlslTranslator.h"
#include "render/gl/zeGLInternal.h"

namespace {

int gWidth = 0, gHeight = 0;
float gScaleX = 1.0f, gScaleY = 1.0f;
unsigned gGeneration = 1;

}  // namespace

void zeGLNoteViewport(int width, int height) {
  if (width == gWidth && height == gHeight) return;
  gWidth = width;
  gHeight = height;
  ++gGeneration;
}

void zeGLSetViewport(int x, int y, int width, int height) {
  glViewport(x, y, width, height);
  zeGLNoteViewport(width, height);
}

// One step of the rasteriser's sub-pixel grid (8 bits), in pixels.
constexpr float kSubPixel = 1.0f / 256.0f;

void zeGLHalfPixel(float* x, float* y) {
  // A clip-space unit spans half the target, so half a pixel is 1/size.
  // Vertically the move stops one sub-pixel step short: an edge that lies on
  // a row of pixel centres then falls where Direct3D 9's top-left rule puts
  // it (a top edge takes the row, a bottom edge does not), which OpenGL's
  // tie rule under the upper-left origin would turn round (measured).
  // Horizontally both rules already agree.
  *x = gWidth > 0 ? gScaleX / float(gWidth) : 0.0f;
  *y = gHeight > 0 ? -gScaleY * (1.0f - 2.0f * kSubPixel) / float(gHeight) : 0.0f;
}

unsigned zeGLHalfPixelGeneration() { return gGeneration; }

void zeGLSetHalfPixelScale(float x, float y) {
  gScaleX = x;
  gScaleY = y;
  ++gGeneration;
}

void CZeGLHalfPixelUniform::bind(unsigned program) {
  location_ = glGetUniformLocation(program, ZE_HALF_PIXEL_UNIFORM);
  generation_ = 0;
}

void CZeGLHalfPixelUniform::update() {
  if (location_ < 0 || generation_ == gGeneration) return;
  float x = 0.0f, y = 0.0f;
  zeGLHalfPixel(&x, &y);
  glUniform2f(location_, x, y);
  generation_ = gGeneration;
}
