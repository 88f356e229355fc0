#include "render/gl/ZeGL2DEffect.h"

#include "app/zeEngine.h"
#include "effect/CZeEffect.h"
#include "effect/CZeEffectCallback.h"
#include "effect/zeHlslTranslator.h"
#include "render/gl/ZeGLEffectDraw.h"
#include "render/gl/ZeGLRegistry.h"
#include "render/gl/ZeGLShaderMaterialRenderer.h"
#include "render/gl/zeGLInternal.h"
#include "render/ze2D.h"

using namespace irr;

namespace {

// Two triangles over clip space at depth 0; the effect's vertex shader moves
// them onto the rectangle.
scene::SMeshBuffer& screenQuad() {
  static scene::SMeshBuffer quad;
  if (!quad.Vertices.empty()) return quad;
  const float corners[6][4] = {{-1, -1, 0, 1}, {-1, 1, 0, 0}, {1, 1, 1, 0},
                                 {1, -1, 1, 1},  {-1, -1, 0, 1}, {1, 1, 1, 0}};
  for (u16 i = 0; i < 6; ++i) {
    const float* c = corners[i];
    quad.Vertices.push_back(video::S3DVertex(c[0], c[1], 0, 0, 0, 1, video::SColor(0), c[2], c[3]));
    quad.Indices.push_back(i);
  }
  quad.recalculateBoundingBox();
  return quad;
}

// The sampler units pass (0, 0) reads parameter `handle` from.
int unitsOf(const CZeEffect& effect, int handle, int units[ZE_FX_LAYERS]) {
  int count = 0;
  for (const SZeFxShader& s : effect.techniques()[0].passes[0].shaders)
    for (const SZeFxTextureBind& b : s.textureBinds) {
      if (b.parameter != handle || b.sampler < 0) continue;
      const int unit = b.stage == ZE_FX_STAGE_VERTEX ? ZE_VERTEX_SAMPLER_UNIT0 + b.sampler : b.sampler;
      if (unit < ZE_FX_LAYERS && count < ZE_FX_LAYERS) units[count++] = unit;
    }
  return count;
}

}  // namespace

bool zeGLDraw2DWithEffect(CZeEffect* effect, CZeEffectCallback* callback, const float rectangle[4], unsigned colour,
                          const ZeImageTexture* image) {
  video::IVideoDriver* driver = zeEngineContext().driver;
  if (!driver || !effect || !callback || effect->techniques().empty() || effect->techniques()[0].passes.empty())
    return false;
  effect->setFloats("Rectangle", rectangle, 4);
  const float rgba[4] = {float((colour >> 16) & 255) / 255.0f, float((colour >> 8) & 255) / 255.0f,
                         float(colour & 255) / 255.0f, float(colour >> 24) / 255.0f};
  effect->setFloats("Color", rgba, 4);

  // A driver texture goes in as the parameter; an engine texture (a
  // renderable or high-precision image) is bound to the pass's units directly.
  const int imageHandle = image ? effect->getParameterHandle("Image") : -1;
  int units[ZE_FX_LAYERS];
  int unitCount = 0;
  CZeGLShaderMaterialRenderer* renderer = nullptr;
  if (imageHandle >= 0) {
    effect->setTexture(imageHandle, image->driverTexture(), false);
    const CZeGLTexture* engineTexture = image->driverTexture() ? nullptr : image->engineTexture();
    if (engineTexture) {
      renderer = dynamic_cast<CZeGLShaderMaterialRenderer*>(
          driver->getMaterialRenderer(u32(effect->techniques()[0].passes[0].irrType)));
      unitCount = renderer ? unitsOf(*effect, imageHandle, units) : 0;
      for (int i = 0; i < unitCount; ++i)
        renderer->setStageTexture(units[i], GL_TEXTURE_2D, engineTexture->name(), false, video::ETC_CLAMP_TO_EDGE,
                                  video::ETC_CLAMP_TO_EDGE);
    }
  }

  driver->setTransform(video::ETS_WORLD, core::IdentityMatrix);
  video::SMaterial material;
  material.Lighting = false;
  material.BackfaceCulling = false;
  material.FrontfaceCulling = false;
  const bool drawn = zeGLDrawBufferWithEffectPass(driver, callback, effect, 0, 0, &screenQuad(), material);

  for (int i = 0; i < unitCount; ++i) renderer->setStageTexture(units[i], GL_TEXTURE_2D, 0, false);
  return drawn;
}
