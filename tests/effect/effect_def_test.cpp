// The definition block of annotated HLSL files: tables of definition lines and
// the records or error texts they give.
#include <gtest/gtest.h>

#include <dirent.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "effect/CZeEffectDefLoaderZarn.h"
#include "fuzz/effectDefFuzzCheck.h"

namespace {

struct Loaded {
  CZeEffectDef* def = nullptr;
  std::string error;  // empty on success
  ~Loaded() {
    if (def) def->drop();
  }
};

void load(Loaded* out, const std::string& block, std::vector<const char*> macros = {},
          const char* path = "/fx/test.hlsl") {
  CZeEffectDefLoaderZarn loader;
  macros.push_back(nullptr);
  const char* error = nullptr;
  std::string text = "float4 ps_main() : COLOR { return 1; }\n/*[ZARN_BEGIN]\n" + block + "\n[ZARN_END]*/\n";
  out->def = loader.loadDefinitionFromText(path, text, macros.data(), 0, &error);
  out->error = error ? error : "";
}

const SParameter* param(const CZeEffectDef* def, const char* name) {
  int h = def->getParameterHandle(name);
  return h < 0 ? nullptr : &def->parameters[size_t(h)];
}

std::vector<std::string> bindNames(const SShader& s) {
  std::vector<std::string> out;
  for (const SParameter& b : s.binds) out.push_back(b.sid);
  return out;
}

TEST(EffectDef, FileWithoutBlockGetsTheDefaultTechnique) {
  CZeEffectDefLoaderZarn loader;
  const char* error = "x";
  CZeEffectDef* def = loader.loadDefinitionFromText("/fx/plain.hlsl", "float4 ps_main() : COLOR { return 1; }\n",
                                                    nullptr, 7, &error);
  EXPECT_EQ(error, nullptr);
  ASSERT_EQ(def->techniques.size(), 1u);
  EXPECT_EQ(def->techniques[0].sid, "");
  ASSERT_EQ(def->techniques[0].passes.size(), 1u);
  const SPass& p = def->techniques[0].passes[0];
  ASSERT_EQ(p.shaders.size(), 2u);
  EXPECT_EQ(p.shaders[0].stage, ZE_FX_STAGE_VERTEX);
  EXPECT_EQ(p.shaders[0].entry, "vs_main");
  EXPECT_EQ(p.shaders[0].target, ZE_FX_TARGET_VS_3_0);
  EXPECT_EQ(p.shaders[0].source, "/fx/plain.hlsl");
  EXPECT_EQ(p.shaders[1].stage, ZE_FX_STAGE_FRAGMENT);
  EXPECT_EQ(p.shaders[1].entry, "ps_main");
  EXPECT_EQ(p.shaders[1].target, ZE_FX_TARGET_PS_3_0);
  EXPECT_TRUE(def->parameters.empty());
  EXPECT_EQ(def->userValue, 7);
  def->drop();
}

TEST(EffectDef, EmptyAndMissingFiles) {
  CZeEffectDefLoaderZarn loader;
  const char* error = nullptr;
  CZeEffectDef* def = loader.loadDefinitionFromText("/fx/empty.hlsl", "", nullptr, 0, &error);
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error, "Error");
  def->drop();
  def = loader.loadDefinition("/no/such/file.hlsl", nullptr, 0, &error);
  ASSERT_NE(error, nullptr);
  EXPECT_STREQ(error, "Cannot open file");
  def->drop();
  EXPECT_TRUE(loader.isALoadableFileExtension("a/b.HLSL"));
  EXPECT_TRUE(loader.isALoadableFileExtension("b.fx"));
  EXPECT_FALSE(loader.isALoadableFileExtension("b.dae"));
  EXPECT_FALSE(loader.isALoadableFileExtension("hlsl"));
}

TEST(EffectDef, NamedTechniquesGetTheirMacrosAndInlines) {
  Loaded l;
  load(&l, "// config techniques : a b\n// config techniques : default\n//ZARN_PP:D:TECH_A:// function pixelMain : ps_a");
  ASSERT_EQ(l.error, "");
  const auto& t = l.def->techniques;
  ASSERT_EQ(t.size(), 4u);
  EXPECT_EQ(t[0].sid, "");
  EXPECT_EQ(t[1].sid, "a");
  EXPECT_EQ(t[2].sid, "b");
  EXPECT_EQ(t[3].sid, "default");
  for (int s = 0; s < 2; ++s) {
    EXPECT_EQ(t[1].passes[0].shaders[size_t(s)].inlines,
              (std::vector<std::string>{"#define USE_TECH_NDFLT", "#define USE_TECH_A"}));
    EXPECT_EQ(t[2].passes[0].shaders[size_t(s)].inlines,
              (std::vector<std::string>{"#define USE_TECH_NDFLT", "#define USE_TECH_B"}));
    EXPECT_TRUE(t[3].passes[0].shaders[size_t(s)].inlines.empty());
    EXPECT_TRUE(t[0].passes[0].shaders[size_t(s)].inlines.empty());
  }
  // The conditional line counts only in technique "a".
  EXPECT_EQ(t[0].passes[0].shaders[1].entry, "ps_main");
  EXPECT_EQ(t[1].passes[0].shaders[1].entry, "ps_a");
  EXPECT_EQ(t[2].passes[0].shaders[1].entry, "ps_main");
}

TEST(EffectDef, NumberedTexturesAndTheirStates) {
  Loaded l;
  load(&l, "// texture\n// texture : Color\n// texture 5 : x.png\n// texture\n// config techniques : shadow");
  ASSERT_EQ(l.error, "");
  const char* names[] = {"Tex__0", "Tex__1", "Tex__5", "Tex__2", "Tex_shadow_0", "Tex_shadow_1", "Tex_shadow_5",
                         "Tex_shadow_2"};
  for (const char* n : names) {
    const SParameter* p = param(l.def, n);
    ASSERT_NE(p, nullptr) << n;
    EXPECT_EQ(p->type, ZE_FX_SAMPLER2D);
    ASSERT_EQ(p->samplers.size(), 1u);
  }
  EXPECT_EQ(param(l.def, "Tex__1")->semantic, "LW_Tex_BaseColor");
  EXPECT_EQ(param(l.def, "Tex__5")->samplers[0].source, "x.png");
  const auto& states = l.def->techniques[0].passes[0].states;
  ASSERT_EQ(states.size(), 4u);
  int indices[] = {0, 1, 5, 2};
  for (size_t i = 0; i < 4; ++i) {
    EXPECT_EQ(states[i].name, "texture2D");
    EXPECT_EQ(states[i].index, indices[i]);
    EXPECT_EQ(states[i].value, "");
  }
  EXPECT_EQ(states[2].param, "Tex__5");
  EXPECT_EQ(l.def->techniques[1].passes[0].states[0].param, "Tex_shadow_0");
}

// One line, the parameter it declares and where it is bound.
struct ParamCase {
  const char* line;
  const char* name;
  int type;
  const char* semantic;
  const char* value;
  std::vector<std::string> vertexBinds, pixelBinds;
  std::vector<std::pair<std::string, std::string>> annotations;
};

TEST(EffectDef, ParameterLines) {
  const ParamCase cases[] = {
      {"// float4x4 World : World", "World", ZE_FX_FLOAT4X4, "WorldTranspose", "", {"World"}, {}, {}},
      {"// float4x4 M : WorldTranspose : both", "M", ZE_FX_FLOAT4X4, "World", "", {"M"}, {"M"}, {}},
      {"// float4x4 P : prevprojectiontranspose", "P", ZE_FX_FLOAT4X4, "PrevViewProjection", "", {"P"}, {}, {}},
      {"// float3 LightDir : 0,0,1 : pixel", "LightDir", ZE_FX_FLOAT3, "", "0  0  1  ", {}, {"LightDir"}, {}},
      {"// float4 Tint : 1, 0.5,0 : pixel color divafter", "Tint", ZE_FX_FLOAT4, "", "1  0.5  0  ", {}, {"Tint"},
       {{"UIWidget", "Color"}, {"UIDivider", "after"}}},
      {"// float K : 0.5 : vertex both percent divider", "K", ZE_FX_FLOAT, "", "0.5  ", {"K"}, {},
       {{"UIWidget", "Percent"}, {"UIDivider", "before"}}},
      {"// float K : 1 : pixel vertex both", "K", ZE_FX_FLOAT, "", "1  ", {}, {"K"}, {}},
      {"// floatN K : 1", "K", ZE_FX_FLOAT, "", "1  ", {"K"}, {}, {}},
      {"// INTEGER Count : 3", "Count", ZE_FX_INT, "", "3  ", {"Count"}, {}, {}},
      {"// bool On : 1 ; pixel", "On", ZE_FX_BOOL, "", "1  ", {}, {"On"}, {}},
      {"// float4 C : Surface_basecolor", "C", ZE_FX_FLOAT4, "LW_BaseColor", "", {"C"}, {}, {}},
      {"// float4 C : Surface_Nothing", "C", ZE_FX_FLOAT4, "Surface_Nothing", "", {"C"}, {}, {}},
      {"// float S : Surface_Roughness", "S", ZE_FX_FLOAT, "LW_Roughness", "", {"S"}, {}, {}},
      {"// float T : ParticleTimeNow", "T", ZE_FX_FLOAT, "Time", "", {"T"}, {}, {}},
      {"// float4 F : MyOwnSemantic", "F", ZE_FX_FLOAT4, "MyOwnSemantic", "", {"F"}, {}, {}},
      {"//   float\tX/Y : 2", "X", ZE_FX_FLOAT, "", "2  ", {"X"}, {}, {}},
  };
  for (const ParamCase& c : cases) {
    Loaded l;
    load(&l, c.line);
    ASSERT_EQ(l.error, "") << c.line;
    ASSERT_EQ(l.def->parameters.size(), 1u) << c.line;
    const SParameter& p = l.def->parameters[0];
    EXPECT_EQ(p.sid, c.name) << c.line;
    EXPECT_EQ(p.type, c.type) << c.line;
    EXPECT_EQ(p.semantic, c.semantic) << c.line;
    EXPECT_EQ(p.value, c.value) << c.line;
    EXPECT_TRUE(p.samplers.empty());
    const SPass& pass = l.def->techniques[0].passes[0];
    EXPECT_EQ(bindNames(pass.shaders[0]), c.vertexBinds) << c.line;
    EXPECT_EQ(bindNames(pass.shaders[1]), c.pixelBinds) << c.line;
    std::vector<std::pair<std::string, std::string>> annotations;
    for (const SParameter& a : p.annotations) annotations.push_back({a.sid, a.value});
    EXPECT_EQ(annotations, c.annotations) << c.line;
  }
}

struct TextureCase {
  const char* line;
  const char* name;
  int type;
  const char* semantic;
  SSampler sampler;
  bool vertex;
  std::vector<std::pair<std::string, std::string>> annotations;
};

TEST(EffectDef, NamedTextureLines) {
  const TextureCase cases[] = {
      {"// texture Env : envmap.hdr : cube clamp", "Env", ZE_FX_SAMPLERCUBE, "",
       {"envmap.hdr", "CLAMP", "CLAMP", "CLAMP", "", "", ""}, false, {}},
      {"// texture N : normals.png : repeat trilinear noMipMap", "N", ZE_FX_SAMPLER2D, "",
       {"normals.png", "REPEAT", "REPEAT", "REPEAT", "LINEAR", "LINEAR", "LINEAR"}, false, {}},
      {"// texture N : n.png : noMipMap filterPoint clamp_to_border clamp_v", "N", ZE_FX_SAMPLER2D, "",
       {"n.png", "CLAMP_TO_BORDER", "CLAMP_TO_BORDER", "CLAMP_TO_BORDER", "NEAREST", "NEAREST", "NONE"}, false, {}},
      {"// texture V : v.png : 3D VERTEX clamp_to_edge_v", "V", ZE_FX_SAMPLER3D, "",
       {"v.png", "REPEAT", "CLAMP_TO_EDGE", "REPEAT", "", "", ""}, true, {}},
      {"// texture D : DepthRTT : preset r32f linear imageref divider", "D", ZE_FX_SAMPLER2D, "DepthRTT", {}, false,
       {{"format", "r32f"}, {"SRGB", "false"}, {"UIWidget", "ImageRef"}, {"UIDivider", "before"}}},
      {"// texture B : bump", "B", ZE_FX_SAMPLER2D, "LW_Tex_Bump", {}, false, {}},
      {"// texture R : reflectionimage2 : srgb image divafter unknown", "R", ZE_FX_SAMPLER2D,
       "LW_Tex_ReflectionImage2", {}, false, {{"SRGB", "true"}, {"UIWidget", "Image"}, {"UIDivider", "after"}}},
      {"// texture E", "E", ZE_FX_SAMPLER2D, "", {}, false, {}},
  };
  for (const TextureCase& c : cases) {
    Loaded l;
    load(&l, c.line);
    ASSERT_EQ(l.error, "") << c.line;
    ASSERT_EQ(l.def->parameters.size(), 1u) << c.line;
    const SParameter& p = l.def->parameters[0];
    EXPECT_EQ(p.sid, c.name) << c.line;
    EXPECT_EQ(p.type, c.type) << c.line;
    EXPECT_EQ(p.semantic, c.semantic) << c.line;
    ASSERT_EQ(p.samplers.size(), 1u);
    const SSampler& s = p.samplers[0];
    EXPECT_EQ(s.source, c.sampler.source) << c.line;
    EXPECT_EQ(s.wrap_s + "," + s.wrap_t + "," + s.wrap_p,
              c.sampler.wrap_s + "," + c.sampler.wrap_t + "," + c.sampler.wrap_p)
        << c.line;
    EXPECT_EQ(s.minfilter + "," + s.magfilter + "," + s.mipfilter,
              c.sampler.minfilter + "," + c.sampler.magfilter + "," + c.sampler.mipfilter)
        << c.line;
    const SPass& pass = l.def->techniques[0].passes[0];
    EXPECT_TRUE(pass.states.empty());
    EXPECT_EQ(bindNames(pass.shaders[c.vertex ? 0 : 1]), std::vector<std::string>{c.name}) << c.line;
    EXPECT_TRUE(pass.shaders[c.vertex ? 1 : 0].binds.empty()) << c.line;
    std::vector<std::pair<std::string, std::string>> annotations;
    for (const SParameter& a : p.annotations) annotations.push_back({a.sid, a.value});
    EXPECT_EQ(annotations, c.annotations) << c.line;
  }
}

TEST(EffectDef, ConfigLinesStatesAndAnnotations) {
  Loaded l;
  load(&l,
       "// config BASEMATERIAL : Transparent_One_One\n// config render : post\n// config rendertarget : BackRTT[0]\n"
       "// config Tangents\n// config point_size_enable\n// config depth_test_enable : false\n"
       "// config depth_mask : true\n// config depth_func : LEQUAL\n// config depth_func\n// config unknown : 1\n"
       "// function vertexMain : vs_x\n// function PIXELMAIN : ps_x\n// function geometryMain : gs_x");
  ASSERT_EQ(l.error, "");
  const STechnique& t = l.def->techniques[0];
  EXPECT_EQ(*l.def->passAnnotation(0, 0, "baseMaterial"), "Transparent_One_One");
  EXPECT_EQ(*l.def->techniqueAnnotation(0, "render"), "post");
  EXPECT_EQ(*l.def->techniqueAnnotation(0, "rendertarget"), "BackRTT[0]");
  EXPECT_EQ(*l.def->techniqueAnnotation(0, "tangents"), "true");
  std::vector<std::string> states;
  for (const SState& s : t.passes[0].states) states.push_back(s.name + "=" + s.value);
  EXPECT_EQ(states, (std::vector<std::string>{"point_size_enable=true", "depth_test_enable=false", "depth_mask=true",
                                              "depth_func=LEQUAL"}));
  EXPECT_EQ(t.passes[0].shaders[0].entry, "vs_x");
  EXPECT_EQ(t.passes[0].shaders[1].entry, "ps_x");
}

TEST(EffectDef, TextsCflagsAndIgnoredLines) {
  Loaded l;
  load(&l,
       "//   title  Skin shader\n// subject Skin\n// comments  one: two\n// title\tNot a title\n"
       "   // float4 Ignored : 1\n// note : this is a comment\n// -----\n///\n// cflag SKIN\n"
       "// #define LOCAL\n// #if LOCAL\n// float A : 1\n// #else\n// float B : 1\n// #endif\n"
       "// #cond LOCAL : float C : 2\n// config techniques : t\n",
       {"USE_TEX_COLOR"});
  ASSERT_EQ(l.error, "");
  EXPECT_EQ(l.def->title, "Skin shader");
  EXPECT_EQ(l.def->subject, "Skin");
  EXPECT_EQ(l.def->comments, "one: two");
  EXPECT_EQ(*l.def->effectAnnotation("cflag"), "USE_SKIN");
  EXPECT_EQ(l.def->annotations.size(), 1u);  // technique "t" does not add a second cflag
  std::vector<std::string> names;
  for (const SParameter& p : l.def->parameters) names.push_back(p.sid);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "C"}));
}

TEST(EffectDef, ConditionalPrefixFollowsTheCallersMacros) {
  const char* line = "//ZARN_PP:U:TEX_COLOR:// texture : Color\n//ZARN_PP:D:TEX_COLOR://ZARN_PP:U:X:// float On : 1";
  for (auto macros : {std::vector<const char*>{}, std::vector<const char*>{"USE_TEX_COLOR"},
                      std::vector<const char*>{"TEX_COLOR"}, std::vector<const char*>{"TEX_COLOR", "X"}}) {
    Loaded l;
    load(&l, line, macros);
    ASSERT_EQ(l.error, "");
    std::vector<std::string> names;
    for (const SParameter& p : l.def->parameters) names.push_back(p.sid);
    if (macros.empty()) EXPECT_EQ(names, std::vector<std::string>{"Tex__0"});
    else if (macros.size() == 1) EXPECT_EQ(names, std::vector<std::string>{"On"});
    else EXPECT_TRUE(names.empty());
  }
  // Malformed prefixes and "#define"d names have no effect on the prefix.
  Loaded l;
  load(&l, "// #define Y\n//ZARN_PP:D:Y:// float A : 1\n//ZARN_PP:X:Y:// float B : 1\n//ZARN_PP:U:Y// float C : 1");
  ASSERT_EQ(l.error, "");
  EXPECT_TRUE(l.def->parameters.empty());
}

TEST(EffectDef, SecondDeclarationKeepsTheFirstButAddsItsBind) {
  Loaded l;
  load(&l, "// float4 Tint : 1,1,1,1 : vertex\n// float3 Tint : 0,0,0 : pixel\n// texture T : a.png\n"
           "// texture T : b.png : vertex");
  ASSERT_EQ(l.error, "");
  ASSERT_EQ(l.def->parameters.size(), 2u);
  EXPECT_EQ(l.def->parameters[0].type, ZE_FX_FLOAT4);
  EXPECT_EQ(l.def->parameters[0].value, "1  1  1  1  ");
  EXPECT_EQ(l.def->parameters[1].samplers[0].source, "a.png");
  const SPass& p = l.def->techniques[0].passes[0];
  EXPECT_EQ(bindNames(p.shaders[0]), (std::vector<std::string>{"Tint", "T"}));
  EXPECT_EQ(bindNames(p.shaders[1]), (std::vector<std::string>{"Tint", "T"}));
}

TEST(EffectDef, DefaultValuesReadThroughTheDefinition) {
  Loaded l;
  load(&l, "// float3 L : 0.5, 2 , -1 : pixel\n// bool B : 1\n// int I : 7");
  ASSERT_EQ(l.error, "");
  float f[4] = {9, 9, 9, 9};
  ASSERT_TRUE(l.def->getFloats(0, f, 4));
  EXPECT_FLOAT_EQ(f[0], 0.5f);
  EXPECT_FLOAT_EQ(f[1], 2.0f);
  EXPECT_FLOAT_EQ(f[2], -1.0f);
  EXPECT_FLOAT_EQ(f[3], 0.0f);
  bool b = false;
  ASSERT_TRUE(l.def->getBool(1, &b));
  EXPECT_TRUE(b);
  int i = 0;
  ASSERT_TRUE(l.def->getInts(2, &i, 1));
  EXPECT_EQ(i, 7);
  EXPECT_FALSE(l.def->getFloats(3, f, 1));
}

TEST(EffectDef, ErrorTexts) {
  const std::string longLine = "// float A : " + std::string(250, '1');
  std::string manyFields = "// float A : 1";
  for (int i = 0; i < 32; ++i) manyFields += ":x";
  std::string manyNumbers = "// float A : 0";
  for (int i = 0; i < 32; ++i) manyNumbers += ",1";
  const struct {
    std::string block;
    const char* error;
  } cases[] = {
      {"// function", "entry point has 1 tokens0 less than 2"},
      {"// function pixelMain", "entry point has 0 tokens less than 1"},
      {"// config", "config has 1 tokens0 less than 2"},
      {"// float4 Tint", "param line has 0 tokens less than 1"},
      {"// float4 : 1", "param line has 1 tokens0 less than 2"},
      {"// #if A", "missing #endif"},
      {"// #endif", "invalid #endif without #if"},
      {"// #include \"missing.fxh\"", "failed to load effect definition include 'missing.fxh'"},
      {"// config techniques : t\n//ZARN_PP:D:TECH_T:// function", "entry point has 1 tokens0 less than 2"},
      {longLine, "/fx/test.hlsl(3): definition line longer than 255 characters"},
      {"// float a b c d e f g h i j k l m n o p q r s t u : 1", "more than 20 tokens"},
      {manyFields, "more than 32 fields"},
      {manyNumbers, "default value of 'A' has more than 32 numbers"},
      {"// float A : 1 : a b c d e f g h i j k l m n o p q r s t u", "has more than 20 words"},
      {"// texture 1234567890", "texture number '1234567890' is out of range"},
      {"// config techniques : a b c d e f g h i j k l m n o p q r s t u", "config techniques has more than 20 names"},
  };
  for (const auto& c : cases) {
    Loaded l;
    load(&l, c.block);
    EXPECT_NE(l.error.find(c.error), std::string::npos) << c.block << " -> " << l.error;
  }
  // A long line outside the block, or not a definition line, is no error.
  Loaded ok;
  load(&ok, "   " + std::string(400, 'x'));
  EXPECT_EQ(ok.error, "");
}

TEST(EffectDef, IncludesAreReadBesideTheEffectFile) {
  char dir[] = "/tmp/zarn-fxdef-XXXXXX";
  ASSERT_NE(mkdtemp(dir), nullptr);
  const std::string d = dir;
  std::ofstream(d + "/common.fxh") << "[ZARN_BEGIN]\n// texture\n// float Shared : 1\n// #include \"deeper.fxh\"\n[ZARN_END]\n// float NotRead : 1\n";
  std::ofstream(d + "/deeper.fxh") << "[ZARN_BEGIN]\n// texture Deep\n[ZARN_END]\n";
  std::ofstream(d + "/self.fxh") << "[ZARN_BEGIN]\n// #include \"self.fxh\"\n[ZARN_END]\n";
  Loaded l;
  load(&l, "// texture\n// #include \"common.fxh\"\n// texture", {}, (d + "/fx.hlsl").c_str());
  ASSERT_EQ(l.error, "");
  std::vector<std::string> names;
  for (const SParameter& p : l.def->parameters) names.push_back(p.sid);
  // The include counts its own textures from 0: its first is the same "Tex__0".
  EXPECT_EQ(names, (std::vector<std::string>{"Tex__0", "Shared", "Deep", "Tex__1"}));
  Loaded cycle;
  load(&cycle, "// #include \"self.fxh\"", {}, (d + "/fx.hlsl").c_str());
  EXPECT_NE(cycle.error.find("nested deeper than 16 files"), std::string::npos) << cycle.error;
  // Each level includes the next twice: 2^9 reads without a limit.
  for (int i = 0; i < 9; ++i)
    std::ofstream(d + "/l" + std::to_string(i) + ".fxh")
        << "[ZARN_BEGIN]\n// #include \"l" << i + 1 << ".fxh\"\n// #include \"l" << i + 1 << ".fxh\"\n[ZARN_END]\n";
  std::ofstream(d + "/l9.fxh") << "[ZARN_BEGIN]\n[ZARN_END]\n";
  Loaded fan;
  load(&fan, "// #include \"l0.fxh\"", {}, (d + "/fx.hlsl").c_str());
  EXPECT_NE(fan.error.find("more than 256 effect definition includes"), std::string::npos) << fan.error;
  for (const char* f : {"/common.fxh", "/deeper.fxh", "/self.fxh"}) std::remove((d + f).c_str());
  for (int i = 0; i < 10; ++i) std::remove((d + "/l" + std::to_string(i) + ".fxh").c_str());
  rmdir(dir);
}

// The fuzz target's minimised corpus, replayed with its checks.
TEST(EffectDef, FuzzCorpusReplays) {
  DIR* dir = opendir("corpus-effectdef");
  ASSERT_NE(dir, nullptr);
  int files = 0;
  while (dirent* e = readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(std::string("corpus-effectdef/") + e->d_name, std::ios::binary);
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::string why;
    EXPECT_TRUE(zeEffectDefFuzzCheck(text, &why)) << e->d_name << ": " << why;
    ++files;
  }
  closedir(dir);
  EXPECT_GT(files, 100);
}

}  // namespace
