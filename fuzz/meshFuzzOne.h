// One fuzz input through one of the engine's mesh loaders: the loader is made
// once over a NULL device with a silent log, the input loaded from memory and,
// when it loads, every buffer's vertices read through its indices, as a caller
// would.
#pragma once

#include <irrlicht.h>

#include <cstddef>
#include <cstdint>

#include "mesh/zeDeviceLog.h"

class CZeSilentFuzzLogger : public irr::ILogger {
 public:
  irr::ELOG_LEVEL getLogLevel() const override { return irr::ELL_NONE; }
  void setLogLevel(irr::ELOG_LEVEL) override {}
  void log(const irr::c8*, irr::ELOG_LEVEL) override {}
  void log(const irr::c8*, const irr::c8*, irr::ELOG_LEVEL) override {}
  void log(const irr::c8*, const wchar_t*, irr::ELOG_LEVEL) override {}
  void log(const wchar_t*, const wchar_t*, irr::ELOG_LEVEL) override {}
  void log(const wchar_t*, irr::ELOG_LEVEL) override {}
};

template <typename Loader>
int zeFuzzMeshInput(const uint8_t* data, size_t size, const char* name) {
  static Loader* loader = [] {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    device->getLogger()->setLogLevel(irr::ELL_NONE);
    zeSetDeviceLogger(new CZeSilentFuzzLogger());
    return new Loader(device->getSceneManager());
  }();
  irr::scene::IAnimatedMesh* animated =
      loader->createMeshFromMemory(reinterpret_cast<const char*>(data), size, name);
  if (!animated) return 0;
  irr::scene::IMesh* mesh = animated->getMesh(0);
  irr::u32 sum = 0;
  for (irr::u32 b = 0; mesh && b < mesh->getMeshBufferCount(); ++b) {
    irr::scene::IMeshBuffer* buffer = mesh->getMeshBuffer(b);
    const irr::video::S3DVertex* vertices = static_cast<const irr::video::S3DVertex*>(buffer->getVertices());
    for (irr::u32 i = 0; i < buffer->getIndexCount(); ++i) {
      const irr::u32 index = buffer->getIndexType() == irr::video::EIT_32BIT
                                 ? reinterpret_cast<const irr::u32*>(buffer->getIndices())[i]
                                 : buffer->getIndices()[i];
      if (index >= buffer->getVertexCount()) __builtin_trap();
      sum += vertices[index].Color.color;
    }
  }
  (void)sum;
  animated->drop();
  return 0;
}
