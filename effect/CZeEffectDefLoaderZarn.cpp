// Contents: small text helpers · the tables (texture keywords, surface
// channels, semantic aliases) · reading one technique (lines, conditional
// prefix, preprocessor, line kinds) · loadDefinition.
#include "effect/CZeEffectDefLoaderZarn.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

#include "base/zeFile.h"
#include "base/zePath.h"
#include "effect/zeShaderPreprocessor.h"

namespace {

// --- Text helpers ------------------------------------------------------------------

char lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

bool iequals(const std::string& a, const char* b) {
  size_t n = std::strlen(b);
  if (a.size() != n) return false;
  for (size_t i = 0; i < n; ++i)
    if (lower(a[i]) != lower(b[i])) return false;
  return true;
}

std::string upper(const std::string& s) {
  std::string out = s;
  for (char& c : out)
    if (c >= 'a' && c <= 'z') c = char(c - 'a' + 'A');
  return out;
}

std::string trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return std::string();
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Splits at any of `separators`, dropping empty pieces.
std::vector<std::string> words(const std::string& s, const char* separators) {
  std::vector<std::string> out;
  size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::strchr(separators, s[i])) ++i;
    size_t start = i;
    while (i < s.size() && !std::strchr(separators, s[i])) ++i;
    if (i > start) out.push_back(s.substr(start, i - start));
  }
  return out;
}

SParameter annotation(const char* name, const char* value) {
  SParameter a;
  a.sid = name;
  a.value = value;
  return a;
}

SParameter bind(const std::string& name) {
  SParameter b;
  b.sid = name;
  b.value = name;
  return b;
}

// --- Tables ---------------------------------------------------------------------------

enum TextureFlag : unsigned {
  kCube = 0x1, kVolume = 0x2, kPreset = 0x4, kRepeat = 0x8, kClamp = 0x10, kClampToEdge = 0x20, kClampV = 0x40,
  kClampToEdgeV = 0x80, kClampToBorder = 0x100, kNoMipMap = 0x200, kFilterPoint = 0x400, kTrilinear = 0x800,
  kR32f = 0x1000, kSrgb = 0x2000, kLinear = 0x4000, kImage = 0x8000, kImageRef = 0x10000, kVertex = 0x20000,
  kDivider = 0x40000, kDivAfter = 0x80000,
};

const struct { const char* word; unsigned flag; } kTextureKeywords[] = {
    {"cube", kCube},          {"3d", kVolume},           {"preset", kPreset},
    {"repeat", kRepeat},      {"clamp", kClamp},         {"clamp_to_edge", kClampToEdge},
    {"clamp_v", kClampV},     {"clamp_to_edge_v", kClampToEdgeV}, {"clamp_to_border", kClampToBorder},
    {"noMipMap", kNoMipMap},  {"filterPoint", kFilterPoint}, {"trilinear", kTrilinear},
    {"r32f", kR32f},          {"srgb", kSrgb},           {"linear", kLinear},
    {"image", kImage},        {"imageref", kImageRef},   {"vertex", kVertex},
    {"divider", kDivider},    {"divafter", kDivAfter},
};

enum ParamFlag : unsigned { kPixel = 0x1, kVertexStage = 0x2, kBoth = 0x4, kColor = 0x8, kPercent = 0x10,
                            kParamDivider = 0x20, kParamDivAfter = 0x40 };

const struct { const char* word; unsigned flag; } kParamKeywords[] = {
    {"pixel", kPixel}, {"vertex", kVertexStage}, {"both", kBoth}, {"color", kColor},
    {"percent", kPercent}, {"divider", kParamDivider}, {"divafter", kParamDivAfter},
};

const char* const kTextureChannels[] = {"Color",        "BaseColor",    "Luminosity",      "Diffuse",
                                        "Specularity",  "Reflectivity", "Transparency",    "Translucency",
                                        "RefractionIndex", "Bump",      "Glossiness",      "ReflectionImage",
                                        "RefractionImage", "ReflectionImage2"};

const char* const kSurfaceChannels[] = {
    "BaseColor",        "Luminosity",         "Diffuse",             "Specularity",        "Reflectivity",
    "Transparency",     "Translucency",       "IOR",                 "Bump",               "Glossiness",
    "SpecialBuffer1",   "SpecialBuffer2",     "SpecialBuffer3",      "SpecialBuffer4",     "DiffuseSharpness",
    "BumpDropoff",      "SmoothingAngle",     "ReflectionSeamAngle", "RefractionSeamAngle", "ReflectionBlurring",
    "RefractionBlurring", "ColorFilter",      "ColorHighlights",     "AdditiveTransparency", "AlphaValue",
    "GlowValue",        "LineColor",          "LineSize",            "AlphaOptions",       "ReflectionOptions",
    "RefractionOptions", "Sidedness",         "ExcludeFromVStack",   "Glow",               "RenderOutlines",
    "ReflectionImage",  "RefractionImage",    "VertexColoring",      "VertexNormal"};

// Matrices set by name arrive transposed with respect to the shader's view of
// them, so each name yields its transposed counterpart.
const struct { const char* source; const char* semantic; } kSemanticAliases[] = {
    {"Projection", "ProjectionTranspose"},
    {"ProjectionTranspose", "Projection"},
    {"ViewProjection", "ViewProjectionTranspose"},
    {"ViewProjectionTranspose", "ViewProjection"},
    {"View", "ViewTranspose"},
    {"ViewInverse", "ViewInverseTranspose"},
    {"ViewInverseTranspose", "ViewInverse"},
    {"ViewTranspose", "View"},
    {"PrevProjection", "PrevProjectionTranspose"},
    {"PrevProjectionTranspose", "PrevViewProjection"},
    {"PrevViewProjection", "PrevViewProjectionTranspose"},
    {"PrevViewProjectionTranspose", "PrevViewProjection"},
    {"PrevView", "PrevViewTranspose"},
    {"PrevViewInverse", "PrevViewInverseTranspose"},
    {"PrevViewInverseTranspose", "PrevViewInverse"},
    {"PrevViewTranspose", "PrevViewInverse"},
    {"ViewInversePrevViewProjection", "ViewInversePrevViewProjectionTranspose"},
    {"ViewInversePrevViewProjectionTranspose", "ViewInversePrevViewProjection"},
    {"PrevWorld", "PrevWorldTranspose"},
    {"PrevWorldTranspose", "PrevWorld"},
    {"PrevWorldViewProjection", "PrevWorldViewProjectionTranspose"},
    {"PrevWorldViewProjectionTranspose", "PrevWorldViewProjection"},
    {"ViewPosition", "ViewPosition"},
    {"ViewDeterminant", "ViewDeterminant"},
    {"WorldViewProjection", "WorldViewProjectionTranspose"},
    {"WorldViewProjectionTranspose", "WorldViewProjection"},
    {"WorldView", "WorldViewTranspose"},
    {"WorldViewTranspose", "WorldView"},
    {"WorldViewInverse", "WorldViewInverseTranspose"},
    {"WorldViewInverseTranspose", "WorldViewInverse"},
    {"WorldInverse", "WorldInverseTranspose"},
    {"WorldInverseTranspose", "WorldInverse"},
    {"World", "WorldTranspose"},
    {"WorldTranspose", "World"},
    {"ParticleColor", "LWHV_Color"},
    {"ParticleSize", "LWHV_Size"},
    {"ParticleRotation", "LWHV_Rotation"},
    {"ParticleGradColorNum", "LWHV_ColorNumKeys"},
    {"ParticleGradColorKeyParams", "LWHV_ColorKeyParams"},
    {"ParticleGradColorKeyValues", "LWHV_ColorKeyValues"},
    {"ParticleGradSizeNum", "LWHV_SizeNumKeys"},
    {"ParticleGradSizeKeyParams", "LWHV_SizeKeyParams"},
    {"ParticleGradSizeKeyValues", "LWHV_SizeKeyValues"},
    {"ParticleTimeNow", "Time"},
    {"Surface_Roughness", "LW_Roughness"},
    {"Surface_ReflectionMaxMip", "LW_ReflectionMaxMip"},
};

int parameterType(const std::string& t) {
  if (iequals(t, "int") || iequals(t, "integer")) return ZE_FX_INT;
  if (iequals(t, "bool")) return ZE_FX_BOOL;
  if (iequals(t, "float") || iequals(t, "floatN") || iequals(t, "floatNRef")) return ZE_FX_FLOAT;
  if (iequals(t, "float2")) return ZE_FX_FLOAT2;
  if (iequals(t, "float3")) return ZE_FX_FLOAT3;
  if (iequals(t, "float4")) return ZE_FX_FLOAT4;
  if (iequals(t, "float4x4")) return ZE_FX_FLOAT4X4;
  return ZE_FX_UNKNOWN;
}

// --- Reading ----------------------------------------------------------------------------

struct Reader {
  CZeEffectDef* def = nullptr;
  std::string topDirectory;  // directory of the effect file, no trailing "/"
  std::vector<std::string> callerMacros;
  // The technique being read.
  size_t technique = 0;
  std::string techniqueName;
  std::vector<std::string> macros;
  SPreprocessorState* pp = nullptr;
  bool effectLevel = false;
  int includesRead = 0;
  std::string error;
  std::string errorFile;  // where the first failure happened (innermost file)
  int errorLine = 0;

  __attribute__((format(printf, 2, 3))) bool fail(const char* format, ...) {
    char buffer[1024];
    va_list args;
    va_start(args, format);
    std::vsnprintf(buffer, sizeof buffer, format, args);
    va_end(args);
    error = buffer;
    return false;
  }

  SPass& pass() { return def->techniques[technique].passes[0]; }
  bool readTechnique(const std::string& name, const std::string& text);
  bool readText(const std::string& text, const std::string& fileName, int depth);
  bool interpret(const std::string& line, int* counter, int depth);
  bool functionLine(const std::vector<std::string>& tokens, const std::vector<std::string>& fields);
  bool configLine(const std::vector<std::string>& tokens, const std::vector<std::string>& fields);
  bool textureLine(const std::vector<std::string>& tokens, const std::vector<std::string>& fields, int* counter);
  bool parameterLine(int type, const std::vector<std::string>& tokens, const std::vector<std::string>& fields);
  bool keywordWords(const std::vector<std::string>& fields, std::vector<std::string>* out);
};

bool Reader::keywordWords(const std::vector<std::string>& fields, std::vector<std::string>* out) {
  out->clear();
  if (fields.size() < 3) return true;
  *out = words(fields[2], " \r\n");
  if (out->size() > size_t(ZE_FX_MAX_TOKENS))
    return fail("keyword list '%.200s' has more than %d words", fields[2].c_str(), ZE_FX_MAX_TOKENS);
  return true;
}

bool Reader::functionLine(const std::vector<std::string>& tokens, const std::vector<std::string>& fields) {
  if (tokens.size() < 2) return fail("entry point has %d tokens0 less than 2", int(tokens.size()));
  if (fields.size() < 2) return fail("entry point has %d tokens less than 1", int(fields.size()) - 1);
  SPass& p = pass();
  if (iequals(tokens[1], "vertexMain")) p.shaders[0].entry = fields[1];
  else if (iequals(tokens[1], "pixelMain")) p.shaders[1].entry = fields[1];
  return true;
}

bool Reader::configLine(const std::vector<std::string>& tokens, const std::vector<std::string>& fields) {
  if (tokens.size() < 2) return fail("config has %d tokens0 less than 2", int(tokens.size()));
  const std::string& key = tokens[1];
  const bool hasValue = fields.size() >= 2;
  const std::string value = hasValue ? fields[1] : std::string();
  STechnique& t = def->techniques[technique];
  auto state = [&](const char* name, const std::string& v) {
    SState s;
    s.name = name;
    s.value = v;
    pass().states.push_back(s);
  };
  if (iequals(key, "tangents")) t.annotations.push_back(annotation("tangents", "true"));
  else if (iequals(key, "point_size_enable")) state("point_size_enable", "true");
  else if (!hasValue) return true;
  else if (iequals(key, "baseMaterial")) pass().annotations.push_back(annotation("baseMaterial", value.c_str()));
  else if (iequals(key, "render")) t.annotations.push_back(annotation("render", value.c_str()));
  else if (iequals(key, "rendertarget")) t.annotations.push_back(annotation("rendertarget", value.c_str()));
  else if (iequals(key, "depth_test_enable")) state("depth_test_enable", value);
  else if (iequals(key, "depth_mask")) state("depth_mask", value);
  else if (iequals(key, "depth_func")) state("depth_func", value);
  else if (iequals(key, "techniques")) {
    std::vector<std::string> names = words(value, " \r\n");
    if (names.size() > size_t(ZE_FX_MAX_TOKENS))
      return fail("config techniques has more than %d names", ZE_FX_MAX_TOKENS);
    std::string joined;
    for (const std::string& n : names) joined += (joined.empty() ? "" : " ") + n;
    t.annotations.push_back(annotation("techniques", joined.c_str()));
  }
  return true;
}

bool Reader::textureLine(const std::vector<std::string>& tokens, const std::vector<std::string>& fields,
                         int* counter) {
  std::string name;
  bool numbered = true;
  int number = 0;
  if (tokens.size() < 2) {
    number = (*counter)++;
  } else if (tokens[1].find_first_not_of("0123456789") == std::string::npos) {
    // Sampler stages are small; nine digits keep the number inside 32 bits.
    if (tokens[1].size() > 9) return fail("texture number '%.40s' is out of range", tokens[1].c_str());
    number = std::atoi(tokens[1].c_str());
  } else {
    numbered = false;
    name = tokens[1];
  }
  if (numbered) name = "Tex_" + techniqueName + "_" + std::to_string(number);

  std::vector<std::string> keywords;
  if (!keywordWords(fields, &keywords)) return false;
  unsigned flags = 0;
  for (const std::string& w : keywords)
    for (const auto& k : kTextureKeywords)
      if (iequals(w, k.word)) flags |= k.flag;

  SParameter param;
  param.sid = name;
  param.type = (flags & kCube) ? ZE_FX_SAMPLERCUBE : (flags & kVolume) ? ZE_FX_SAMPLER3D : ZE_FX_SAMPLER2D;
  const char* typeText = (flags & kCube) ? "textureCUBE" : (flags & kVolume) ? "texture3D" : "texture2D";
  SSampler s;
  auto wraps = [&](const char* a, const char* b, const char* c) {
    s.wrap_s = a;
    s.wrap_t = b;
    s.wrap_p = c;
  };
  if (flags & kRepeat) wraps("REPEAT", "REPEAT", "REPEAT");
  if (flags & kClamp) wraps("CLAMP", "CLAMP", "CLAMP");
  if (flags & kClampToEdge) wraps("CLAMP_TO_EDGE", "CLAMP_TO_EDGE", "CLAMP_TO_EDGE");
  if (flags & kClampV) wraps("REPEAT", "CLAMP", "REPEAT");
  if (flags & kClampToEdgeV) wraps("REPEAT", "CLAMP_TO_EDGE", "REPEAT");
  if (flags & kClampToBorder) wraps("CLAMP_TO_BORDER", "CLAMP_TO_BORDER", "CLAMP_TO_BORDER");
  if (flags & kNoMipMap) s.mipfilter = "NONE";
  if (flags & kFilterPoint) s.minfilter = s.magfilter = "NEAREST";
  if (flags & kTrilinear) s.minfilter = s.magfilter = s.mipfilter = "LINEAR";
  if (flags & kR32f) param.annotations.push_back(annotation("format", "r32f"));
  if (flags & kSrgb) param.annotations.push_back(annotation("SRGB", "true"));
  if (flags & kLinear) param.annotations.push_back(annotation("SRGB", "false"));
  if (flags & kImage) param.annotations.push_back(annotation("UIWidget", "Image"));
  if (flags & kImageRef) param.annotations.push_back(annotation("UIWidget", "ImageRef"));
  if (flags & kDivider) param.annotations.push_back(annotation("UIDivider", "before"));
  if (flags & kDivAfter) param.annotations.push_back(annotation("UIDivider", "after"));

  if (fields.size() >= 2) {
    const std::string& source = fields[1];
    if (flags & kPreset) {
      param.semantic = source;
    } else {
      bool channel = false;
      for (const char* c : kTextureChannels)
        if (iequals(source, c)) {
          param.semantic = std::string("LW_Tex_") + (std::strcmp(c, "Color") == 0 ? "BaseColor" : c);
          channel = true;
          break;
        }
      if (!channel) s.source = source;
    }
  }
  param.samplers.push_back(s);
  if (def->getParameterHandle(name.c_str()) < 0) def->parameters.push_back(param);

  if (!numbered) {
    pass().shaders[(flags & kVertex) ? 0 : 1].binds.push_back(bind(name));
  } else {
    SState state;
    state.name = typeText;
    state.param = name;
    state.index = number;
    pass().states.push_back(state);
  }
  return true;
}

bool Reader::parameterLine(int type, const std::vector<std::string>& tokens, const std::vector<std::string>& fields) {
  if (tokens.size() < 2) return fail("param line has %d tokens0 less than 2", int(tokens.size()));
  if (fields.size() < 2) return fail("param line has %d tokens less than 1", int(fields.size()) - 1);
  SParameter param;
  param.sid = tokens[1];
  param.type = type;
  const std::string& source = fields[1];
  bool done = false;
  if (source.compare(0, 8, "Surface_") == 0) {
    const std::string channel = source.substr(8);
    for (const char* c : kSurfaceChannels)
      if (iequals(channel, c)) {
        param.semantic = std::string("LW_") + c;
        done = true;
        break;
      }
  }
  if (!done)
    for (const auto& a : kSemanticAliases)
      if (iequals(source, a.source)) {
        param.semantic = a.semantic;
        done = true;
        break;
      }
  if (!done && !source.empty() && ((source[0] >= 'a' && source[0] <= 'z') || (source[0] >= 'A' && source[0] <= 'Z'))) {
    param.semantic = source;
    done = true;
  }
  if (!done) {
    std::vector<std::string> numbers;
    size_t start = 0;
    while (true) {
      size_t comma = source.find(',', start);
      numbers.push_back(trim(source.substr(start, comma == std::string::npos ? std::string::npos : comma - start)));
      if (comma == std::string::npos) break;
      start = comma + 1;
    }
    if (numbers.size() > size_t(ZE_FX_MAX_NUMBERS))
      return fail("default value of '%.100s' has more than %d numbers", param.sid.c_str(), ZE_FX_MAX_NUMBERS);
    for (const std::string& n : numbers) param.value += n + "  ";
  }

  std::vector<std::string> keywords;
  if (!keywordWords(fields, &keywords)) return false;
  unsigned flags = 0;
  for (const std::string& w : keywords)
    for (const auto& k : kParamKeywords)
      if (iequals(w, k.word)) flags |= k.flag;
  if (flags & kColor) param.annotations.push_back(annotation("UIWidget", "Color"));
  else if (flags & kPercent) param.annotations.push_back(annotation("UIWidget", "Percent"));
  if (flags & kParamDivider) param.annotations.push_back(annotation("UIDivider", "before"));
  if (flags & kParamDivAfter) param.annotations.push_back(annotation("UIDivider", "after"));

  if (def->getParameterHandle(param.sid.c_str()) < 0) def->parameters.push_back(param);
  SPass& p = pass();
  if (flags & kPixel) {
    p.shaders[1].binds.push_back(bind(param.sid));
  } else if (flags & kVertexStage) {
    p.shaders[0].binds.push_back(bind(param.sid));
  } else if (flags & kBoth) {
    p.shaders[0].binds.push_back(bind(param.sid));
    p.shaders[1].binds.push_back(bind(param.sid));
  } else {
    p.shaders[0].binds.push_back(bind(param.sid));
  }
  return true;
}

bool Reader::interpret(const std::string& fullLine, int* counter, int depth) {
  const char* line = fullLine.c_str();
  // Conditional prefixes: "//ZARN_PP:D:NAME:" or "//ZARN_PP:U:NAME:", chained as a logical and.
  static const char kPrefix[] = "//ZARN_PP:";
  while (std::strncmp(line, kPrefix, sizeof kPrefix - 1) == 0) {
    const char* p = line + sizeof kPrefix - 1;
    if ((p[0] != 'D' && p[0] != 'U') || p[1] != ':') return true;
    const bool wantDefined = p[0] == 'D';
    p += 2;
    const char* close = std::strchr(p, ':');
    if (!close) return true;
    std::string name(p, size_t(close - p));
    bool defined = false;
    for (const std::string& m : macros)
      if (m == name) defined = true;
    if (defined != wantDefined) return true;
    line = close + 1;
  }
  if (line[0] != '/' || line[1] != '/') return true;
  const char* content = line + 2;
  while (*content == ' ' || *content == '\t') ++content;
  if (*content != '#' && (*content < '0' || *content > 'z')) return true;

  SPreprocessorLine result;
  zePreprocessLine(pp, content, &result);
  if (!result.error.empty()) {
    error = result.error;
    return false;
  }
  if (!result.includeName.empty()) {
    const std::string& name = result.includeName;
    if (depth >= ZE_FX_MAX_INCLUDE_DEPTH)
      return fail("effect definition include '%.200s' nested deeper than %d files", name.c_str(),
                  ZE_FX_MAX_INCLUDE_DEPTH);
    if (++includesRead > ZE_FX_MAX_INCLUDES)
      return fail("more than %d effect definition includes in one technique at '%.200s'", ZE_FX_MAX_INCLUDES,
                  name.c_str());
    std::string path = topDirectory + "/" + name;
    std::string text;
    if (!zeFileReadAll(path.c_str(), &text)) return fail("failed to load effect definition include '%.200s'", name.c_str());
    return readText(text, path, depth + 1);
  }
  if (!result.text) return true;
  std::string text = result.text;
  if (text.empty() || text[0] == '#') return true;

  for (const char* key : {"title", "subject", "comments"}) {
    size_t n = std::strlen(key);
    if (text.compare(0, n, key) == 0 && text.size() > n && text[n] == ' ') {
      size_t start = text.find_first_not_of(' ', n);
      std::string rest = start == std::string::npos ? std::string() : text.substr(start, 511);
      if (key[0] == 't') def->title = rest;
      else if (key[0] == 's') def->subject = rest;
      else def->comments = rest;
      return true;
    }
  }
  if (text.compare(0, 6, "cflag ") == 0) {
    if (effectLevel) def->annotations.push_back(annotation("cflag", ("USE_" + text.substr(6)).c_str()));
    return true;
  }

  // Fields at ":" or ";", tokens of field 0 at blanks and "/".
  std::vector<std::string> fields;
  size_t start = 0;
  while (true) {
    size_t sep = text.find_first_of(":;", start);
    fields.push_back(trim(text.substr(start, sep == std::string::npos ? std::string::npos : sep - start)));
    if (sep == std::string::npos) break;
    start = sep + 1;
  }
  std::vector<std::string> tokens = words(fields[0], "\t/ \r\n");
  if (tokens.empty()) return true;
  const std::string& kind = tokens[0];
  int type = ZE_FX_UNKNOWN;
  const bool known = iequals(kind, "function") || iequals(kind, "config") || iequals(kind, "texture") ||
                     (type = parameterType(kind)) != ZE_FX_UNKNOWN;
  if (!known) return true;  // ordinary comment lines inside the block
  if (fields.size() > size_t(ZE_FX_MAX_FIELDS))
    return fail("definition line '%.60s' has more than %d fields", text.c_str(), ZE_FX_MAX_FIELDS);
  if (tokens.size() > size_t(ZE_FX_MAX_TOKENS))
    return fail("definition line '%.60s' has more than %d tokens", text.c_str(), ZE_FX_MAX_TOKENS);
  if (iequals(kind, "function")) return functionLine(tokens, fields);
  if (iequals(kind, "config")) return configLine(tokens, fields);
  if (iequals(kind, "texture")) return textureLine(tokens, fields, counter);
  return parameterLine(type, tokens, fields);
}

bool Reader::readText(const std::string& text, const std::string& fileName, int depth) {
  int counter = 0;
  bool inBlock = false;
  int lineNumber = 1;
  size_t i = 0;
  while (i < text.size()) {
    size_t start = i;
    while (i < text.size() && text[i] != '\r' && text[i] != '\n') ++i;
    std::string line = text.substr(start, i - start);
    const int number = lineNumber;
    while (i < text.size() && (text[i] == '\r' || text[i] == '\n')) {
      if (text[i] == '\n') ++lineNumber;
      ++i;
    }
    if (line.empty()) continue;
    if (!inBlock) {
      if (line.find("[ZARN_BEGIN]") != std::string::npos) inBlock = true;
      continue;
    }
    if (line.find("[ZARN_END]") != std::string::npos) break;
    // Only lines that would be interpreted pass through the line buffer.
    if (line.size() > ZE_FX_LINE_MAX && line[0] == '/' && line[1] == '/')
      return fail("%.200s(%d): definition line longer than %d characters", fileName.c_str(), number,
                  int(ZE_FX_LINE_MAX));
    if (!interpret(line, &counter, depth)) {
      if (errorLine == 0) {
        errorFile = fileName;
        errorLine = number;
      }
      return false;
    }
  }
  return true;
}

bool Reader::readTechnique(const std::string& name, const std::string& text) {
  const std::string& source = def->path;
  STechnique t;
  t.sid = name;
  SPass p;
  SShader vs, ps;
  vs.stage = ZE_FX_STAGE_VERTEX;
  vs.entry = "vs_main";
  vs.source = source;
  vs.target = ZE_FX_TARGET_VS_3_0;
  ps.stage = ZE_FX_STAGE_FRAGMENT;
  ps.entry = "ps_main";
  ps.source = source;
  ps.target = ZE_FX_TARGET_PS_3_0;
  macros = callerMacros;
  if (!name.empty() && name != "default") {
    const std::string macro = "TECH_" + upper(name);
    macros.push_back("TECH_NDFLT");
    macros.push_back(macro);
    for (SShader* s : {&vs, &ps}) {
      s->inlines.push_back("#define USE_TECH_NDFLT");
      s->inlines.push_back("#define USE_" + macro);
    }
  }
  p.shaders.push_back(vs);
  p.shaders.push_back(ps);
  t.passes.push_back(p);
  def->techniques.push_back(t);
  technique = def->techniques.size() - 1;
  techniqueName = name;

  includesRead = 0;
  pp = zePreprocessorCreate(macros);
  error = "Unknown error in Zarn shader";
  bool ok = readText(text, def->path, 0);
  std::string open = zePreprocessorFinish(pp);
  pp = nullptr;
  if (!ok) return false;
  if (!open.empty()) {
    error = open;
    return false;
  }
  return true;
}

}  // namespace

bool CZeEffectDefLoaderZarn::isALoadableFileExtension(const char* fileName) const {
  if (!fileName) return false;
  const char* dot = std::strrchr(fileName, '.');
  if (!dot) return false;
  std::string ext(dot + 1);
  return iequals(ext, "hlsl") || iequals(ext, "fx");
}

CZeEffectDef* CZeEffectDefLoaderZarn::loadDefinition(const char* fileName, const char* const* macros, int value,
                                                     const char** errorText) {
  std::string path = zeAbsolutePath(fileName ? fileName : "");
  std::string text;
  if (!zeFileReadAll(fileName ? fileName : "", &text)) {
    auto* def = new CZeEffectDefZarn;
    def->path = path;
    def->userValue = value;
    error_ = "Cannot open file";
    errorFile_ = path;
    errorLine_ = 0;
    *errorText = error_.c_str();
    return def;
  }
  return loadDefinitionFromText(path.c_str(), text, macros, value, errorText);
}

CZeEffectDef* CZeEffectDefLoaderZarn::loadDefinitionFromText(const char* path, const std::string& text,
                                                             const char* const* macros, int value,
                                                             const char** errorText) {
  auto* def = new CZeEffectDefZarn;
  def->path = path ? path : "";
  def->userValue = value;
  error_ = "Error";
  errorFile_ = def->path;
  errorLine_ = 0;
  *errorText = error_.c_str();
  if (text.empty()) return def;

  Reader reader;
  reader.def = def;
  std::string directory = zePathDirectory(def->path);
  while (!directory.empty() && (directory.back() == '/' || directory.back() == '\\')) directory.pop_back();
  reader.topDirectory = directory.empty() ? "." : directory;
  for (const char* const* m = macros; m && *m; ++m) {
    std::string name = *m;
    if (name.compare(0, 4, "USE_") == 0) name = name.substr(4);
    reader.callerMacros.push_back(name);
  }

  bool ok = true;
  reader.effectLevel = true;
  ok = reader.readTechnique("", text);
  if (ok) {
    reader.effectLevel = false;
    std::string joined;
    for (const SParameter& a : def->techniques[0].annotations)
      if (a.sid == "techniques") joined += (joined.empty() ? "" : " ") + a.value;
    for (const std::string& name : words(joined, " "))
      if (!(ok = reader.readTechnique(name, text))) break;
  }
  if (!ok) {
    errorFile_ = reader.errorFile.empty() ? def->path : reader.errorFile;
    errorLine_ = reader.errorLine;
    error_ = reader.error.substr(0, 1023);
    *errorText = error_.c_str();
    return def;
  }
  *errorText = nullptr;
  return def;
}
