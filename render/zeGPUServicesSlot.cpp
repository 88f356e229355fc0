#include "render/zeGPUServicesSlot.h"

#include <memory>
#include <string>
#include <vector>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "app/zeFrame.h"
#include "base/zeMessage.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "render/gl/ZeGLShaderBackend.h"

namespace {

// The backend lives beside the services and goes with them.
struct ServicesWithBackend {
  std::unique_ptr<CZeGLShaderBackend> backend;
  std::unique_ptr<CZeGPUProgrammingServices> services;
};
ServicesWithBackend* current = nullptr;

bool createServices(CZeManager& manager) {
  ZeEngineContext& context = zeEngineContext();
  auto* built = new ServicesWithBackend;
  if (context.openGL) built->backend = std::make_unique<CZeGLShaderBackend>(context.driver);
  built->services = std::make_unique<CZeGPUProgrammingServices>(built->backend.get());
  built->services->setCache(zeShaderCacheDirectory(zeGetBaseDirectory()).c_str(),
                            zeShaderCacheDefaultFlags(zeIsPackaged()));
  current = built;
  manager.setGPUProgrammingServices(built->services.get());
  return true;
}

void destroyServices(CZeManager& manager) {
  manager.setGPUProgrammingServices(nullptr);
  delete current;
  current = nullptr;
}

void recompileShaders(int count, const char* const* paths) {
  if (!current) return;
  const std::vector<std::string> changed(paths, paths + count);
  std::vector<int> changedTypes;
  std::string error;
  if (!current->services->recompile(changed, &changedTypes, &error) && !error.empty())
    zeMessage(ZE_ERROR, "%s", error.c_str());
}

}  // namespace

void zeInstallGPUProgrammingServicesSlot() {
  zeSetManagerSlot(ZeManagerSlot::GPUProgrammingServices, {createServices, destroyServices});
  ZeFrameHooks hooks = zeGetFrameHooks();
  hooks.recompileShaders = recompileShaders;
  zeSetFrameHooks(hooks);
}
