#include "render/CZeScreenQuadAligned.h"

using namespace irr;

const u16 CZeScreenQuadAligned::kIndices[6] = {0, 1, 3, 1, 2, 3};

void CZeScreenQuadAligned::setTargetSize(int width, int height) {
  const float dx = 1.0f / float(width > 0 ? width : 1);
  const float dy = 1.0f / float(height > 0 ? height : 1);
  const video::SColor white(255, 255, 255, 255);
  vertices_[0] = video::S3DVertex(-1 - dx, 1 + dy, 0, 0, 0, 1, white, 0, 0);
  vertices_[1] = video::S3DVertex(1 - dx, 1 + dy, 0, 0, 0, 1, white, 1, 0);
  vertices_[2] = video::S3DVertex(1 - dx, -1 + dy, 0, 0, 0, 1, white, 1, 1);
  vertices_[3] = video::S3DVertex(-1 - dx, -1 + dy, 0, 0, 0, 1, white, 0, 1);
}

void CZeScreenQuadAligned::draw(video::IVideoDriver* driver) {
  material_.ZBuffer = video::ECFN_ALWAYS;
  driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
  driver->setMaterial(material_);
  driver->drawIndexedTriangleList(vertices_, 4, kIndices, 2);
}
