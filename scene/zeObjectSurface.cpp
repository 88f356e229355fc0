// Object surfaces.
//
// Contents: services and their defaults · finding a row's surface · script
// commands · scene surfaces.
#include "scene/zeObjectSurface.h"

#include "base/zeMessage.h"
#include "scene/CZeSceneNodeExt.h"
#include "scene/IZeEffect.h"
#include "scene/IZeSceneNodeExt.h"
#include "scene/zeObject.h"

using namespace irr;

static_assert(ZF_SURFACE_CHANNELS == ZE_LW_CHANNELS, "scene channels are the surface's channels");

// --- Services and their defaults -----------------------------------------------------------

namespace {

CZeSurfaceServicesSeam defaultServices;
CZeSurfaceServicesSeam* services = &defaultServices;

}  // namespace

video::ITexture* CZeSurfaceServicesSeam::loadTexture(const char*, int, bool) {
  zeNotBuilt("Surface textures");
  return nullptr;
}

bool CZeSurfaceServicesSeam::imageTexture(int, video::ITexture**) {
  zeNotBuilt("Surface images");
  return false;
}

IZeEffect* CZeSurfaceServicesSeam::effect(int, const char** reason) {
  zeNotBuilt("Surface effects");
  *reason = "effects: not built yet";
  return nullptr;
}

bool CZeSurfaceServicesSeam::rendererEffect(SZeSurfaceMacro*, int*, int, int, const char** file) {
  // No renderer draws with effects: surfaces without their own are drawn
  // with the material they write.
  *file = "";
  return true;
}

IZeEffect* CZeSurfaceServicesSeam::compileEffect(const char*, int, const SZeSurfaceMacro*, const char*) {
  zeNotBuilt("Surface effects");
  return nullptr;
}

bool CZeSurfaceServicesSeam::setEffectTextures(IZeEffect*, const ZF_EffectParams&) {
  zeNotBuilt("Surface effects");
  return false;
}

bool CZeSurfaceServicesSeam::setEffectParams(IZeEffect*, const ZF_EffectParams&) {
  zeNotBuilt("Surface effects");
  return false;
}

void zeSetSurfaceServices(CZeSurfaceServicesSeam* given) { services = given ? given : &defaultServices; }
CZeSurfaceServicesSeam& zeSurfaceServices() { return *services; }

// --- Finding a row's surface ---------------------------------------------------------------------

namespace {

struct Row {
  scene::ISceneNode* node = nullptr;
  IZeSceneNodeExt* ext = nullptr;
  IZeSurface* surface = nullptr;
};

// The object's extension, after the command layer's argument errors.
IZeSceneNodeExt* objectExt(int id, scene::ISceneNode** node) {
  *node = zeObjectNode(id);
  if (!*node) {
    zeReportArgError(1, "Object ID %d does not exist", id);
    return nullptr;
  }
  IZeSceneNodeExt* ext = zeFindNodeExt(*node);
  if (!ext) zeReportArgError(1, "Object ID %d unexpected format (no node extension)", id);
  return ext;
}

bool findRow(int id, int surface, Row* row) {
  row->ext = objectExt(id, &row->node);
  if (!row->ext) return false;
  row->surface = surface >= 0 ? row->ext->getSurface(u32(surface)) : nullptr;
  if (!row->surface) zeReportArgError(2, "Object ID %d has no surface %d", id, surface);
  return row->surface != nullptr;
}

// The row's LightWave surface and the channel a name gives.
IZeSurfaceLightwave* findChannel(int id, int surface, const char* name, int* channel) {
  Row row;
  if (!findRow(id, surface, &row)) return nullptr;
  if (row.surface->getKind() != ZE_SURFACE_LIGHTWAVE) {
    zeReportArgError(2, "Object ID %d has no surface %d", id, surface);
    return nullptr;
  }
  *channel = zeLWChannelIndex(name);
  if (*channel < 0) {
    zeReportArgError(3, "the parameter does not exist");
    return nullptr;
  }
  return static_cast<IZeSurfaceLightwave*>(row.surface);
}

}  // namespace

// --- Script commands ------------------------------------------------------------------------------

int zeSetObjectSurfaceParamTex(int id, int surface, const char* name, const char* file, bool mipmaps) {
  int channel = -1;
  IZeSurfaceLightwave* s = findChannel(id, surface, name, &channel);
  if (!s) return -1;
  video::ITexture* texture = file ? services->loadTexture(file, channel, mipmaps) : nullptr;
  if (!texture) {
    zeReportArgError(4, "Texture does not exist '%s'", file ? file : "");
    return -1;
  }
  s->setTexture(channel, texture);
  return 0;
}

int zeSetObjectSurfaceParamTexImg(int id, int surface, const char* name, int image) {
  int channel = -1;
  IZeSurfaceLightwave* s = findChannel(id, surface, name, &channel);
  if (!s) return -1;
  video::ITexture* texture = nullptr;
  if (!services->imageTexture(image, &texture)) {
    zeReportArgError(4, "Image %d does not exist", image);
    return -1;
  }
  s->setTexture(channel, texture);
  return 0;
}

int zeSetObjectSurfaceParamInt(int id, int surface, const char* name, int value) {
  int channel = -1;
  IZeSurfaceLightwave* s = findChannel(id, surface, name, &channel);
  if (!s) return -1;
  s->setInt(channel, value);
  return 0;
}

int zeSetObjectSurfaceParamFloat(int id, int surface, const char* name, float value) {
  int channel = -1;
  IZeSurfaceLightwave* s = findChannel(id, surface, name, &channel);
  if (!s) return -1;
  s->setFloat(channel, value);
  return 0;
}

int zeSetObjectSurfaceParamFloat3(int id, int surface, const char* name, float x, float y, float z) {
  int channel = -1;
  IZeSurfaceLightwave* s = findChannel(id, surface, name, &channel);
  if (!s) return -1;
  s->setFloat3(channel, x, y, z);
  return 0;
}

int zeSetObjectSurfaceEffect(int id, int surface, int effectId) {
  Row row;
  if (!findRow(id, surface, &row)) return -1;
  const char* reason = "";
  IZeEffect* effect = services->effect(effectId, &reason);
  if (!effect) {
    zeReportArgError(3, "Effect ID %d does not exist. %s", effectId, reason ? reason : "");
    return -1;
  }
  row.ext->setEffect(u32(surface), effect, 0, 0);
  return 0;
}

int zeSetObjectSurfaceEffectTechnique(int id, int surface, int technique) {
  Row row;
  if (!findRow(id, surface, &row)) return -1;
  row.ext->setTechnique(u32(surface), technique);
  return 0;
}

int zeUpdateObjectFromSurfaces(int id) {
  scene::ISceneNode* node = nullptr;
  IZeSceneNodeExt* ext = objectExt(id, &node);
  if (!ext) return -1;
  if (ext->update()) return 0;
  zeReportArgError(1, "Object ID %d: its mesh cannot take the tangents its surfaces need", id);
  return -1;
}

// --- Scene surfaces --------------------------------------------------------------------------------

namespace {

// Copies the channel values a scene gives into the surface; true when any
// changed. A value whose count does not fit its channel (three for a colour,
// one otherwise) is refused, said once at the initial application.
bool copyValues(int id, int k, IZeSurfaceLightwave& s, const ZF_SurfaceParams& p, bool initial) {
  bool changed = false;
  SZeLWChannel* channels = s.getChannels();
  for (int c = 0; c < ZE_LW_CHANNELS; ++c) {
    const ZF_ChannelValue& v = p.channels[c];
    if (v.kind != ZF_PARAM_FLOAT3 && v.kind != ZF_PARAM_FLOAT && v.kind != ZF_PARAM_INT) continue;
    const bool colour = zeLWChannelKind(c) == ZE_LW_COLOUR;
    const int wanted = colour ? 3 : 1;
    if (v.elements != wanted || colour != (v.kind == ZF_PARAM_FLOAT3)) {
      if (initial)
        zeMessage(ZE_WARN, "Object ID %d, Surf %d, Param %d: '%s' takes %d value%s, the scene gives %d; ignored", id, k,
                  c, ZE_LW_CHANNEL_NAMES[c], wanted, wanted == 1 ? "" : "s", v.elements);
      continue;
    }
    if (colour) changed |= zeLWSetFloat3(channels[c], v.value[0], v.value[1], v.value[2]);
    else if (v.kind == ZF_PARAM_INT) changed |= zeLWSetInt(channels[c], v.intValue);
    else changed |= zeLWSetFloat(channels[c], v.value[0]);
  }
  return changed;
}

void loadImages(int id, int k, IZeSurfaceLightwave& s, const ZF_SurfaceParams& p) {
  for (int c = 0; c < ZE_LW_CHANNELS; ++c) {
    const ZF_ChannelValue& v = p.channels[c];
    if (!v.imageFile || !v.imageFile[0]) continue;
    video::ITexture* texture = services->loadTexture(v.imageFile, c, v.mipmap != 0);
    // Without its image the channel has no texture, so no macro asks for one.
    if (!texture)
      zeReportArgErrorShown(3, "Object ID %d, Surf %d, Param %d: texture '%s' not found", id, k, c, v.imageFile);
    s.setTexture(c, texture);
    s.setColorSpace(c, v.colorSpace == 1);
  }
}

// The row's effect as the surface and the renderer decide it; false after a
// reported failure.
bool chooseEffect(int id, int k, scene::ISceneNode* node, IZeSceneNodeExt* ext, IZeSurfaceLightwave& s,
                  const ZF_SurfaceParams& p) {
  SZeSurfaceMacro macros[ZE_SURFACE_MACRO_CAPACITY];
  int count = 0, baseMaterial = 0;
  const SZeSurfaceNodeFacts facts = zeSurfaceNodeFacts(node, u32(k));
  if (!s.getEffectCompileParameters(&facts, macros, ZE_SURFACE_MACRO_CAPACITY, &count, &baseMaterial)) {
    zeReportArgError(3, "Object ID %d, Surf %d : Failed to get the effect compile parameters", id, k);
    return false;
  }
  const char* rendererFile = "";
  if (!services->rendererEffect(macros, &count, ZE_SURFACE_MACRO_CAPACITY, baseMaterial, &rendererFile)) {
    zeReportArgError(3, "Object ID %d, Surf %d : Failed to get the renderer effect", id, k);
    return false;
  }
  const char* file = p.hasEffect ? p.effect.filename : rendererFile;
  if (!file || !file[0]) {
    ext->clearEffect(u32(k));
    return true;
  }
  IZeEffect* effect = services->compileEffect(file, baseMaterial, macros, p.hasEffect ? p.effect.cflags : "");
  if (!effect) {
    // The row keeps the effect it had: a shader being edited stays drawn by its last good build.
    zeReportArgErrorShown(3, "Object ID %d, Surf %d : Failed to compile effect %s", id, k, file);
    return false;
  }
  ext->setEffect(u32(k), effect, 0, 0);
  effect->drop();
  return true;
}

}  // namespace

void zeApplyObjectSurfaces(int id, const ZF_SurfaceParams* surfaces, int count, bool initial) {
  scene::ISceneNode* node = nullptr;
  IZeSceneNodeExt* ext = objectExt(id, &node);
  if (!ext || !surfaces) return;
  for (int k = 0; k < count; ++k) {
    IZeSurface* found = ext->getSurface(u32(k));
    if (!found || found->getKind() != ZE_SURFACE_LIGHTWAVE) {
      zeReportArgError(1, "Object ID %d has no surface %d, cannot SetSurfaces", id, k);
      return;
    }
    auto& s = *static_cast<IZeSurfaceLightwave*>(found);
    const ZF_SurfaceParams& p = surfaces[k];
    const bool changed = copyValues(id, k, s, p, initial);
    if (initial) {
      loadImages(id, k, s, p);
      if (!chooseEffect(id, k, node, ext, s, p)) continue;
    }
    IZeEffect* effect = ext->getEffect(u32(k));
    if (effect && p.hasEffect) {
      if (initial && !services->setEffectTextures(effect, p.effect))
        zeReportArgError(3, "Object ID %d Surface %d: failed to set textures of shader '%s'", id, k, p.effect.filename);
      // A parameter the effect lacks would fail every frame: it is said at the initial application.
      if (!services->setEffectParams(effect, p.effect) && initial)
        zeReportArgError(3, "Object ID %d Surface %d: failed to set parameters of shader '%s'", id, k,
                         p.effect.filename);
    }
    if (changed && !initial) ext->refreshRow(u32(k));
  }
  if (initial && !ext->update())
    zeReportArgError(1, "Object ID %d: its mesh cannot take the tangents its surfaces need", id);
}
