// The 39 channels of a LightWave surface: their order, names and value
// kinds, and how one channel is stored. The order is that of a scene's
// surface "Parameters", of the script commands' channel names and of the
// effects' "LW_" semantics.
#pragma once

#include <climits>
#include <cstdint>
#include <cstring>

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

// One channel's value: three 32-bit words read as the channel's kind asks.
// The setters below keep `value` and `integer` in step (a float also sets
// the integer it truncates to, an integer the float it equals), so a reader
// of either kind sees the last value set. A surface keeps its channels'
// images and colour-space flags beside these, apart from the values a frame
// writes.
struct SZeLWChannel {
  float value[3] = {0, 0, 0};
  int32_t integer = 0;
};

// Truncates as a cast would, without the cast's undefined range (NaN gives 0).
inline int32_t zeLWTruncate(float v) {
  if (!(v == v)) return 0;
  if (v >= 2147483520.0f) return INT_MAX;
  if (v <= -2147483648.0f) return INT_MIN;
  return static_cast<int32_t>(v);
}

// Value setters that keep the two views in step; true when the value changed.
inline bool zeLWSetFloat(SZeLWChannel& c, float v) {
  if (c.value[0] == v && c.integer == zeLWTruncate(v)) return false;
  c.value[0] = v;
  c.integer = zeLWTruncate(v);
  return true;
}
inline bool zeLWSetInt(SZeLWChannel& c, int32_t v) {
  if (c.integer == v && c.value[0] == static_cast<float>(v)) return false;
  c.integer = v;
  c.value[0] = static_cast<float>(v);
  return true;
}
inline bool zeLWSetFloat3(SZeLWChannel& c, float x, float y, float z) {
  if (c.value[0] == x && c.value[1] == y && c.value[2] == z && c.integer == zeLWTruncate(x)) return false;
  c.value[0] = x, c.value[1] = y, c.value[2] = z;
  c.integer = zeLWTruncate(x);
  return true;
}
