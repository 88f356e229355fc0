// The engine's surface services. Surfaces bind Irrlicht-loaded textures here;
// this file and CZeEffect::applyRowTextures are where they meet the engine's
// textures.
#include "render/zeSurfaceServices.h"

#include <cstring>
#include <string>
#include <vector>

#include "app/zeEngine.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectDef.h"
#include "effect/CZeEffectManager.h"
#include "effect/IZeTextureManager.h"
#include "render/ze2D.h"
#include "render/zeEffectManagerSlot.h"
#include "scene/zeObjectSurface.h"

using namespace irr;

namespace {

// Handles of effect parameters by (effect, name text), so that handing over
// a scene's effect values every frame looks no name up once warm. A slot is
// checked against the parameter's own name before it is trusted.
class HandleCache {
 public:
  int handle(const CZeEffect* e, const char* name) {
    Slot& slot = slots_[(reinterpret_cast<uintptr_t>(e) / 16 ^ reinterpret_cast<uintptr_t>(name) / 8) % kSlots];
    if (slot.effect == e && slot.name == name && slot.handle >= 0 &&
        e->getDefinition().parameters[size_t(slot.handle)].sid == name)
      return slot.handle;
    slot = Slot{e, name, e->getParameterHandle(name)};
    return slot.handle;
  }

 private:
  static constexpr size_t kSlots = 512;
  struct Slot {
    const CZeEffect* effect = nullptr;
    const char* name = nullptr;
    int handle = -1;
  };
  Slot slots_[kSlots];
};

class EngineSurfaceServices : public CZeSurfaceServicesSeam {
 public:
  video::ITexture* loadTexture(const char* file, int channel, bool mipmaps) override {
    SZeEffectCommandEnv commands = zeEngineEffectCommands();
    ZeEngineContext& context = zeEngineContext();
    if (!file || !file[0] || !commands.textures || !context.driver) return nullptr;
    if (channel == ZE_LW_REFLECTION_IMAGE && mipmaps && context.filteredReflection)
      zeNotBuilt("Filtered and cube reflection images (reflection images are used as they are)");
    const bool before = context.driver->getTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS);
    context.driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, mipmaps);
    video::ITexture* texture = nullptr;
    commands.textures->loadTexture(zeFindKnownFile(file), ZE_FX_SAMPLER2D, &texture);
    context.driver->setTextureCreationFlag(video::ETCF_CREATE_MIP_MAPS, before);
    return texture;
  }

  bool imageTexture(int id, video::ITexture** texture) override {
    *texture = nullptr;
    if (!zeImageExist(id)) return false;
    *texture = zeGetImageTexture(id).driverTexture();
    if (!*texture)
      zeMessage(ZE_ERROR, "Image %d is a render-target or high-precision image: surfaces cannot take it yet", id);
    return true;
  }

  IZeEffect* effect(int id, const char** reason) override {
    SZeEffectCommandEnv commands = zeEngineEffectCommands();
    ZeEffectCell* cell = commands.table ? commands.table->find(id) : nullptr;
    *reason = commands.table ? commands.table->reason() : "no effect table";
    return cell ? cell->effect : nullptr;
  }

  IZeEffect* compileEffect(const char* file, int baseMaterial, const SZeSurfaceMacro* macros,
                           const char* cflags) override {
    CZeEffectManager* manager = zeEffectManager();
    if (!manager) return nullptr;
    std::vector<SZeShaderMacro> list;
    for (const SZeSurfaceMacro* m = macros; m && m->name && m->name[0]; ++m)
      list.push_back(SZeShaderMacro{m->name, m->definition ? m->definition : ""});
    zeParseMacroText(cflags ? cflags : "", &list);
    list.push_back(SZeShaderMacro{});
    return manager->createEffect(zeFindKnownFile(file), baseMaterial, list.data(), nullptr);
  }

  bool setEffectTextures(IZeEffect* effect, const ZF_EffectParams& params) override {
    auto* e = dynamic_cast<CZeEffect*>(effect);
    if (!e) return false;
    SZeEffectCommandEnv commands = zeEngineEffectCommands();
    bool ok = true;
    for (int i = 0; i < params.count; ++i) {
      const ZF_EffectParam& p = params.params[i];
      if (p.kind != ZF_PARAM_TEXT) continue;
      const int h = e->getParameterHandle(p.name);
      if (h < 0) {
        zeMessage(ZE_ERROR, "%s: no effect param with name '%s'", params.filename, p.name);
        ok = false;
        continue;
      }
      video::ITexture* texture = nullptr;
      ok = zeEffectParamTexture(commands, e, h, p.text, p.reference != 0, params.filename, p.name, &texture) && ok;
      ok = e->setTexture(h, texture, p.colorSpace == 1) && ok;
    }
    return ok;
  }

  bool setEffectParams(IZeEffect* effect, const ZF_EffectParams& params) override {
    auto* e = dynamic_cast<CZeEffect*>(effect);
    if (!e) return false;
    bool ok = true;
    for (int i = 0; i < params.count; ++i) {
      const ZF_EffectParam& p = params.params[i];
      if (p.kind != ZF_PARAM_FLOAT3 && p.kind != ZF_PARAM_FLOAT && p.kind != ZF_PARAM_INT) continue;
      const int h = handles_.handle(e, p.name);
      if (h < 0) {
        ok = false;
        continue;
      }
      if (p.kind == ZF_PARAM_INT) ok = e->setInt(h, p.intValue) && ok;
      else ok = e->setFloats(h, p.value, p.kind == ZF_PARAM_FLOAT3 ? 3 : 1) && ok;
    }
    return ok;
  }

 private:
  HandleCache handles_;
};

EngineSurfaceServices engineServices;

}  // namespace

void zeInstallSurfaceServices() { zeSetSurfaceServices(&engineServices); }
