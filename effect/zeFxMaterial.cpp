#include "effect/zeFxMaterial.h"

#include <strings.h>

using namespace irr;

int zeFxWrapMode(const std::string& t) {
  if (t == "WRAP" || t == "REPEAT") return 0;
  if (t == "CLAMP") return 1;
  if (t == "CLAMP_TO_EDGE") return 2;
  if (t == "CLAMP_TO_BORDER" || t == "BORDER") return 3;
  if (t == "MIRROR") return 4;
  if (t == "MIRROR_CLAMP" || t == "MIRRORED_REPEAT") return 5;
  if (t == "MIRROR_CLAMP_TO_EDGE") return 6;
  if (t == "MIRROR_CLAMP_TO_BORDER" || t == "MIRROR_ONCE") return 7;
  return 0;
}

bool zeFxDepthFunc(const std::string& t, uint8_t* func) {
  static const struct { const char* text; uint8_t func; } table[] = {
      {"NEVER", ZE_FX_DEPTH_NEVER},     {"LESS", ZE_FX_DEPTH_LESS},       {"LEQUAL", ZE_FX_DEPTH_LEQUAL},
      {"EQUAL", ZE_FX_DEPTH_EQUAL},     {"GREATER", ZE_FX_DEPTH_GREATER}, {"NOTEQUAL", ZE_FX_DEPTH_NOTEQUAL},
      {"GEQUAL", ZE_FX_DEPTH_GEQUAL},   {"ALWAYS", ZE_FX_DEPTH_ALWAYS}};
  for (const auto& e : table)
    if (t == e.text) {
      *func = e.func;
      return true;
    }
  return false;
}

bool zeFxBaseMaterial(const std::string& t, int32_t* type, uint32_t* param) {
  static const struct { const char* text; int32_t type; uint32_t param; } table[] = {
      {"solid", ZE_FX_MT_SOLID, 0},
      {"transparent_add_color", ZE_FX_MT_TRANSPARENT_ADD_COLOR, 0},
      {"transparent_vertex_alpha", ZE_FX_MT_TRANSPARENT_VERTEX_ALPHA, 0},
      {"transparent", ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL, 0},
      {"transparent_alpha_channel", ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL, 0},
      {"transparent_alpha_channel_ref", ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL_REF, 0},
      {"transparent_one_one", ZE_FX_MT_ONETEXTURE_BLEND, 0x111},
      {"transparent_sub_color", ZE_FX_MT_ONETEXTURE_BLEND, 0x105},
  };
  for (const auto& e : table)
    if (strcasecmp(t.c_str(), e.text) == 0) {
      *type = e.type;
      *param = e.param;
      return true;
    }
  return false;
}

int zeFxBlendFactor(const std::string& t) {
  static const char* const names[] = {"ZERO",      "ONE",           "DEST_COLOR", "ONE_MINUS_DEST_COLOR",
                                      "SRC_COLOR", "ONE_MINUS_SRC_COLOR", "SRC_ALPHA", "ONE_MINUS_SRC_ALPHA",
                                      "DEST_ALPHA", "ONE_MINUS_DEST_ALPHA", "SRC_ALPHA_SATURATE"};
  for (int i = 0; i < 11; ++i)
    if (strcasecmp(t.c_str(), names[i]) == 0) return i;
  return 1;
}

// Alpha from the texture (2), modulate 1x (1), then the two factors.
uint32_t zeFxBlendWord(int source, int destination) {
  return (2u << 12) | (1u << 8) | (uint32_t(source & 0xF) << 4) | uint32_t(destination & 0xF);
}

video::E_MATERIAL_TYPE zeIrrMaterialType(int32_t t) {
  switch (t) {
    case ZE_FX_MT_SOLID: return video::EMT_SOLID;
    case ZE_FX_MT_TRANSPARENT_ADD_COLOR: return video::EMT_TRANSPARENT_ADD_COLOR;
    case ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL: return video::EMT_TRANSPARENT_ALPHA_CHANNEL;
    case ZE_FX_MT_TRANSPARENT_ALPHA_CHANNEL_REF: return video::EMT_TRANSPARENT_ALPHA_CHANNEL_REF;
    case ZE_FX_MT_TRANSPARENT_VERTEX_ALPHA: return video::EMT_TRANSPARENT_VERTEX_ALPHA;
    case ZE_FX_MT_ONETEXTURE_BLEND: return video::EMT_ONETEXTURE_BLEND;
    default: return video::E_MATERIAL_TYPE(t);  // a material type the driver gave (shaders)
  }
}

video::E_COMPARISON_FUNC zeIrrDepthFunc(uint8_t f) {
  switch (f) {
    case ZE_FX_DEPTH_LEQUAL: return video::ECFN_LESSEQUAL;
    case ZE_FX_DEPTH_EQUAL: return video::ECFN_EQUAL;
    case ZE_FX_DEPTH_LESS: return video::ECFN_LESS;
    case ZE_FX_DEPTH_NOTEQUAL: return video::ECFN_NOTEQUAL;
    case ZE_FX_DEPTH_GEQUAL: return video::ECFN_GREATEREQUAL;
    case ZE_FX_DEPTH_GREATER: return video::ECFN_GREATER;
    case ZE_FX_DEPTH_ALWAYS: return video::ECFN_ALWAYS;
    default: return video::ECFN_NEVER;  // Irrlicht 1.8: depth test off
  }
}

video::E_TEXTURE_CLAMP zeIrrTextureClamp(int c) {
  switch (c) {
    case 1: return video::ETC_CLAMP;
    case 2: return video::ETC_CLAMP_TO_EDGE;
    case 3: return video::ETC_CLAMP_TO_BORDER;
    case 4: return video::ETC_MIRROR;
    case 5: return video::ETC_MIRROR_CLAMP;
    case 6: return video::ETC_MIRROR_CLAMP_TO_EDGE;
    case 7: return video::ETC_MIRROR_CLAMP_TO_BORDER;
    default: return video::ETC_REPEAT;
  }
}
