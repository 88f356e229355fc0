// Draws an engine texture as a rectangle into the current draw target, with
// the engine's texture convention: v = 0 is the top row of the image.
#pragma once

class CZeGLTexture;

// The rectangle is given in the target's normalised coordinates, (0, 0) top
// left and (1, 1) bottom right. No blending, no depth. false when the GL
// program cannot be built.
bool zeGLDrawTexture(const CZeGLTexture& texture, float left, float top, float right, float bottom);

// Releases the program (the device is going away).
void zeGLReleaseQuad();
