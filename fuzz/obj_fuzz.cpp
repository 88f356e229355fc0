// Feeds arbitrary bytes to the engine's Wavefront .obj loader. Build with
// -DZARN_BUILD_FUZZ=ON (clang); the corpus lives in tests/mesh/corpus-obj and
// is replayed by the mesh tests.
#include <irrlicht.h>

#include <cstddef>
#include <cstdint>

#include "mesh/CZeObjMeshFileLoader.h"
#include "mesh/zeDeviceLog.h"

namespace {

class CSilentLogger : public irr::ILogger {
 public:
  irr::ELOG_LEVEL getLogLevel() const override { return irr::ELL_NONE; }
  void setLogLevel(irr::ELOG_LEVEL) override {}
  void log(const irr::c8*, irr::ELOG_LEVEL) override {}
  void log(const irr::c8*, const irr::c8*, irr::ELOG_LEVEL) override {}
  void log(const irr::c8*, const wchar_t*, irr::ELOG_LEVEL) override {}
  void log(const wchar_t*, const wchar_t*, irr::ELOG_LEVEL) override {}
  void log(const wchar_t*, irr::ELOG_LEVEL) override {}
};

CZeObjMeshFileLoader* loader() {
  static CZeObjMeshFileLoader* instance = [] {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    device->getLogger()->setLogLevel(irr::ELL_NONE);
    zeSetDeviceLogger(new CSilentLogger());
    return new CZeObjMeshFileLoader(device->getSceneManager());
  }();
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  irr::scene::IAnimatedMesh* mesh =
      loader()->createMeshFromMemory(reinterpret_cast<const char*>(data), size, "/nonexistent/fuzz.obj");
  if (mesh) {
    // Touch what a caller would: every buffer's vertices through its indices.
    irr::u32 sum = 0;
    for (irr::u32 b = 0; b < mesh->getMeshBufferCount(); ++b) {
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
    mesh->drop();
  }
  return 0;
}
