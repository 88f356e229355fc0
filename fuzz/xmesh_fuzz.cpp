// Feeds arbitrary bytes to the .x loader. Build with -DZARN_BUILD_FUZZ=ON (clang);
// the corpus lives in tests/mesh/corpus and is replayed by the mesh tests.
#include <irrlicht.h>

#include <cstddef>
#include <cstdint>

#include "mesh/CZeXMeshFileLoader.h"
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

CZeXMeshFileLoader* loader() {
  static CZeXMeshFileLoader* instance = [] {
    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL);
    device->getLogger()->setLogLevel(irr::ELL_NONE);
    zeSetDeviceLogger(new CSilentLogger());
    return new CZeXMeshFileLoader(device->getSceneManager());
  }();
  return instance;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  irr::scene::IAnimatedMesh* mesh =
      loader()->createMeshFromMemory(reinterpret_cast<const char*>(data), size, "/nonexistent/fuzz.x");
  if (mesh) {
    // Touch what a caller would: every frame's buffers.
    mesh->getMesh(0);
    mesh->drop();
  }
  return 0;
}
