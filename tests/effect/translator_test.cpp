// The HLSL translator on the hand-written corpus: every shader translates to
// GLSL that parses as GLSL 330 compatibility, constants get the registers and
// samplers the indices Direct3D 9 gives them, and errors name the file and line
// where they are.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "base/zePath.h"
#include "effect/zeHlslPrepass.h"
#include "effect/zeHlslTranslator.h"
#include "fuzz/hlslIncludeFuzzOne.h"

namespace {

std::string readText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class CorpusIncludes : public IZeShaderIncludeSource {
 public:
  bool openInclude(const std::string& name, const std::string& includer, std::string* opened,
                   std::string* bytes) override {
    size_t slash = includer.find_last_of('/');
    std::string path = (slash == std::string::npos ? std::string(".") : includer.substr(0, slash)) + "/" + name;
    std::ifstream in(path);
    if (!in) return false;
    *bytes = readText(path);
    *opened = path;
    return true;
  }
};

bool translate(const std::string& file, uint32_t stage, SZeCompiledProgram* out, std::string* errors,
               std::vector<SZeShaderMacro> macros = {}) {
  static CorpusIncludes includes;
  SZeTranslateRequest r;
  r.stage = stage;
  r.sourcePath = "corpus/" + file;
  r.source = readText(r.sourcePath);
  r.entry = stage == ZE_STAGE_VERTEX ? "vs_main" : "ps_main";
  r.macros = std::move(macros);
  r.includes = &includes;
  return zeTranslateHlsl(r, out, errors);
}

const char* kCorpus[] = {"basic.hlsl", "screenspace.hlsl", "mrt.hlsl", "vtf.hlsl", "texfuncs.hlsl",
                         "constants.hlsl", "includes.hlsl", "lit.hlsl", "oldprofiles.hlsl", "branch.hlsl",
                         "matrix.hlsl", "packmatrix.hlsl", "intrinsics.hlsl", "fmod.hlsl"};

}  // namespace

TEST(Translator, EveryCorpusShaderTranslatesToValidGlsl) {
  for (const char* file : kCorpus) {
    for (uint32_t stage : {ZE_STAGE_VERTEX, ZE_STAGE_PIXEL}) {
      SZeCompiledProgram p;
      std::string errors, log;
      ASSERT_TRUE(translate(file, stage, &p, &errors)) << file << " stage " << stage << "\n" << errors;
      EXPECT_TRUE(zeValidateGlsl(stage, p.glsl, &log)) << file << " stage " << stage << "\n" << log << "\n" << p.glsl;
      EXPECT_EQ(p.glsl.rfind("#version 330 compatibility\n", 0), 0u) << file;
    }
  }
}

// Registers and sampler indices as Direct3D 9 allocates them: a used constant
// owns whole registers, explicit register(cN)/(sN) are kept, the others take
// the first free run in declaration order; unused constants get none.
TEST(Translator, RegistersAndSamplersMatchTheExpectedTable) {
  struct Expect {
    const char* file;
    uint32_t stage;
    const char* name;
    char set;
    int reg;
    int count;
  };
  const Expect table[] = {
      {"basic.hlsl", ZE_STAGE_VERTEX, "WorldViewProj", 'c', 0, 4},
      {"basic.hlsl", ZE_STAGE_PIXEL, "Tint", 'c', 0, 1},
      {"basic.hlsl", ZE_STAGE_PIXEL, "DiffuseSampler", 's', 0, 1},
      {"constants.hlsl", ZE_STAGE_VERTEX, "WorldViewProj", 'c', 0, 4},
      {"constants.hlsl", ZE_STAGE_VERTEX, "WorldRM", 'c', 4, 4},
      {"constants.hlsl", ZE_STAGE_VERTEX, "Bones", 'c', 8, 6},  // float4x3 column_major: 3 registers each
      {"constants.hlsl", ZE_STAGE_VERTEX, "Bones[1]", 'c', 11, 3},
      {"constants.hlsl", ZE_STAGE_VERTEX, "ObjectsPos", 'c', 14, 200},
      {"constants.hlsl", ZE_STAGE_VERTEX, "ObjectsPos[3]", 'c', 17, 1},
      {"constants.hlsl", ZE_STAGE_VERTEX, "Fixed", 'c', 250, 1},
      {"constants.hlsl", ZE_STAGE_VERTEX, "UseSkin", 'c', 214, 1},
      {"constants.hlsl", ZE_STAGE_VERTEX, "Count", 'c', 215, 1},
      {"constants.hlsl", ZE_STAGE_PIXEL, "LightParams", 'c', 0, 20},
      {"constants.hlsl", ZE_STAGE_PIXEL, "LightParams[2]", 'c', 8, 4},
      {"constants.hlsl", ZE_STAGE_PIXEL, "LightParams[2].LightColor", 'c', 8, 1},
      {"constants.hlsl", ZE_STAGE_PIXEL, "LightParams[2].SpotlightAngles", 'c', 11, 1},
      {"constants.hlsl", ZE_STAGE_PIXEL, "LightParams[4].LightPosition", 'c', 18, 1},
      {"constants.hlsl", ZE_STAGE_PIXEL, "LightsNum", 'c', 20, 1},
      {"constants.hlsl", ZE_STAGE_PIXEL, "Coeffs", 'c', 21, 3},  // constant indices 0 and 2 only
      {"constants.hlsl", ZE_STAGE_PIXEL, "Coeffs[2]", 'c', 23, 1},
      {"constants.hlsl", ZE_STAGE_PIXEL, "AfterCoeffs", 'c', 24, 1},
      {"vtf.hlsl", ZE_STAGE_VERTEX, "WorldViewProj", 'c', 0, 4},
      {"vtf.hlsl", ZE_STAGE_VERTEX, "Scale", 'c', 4, 1},
      {"vtf.hlsl", ZE_STAGE_VERTEX, "HeightMap", 's', 1, 1},
      {"vtf.hlsl", ZE_STAGE_PIXEL, "ColorMap", 's', 0, 1},
      {"texfuncs.hlsl", ZE_STAGE_PIXEL, "HalfTint", 'c', 0, 1},
      {"texfuncs.hlsl", ZE_STAGE_PIXEL, "Tex2", 's', 2, 1},
      {"texfuncs.hlsl", ZE_STAGE_PIXEL, "Env", 's', 0, 1},
      {"texfuncs.hlsl", ZE_STAGE_PIXEL, "Volume", 's', 1, 1},
      {"texfuncs.hlsl", ZE_STAGE_PIXEL, "Proj", 's', 3, 1},
      {"oldprofiles.hlsl", ZE_STAGE_PIXEL, "Ambient", 'c', 0, 1},
      {"oldprofiles.hlsl", ZE_STAGE_PIXEL, "Base", 's', 0, 1},
      {"includes.hlsl", ZE_STAGE_PIXEL, "LightColor", 'c', 0, 1},
      {"branch.hlsl", ZE_STAGE_PIXEL, "UseGreen", 'c', 0, 1},
      {"packmatrix.hlsl", ZE_STAGE_VERTEX, "View", 'c', 0, 4},
      {"packmatrix.hlsl", ZE_STAGE_VERTEX, "Skin", 'c', 4, 3},
      {"packmatrix.hlsl", ZE_STAGE_VERTEX, "Explicit", 'c', 7, 4},
      {"branch.hlsl", ZE_STAGE_PIXEL, "Level", 'c', 1, 1},
  };
  for (const Expect& e : table) {
    SZeCompiledProgram p;
    std::string errors;
    ASSERT_TRUE(translate(e.file, e.stage, &p, &errors)) << errors;
    SZeConstRef ref;
    ASSERT_TRUE(p.constants.find(e.name, &ref)) << e.file << " " << e.name;
    EXPECT_EQ(ref.registerSet, e.set) << e.file << " " << e.name;
    EXPECT_EQ(ref.registerIndex, e.reg) << e.file << " " << e.name;
    EXPECT_EQ(ref.registerCount, e.count) << e.file << " " << e.name;
  }
}

TEST(Translator, UnusedConstantsAndBadPathsAreNotFound) {
  SZeCompiledProgram p;
  std::string errors;
  ASSERT_TRUE(translate("constants.hlsl", ZE_STAGE_PIXEL, &p, &errors)) << errors;
  SZeConstRef ref;
  for (const char* name : {"UnusedConstant", "WorldViewProj", "LightParams[5]", "Coeffs[3]", "Coeffs[7]", "LightParams[1].Nope", "LightsNum[0]",
                           "LightParams.LightColor", "LightParams[x]", "", "LightParams[2]junk"})
    EXPECT_FALSE(p.constants.find(name, &ref)) << name;
}

TEST(Translator, TypesOfTheTableKeepBoolIntAndPacking) {
  SZeCompiledProgram p;
  std::string errors;
  ASSERT_TRUE(translate("constants.hlsl", ZE_STAGE_VERTEX, &p, &errors)) << errors;
  SZeConstRef ref;
  ASSERT_TRUE(p.constants.find("UseSkin", &ref));
  EXPECT_EQ(ref.type->base, ZE_BASE_BOOL);
  ASSERT_TRUE(p.constants.find("Count", &ref));
  EXPECT_EQ(ref.type->base, ZE_BASE_INT);
  ASSERT_TRUE(p.constants.find("WorldViewProj", &ref));
  EXPECT_EQ(ref.type->cls, ZE_CLASS_MATRIX_COLUMNS);
  ASSERT_TRUE(p.constants.find("WorldRM", &ref));
  EXPECT_EQ(ref.type->cls, ZE_CLASS_MATRIX_ROWS);
  SZeCompiledProgram packed;
  ASSERT_TRUE(translate("packmatrix.hlsl", ZE_STAGE_VERTEX, &packed, &errors)) << errors;
  ASSERT_TRUE(packed.constants.find("View", &ref));
  EXPECT_EQ(ref.type->cls, ZE_CLASS_MATRIX_ROWS);
  ASSERT_TRUE(packed.constants.find("Explicit", &ref));
  EXPECT_EQ(ref.type->cls, ZE_CLASS_MATRIX_COLUMNS);
  ASSERT_TRUE(p.constants.find("Bones", &ref));
  EXPECT_EQ(ref.type->rows, 4);
  EXPECT_EQ(ref.type->columns, 3);
  EXPECT_EQ(ref.type->elements, 2u);
}

// Writes by name follow the packing; a column_major matrix given row after row
// lands transposed in its registers, a row_major one as it is.
TEST(Translator, WritesByNameFollowDirect3DPacking) {
  SZeCompiledProgram vs, ps;
  std::string errors;
  ASSERT_TRUE(translate("constants.hlsl", ZE_STAGE_VERTEX, &vs, &errors)) << errors;
  ASSERT_TRUE(translate("constants.hlsl", ZE_STAGE_PIXEL, &ps, &errors)) << errors;
  float m[16];
  for (int i = 0; i < 16; ++i) m[i] = float(i + 1);
  std::vector<float> regs(ZE_VERTEX_REGISTERS * 4, 0.0f);
  int first = 0, end = 0;
  ASSERT_TRUE(vs.constants.writeByName("WorldViewProj", m, 16, regs.data(), ZE_VERTEX_REGISTERS, &first, &end));
  EXPECT_EQ(first, 0);
  EXPECT_EQ(end, 4);
  // Register j holds column j: (m[j], m[4+j], m[8+j], m[12+j]).
  for (int j = 0; j < 4; ++j)
    for (int i = 0; i < 4; ++i) EXPECT_EQ(regs[j * 4 + i], m[i * 4 + j]);
  ASSERT_TRUE(vs.constants.writeByName("WorldRM", m, 16, regs.data(), ZE_VERTEX_REGISTERS, &first, &end));
  EXPECT_EQ(first, 4);
  for (int k = 0; k < 16; ++k) EXPECT_EQ(regs[16 + k], m[k]);
  // float4x3 element: 12 floats, 3 column registers of 4 rows.
  ASSERT_TRUE(vs.constants.writeByName("Bones[1]", m, 12, regs.data(), ZE_VERTEX_REGISTERS, &first, &end));
  EXPECT_EQ(first, 11);
  EXPECT_EQ(end, 14);
  EXPECT_EQ(regs[11 * 4 + 0], 1.0f);  // row 0 column 0
  EXPECT_EQ(regs[11 * 4 + 1], 4.0f);  // row 1 column 0
  EXPECT_EQ(regs[12 * 4 + 0], 2.0f);  // row 0 column 1
  // Arrays take elements in order; a float3 fills xyz of its register.
  std::vector<float> pregs(ZE_PIXEL_REGISTERS * 4, -1.0f);
  const float color[3] = {0.5f, 0.25f, 0.125f};
  ASSERT_TRUE(ps.constants.writeByName("LightParams[3].LightColor", color, 3, pregs.data(), ZE_PIXEL_REGISTERS, &first, &end));
  EXPECT_EQ(first, 12);
  EXPECT_EQ(pregs[12 * 4 + 0], 0.5f);
  EXPECT_EQ(pregs[12 * 4 + 2], 0.125f);
  EXPECT_EQ(pregs[12 * 4 + 3], -1.0f);
  // A whole struct element: members in order, each in its own register.
  const float record[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_TRUE(ps.constants.writeByName("LightParams[1]", record, 9, pregs.data(), ZE_PIXEL_REGISTERS, &first, &end));
  EXPECT_EQ(first, 4);
  EXPECT_EQ(end, 8);
  EXPECT_EQ(pregs[5 * 4 + 0], 4.0f);  // LightType
  EXPECT_EQ(pregs[6 * 4 + 2], 7.0f);  // LightPosition.z
  EXPECT_EQ(pregs[7 * 4 + 1], 9.0f);  // SpotlightAngles.y
  // More floats than the constant holds never spill past it.
  const float many[40] = {};
  ASSERT_TRUE(ps.constants.writeByName("LightsNum", many, 40, pregs.data(), ZE_PIXEL_REGISTERS, &first, &end));
  EXPECT_EQ(end - first, 1);
  EXPECT_FALSE(ps.constants.writeByName("Nothing", many, 4, pregs.data(), ZE_PIXEL_REGISTERS, &first, &end));
  // An array that owns only the registers its code reads never writes past them.
  float eight[32];
  for (float& f : eight) f = 9.0f;
  pregs[24 * 4] = -1.0f;
  ASSERT_TRUE(ps.constants.writeByName("Coeffs", eight, 32, pregs.data(), ZE_PIXEL_REGISTERS, &first, &end));
  EXPECT_EQ(first, 21);
  EXPECT_EQ(end, 24);
  EXPECT_EQ(pregs[24 * 4], -1.0f);
}

TEST(Translator, ErrorsNameTheIncludedFileAndLine) {
  SZeCompiledProgram p;
  std::string errors;
  EXPECT_FALSE(translate("broken.hlsl", ZE_STAGE_PIXEL, &p, &errors));
  EXPECT_NE(errors.find("corpus/inc/broken.fxh(3): error: 'undeclaredThing'"), std::string::npos) << errors;
}

TEST(Translator, MacrosReachTheCode) {
  SZeCompiledProgram plain, red;
  std::string errors;
  ASSERT_TRUE(translate("includes.hlsl", ZE_STAGE_PIXEL, &plain, &errors)) << errors;
  ASSERT_TRUE(translate("includes.hlsl", ZE_STAGE_PIXEL, &red, &errors, {{"USE_RED", ""}})) << errors;
  EXPECT_NE(plain.glsl, red.glsl);
  SZeCompiledProgram scaled;
  ASSERT_TRUE(translate("includes.hlsl", ZE_STAGE_VERTEX, &scaled, &errors, {{"SCALE", "3.0"}})) << errors;
  EXPECT_NE(scaled.glsl.find("3.0"), std::string::npos) << scaled.glsl;
}

TEST(Translator, InterfaceIsMappedBySemantic) {
  SZeCompiledProgram vs, ps;
  std::string errors;
  ASSERT_TRUE(translate("screenspace.hlsl", ZE_STAGE_VERTEX, &vs, &errors)) << errors;
  ASSERT_TRUE(translate("screenspace.hlsl", ZE_STAGE_PIXEL, &ps, &errors)) << errors;
  EXPECT_NE(vs.glsl.find("gl_Position = "), std::string::npos);
  EXPECT_NE(vs.glsl.find("gl_PointSize = "), std::string::npos);
  EXPECT_NE(vs.glsl.find("gl_Color"), std::string::npos);
  EXPECT_NE(vs.glsl.find("out vec4 zeV_COLOR0;"), std::string::npos);
  EXPECT_NE(ps.glsl.find("in vec4 zeV_COLOR0;"), std::string::npos);
  EXPECT_NE(ps.glsl.find("gl_FragCoord.xy - vec2(0.5)"), std::string::npos);
  EXPECT_NE(ps.glsl.find("gl_FrontFacing"), std::string::npos);
  EXPECT_NE(ps.glsl.find("gl_FragDepth"), std::string::npos);
  SZeCompiledProgram mrt;
  ASSERT_TRUE(translate("mrt.hlsl", ZE_STAGE_PIXEL, &mrt, &errors)) << errors;
  for (int i = 0; i < 4; ++i)
    EXPECT_NE(mrt.glsl.find("layout(location = " + std::to_string(i) + ") out vec4 zeColor" + std::to_string(i)),
              std::string::npos);
}

TEST(Translator, PrepassStripsEffectSyntaxAndKeepsLines) {
  const std::string src = readText("corpus/basic.hlsl");
  const std::string out = zeHlslStripEffectSyntax(src);
  EXPECT_EQ(std::count(src.begin(), src.end(), '\n'), std::count(out.begin(), out.end(), '\n'));
  for (const char* gone : {"technique", "sampler_state", "texture DiffuseTex", "UIName", "MinFilter", "compile vs_3_0"})
    EXPECT_EQ(out.find(gone), std::string::npos) << gone;
  EXPECT_NE(out.find("sampler2D DiffuseSampler"), std::string::npos);
  EXPECT_NE(out.find("= {1, 1, 1, 1};"), std::string::npos);
  // Templates and comparisons are not annotations.
  const std::string code = "vector<float, 4> V;\nstatic const bool B = 1 < 2;\nfloat4 f(float a) { return a < 1 ? 1 : 0; }\n";
  EXPECT_EQ(zeHlslStripEffectSyntax(code), code);
}

TEST(Translator, ProgramsRoundTripAndRejectForeignBytes) {
  SZeCompiledProgram p, q;
  std::string errors, bytes, why;
  ASSERT_TRUE(translate("constants.hlsl", ZE_STAGE_PIXEL, &p, &errors)) << errors;
  p.serialize(&bytes);
  ASSERT_TRUE(q.deserialize(bytes.data(), bytes.size(), p.sourcePath, &why)) << why;
  EXPECT_EQ(q.glsl, p.glsl);
  EXPECT_EQ(q.constantTableBytes(), p.constantTableBytes());
  EXPECT_FALSE(q.deserialize(bytes.data(), bytes.size(), "other.hlsl", &why));
  EXPECT_NE(why.find("another source"), std::string::npos);
  // Every truncation is refused, never read past.
  for (size_t cut = 0; cut < bytes.size(); cut += 7)
    EXPECT_FALSE(q.deserialize(bytes.data(), cut, p.sourcePath, &why)) << cut;
  std::string foreign = bytes;
  foreign[0] = 'X';
  EXPECT_FALSE(q.deserialize(foreign.data(), foreign.size(), p.sourcePath, &why));
  std::string older = bytes;
  older[12] ^= 0x7f;  // translator version
  EXPECT_FALSE(q.deserialize(older.data(), older.size(), p.sourcePath, &why));
}

// Sources the translator must refuse with a message naming the file, never crash.
TEST(Translator, RefusedSourcesGiveAReason) {
  struct Case {
    uint32_t stage;
    const char* source;
    const char* expected;
  } cases[] = {
      {ZE_STAGE_PIXEL, "float4 main() : COLOR0 { return 1; }", "entry point 'ps_main' not found"},
      {ZE_STAGE_PIXEL, "float4 A[300];\nint I;\nfloat4 ps_main() : COLOR0 { return A[I]; }",
       "does not fit the 224 registers"},
      {ZE_STAGE_VERTEX, "float4 A : register(c255);\nfloat4 B[2] : register(c255);\n"
                        "float4 vs_main() : POSITION { return A + B[1]; }",
       "lies outside the register file"},
      {ZE_STAGE_VERTEX, "sampler2D S : register(s4);\nfloat4 vs_main() : POSITION { return tex2Dlod(S, 0); }",
       "register(s4) of 'S' lies outside the register file"},
      {ZE_STAGE_VERTEX, "sampler2D A, B, C, D, E;\nfloat4 vs_main() : POSITION { return tex2Dlod(A, 0) + "
                        "tex2Dlod(B, 0) + tex2Dlod(C, 0) + tex2Dlod(D, 0) + tex2Dlod(E, 0); }",
       "does not fit the 4 registers"},
      {ZE_STAGE_PIXEL, "cbuffer Lights { float4 C; };\nfloat4 ps_main() : COLOR0 { return C; }",
       "test.hlsl(1): error: Direct3D 10 and later syntax is not supported (effects are Direct3D 9 HLSL, shader models 1 to 3): 'cbuffer'"},
      {ZE_STAGE_PIXEL, "float4 ps_main() : COLOR0 { return 1 }", "test.hlsl(1): error:"},
      {ZE_STAGE_PIXEL, "float4 ps_main() : COLOR0 {\n\n  return nothing;\n}", "test.hlsl(3): error: 'nothing'"},
  };
  for (const Case& c : cases) {
    SZeTranslateRequest r;
    r.stage = c.stage;
    r.sourcePath = "test.hlsl";
    r.source = c.source;
    r.entry = c.stage == ZE_STAGE_VERTEX ? "vs_main" : "ps_main";
    SZeCompiledProgram p;
    std::string errors;
    EXPECT_FALSE(zeTranslateHlsl(r, &p, &errors)) << c.source;
    EXPECT_NE(errors.find(c.expected), std::string::npos) << c.source << "\n" << errors;
  }
  // Pixel samplers past unit 7 still compile, as they did on Direct3D 9.
  SZeTranslateRequest r;
  r.stage = ZE_STAGE_PIXEL;
  r.sourcePath = "test.hlsl";
  r.source = "sampler2D S : register(s12);\nfloat4 ps_main(float2 t : TEXCOORD0) : COLOR0 { return tex2D(S, t); }";
  r.entry = "ps_main";
  SZeCompiledProgram p;
  std::string errors;
  ASSERT_TRUE(zeTranslateHlsl(r, &p, &errors)) << errors;
  SZeConstRef ref;
  ASSERT_TRUE(p.constants.find("S", &ref));
  EXPECT_EQ(ref.registerIndex, 12);
}

// The pre-pass rewrites only what it must: global bool/int constants (not
// locals, statics or functions), calls of lit() (not other names that end in
// "lit"), and it finds explicit registers in every spelling.
TEST(Translator, PrepassRewritesAndRegisterSpellings) {
  SZeHlslPrepassInfo info;
  const std::string src =
      "bool A, B2;\n"
      "uniform int3 Counts;\n"
      "static bool S = true;\n"
      "bool IsOn(float x) { bool local = x > 0; return local; }\n"
      "float4 C0 : register(c4);\n"
      "float4 Arr[3] : register( vs_3_0 , c10 );\n"
      "float4 WithSem : MYSEM : register(c20);\n"
      "sampler2D Samp : register(s3);\n"
      "float4 f(float4 v) { float4 l = lit(v.x, v.y, v.z); return split(l) + v.lit(1) + lit (1, 2, 3); }\n";
  const std::string out = zeHlslPrepass(src, &info);
  EXPECT_NE(out.find("float A, B2;"), std::string::npos) << out;
  EXPECT_NE(out.find("uniform float3 Counts;"), std::string::npos) << out;
  EXPECT_NE(out.find("static bool S"), std::string::npos);
  EXPECT_NE(out.find("bool IsOn(float x) { bool local"), std::string::npos);
  EXPECT_EQ(info.originalBase.at("A"), ZE_BASE_BOOL);
  EXPECT_EQ(info.originalBase.at("B2"), ZE_BASE_BOOL);
  EXPECT_EQ(info.originalBase.at("Counts"), ZE_BASE_INT);
  EXPECT_EQ(info.originalBase.count("S"), 0u);
  EXPECT_EQ(info.originalBase.count("IsOn"), 0u);
  EXPECT_NE(out.find("float4 l = zeLit(v.x"), std::string::npos) << out;
  EXPECT_NE(out.find("split(l) + v.lit(1) + zeLit (1, 2, 3)"), std::string::npos) << out;
  const std::pair<const char*, std::pair<char, int>> registers[] = {
      {"C0", {'c', 4}}, {"WithSem", {'c', 20}}, {"Samp", {'s', 3}}};
  for (const auto& r : registers) {
    ASSERT_EQ(info.explicitRegisters.count(r.first), 1u) << r.first;
    EXPECT_EQ(info.explicitRegisters.at(r.first), r.second) << r.first;
  }
  // A register named for one profile holds in that stage only.
  EXPECT_EQ(info.explicitRegisters.count("Arr"), 0u);
  ASSERT_EQ(info.stageRegisters[0].count("Arr"), 1u);
  EXPECT_EQ(info.stageRegisters[0].at("Arr"), std::make_pair('c', 10));
  EXPECT_EQ(info.stageRegisters[1].count("Arr"), 0u);
}

// Content made on Windows: a byte order mark and CRLF line ends, in the file
// and in its include.
TEST(Translator, WindowsTextTranslates) {
  class OneInclude : public IZeShaderIncludeSource {
   public:
    bool openInclude(const std::string& name, const std::string&, std::string* opened, std::string* bytes) override {
      if (name != "k.fxh") return false;
      *opened = "k.fxh";
      *bytes = "\xEF\xBB\xBF#define K 2.0\r\n";
      return true;
    }
  } includes;
  SZeTranslateRequest r;
  r.stage = ZE_STAGE_PIXEL;
  r.sourcePath = "win.hlsl";
  r.source = "\xEF\xBB\xBF// saved on Windows\r\n#include \"k.fxh\"\r\nfloat4 C;\r\n"
             "float4 ps_main() : COLOR0 {\r\n  return C * K;\r\n}\r\n";
  r.entry = "ps_main";
  r.includes = &includes;
  SZeCompiledProgram p;
  std::string errors;
  EXPECT_TRUE(zeTranslateHlsl(r, &p, &errors)) << errors;
  r.source += "float4 Broken() { return nope; }\r\n";
  EXPECT_FALSE(zeTranslateHlsl(r, &p, &errors));
  EXPECT_NE(errors.find("win.hlsl(7): error: 'nope'"), std::string::npos) << errors;
}

namespace {

// Files held in memory, opened beside the includer as the engine does.
class MemoryIncludes : public IZeShaderIncludeSource {
 public:
  std::map<std::string, std::string> files;
  int opens = 0;
  bool openInclude(const std::string& name, const std::string& includer, std::string* opened,
                   std::string* bytes) override {
    size_t slash = includer.find_last_of('/');
    std::string path = zePathFold((slash == std::string::npos ? std::string("") : includer.substr(0, slash + 1)) + name);
    auto f = files.find(path);
    if (f == files.end()) return false;
    ++opens;
    *bytes = f->second;
    *opened = path;
    return true;
  }
};

const char* const kPixelMain = "float4 ps_main() : COLOR0 { return float4(1, 0, 0, 1); }\n";

}  // namespace

// Recursive includes and deep nesting used to hang the front end or overflow
// its stack; each is refused with the file and line of the fault.
TEST(Translator, HostileIncludesAndNestingAreRefused) {
  std::string deepChain;
  MemoryIncludes chain;
  for (int k = 0; k < 40; ++k)
    chain.files["fx/d" + std::to_string(k) + ".fxh"] = "#include \"d" + std::to_string(k + 1) + ".fxh\"\n";
  std::string parens10000 = "float4 ps_main() : COLOR0 { return float4(" + std::string(10000, '(') + "1" +
                            std::string(10000, ')') + ", 0, 0, 1); }\n";
  // A macro of 100 brackets used 100 deep: 200 levels written, 10,100 expanded.
  std::string macroNesting = "#define P(x) " + std::string(100, '(') + "x" + std::string(100, ')') +
                             "\nfloat4 ps_main() : COLOR0 { return float4(";
  for (int k = 0; k < 100; ++k) macroNesting += "P(";
  macroNesting += "1" + std::string(100, ')') + ", 0, 0, 1); }\n";
  struct Case {
    const char* what;
    std::map<std::string, std::string> files;  // the first is the main file
    std::string expected;                      // part of the error text
  } cases[] = {
      {"a file including itself",
       {{"fx/main.hlsl", "#include \"self.fxh\"\n" + std::string(kPixelMain)},
        {"fx/self.fxh", "// comment\n#include \"self.fxh\"\n"}},
       "fx/self.fxh(2): error: '#include' : recursive include: 'fx/self.fxh' is already being read"},
      {"two files including each other",
       {{"fx/main.hlsl", "#include \"ping.fxh\"\n" + std::string(kPixelMain)},
        {"fx/ping.fxh", "#include \"sub/pong.fxh\"\n"},
        {"fx/sub/pong.fxh", "#include \"../ping.fxh\"\n"}},
       "fx/sub/pong.fxh(1): error: '#include' : recursive include: 'fx/ping.fxh' is already being read"},
      {"10,000 nested parentheses", {{"fx/main.hlsl", parens10000}},
       "fx/main.hlsl(1): error: brackets nested deeper than 256 levels"},
      {"brackets that only macros nest deep",
       {{"fx/main.hlsl", macroNesting}},
       "fx/main.hlsl(2): error: brackets nested deeper than 256 levels once macros are expanded"},
      {"nesting spread over includes",
       {{"fx/main.hlsl", "#include \"a.fxh\"\n" + std::string(kPixelMain)},
        {"fx/a.fxh", "static float a = " + std::string(200, '(') + "1" + std::string(200, ')') + ";\n#include \"b.fxh\"\n"},
        {"fx/b.fxh", "\n\nstatic float b = " + std::string(100, '(') + "1" + std::string(100, ')') + ";\n"}},
       "fx/a.fxh(2): error: '#include' : fx/b.fxh(3): brackets nested deeper than 256 levels"},
  };
  for (const Case& c : cases) {
    MemoryIncludes includes;
    includes.files = c.files;
    SZeTranslateRequest r;
    r.stage = ZE_STAGE_PIXEL;
    r.sourcePath = "fx/main.hlsl";
    r.source = c.files.at("fx/main.hlsl");
    r.entry = "ps_main";
    r.includes = &includes;
    SZeCompiledProgram p;
    std::string errors;
    EXPECT_FALSE(zeTranslateHlsl(r, &p, &errors)) << c.what;
    EXPECT_NE(errors.find(c.expected), std::string::npos) << c.what << "\n" << errors;
  }
  // A chain of 40 distinct files stops at the depth limit.
  chain.files["fx/main.hlsl"] = "#include \"d0.fxh\"\n" + std::string(kPixelMain);
  SZeTranslateRequest r;
  r.stage = ZE_STAGE_PIXEL;
  r.sourcePath = "fx/main.hlsl";
  r.source = chain.files["fx/main.hlsl"];
  r.entry = "ps_main";
  r.includes = &chain;
  SZeCompiledProgram p;
  std::string errors;
  EXPECT_FALSE(zeTranslateHlsl(r, &p, &errors));
  EXPECT_NE(errors.find("fx/d15.fxh(1): error: '#include' : includes nested deeper than 16 levels"), std::string::npos)
      << errors;
  EXPECT_EQ(chain.opens, 16);
  // A file that includes itself behind an include guard is read twice and ends.
  MemoryIncludes guarded;
  guarded.files["fx/g.fxh"] = "#ifndef G_ONCE\n#define G_ONCE\n#include \"g.fxh\"\nstatic float g = 1;\n#endif\n";
  r.source = "#include \"g.fxh\"\n" + std::string(kPixelMain);
  r.includes = &guarded;
  EXPECT_TRUE(zeTranslateHlsl(r, &p, &errors)) << errors;
  EXPECT_EQ(guarded.opens, 2);
  // The same file included twice one after the other is no cycle (and is read once).
  MemoryIncludes twice;
  twice.files["fx/once.fxh"] = "static float once = 1;\n";
  r.source = "#include \"once.fxh\"\n#define X\n#include \"once.fxh\"\n" + std::string(kPixelMain);
  r.includes = &twice;
  twice.files["fx/once.fxh"] = "#ifndef ONCE\n#define ONCE\nstatic float once = 1;\n#endif\n";
  EXPECT_TRUE(zeTranslateHlsl(r, &p, &errors)) << errors;
  EXPECT_EQ(twice.opens, 1);  // read once per translation
}

// The include fuzzer's corpus (seeds and what the fuzzer kept) replays without
// a crash or a hang; the seeds that are sound translate.
TEST(Translator, IncludeFuzzCorpusReplays) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator("corpus-include")) {
    const std::string bytes = readText(entry.path().string());
    const int translated = zeHlslIncludeFuzzOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size());
    const std::string name = entry.path().filename().string();
    int expected = -1;
    if (name == "seed-chain" || name == "seed-entry-constants" || name == "seed-system-values") expected = 2;
    if (name == "seed-guard" || name == "seed-updown") expected = 1;  // no vs_main
    if (name == "seed-self" || name == "seed-cycle") expected = 0;
    if (expected >= 0) {
      EXPECT_EQ(translated, expected) << name;
    }
    ++files;
  }
  EXPECT_GE(files, 5);
}
