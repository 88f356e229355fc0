// The LightWave surface.
//
// Contents: channels · from and into Irrlicht materials · compile macros ·
// effect textures.
#include "mesh/CZeSurfaceLightwave.h"

#include <cstdio>

#include "mesh/zeDeviceLog.h"
#include "scene/IZeEffect.h"
#include "scene/IZeSceneNodeExt.h"

using namespace irr;

const char* const ZE_LW_MACRO_NAMES[ZE_LW_MACRO_COUNT] = {
    "USE_TEX_COLOR",          "USE_TEX_LUMINOSITY",       "USE_TEX_DIFFUSE",          "USE_TEX_SPECULAR",
    "USE_TEX_GLOSSINESS",     "USE_TEX_REFLECIMG",        "USE_TEX_REFLECTIVITY",     "USE_TEX_TRANSPARENCY",
    "USE_TEX_TRANSLUCENCY",   "USE_TEX_NORMAL",           "USE_TRANSPARENT",          "USE_TRANSLUCENCY",
    "USE_TEX_REFLECCUBE",     "USE_COMPTANGENT",          "USE_UV2",                  "USE_UV2INTEX2",
    "USE_UV2_TEX_COLOR",      "USE_UV2_TEX_LUMINOSITY",   "USE_UV2_TEX_DIFFUSE",      "USE_UV2_TEX_SPECULAR",
    "USE_UV2_TEX_GLOSSINESS", "USE_UV2_TEX_REFLECTIVITY", "USE_UV2_TEX_TRANSPARENCY", "USE_UV2_TEX_TRANSLUCENCY",
    "USE_UV2_TEX_NORMAL",     "USE_CUBEMAPAABB",          "USE_NODECUBEMAP"};

namespace {

// Flag bits by name, for the rules below.
enum : u32 {
  TEX_COLOR = 1u << 0, TEX_LUMINOSITY = 1u << 1, TEX_DIFFUSE = 1u << 2, TEX_SPECULAR = 1u << 3,
  TEX_GLOSSINESS = 1u << 4, TEX_REFLECIMG = 1u << 5, TEX_REFLECTIVITY = 1u << 6, TEX_TRANSPARENCY = 1u << 7,
  TEX_TRANSLUCENCY = 1u << 8, TEX_NORMAL = 1u << 9, TRANSPARENT = 1u << 10, TRANSLUCENCY = 1u << 11,
  TEX_REFLECCUBE = 1u << 12, COMPTANGENT = 1u << 13, UV2 = 1u << 14, UV2INTEX2 = 1u << 15, UV2_FIRST = 16,
  CUBEMAPAABB = 1u << 25, NODECUBEMAP = 1u << 26,
};

// The second-set mask bit of each USE_UV2_TEX_... macro, from bit 16 up.
constexpr int kUV2MaskBits[9] = {0, 2, 1, 3, 8, 4, 5, 7, 6};

// Engine material types of the effect's base material.
constexpr int kBaseSolid = 0;
constexpr int kBaseTransparentAlpha = 13;

// Channels whose image maps the effects sample, and their sampler names.
constexpr int kBoundChannels[] = {ZE_LW_BASE_COLOR,  ZE_LW_LUMINOSITY,   ZE_LW_DIFFUSE,      ZE_LW_SPECULARITY,
                                  ZE_LW_REFLECTIVITY, ZE_LW_TRANSPARENCY, ZE_LW_TRANSLUCENCY, ZE_LW_IOR,
                                  ZE_LW_BUMP,         ZE_LW_GLOSSINESS,   ZE_LW_REFLECTION_IMAGE, ZE_LW_REFRACTION_IMAGE};
constexpr int kBound = sizeof(kBoundChannels) / sizeof(kBoundChannels[0]);
const char* const kSecondReflectionSampler = "LW_Tex_ReflectionImage2";

const char* samplerName(int bound) {
  static char names[kBound][48];
  if (!names[0][0])
    for (int i = 0; i < kBound; ++i)
      std::snprintf(names[i], sizeof(names[i]), "LW_Tex_%s", ZE_LW_CHANNEL_NAMES[kBoundChannels[i]]);
  return names[bound];
}

bool valid(int channel) { return channel >= 0 && channel < ZE_LW_CHANNELS; }

void replaceTexture(video::ITexture*& slot, video::ITexture* texture) {
  if (texture) texture->grab();
  if (slot) slot->drop();
  slot = texture;
}

// An 8-bit component; products above 1 (BaseColor x Diffuse) are clamped
// rather than wrapped.
u32 byteOf(float v) { return !(v > 0.0f) ? 0 : v >= 1.0f ? 255 : static_cast<u32>(v * 255.0f + 0.5f); }

video::SColor colourOf(const float* rgb, float scale) {
  return video::SColor(255, byteOf(rgb[0] * scale), byteOf(rgb[1] * scale), byteOf(rgb[2] * scale));
}

float luma(const video::SColor& c) {
  return (0.3f * c.getRed() + 0.59f * c.getGreen() + 0.11f * c.getBlue()) / 255.0f;
}

// Irrlicht 1.8's textures are all 2D: a cube reflection image needs the
// engine's own cube textures, which this build does not hand to surfaces.
bool isCubeTexture(const video::ITexture*) { return false; }

}  // namespace

// --- Channels ------------------------------------------------------------------------

CZeSurfaceLightwave::CZeSurfaceLightwave() {
  setFloat3(ZE_LW_BASE_COLOR, 0.78f, 0.78f, 0.78f);
  setFloat(ZE_LW_DIFFUSE, 1.0f);
  setFloat(ZE_LW_BUMP, 1.0f);
  setFloat(ZE_LW_GLOSSINESS, 0.4f);
  setFloat(ZE_LW_LINE_SIZE, 1.0f);
  setFloat(ZE_LW_VERTEX_COLORING, 1.0f);
}

CZeSurfaceLightwave::~CZeSurfaceLightwave() {
  clearChannels();
  replaceTexture(reflectionImage2_, nullptr);
}

void CZeSurfaceLightwave::clearChannels() {
  for (int i = 0; i < ZE_LW_CHANNELS; ++i) {
    replaceTexture(textures_[i], nullptr);
    channels_[i] = SZeLWChannel();
    colorSpaces_[i] = 0;
  }
}

void CZeSurfaceLightwave::copyChannels(const IZeSurfaceLightwave& from) {
  for (int i = 0; i < ZE_LW_CHANNELS; ++i) {
    const float* v = from.getValue(i);
    SZeLWChannel& c = channels_[i];
    c.value[0] = v[0], c.value[1] = v[1], c.value[2] = v[2];
    c.integer = from.getInt(i);
    replaceTexture(textures_[i], from.getTexture(i));
    colorSpaces_[i] = from.getColorSpace(i) ? 1 : 0;
  }
  replaceTexture(reflectionImage2_, from.getReflectionImage2());
}

IZeSurface* CZeSurfaceLightwave::clone() const {
  CZeSurfaceLightwave* copy = new CZeSurfaceLightwave;
  copy->copyChannels(*this);
  return copy;
}

void CZeSurfaceLightwave::setFloat(int channel, float value) {
  if (valid(channel)) zeLWSetFloat(channels_[channel], value);
}

void CZeSurfaceLightwave::setInt(int channel, int value) {
  if (valid(channel)) zeLWSetInt(channels_[channel], value);
}

void CZeSurfaceLightwave::setFloat3(int channel, float x, float y, float z) {
  if (valid(channel)) zeLWSetFloat3(channels_[channel], x, y, z);
}

void CZeSurfaceLightwave::setTexture(int channel, video::ITexture* texture) {
  if (valid(channel)) replaceTexture(textures_[channel], texture);
}

void CZeSurfaceLightwave::setColorSpace(int channel, bool srgb) {
  if (valid(channel)) colorSpaces_[channel] = srgb ? 1 : 0;
}

void CZeSurfaceLightwave::setReflectionImage2(video::ITexture* texture) { replaceTexture(reflectionImage2_, texture); }

float CZeSurfaceLightwave::getFloat(int channel) const { return valid(channel) ? channels_[channel].value[0] : 0.0f; }

int CZeSurfaceLightwave::getInt(int channel) const { return valid(channel) ? channels_[channel].integer : 0; }

const float* CZeSurfaceLightwave::getValue(int channel) const {
  static const float zero[3] = {0, 0, 0};
  return valid(channel) ? channels_[channel].value : zero;
}

video::ITexture* CZeSurfaceLightwave::getTexture(int channel) const {
  return valid(channel) ? textures_[channel] : nullptr;
}

bool CZeSurfaceLightwave::getColorSpace(int channel) const {
  return valid(channel) && colorSpaces_[channel] != 0;
}

// --- From and into Irrlicht materials -----------------------------------------------------

void CZeSurfaceLightwave::initFromMaterial(const video::SMaterial& m) {
  clearChannels();
  const video::SColor d = m.DiffuseColor;
  setFloat3(ZE_LW_BASE_COLOR, d.getRed() / 255.0f, d.getGreen() / 255.0f, d.getBlue() / 255.0f);
  setTexture(ZE_LW_BASE_COLOR, m.getTexture(0));
  setFloat(ZE_LW_LUMINOSITY, luma(m.EmissiveColor));
  setFloat(ZE_LW_SPECULARITY, luma(m.SpecularColor));
  setFloat(ZE_LW_DIFFUSE, 1.0f);
  setFloat(ZE_LW_GLOSSINESS, m.Shininess / 128.0f);
  switch (m.MaterialType) {
    case video::EMT_REFLECTION_2_LAYER:
      setFloat(ZE_LW_REFLECTIVITY, 1.0f);
      setInt(ZE_LW_REFLECTION_OPTIONS, 2);
      setTexture(ZE_LW_REFLECTION_IMAGE, m.getTexture(1));
      break;
    case video::EMT_TRANSPARENT_ALPHA_CHANNEL: setTexture(ZE_LW_TRANSPARENCY, m.getTexture(0)); break;
    default: break;
  }
  if (m.MaterialType == video::EMT_TRANSPARENT_VERTEX_ALPHA ||
      m.MaterialType == video::EMT_TRANSPARENT_REFLECTION_2_LAYER ||
      m.MaterialType == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA)
    setFloat(ZE_LW_TRANSPARENCY, 1.0f);
  if (m.MaterialType == video::EMT_PARALLAX_MAP_SOLID ||
      m.MaterialType == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA) {
    setTexture(ZE_LW_BUMP, m.getTexture(1));
    setFloat(ZE_LW_BUMP, m.MaterialTypeParam / 0.035f);
  }
  setInt(ZE_LW_SIDEDNESS, m.BackfaceCulling ? 0 : 3);
  if (m.PointCloud) {
    setInt(ZE_LW_RENDER_OUTLINES, 1);
    setFloat(ZE_LW_LINE_SIZE, m.Thickness);
  } else if (m.Wireframe) {
    setInt(ZE_LW_RENDER_OUTLINES, 1);
    setFloat(ZE_LW_LINE_SIZE, 0.5f);
  }
  if (m.ColorMaterial == video::ECM_DIFFUSE) setFloat(ZE_LW_VERTEX_COLORING, 1.0f);
}

void CZeSurfaceLightwave::writeToMaterial(video::SMaterial& m) const {
  const bool refl = getInt(ZE_LW_REFLECTION_OPTIONS) >= 2 && hasTexture(ZE_LW_REFLECTION_IMAGE) &&
                    (getFloat(ZE_LW_REFLECTIVITY) != 0.0f || hasTexture(ZE_LW_REFLECTIVITY));
  const bool parallax = hasTexture(ZE_LW_BUMP);
  video::E_MATERIAL_TYPE type;
  if (hasTexture(ZE_LW_TRANSPARENCY))
    type = parallax ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA
           : refl   ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER
                    : video::EMT_TRANSPARENT_ALPHA_CHANNEL;
  else if (getFloat(ZE_LW_TRANSPARENCY) == 0.0f)
    type = parallax ? video::EMT_PARALLAX_MAP_SOLID : refl ? video::EMT_REFLECTION_2_LAYER : video::EMT_SOLID;
  else
    type = parallax ? video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA
           : refl   ? video::EMT_TRANSPARENT_REFLECTION_2_LAYER
                    : video::EMT_TRANSPARENT_VERTEX_ALPHA;
  m.MaterialType = type;
  const bool isParallax = type == video::EMT_PARALLAX_MAP_SOLID || type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA;
  if (isParallax) m.MaterialTypeParam = getFloat(ZE_LW_BUMP) * 0.035f;
  m.ColorMaterial = type == video::EMT_TRANSPARENT_VERTEX_ALPHA ||
                            type == video::EMT_PARALLAX_MAP_TRANSPARENT_VERTEX_ALPHA ||
                            getFloat(ZE_LW_VERTEX_COLORING) != 0.0f
                        ? video::ECM_DIFFUSE
                        : video::ECM_AMBIENT;
  const float* base = getValue(ZE_LW_BASE_COLOR);
  m.DiffuseColor = colourOf(base, getFloat(ZE_LW_DIFFUSE));
  m.EmissiveColor = colourOf(base, getFloat(ZE_LW_LUMINOSITY));
  const float s = getFloat(ZE_LW_SPECULARITY);
  const float grey[3] = {s, s, s};
  m.SpecularColor = colourOf(grey, 1.0f);
  m.Shininess = getFloat(ZE_LW_GLOSSINESS) * 128.0f;
  // Outlines: thin lines as wireframe, thick ones as points of that size.
  // Without outlines neither flag stays set, so an animated switch turns them off.
  const float line = getFloat(ZE_LW_LINE_SIZE);
  const bool outlines = getInt(ZE_LW_RENDER_OUTLINES) != 0;
  m.PointCloud = outlines && line >= 1.0f;
  m.Wireframe = outlines && line > 0.0f && line < 1.0f;
  if (m.PointCloud) m.Thickness = line;
  m.BackfaceCulling = getInt(ZE_LW_SIDEDNESS) != 3;
  m.setTexture(0, getTexture(ZE_LW_BASE_COLOR));
  if (type == video::EMT_REFLECTION_2_LAYER || type == video::EMT_TRANSPARENT_REFLECTION_2_LAYER)
    m.setTexture(1, getTexture(ZE_LW_REFLECTION_IMAGE));
  if (isParallax) m.setTexture(1, getTexture(ZE_LW_BUMP));
  // The sampler state the surface asks of every layer: the most anisotropic
  // filtering the driver allows (Irrlicht clamps 248 to its maximum). Irrlicht
  // 1.8 has 4 layers, so only those are written.
  for (u32 i = 0; i < video::MATERIAL_MAX_TEXTURES; ++i) m.TextureLayer[i].AnisotropicFilter = 248;
}

// --- Compile macros --------------------------------------------------------------------------

u32 CZeSurfaceLightwave::macroBits(const SZeSurfaceNodeFacts* node) const {
  u32 bits = 0;
  if (hasTexture(ZE_LW_BASE_COLOR)) bits |= TEX_COLOR;
  if (hasTexture(ZE_LW_LUMINOSITY)) bits |= TEX_LUMINOSITY;
  if (hasTexture(ZE_LW_DIFFUSE)) bits |= TEX_DIFFUSE;
  if (hasTexture(ZE_LW_SPECULARITY)) bits |= TEX_SPECULAR;
  if (hasTexture(ZE_LW_GLOSSINESS)) bits |= TEX_GLOSSINESS;
  const video::ITexture* reflection = getTexture(ZE_LW_REFLECTION_IMAGE);
  const bool refl = reflection && getInt(ZE_LW_REFLECTION_OPTIONS) > 1;
  if (refl) {
    bits |= TEX_REFLECIMG;
    if (hasTexture(ZE_LW_REFLECTIVITY)) bits |= TEX_REFLECTIVITY;
    if (isCubeTexture(reflection)) bits |= TEX_REFLECCUBE;
  }
  if (hasTexture(ZE_LW_TRANSPARENCY)) bits |= TEX_TRANSPARENCY;
  if (hasTexture(ZE_LW_TRANSLUCENCY)) bits |= TEX_TRANSLUCENCY;
  if (hasTexture(ZE_LW_BUMP)) bits |= TEX_NORMAL;
  if (hasTexture(ZE_LW_TRANSPARENCY) || getFloat(ZE_LW_TRANSPARENCY) != 0.0f) bits |= TRANSPARENT;
  if (hasTexture(ZE_LW_TRANSLUCENCY) || getFloat(ZE_LW_TRANSLUCENCY) != 0.0f) bits |= TRANSLUCENCY;
  if (!node) return bits;
  if (needsTangents() && !node->meshHasTangents) bits |= COMPTANGENT;
  if (node->hasSecondUV) bits |= UV2;
  if (node->hasSecondUV && node->meshHasTangents) bits |= UV2INTEX2;
  for (int i = 0; i < 9; ++i)
    if (node->uv2Mask & (1 << kUV2MaskBits[i])) bits |= 1u << (UV2_FIRST + i);
  if (refl && node->cubeMap1 && static_cast<const IReferenceCounted*>(reflection) == node->cubeMap1) {
    bits |= NODECUBEMAP;
    if (node->boxProjection) bits |= CUBEMAPAABB;
  }
  return bits;
}

bool CZeSurfaceLightwave::getEffectCompileParameters(const SZeSurfaceNodeFacts* node, SZeSurfaceMacro* macros,
                                                     int capacity, int* count, int* baseMaterial) const {
  const u32 bits = macroBits(node);
  if (baseMaterial) *baseMaterial = bits & TRANSPARENT ? kBaseTransparentAlpha : kBaseSolid;
  if (count) *count = 0;
  if (capacity <= 0) return true;
  int n = 0;
  for (int bit = 0; bit < ZE_LW_MACRO_COUNT; ++bit) n += (bits >> bit) & 1;
  // The ending entry needs a place too.
  if (!macros || n + 1 > capacity) {
    zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwave::getEffectCompileParameters Not enough space for macros");
    return false;
  }
  int at = 0;
  for (int bit = 0; bit < ZE_LW_MACRO_COUNT; ++bit)
    if (bits & (1u << bit)) macros[at++] = SZeSurfaceMacro{ZE_LW_MACRO_NAMES[bit], ""};
  macros[at] = SZeSurfaceMacro{"", ""};
  if (count) *count = n;
  return true;
}

// --- Effect textures ---------------------------------------------------------------------------

bool CZeSurfaceLightwave::setEffectTextures(IZeEffect* effect) const {
  if (!effect) return false;
  for (int i = 0; i < kBound; ++i) {
    const int handle = effect->samplerHandle(samplerName(i));
    if (handle < 0) continue;
    const int c = kBoundChannels[i];
    if (!effect->setSamplerTexture(handle, textures_[c], colorSpaces_[c] != 0)) {
      zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwave::setEffectTextures setSamplerTexture failed for %s", samplerName(i));
      return false;
    }
  }
  return true;
}

bool CZeSurfaceLightwave::setEffectTexturesOnMaterial(IZeEffect* effect, SZeMaterialRecord& record) const {
  record.clearTextures();
  if (!effect) return false;
  // Only image maps the surface has: a channel without one leaves the effect's own texture.
  auto bind = [&](const char* sampler, video::ITexture* texture, bool srgb) {
    const int handle = effect->samplerHandle(sampler);
    if (handle < 0 || !texture || record.addTexture(handle, texture, srgb)) return true;
    zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwave::setEffectTextures setSamplerTexture failed for %s", sampler);
    return false;
  };
  for (int i = 0; i < kBound; ++i) {
    const int c = kBoundChannels[i];
    if (!bind(samplerName(i), textures_[c], colorSpaces_[c] != 0)) return false;
  }
  if (!bind(kSecondReflectionSampler, reflectionImage2_, false)) return false;
  // A pass that leaves its first layer empty draws the transparency map there.
  video::ITexture* alpha = textures_[ZE_LW_TRANSPARENCY];
  if (alpha && !record.addTexture(-1, alpha, colorSpaces_[ZE_LW_TRANSPARENCY] != 0)) {
    zeDeviceLog(ELL_ERROR, "CZeSurfaceLightwave::setEffectTextures setSamplerTexture failed for %s",
                "the first layer");
    return false;
  }
  return true;
}
