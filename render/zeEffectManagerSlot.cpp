#include "render/zeEffectManagerSlot.h"

#include <memory>

#include "app/CZeManager.h"
#include "app/zeEngine.h"
#include "app/zeFrame.h"
#include "effect/CZeEffectManager.h"
#include "effect/CZeGPUProgrammingServices.h"
#include "effect/CZeResourceManager.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/zeEffectCommands.h"
#include "effect/IZeTextureManager.h"
#include "effect/CZeEffectCallback.h"
#include "particles/zeFxEmitter.h"
#include "render/ze2D.h"
#include "scene/CZeSceneNodeExt.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeObject.h"
#include "scene/zeObjectSurface.h"

namespace {

// What the effect commands reach of the engine's other tables.
class EngineSeams : public IZeEffectCommandSeams {
 public:
  bool imageTexture(int id, irr::video::ITexture** texture) override {
    if (!zeImageExist(id)) return false;
    *texture = zeGetImageTexture(id).driverTexture();
    if (!*texture) {
      // Renderable and high-precision images live beside Irrlicht's textures.
      zeMessage(ZE_ERROR, "Image %d is a render-target or high-precision image: effects cannot take it as a texture yet",
                id);
      return false;
    }
    return true;
  }
  int objectSurfaceParameters(int object, int surface, SZeEffectCompileParameters* out) override {
    irr::scene::ISceneNode* node = zeObjectNode(object);
    if (!node) return 1;
    IZeSceneNodeExt* ext = zeFindNodeExt(node);
    if (!ext) return 2;
    IZeSurface* s = surface >= 0 ? ext->getSurface(irr::u32(surface)) : nullptr;
    if (!s) return 3;
    SZeSurfaceMacro macros[ZE_SURFACE_MACRO_CAPACITY];
    int count = 0;
    const SZeSurfaceNodeFacts facts = zeSurfaceNodeFacts(node, irr::u32(surface));
    if (!s->getEffectCompileParameters(&facts, macros, ZE_SURFACE_MACRO_CAPACITY, &count, &out->baseMaterial))
      return 4;
    for (int i = 0; i < count; ++i) out->macros.push_back(SZeShaderMacro{macros[i].name, macros[i].definition});
    return 0;
  }
  bool rendererMacros(SZeEffectCompileParameters*) override { return true; }  // no renderer manager adds any
  int emitterParameters(int emitter, SZeEffectCompileParameters* out) override {
    return zeFxEmitterCompileParameters(emitter, out);
  }
  irr::video::ITexture* namedTexture(const char* name) override;
  std::string findShaderFile(const char* name) override {
    const char* found = zeFindKnownFile(name);
    return found ? found : "";
  }
};

// What the manager is built over lives beside it and goes with it.
struct ManagerWithParts {
  std::unique_ptr<CZeIrrTextureManager> textures;
  CZeTechniqueLookup techniques;
  std::unique_ptr<CZeEffectManager> manager;
  std::unique_ptr<CZeResourceManager> resources;
  EngineSeams seams;
};
ManagerWithParts* current = nullptr;

irr::video::ITexture* EngineSeams::namedTexture(const char* name) {
  return current && current->textures ? current->textures->getNamedTexture(name) : nullptr;
}

bool createManager(CZeManager& manager) {
  ZeEngineContext& context = zeEngineContext();
  auto* built = new ManagerWithParts;
  built->textures = std::make_unique<CZeIrrTextureManager>(context.driver);
  built->manager = std::make_unique<CZeEffectManager>(
      manager.getGPUProgrammingServices(), built->textures.get(),
      &built->techniques, context.device ? context.device->getFileSystem() : nullptr, context.openGL);
  SZeEffectBindEnv& env = built->manager->bindEnvironment();
  env.driver = context.driver;
  env.scene = context.sceneManager;
  env.timer = context.device ? context.device->getTimer() : nullptr;
  env.frame = 1;  // the scene lists are read once per frame
  current = built;
  manager.setEffectManager(built->manager.get());
  return true;
}

void destroyManager(CZeManager& manager) {
  // The effect table's effects go before the manager whose families they use.
  ZeEngineContext& context = zeEngineContext();
  if (context.effects) {
    SZeEffectCommandEnv commands;
    commands.table = context.effects.get();
    for (int id = 0; id <= context.effects->highest(); ++id) zeDeleteEffect(commands, id);
  }
  manager.setEffectManager(nullptr);
  delete current;
  current = nullptr;
}

bool createResources(CZeManager& manager) {
  if (!current) return true;
  // No render services yet: the resource manager keeps the standard effects.
  current->resources = std::make_unique<CZeResourceManager>(current->manager.get(), nullptr);
  manager.setResourceManager(current->resources.get());
  return true;
}

void destroyResources(CZeManager& manager) {
  manager.setResourceManager(nullptr);
  if (current) current->resources.reset();
}

// Engine start: the standard effects, each found by the file search.
bool startResources(ZeEngineContext& context, char* reason) {
  CZeResourceManager* resources = current ? current->resources.get() : nullptr;
  if (!resources) return true;
  // The NULL driver compiles no shader: headless runs start without them.
  if (!context.openGL) {
    zeMessage(ZE_INFO, "Standard effects: not made on the NULL driver");
    return true;
  }
  using Init = bool (CZeResourceManager::*)(const char*);
  const struct {
    const char* file;
    Init init;
  } steps[] = {{"cubemaptolatlong.hlsl", &CZeResourceManager::initEffectCubeMapToLatLong},
               {"ReflectionMapFilter.hlsl", &CZeResourceManager::initEffectReflectionMapFilter},
               {"Harmonics.hlsl", &CZeResourceManager::initEffectSphericalHarmonicsProbes}};
  for (const auto& step : steps) {
    const char* found = zeFindKnownFile(step.file);
    if (!found || !*found || !(resources->*step.init)(found)) {
      zeFormatText(reason, "fails to init %s", step.file);
      return false;
    }
  }
  return true;
}

void (*previousFrameCompleted)() = nullptr;

// A new frame stamp after each frame (0 is skipped: it means "no stamp").
void frameCompleted() {
  if (previousFrameCompleted) previousFrameCompleted();
  if (!current) return;
  SZeEffectBindEnv& env = current->manager->bindEnvironment();
  if (++env.frame == 0) env.frame = 1;
  // The mouse as the last event left it, for the next frame's "Mouse".
  ZeEngineContext& context = zeEngineContext();
  if (const SZeEventReceiver* input = context.manager ? context.manager->getInputRecord() : nullptr) {
    env.mouseX = float(input->mouseX);
    env.mouseY = float(input->mouseY);
    env.mouseButton1 = (input->mouseButtons & irr::EMBSM_LEFT) != 0;
    env.mouseButton2 = (input->mouseButtons & irr::EMBSM_RIGHT) != 0;
  }
}

}  // namespace

void zeInstallEffectManagerSlot() {
  ZeFrameHooks hooks = zeGetFrameHooks();
  if (hooks.frameCompleted != frameCompleted) {
    previousFrameCompleted = hooks.frameCompleted;
    hooks.frameCompleted = frameCompleted;
    zeSetFrameHooks(hooks);
  }
  zeSetManagerSlot(ZeManagerSlot::EffectManager, {createManager, destroyManager});
  zeSetManagerSlot(ZeManagerSlot::ResourceManager, {createResources, destroyResources});
  zeSetEngineStep(ZeEngineStep::Resources, {startResources, nullptr});
}

CZeEffectManager* zeEffectManager() { return current ? current->manager.get() : nullptr; }

SZeEffectCommandEnv zeEngineEffectCommands() {
  SZeEffectCommandEnv commands;
  commands.table = zeEngineContext().effects.get();
  commands.manager = zeEffectManager();
  commands.textures = current ? current->textures.get() : nullptr;
  commands.seams = current ? &current->seams : nullptr;
  return commands;
}
