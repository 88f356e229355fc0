// Object surfaces: the surface commands of the script layer and the
// application of a scene's surface parameter sets to an object (at load with
// the initial flag, every frame without it).
//
// Textures, images, effects and the renderer belong to other layers: they
// are reached through CZeSurfaceServicesSeam, whose defaults say once that they
// are not built yet. The engine installs its own (render/zeSurfaceServices.cpp);
// tests install recording ones.
#pragma once

#include <irrlicht.h>

#include "mesh/IZeSurface.h"
#include "zf/zfScene.h"

class IZeEffect;

// Macros a surface effect is compiled with (surface, renderer and "cflags").
constexpr int ZE_SURFACE_MACRO_CAPACITY = 100;

class CZeSurfaceServicesSeam {
 public:
  virtual ~CZeSurfaceServicesSeam() = default;
  // A texture from a file for a channel ("ReflectionImage" by the filtered
  // or automatic lookup, others by the plain one); nullptr when it cannot be had.
  virtual irr::video::ITexture* loadTexture(const char* file, int channel, bool mipmaps);
  // Image `id`'s texture; false when the image does not exist.
  virtual bool imageTexture(int id, irr::video::ITexture** texture);
  // The effect of effect `id`, or nullptr with the table's reason in *reason.
  virtual IZeEffect* effect(int id, const char** reason);
  // The active renderer completes a surface's macros (up to `capacity`
  // entries, the ending one included) and names the effect it draws the
  // surface with: *file "" when it draws without one. false on failure.
  virtual bool rendererEffect(SZeSurfaceMacro* macros, int* count, int capacity, int baseMaterial, const char** file);
  // A new effect (one reference, the caller's) compiled from `file` for a
  // surface with its macros and "cflags"; nullptr after the reason is logged.
  virtual IZeEffect* compileEffect(const char* file, int baseMaterial, const SZeSurfaceMacro* macros,
                                   const char* cflags);
  // Hands an evaluated effect description's textures / values to an effect.
  virtual bool setEffectTextures(IZeEffect* effect, const ZF_EffectParams& params);
  virtual bool setEffectParams(IZeEffect* effect, const ZF_EffectParams& params);
};

// The services in use; nullptr puts the defaults back.
void zeSetSurfaceServices(CZeSurfaceServicesSeam* services);
CZeSurfaceServicesSeam& zeSurfaceServices();

// --- Script commands (0 or -1; failures are argument errors) ----------------------
// Channels are named exactly as in the channel table; an unknown name is
// refused ("the parameter does not exist", argument 3) and changes nothing.
int zeSetObjectSurfaceParamTex(int id, int surface, const char* channel, const char* file, bool mipmaps);
int zeSetObjectSurfaceParamTexImg(int id, int surface, const char* channel, int image);
int zeSetObjectSurfaceParamInt(int id, int surface, const char* channel, int value);
int zeSetObjectSurfaceParamFloat(int id, int surface, const char* channel, float value);
int zeSetObjectSurfaceParamFloat3(int id, int surface, const char* channel, float x, float y, float z);
int zeSetObjectSurfaceEffect(int id, int surface, int effect);
int zeSetObjectSurfaceEffectTechnique(int id, int surface, int technique);
// Writes the surfaces into the materials and re-applies the effects.
int zeUpdateObjectFromSurfaces(int id);

// --- Scene surfaces -----------------------------------------------------------------
// Applies `count` evaluated surfaces to object `id`, surface k to row k. The
// initial application loads images and decides effects; the others change
// values and effect parameters only, and allocate nothing.
void zeApplyObjectSurfaces(int id, const ZF_SurfaceParams* surfaces, int count, bool initial);
