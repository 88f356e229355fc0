// The aligned screen quad of the full-screen passes: clip space shifted left
// and up by half a pixel of a W x H target, texture coordinates 0 to 1 from
// the top left. With Direct3D 9 pixel centres (see render/gl/ZeGLPixelCentre.h)
// every pixel then samples the centre of its own texel.
#pragma once

#include <irrlicht.h>

class CZeScreenQuadAligned {
 public:
  explicit CZeScreenQuadAligned(int width = 1, int height = 1) { setTargetSize(width, height); }
  void setTargetSize(int width, int height);

  // Draws with an identity world transform and depth test "always".
  void draw(irr::video::IVideoDriver* driver);

  irr::video::SMaterial& material() { return material_; }
  const irr::video::S3DVertex* vertices() const { return vertices_; }
  static const irr::u16 kIndices[6];

 private:
  irr::video::S3DVertex vertices_[4];
  irr::video::SMaterial material_;
};
