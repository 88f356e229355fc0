// Direct3D 9 pixel centres on OpenGL. Translated vertex shaders move their
// output position by half a pixel of the target drawn into (see
// ZE_HALF_PIXEL_UNIFORM); this layer knows that size. Every viewport the
// engine sets goes through zeGLSetViewport, so the size follows render
// targets, the frame and cube faces alike.
#pragma once

// glViewport, and the half-pixel size of the new viewport.
void zeGLSetViewport(int x, int y, int width, int height);
// Only records a viewport somebody else set (a guard putting one back).
void zeGLNoteViewport(int width, int height);

// The clip-space move of the current target: (1/width, -1/height) times the
// scale below, the vertical part one sub-pixel step (1/256 pixel) short so
// edges on pixel centres follow Direct3D 9's top-left rule. Clip +1 is the
// top row (upper-left clip origin), so "down" is -y.
void zeGLHalfPixel(float* x, float* y);
// Changes whenever the move changes, so programs upload it only then.
unsigned zeGLHalfPixelGeneration();

// For tests that prove the rule matters: scales the move per axis (1, 1 is
// the rule; 0, 0 turns it off; -1 flips a sign).
void zeGLSetHalfPixelScale(float x, float y);

// One program's copy of the move: finds the uniform after a link and uploads
// the move before a draw when it changed. The program must be current.
class CZeGLHalfPixelUniform {
 public:
  void bind(unsigned program);
  void update();

 private:
  int location_ = -1;
  unsigned generation_ = 0;  // 0: never uploaded
};
