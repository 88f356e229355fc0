// The 39 channels of a LightWave surface: their order, names and value
// kinds, and how one channel is stored. The order is that of a scene's
// surface "Parameters", of the script commands' channel names and of the
// effects' "LW_" semantics.
#pragma once

#include <cstdint>
#include <cstring>

namespace irr {
namespace video {
class ITexture;
}
}  // namespace irr

enum EZeLWChannel : int {
  ZE_LW_BASE_COLOR = 0,
  ZE_LW_LUMINOSITY,
  ZE_LW_DIFFUSE,
  ZE_LW_SPECULARITY,
  ZE_LW_REFLECTIVITY,
  ZE_LW_TRANSPARENCY,
  ZE_LW_TRANSLUCENCY,
  ZE_LW_IOR,
  ZE_LW_BUMP,
  ZE_LW_GLOSSINESS,
  ZE_LW_SPECIAL_BUFFER1,
  ZE_LW_SPECIAL_BUFFER2,
  ZE_LW_SPECIAL_BUFFER3,
  ZE_LW_SPECIAL_BUFFER4,
  ZE_LW_DIFFUSE_SHARPNESS,
  ZE_LW_BUMP_DROPOFF,
  ZE_LW_SMOOTHING_ANGLE,
  ZE_LW_REFLECTION_SEAM_ANGLE,
  ZE_LW_REFRACTION_SEAM_ANGLE,
  ZE_LW_REFLECTION_BLURRING,
  ZE_LW_REFRACTION_BLURRING,
  ZE_LW_COLOR_FILTER,
  ZE_LW_COLOR_HIGHLIGHTS,
  ZE_LW_ADDITIVE_TRANSPARENCY,
  ZE_LW_ALPHA_VALUE,
  ZE_LW_GLOW_VALUE,
  ZE_LW_LINE_COLOR,
  ZE_LW_LINE_SIZE,
  ZE_LW_ALPHA_OPTIONS,
  ZE_LW_REFLECTION_OPTIONS,
  ZE_LW_REFRACTION_OPTIONS,
  ZE_LW_SIDEDNESS,
  ZE_LW_EXCLUDE_FROM_VSTACK,
  ZE_LW_GLOW,
  ZE_LW_RENDER_OUTLINES,
  ZE_LW_REFLECTION_IMAGE,
  ZE_LW_REFRACTION_IMAGE,
  ZE_LW_VERTEX_COLORING,
  ZE_LW_VERTEX_NORMAL,
  ZE_LW_CHANNELS
};

inline constexpr const char* ZE_LW_CHANNEL_NAMES[ZE_LW_CHANNELS] = {
    "BaseColor",          "Luminosity",         "Diffuse",           "Specularity",
    "Reflectivity",       "Transparency",       "Translucency",      "IOR",
    "Bump",               "Glossiness",         "SpecialBuffer1",    "SpecialBuffer2",
    "SpecialBuffer3",     "SpecialBuffer4",     "DiffuseSharpness",  "BumpDropoff",
    "SmoothingAngle",     "ReflectionSeamAngle", "RefractionSeamAngle", "ReflectionBlurring",
    "RefractionBlurring", "ColorFilter",        "ColorHighlights",   "AdditiveTransparency",
    "AlphaValue",         "GlowValue",          "LineColor",         "LineSize",
    "AlphaOptions",       "ReflectionOptions",  "RefractionOptions", "Sidedness",
    "ExcludeFromVStack",  "Glow",               "RenderOutlines",    "ReflectionImage",
    "RefractionImage",    "VertexColoring",     "VertexNormal"};

// What a channel's value is: three floats, one float or one integer.
enum EZeLWChannelKind : uint8_t { ZE_LW_COLOUR = 0, ZE_LW_FLOAT = 1, ZE_LW_INT = 2 };

constexpr EZeLWChannelKind zeLWChannelKind(int channel) {
  return channel == ZE_LW_BASE_COLOR || channel == ZE_LW_COLOR_FILTER || channel == ZE_LW_LINE_COLOR ? ZE_LW_COLOUR
         : channel >= ZE_LW_ALPHA_OPTIONS && channel <= ZE_LW_REFRACTION_IMAGE                         ? ZE_LW_INT
                                                                                                        : ZE_LW_FLOAT;
}

// The channel of an exact (case-sensitive) name, or -1.
inline int zeLWChannelIndex(const char* name) {
  if (!name) return -1;
  for (int i = 0; i < ZE_LW_CHANNELS; ++i)
    if (std::strcmp(name, ZE_LW_CHANNEL_NAMES[i]) == 0) return i;
  return -1;
}

// One channel. The value is three 32-bit words read as the channel's kind
// asks; the setters keep `value` and `integer` in step (a float also sets the
// integer it truncates to, an integer the float it equals), so a reader of
// either kind sees the last value set.
struct SZeLWChannel {
  float value[3] = {0, 0, 0};
  int32_t integer = 0;
  irr::video::ITexture* texture = nullptr;  // one reference, held by the surface
  uint8_t colorSpace = 0;                   // 1: the image is sRGB-encoded ("img_colorspace" 1)
};
