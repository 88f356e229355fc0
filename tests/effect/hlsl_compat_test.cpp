// Direct3D 9 effect code as shipped content writes it: each construct a small
// source, translated and its GLSL parsed again as GLSL 330 compatibility; and
// sources that bring down the third-party compiler stages end as errors that
// name the file, while this process goes on.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>

#include "effect/CZeGPUProgrammingServices.h"
#include "effect/zeHlslPrepass.h"
#include "effect/zeHlslTranslator.h"
#include "fuzz/hlslPrepassFuzzOne.h"

namespace {

struct Result {
  bool ok = false;
  SZeCompiledProgram program;
  std::string errors;
};

// Serves one include, "inc.fxh", from memory.
class MemoryInclude : public IZeShaderIncludeSource {
 public:
  explicit MemoryInclude(std::string text) : text_(std::move(text)) {}
  bool openInclude(const std::string& name, const std::string&, std::string* path, std::string* bytes) override {
    if (name != "inc.fxh") return false;
    *path = name;
    *bytes = text_;
    return true;
  }

 private:
  std::string text_;
};

Result translate(const std::string& source, uint32_t stage, const std::string& path = "compat.fx",
                 const std::string& include = "") {
  MemoryInclude includes(include);
  SZeTranslateRequest r;
  r.stage = stage;
  r.sourcePath = path;
  r.source = source;
  r.entry = stage == ZE_STAGE_VERTEX ? "vs_main" : "ps_main";
  r.includes = &includes;
  Result out;
  out.ok = zeTranslateHlsl(r, &out.program, &out.errors);
  return out;
}

int registerOf(const SZeCompiledProgram& p, const char* name) {
  SZeConstRef ref;
  return p.constants.find(name, &ref) ? ref.registerIndex : -1;
}

}  // namespace

TEST(HlslCompat, CrashesInTheCompilerAreErrorsNamingTheFile) {
  struct Case {
    const char* what;
    const char* source;
  } cases[] = {
      // The front end's preprocessor dies on this macro.
      {"a self-referring macro with unbalanced brackets",
       "#define X(a) (X(a++(a))\nfloat4 ps_main() : COLOR { return X(X(X(1))); }\n"},
      // Written through a macro, the pre-pass never sees the swizzle: it reaches
      // the SPIR-V stages as it is.
      {"a matrix swizzle the pre-pass cannot see",
       "float4x4 W;\n#define PICK(m) m._m00_m01_m02.x\nfloat4 ps_main() : COLOR { return PICK(W); }\n"},
  };
  for (const Case& c : cases) {
    const Result r = translate(c.source, ZE_STAGE_PIXEL, "fx/crash.fx");
    EXPECT_FALSE(r.ok) << c.what;
    EXPECT_NE(r.errors.find("fx/crash.fx(0): error: the shader compiler crashed on this file"), std::string::npos)
        << c.what << "\n" << r.errors;
  }
  // This process is still here and still translates.
  EXPECT_TRUE(translate("float4 ps_main() : COLOR { return 1; }", ZE_STAGE_PIXEL).ok);
}

TEST(HlslCompat, ATranslationPastTheTimeLimitIsStopped) {
  zeSetHlslTimeLimit(1);
  const Result r = translate("float4 ps_main(float2 t : TEXCOORD0) : COLOR { return sin(t.x) * cos(t.y); }",
                             ZE_STAGE_PIXEL, "fx/slow.fx");
  zeSetHlslTimeLimit(0);
  // A child this fast is possible on an idle machine; then it simply translated.
  if (!r.ok) {
    EXPECT_NE(r.errors.find("fx/slow.fx(0): error: the shader compiler did not finish within 1 ms"), std::string::npos)
        << r.errors;
  }
  EXPECT_TRUE(translate("float4 ps_main() : COLOR { return 1; }", ZE_STAGE_PIXEL).ok);
}

// Each construct translates for the stages it has, and the GLSL parses.
TEST(HlslCompat, Direct3D9ConstructsTranslate) {
  struct Case {
    const char* what;
    std::string source;
    std::function<void(const SZeCompiledProgram& vs, const SZeCompiledProgram& ps)> check;
    std::string include = "";
  } cases[] = {
      {"multi-element matrix swizzles",
       "float4x4 W;\nfloat4x4 World;\n"
       "float4 vs_main(float4 p : POSITION) : POSITION { return p + float4(World._41_42_43, W._m00_m01_m02.x); }\n"
       "float4 ps_main() : COLOR { return float4((W)._m00_m01_m02.x, mul(W, World)._41_42_43); }\n",
       nullptr},
      {"per-stage registers",
       "float4 K : register(vs, c3) : register(ps, c5);\nfloat4 J : register(ps_3_0, c7);\n"
       "float4 vs_main(float4 p : POSITION) : POSITION { return p + K + J; }\n"
       "float4 ps_main() : COLOR { return K + J; }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram& ps) {
         EXPECT_EQ(registerOf(vs, "K"), 3);
         EXPECT_EQ(registerOf(ps, "K"), 5);
         EXPECT_EQ(registerOf(ps, "J"), 7);
         EXPECT_NE(registerOf(vs, "J"), 7);  // J has no vertex register: allocated as any other
       }},
      {"the shared storage keyword",
       "shared float4x4 ViewProj;\nshared float4 Tint : register(c4);\n"
       "float4 vs_main(float4 p : POSITION) : POSITION { return mul(p, ViewProj); }\n"
       "float4 ps_main() : COLOR { return Tint; }\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) { EXPECT_EQ(registerOf(ps, "Tint"), 4); }},
      {"texture and sampler declarations written by a macro",
       "#define DECLARE_TEXTURE(Name, index) texture2D Name; sampler Name##Sampler : register(s##index) = "
       "sampler_state { Texture = (Name); MinFilter = LINEAR; };\n"
       "DECLARE_TEXTURE(Diffuse, 2)\nDECLARE_TEXTURE(Normal, 1)\n"
       "#define DECLARE_SAMPLER(n) texture n##Tex < string UIName = \"n\"; >; sampler2D n = sampler_state { Texture = <n##Tex>; }\n"
       "DECLARE_SAMPLER(Extra);\n"
       "float4 ps_main(float2 uv : TEXCOORD0) : COLOR {\n"
       "  return tex2D(DiffuseSampler, uv) + tex2D(NormalSampler, uv) + tex2D(Extra, uv);\n}\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         EXPECT_EQ(registerOf(ps, "DiffuseSampler"), 2);
         EXPECT_EQ(registerOf(ps, "NormalSampler"), 1);
         EXPECT_EQ(registerOf(ps, "Extra"), 0);
       }},
      {"no OpenGL macro is predefined",
       "float4 ps_main() : COLOR {\n  float4 c = float4(0, 0, 0, 1);\n"
       "#if defined(GL_core_profile) || defined(GL_ARB_gpu_shader5) || defined(GL_FRAGMENT_PRECISION_HIGH) || "
       "defined(VULKAN) || defined(GL_GOOGLE_include_directive)\n  c = 1;\n#endif\n"
       "#define GL_OWN 1\n#ifdef GL_OWN\n  c.g = GL_OWN;\n#endif\n  return c;\n}\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         EXPECT_NE(ps.glsl.find("vec4(0.0, 1.0, 0.0, 1.0)"), std::string::npos) << ps.glsl;
       }},
      {"float1 written through .x",
       "struct S { float1 v; };\nint1 Count;\n"
       "float4 ps_main(float2 uv : TEXCOORD0) : COLOR { S s; s.v.x = uv.x; float1 q; q.x = 2; return s.v.x * q.x * Count.x; }\n",
       nullptr},
      {"array initialisers with brace elision",
       "static const float2 offsets[4] = { -0.5, -0.5, 0.5, -0.5,\n  -0.5, 0.5, 0.5, 0.5, };\n"
       "float4 ps_main(float2 uv : TEXCOORD0) : COLOR {\n"
       "  const float3x2 m[1] = { 1, 2, 3, 4, 5, 6 };\n  float2 s = m[0][2];\n"
       "  for (int i = 0; i < 4; i++) s += offsets[i];\n  return float4(s, offsets[1]);\n}\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         EXPECT_NE(ps.glsl.find("vec2(0.5, -0.5)"), std::string::npos) << ps.glsl;
       }},
      {"array varyings take consecutive semantics",
       "struct VOut { float4 pos : POSITION; float4 offset[3] : TEXCOORD2; };\n"
       "VOut vs_main(float4 p : POSITION) { VOut o; o.pos = p; o.offset[0] = 1; o.offset[1] = 2; o.offset[2] = 3; return o; }\n"
       "float4 ps_main(float2 uv[5] : TEXCOORD1) : COLOR { return float4(uv[0] + uv[4], uv[2]); }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram& ps) {
         EXPECT_EQ(vs.varyings, (std::vector<std::string>{"zeV_TEXCOORD2", "zeV_TEXCOORD3", "zeV_TEXCOORD4"}));
         EXPECT_EQ(ps.varyings, (std::vector<std::string>{"zeV_TEXCOORD1", "zeV_TEXCOORD2", "zeV_TEXCOORD3",
                                                          "zeV_TEXCOORD4", "zeV_TEXCOORD5"}));
       }},
      {"constant arrays indexed by a float or an unsigned value",
       "static const float4 Pal[3] = { float4(1,0,0,1), float4(0,1,0,1), float4(0,0,1,1) };\n"
       "float4x3 Bones[20];\nfloat Sel;\n"
       "float4 ps_main() : COLOR { return Pal[Sel]; }\n"
       "float4 vs_main(float4 p : POSITION, uint4 idx : BLENDINDICES) : POSITION {\n"
       "  return float4(mul(p, Bones[idx.x]), 1) + Pal[idx.y]; }\n",
       nullptr},
      {"uniform entry parameters bound by a technique's compile arguments",
       "float4 Lights[4];\n"
       "float4 vs_main(float4 p : POSITION, uniform int numLights, uniform bool useTexture) : POSITION {\n"
       "  float4 s = 0;\n  for (int i = 0; i < numLights; i++) s += Lights[i];\n  return p + s * (useTexture ? 1 : 0);\n}\n"
       "float4 ps_main(uniform float4 tint) : COLOR { return tint; }\n"
       "technique T { pass P {\n  VertexShader = compile vs_2_0 vs_main(3, true);\n"
       "  PixelShader = compile ps_2_0 ps_main(float4(1, 0.5, 0, 1));\n} }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram& ps) {
         EXPECT_EQ(vs.entry, "vs_main");
         EXPECT_NE(ps.glsl.find("vec4(1.0, 0.5, 0.0, 1.0)"), std::string::npos) << ps.glsl;
       }},
      {"constructors as assignment targets",
       "float4 ps_main(float4 uv : TEXCOORD0) : COLOR {\n  float2 a, b;\n  float4(a, b) = ddx(uv);\n"
       "  float x; float3 y;\n  float4(x, y) = uv * 2;\n  float3(x, a) = uv.xyz;\n"
       "  return float4(a, b) + float4(x, y);\n}\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         // a = uv.yz (the last split), b = ddx(uv).zw, x = uv.x, y = (uv * 2).yzw
         EXPECT_NE(ps.glsl.find("vec4(zeIn_TEXCOORD0.yz, dFdx(zeIn_TEXCOORD0).zw)"), std::string::npos) << ps.glsl;
       }},
      {"constructor targets over several lines, of half and int types",
       "float4 ps_main(float4 uv : TEXCOORD0) : COLOR {\n  half2 a; half b, c;\n  half4(a,\n        b, c) = uv;\n"
       "  int i; int2 j;\n  int3(i, j)\n    = int3(1, 2, 3);\n  return float4(a, b, c) + i + j.y;\n}\n",
       nullptr},
      {"constructor targets written only in an include",
       "#include \"inc.fxh\"\nfloat4 ps_main(float4 uv : TEXCOORD0) : COLOR { return Split(uv); }\n",
       nullptr, "float4 Split(float4 v) { float2 a, b; float4(a, b) = v; int x, y; int2(x, y) = int2(3, 4);\n"
                "  return float4(b, a) * x; }\n"},
      {"casts to array types",
       "float4x4 M;\n"
       "float4 ps_main(float4 v : TEXCOORD0) : COLOR {\n  float w[4] = (float[4])v;\n  half2 h[2] = (half2[2])v;\n"
       "  float4 rows[4] = (float4[4])M;\n  float s = 0;\n"
       "  for (int i = 0; i < 4; i++) s += w[i] * ((float[4])rows[i])[3];\n"
       "  return float4(s, h[1], (float[2])(v.xy * 2)[1]);\n}\n",
       nullptr},
      {"uniform arrays passed whole to a function",
       "float3x4 Bones[24];\nfloat4 Extra[2];\n"
       "float3 skin(float4 p, int i, float3x4 all[24]) { return mul(all[i], p); }\n"
       "float4 sum(float4 a[2]) { return a[0] + a[1]; }\n"
       "float4 vs_main(float4 p : POSITION, float4 w : BLENDWEIGHT) : POSITION {\n"
       "  return float4(skin(p, int(w.x), Bones), 1) + sum(Extra); }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram&) {
         SZeConstRef bones;
         ASSERT_TRUE(vs.constants.find("Bones", &bones));
         EXPECT_EQ(bones.registerCount, 24 * 4);  // every element: the callee may read any
       }},
      {"a uniform array entry parameter given a whole constant array by the technique",
       "float3x4 AllBones[24];\n"
       "float4 vs_main(float4 p : POSITION, float4 w : BLENDWEIGHT, uniform float3x4 bones[24]) : POSITION {\n"
       "  return float4(mul(bones[int(w.x)], p), 1); }\n"
       "technique T { pass P { VertexShader = compile vs_2_0 vs_main(AllBones); } }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram&) { EXPECT_EQ(registerOf(vs, "AllBones"), 0); }},
      {"uniform entry parameters with no arguments anywhere are $ constants",
       "float4 ps_main(float2 uv : TEXCOORD0, uniform float4 tint, uniform sampler2D tex, uniform float k[2]) : COLOR {\n"
       "  return tint * tex2D(tex, uv) * k[1]; }\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         EXPECT_GE(registerOf(ps, "$tint"), 0);
         EXPECT_GE(registerOf(ps, "$k"), 0);
         SZeConstRef tex;
         ASSERT_TRUE(ps.constants.find("$tex", &tex));
         EXPECT_EQ(tex.registerSet, 's');
         EXPECT_EQ(zeGlslSamplerName(ZE_STAGE_PIXEL, "$tex"), "zePS_zeParam_tex");
         EXPECT_NE(ps.glsl.find("uniform sampler2D zePS_zeParam_tex"), std::string::npos) << ps.glsl;
       }},
      {"array varyings as out parameters of the entry",
       "void vs_main(float4 p : POSITION, out float4 pos : POSITION, out float2 uv[3] : TEXCOORD1) {\n"
       "  pos = p; uv[0] = p.xy; uv[1] = p.zw; uv[2] = 1; }\n"
       "void ps_main(float2 uv[3] : TEXCOORD1, out float4 c[2] : COLOR0) { c[0] = float4(uv[0], uv[2]); c[1] = uv[1].x; }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram& ps) {
         EXPECT_EQ(vs.varyings, (std::vector<std::string>{"zeV_TEXCOORD1", "zeV_TEXCOORD2", "zeV_TEXCOORD3"}));
         EXPECT_NE(ps.glsl.find("zeColor1 ="), std::string::npos) << ps.glsl;
       }},
      {"unnamed parameters (the front end's entry handling crashed on them)",
       "float helper(float a, int) { return a; }\n"
       "float4 vs_main(float4 p : POSITION, float4 : NORMAL) : POSITION { return p; }\n"
       "float4 ps_main(float : VFACE, float2 uv : TEXCOORD0) : COLOR { return helper(uv.x, 1); }\n",
       nullptr},
      {"system-value semantics read as Direct3D 9 reads them",
       "#define TARGET1 SV_TARGET1\n"
       "struct VOut { float4 pos : SV_Position; float2 uv : TEXCOORD0; };\n"
       "VOut vs_main(float4 p : SV_POSITION0) { VOut o; o.pos = p; o.uv = p.xy; return o; }\n"
       "void ps_main(VOut i, bool front : SV_IsFrontFace, out float4 c : SV_Target, out float4 c1 : TARGET1,\n"
       "             out float d : sv_depth) { c = float4(i.pos.xy, i.uv); c1 = front; d = 0.5; }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram& ps) {
         EXPECT_NE(vs.glsl.find("gl_Vertex"), std::string::npos) << vs.glsl;
         EXPECT_NE(vs.glsl.find("gl_Position.xy += zeHalfPixel"), std::string::npos) << vs.glsl;
         EXPECT_EQ(ps.varyings, std::vector<std::string>{"zeV_TEXCOORD0"});  // the position is VPOS, no varying
         EXPECT_NE(ps.glsl.find("gl_FragCoord.xy - vec2(0.5)"), std::string::npos) << ps.glsl;
         EXPECT_NE(ps.glsl.find("= bool(gl_FrontFacing)"), std::string::npos) << ps.glsl;
         EXPECT_NE(ps.glsl.find("zeColor1 ="), std::string::npos) << ps.glsl;
         EXPECT_NE(ps.glsl.find("gl_FragDepth ="), std::string::npos) << ps.glsl;
       }},
      // Each of the next three once failed with a block comment (a definition
      // block, a file header) before the entry.
      {"a void entry with out and uniform parameters after a block comment",
       "/*\n[ZARN_BEGIN]\n// title Void entry\n// function vertexMain : vs_main\n[ZARN_END]\n*/\n"
       "float4x4 WVP;\n"
       "void vs_main(float4 p : POSITION, out float4 oPos : POSITION, out float2 oUv : TEXCOORD0,\n"
       "             uniform float4x4 worldViewProj) { oPos = mul(worldViewProj, p); oUv = p.xy; }\n"
       "void ps_main(float2 uv : TEXCOORD0, out float4 c : COLOR0, uniform float4 tint) { c = tint * uv.x; }\n"
       "technique T { pass P { VertexShader = compile vs_3_0 vs_main(WVP); } }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram& ps) {
         EXPECT_EQ(registerOf(vs, "WVP"), 0);
         EXPECT_GE(registerOf(ps, "$tint"), 0);
       }},
      {"an included helper and uniform parameters made constants",
       "/* header */\n#include \"inc.fxh\"\n"
       "float4 ps_main(float2 uv : TEXCOORD0, uniform float2 texelSize, uniform sampler2D src : register(s0)) : COLOR0\n"
       "{ return decodeHelper(tex2D(src, uv + texelSize)); }\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         EXPECT_GE(registerOf(ps, "$texelSize"), 0);
         EXPECT_EQ(registerOf(ps, "$src"), 0);
       },
       "float4 decodeHelper(float4 c) { return c * 2 - 1; }\n"},
      {"comments and directives in an entry's parameter list",
       "float4 vs_main(float4 p : POSITION, // the position, as given\n"
       "  uniform float a, /* scale, then bias */ uniform float b,\n"
       "  uniform /* no comma here */ float c, uniform float d, // d, e\n"
       "  uniform float e, uniform float f,\n#ifdef SKINNED\n  float4 w : BLENDWEIGHT,\n#endif\n"
       "  uniform float g) : POSITION /* semantic */\n"
       "{ return p * a + b + c + d + e + f + g; }\n"
       "technique T { pass P { VertexShader = compile vs_3_0 vs_main(1, 2, 3, 4, 5, 6, 7); } }\n",
       [](const SZeCompiledProgram& vs, const SZeCompiledProgram&) {
         // a = 1; b to g add up to 27
         EXPECT_NE(vs.glsl.find("(zeIn_POSITION0 * 1.0) + vec4(27.0)"), std::string::npos) << vs.glsl;
       }},
      {"samplers as Direct3D 9 effects set them up",
       "uniform extern texture DiffuseMap;\nshared texture2D NormalMap < string UIName = \"Normals\"; >;\n"
       "sampler Generic = sampler_state { Texture = <DiffuseMap>; };\n"
       "const sampler2D Fixed : register(s3);\nstatic sampler2D Kept = sampler_state { Texture = (NormalMap); };\n"
       "float4 look(sampler2D);\nfloat4 look(sampler2D s) { return tex2D(s, 0.5); }\n"
       "float4 ps_main(float2 uv : TEXCOORD0, uniform sampler2D given) : COLOR {\n"
       "  return tex2D((sampler2D)Generic, uv) + tex2D(sampler2D(Generic), uv) + tex2D(Fixed, uv) + look(Kept) +\n"
       "         tex2D(given, uv); }\n"
       "technique T { pass P { PixelShader = compile ps_2_0 ps_main(Kept); } }\n",
       [](const SZeCompiledProgram&, const SZeCompiledProgram& ps) {
         EXPECT_EQ(registerOf(ps, "Generic"), 0);
         EXPECT_EQ(registerOf(ps, "Fixed"), 3);
         EXPECT_EQ(registerOf(ps, "Kept"), 1);
       }},
      {"static constants after an include that declares its textures with storage words",
       "#include \"inc.fxh\"\nstatic const float PI = 3.14159265;\n"
       "static const float3 LUMINANCE = { 0.299, 0.587, 0.114 };\n"
       "float4 ps_main(float2 uv : TEXCOORD0) : COLOR { return dot(tex2D(Base, uv).rgb, LUMINANCE) * PI; }\n",
       nullptr,
       "#ifndef COMMON_FXH\n#define COMMON_FXH\nshared float4x4 ViewProj;\nuniform texture BaseTexture;\n"
       "sampler2D Base = sampler_state { Texture = <BaseTexture>; };\n#endif"},
      {"#ifdef inside an annotation",
       "float4 Tint <\n#ifdef EDITOR\n  string UIName = \"Tint\";\n#endif\n  float UIMin = 0.0;\n> = float4(1, 1, 1, 1);\n"
       "float4 ps_main() : COLOR { return Tint; }\n",
       nullptr},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    Result stages[2];
    for (uint32_t stage : {ZE_STAGE_VERTEX, ZE_STAGE_PIXEL}) {
      if (c.source.find(stage == ZE_STAGE_VERTEX ? "vs_main" : "ps_main") == std::string::npos) continue;
      stages[stage] = translate(c.source, stage, "compat.fx", c.include);
      ASSERT_TRUE(stages[stage].ok) << stages[stage].errors;
      std::string log;
      EXPECT_TRUE(zeValidateGlsl(stage, stages[stage].program.glsl, &log)) << log << stages[stage].program.glsl;
    }
    if (c.check) c.check(stages[0].program, stages[1].program);
  }
}

// Direct3D 10 and later syntax is refused with one message naming the word and its line.
TEST(HlslCompat, LaterSyntaxIsRefused) {
  struct Case {
    const char* source;
    const char* word;
    int line;
  } cases[] = {
      {"cbuffer PerFrame { float4 C; };\nfloat4 ps_main() : COLOR { return C; }\n", "cbuffer", 1},
      {"sampler2D S;\nTexture2D Tex;\nfloat4 ps_main(float2 uv : TEXCOORD0) : COLOR { return Tex.Sample(S, uv); }\n",
       "Texture2D", 2},
      {"float4 vs_main(float4 p : POSITION, uint id : SV_VertexID) : SV_Position { return p * id; }\n", "SV_VertexID",
       1},
      {"struct VIn {\n  float4 p : POSITION;\n  uint i : SV_InstanceID;\n};\nfloat4 ps_main() : COLOR { return 1; }\n",
       "SV_InstanceID", 3},
      {"float4 ps_main(uint id : SV_PrimitiveID) : SV_Target { return id; }\n", "SV_PrimitiveID", 1},
      // The texture object declared through a macro the pre-pass does not expand.
      {"#define TEX(n) Texture2D n\nTEX(Tex);\nsampler2D S;\n"
       "float4 ps_main(float2 uv : TEXCOORD0) : COLOR {\n  return Tex.Sample(S, uv);\n}\n",
       ".Sample", 5},
      {"\n\nDepthStencilState NoDepth { DepthEnable = FALSE; };\nfloat4 ps_main() : COLOR { return 1; }\n",
       "DepthStencilState", 3},
  };
  for (const Case& c : cases) {
    const Result r = translate(c.source, ZE_STAGE_PIXEL, "fx/later.fx");
    EXPECT_FALSE(r.ok) << c.source;
    EXPECT_NE(r.errors.find("fx/later.fx(" + std::to_string(c.line) +
                            "): error: Direct3D 10 and later syntax is not supported (effects are Direct3D 9 HLSL, "
                            "shader models 1 to 3): '" + c.word + "'"),
              std::string::npos)
        << r.errors;
  }
  // A technique10 block is only stripped, as every technique is: a shader
  // model 3 entry beside it still translates.
  EXPECT_TRUE(translate("float4 ps_main() : COLOR { return 1; }\ntechnique10 T { pass P { } }\n", ZE_STAGE_PIXEL).ok);
  // Shader model 3 has sampler arrays, which the engine's materials do not
  // carry: their sampler_state list goes, and the refusal names the array.
  const Result array = translate(
      "texture T;\nsampler2D S[2] = { sampler_state { Texture = <T>; }, sampler_state { Texture = <T>; } };\n"
      "float4 ps_main(float2 uv : TEXCOORD0) : COLOR { return tex2D(S[1], uv); }\n",
      ZE_STAGE_PIXEL, "fx/array.fx");
  EXPECT_NE(array.errors.find("fx/array.fx(0): error: sampler arrays are not supported ('S')"), std::string::npos)
      << array.errors;
}

// The front end crashed on a constant declared twice with two types and on
// a word after a constant's name (both found by fuzzing): the declaration
// is named, in the main file or an include, once the conditions are
// decided. The same declaration twice is one constant.
TEST(HlslCompat, ConstantDeclarationsTheFrontEndCrashedOnAreNamed) {
  const char* main = "float4 ps_main() : COLOR { return tex2D(Base, 0.5) * K.x; }\n";
  const struct {
    std::string source, include, error;
  } refused[] = {
      {"float4 K;\nfloat3 K;\n", "", "fx/twice.fx(2): error: 'K' : redefinition with another type (first declared as "
                                      "'float4')"},
      {"sampler2D Base;\nfloat4 X, Base[2] : register(c2);\nfloat4 K;\n", "",
       "fx/twice.fx(2): error: 'Base' : redefinition with another type (first declared as 'sampler2D')"},
      {"float4 K;\n#include \"inc.fxh\"\n", "sampler2D Base;\n\nfloat2 K;\n",
       "inc.fxh(3): error: 'K' : redefinition with another type (first declared as 'float4')"},
      {"sampler2D Base;\nfloat4 K Base;\n", "", "fx/twice.fx(2): error: 'Base' : unexpected after 'K'"},
  };
  for (const auto& r : refused) {
    const Result out = translate(r.source + main, ZE_STAGE_PIXEL, "fx/twice.fx", r.include);
    EXPECT_FALSE(out.ok);
    EXPECT_NE(out.errors.find(r.error), std::string::npos) << out.errors;
  }
  const char* accepted[] = {
      "sampler2D Base;\nfloat4 K : register(c1);\nfloat4 K;\n",
      "sampler2D Base;\n#ifdef WIDE\nfloat4 K;\n#else\nfloat3 K;\n#endif\n",
  };
  for (const char* a : accepted) EXPECT_TRUE(translate(a + std::string(main), ZE_STAGE_PIXEL).ok) << a;
}

// Include names as Windows content writes them: backslashes (single, and
// doubled as in a C string), the angle form, and a letter case that differs
// from the file on disk; found through the engine's include handler.
TEST(HlslCompat, WindowsIncludeNamesAreFound) {
  namespace fs = std::filesystem;
  const fs::path root = fs::temp_directory_path() / ("zarn_hlsl_compat_" + std::to_string(::getpid()));
  fs::create_directories(root / "fx" / "include");
  auto write = [](const fs::path& p, const std::string& text) { std::ofstream(p, std::ios::binary) << text; };
  write(root / "fx" / "include" / "Quad.fxh", "static float quad = 0.25;\n");
  write(root / "fx" / "include" / "Lights.fxh", "static float lights = 0.5;\n");
  write(root / "common.fxh", "static float common = 0.125;\n");
  const std::string main = (root / "fx" / "main.fx").string();
  const std::string source =
      "#include <include\\Quad.fxh>\n#include \"..\\\\common.fxh\"\n#include \"INCLUDE/lights.FXH\"\n"
      "float4 ps_main() : COLOR { return quad + common + lights; }\n";
  ShaderIncludeCallback includes((root / "fx").string());
  SZeTranslateRequest r;
  r.stage = ZE_STAGE_PIXEL;
  r.sourcePath = main;
  r.source = source;
  r.entry = "ps_main";
  r.includes = &includes;
  SZeCompiledProgram p;
  std::string errors;
  EXPECT_TRUE(zeTranslateHlsl(r, &p, &errors)) << errors;
  EXPECT_EQ(includes.opened.size(), 3u);  // recorded for the cache's dependency list
  fs::remove_all(root);
}

// The pre-pass fuzzer's corpus (seeds from the translator corpus and the
// constructs above, main files with includes, and what the fuzzer kept)
// replays as the fuzzer runs it: every line of every file stays where it
// was, and no wrapper carries an include or a definition.
TEST(HlslCompat, PrepassFuzzCorpusReplays) {
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator("corpus-prepass")) {
    std::ifstream in(entry.path(), std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    EXPECT_TRUE(zeHlslPrepassFuzzOne(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) << entry.path();
    ++files;
  }
  EXPECT_GT(files, 40);
}

// Effect-level shader objects are stripped; an entry may name the function
// with its arguments ("VS(2)"), an object or an element of a shader array
// (indexed by a number, a macro or an effect variable's initial value), or a
// technique's pass, which compiles what the pass assigns for the stage.
TEST(HlslCompat, ShaderObjectsAndTechniquePassesPickTheirShader) {
  const std::string source =
      "float4 Col;\nfloat4 VS(float4 p : POSITION, uniform float n) : POSITION { return p * n; }\n"
      "float4 Main() : COLOR { return Col; }\n"
      "VertexShader VSArray[3] = { compile vs_2_0 VS(1), compile vs_2_0 VS(2), compile vs_2_0 VS(3) };\n"
      "PixelShader PS = compile ps_2_0 Main();\nint Index < string UIName = \"Index\"; > = 1;\nint Unset;\n"
      "#define LAST 2\n"
      "technique T { pass P0 { VertexShader = (VSArray[Index]); PixelShader = (PS); }\n"
      "  pass P1 { VertexShader = compile vs_2_0 VS(7); PixelShader = compile ps_2_0 Main(); } }\n";
  auto run = [&source](uint32_t stage, const char* entry) {
    SZeTranslateRequest r;
    r.stage = stage;
    r.sourcePath = "objects.fx";
    r.source = source;
    r.entry = entry;
    r.macros = {{"PICK", "0"}};
    Result out;
    out.ok = zeTranslateHlsl(r, &out.program, &out.errors);
    return out;
  };
  const struct {
    const char* entry;
    const char* factor;
  } vertex[] = {{"VS(2)", "* 2.0"},         {"VSArray[2]", "* 3.0"}, {"VSArray[Index]", "* 2.0"},
                {"VSArray[Unset]", "* 1.0"}, {"VSArray[PICK]", "* 1.0"}, {"VSArray[LAST]", "* 3.0"},
                {"T.P0", "* 2.0"},           {"T.P1", "* 7.0"}};
  for (const auto& v : vertex) {
    const Result r = run(ZE_STAGE_VERTEX, v.entry);
    ASSERT_TRUE(r.ok) << v.entry << "\n" << r.errors;
    EXPECT_NE(r.program.glsl.find(v.factor), std::string::npos) << v.entry << "\n" << r.program.glsl;
    EXPECT_EQ(r.program.entry, v.entry);
    std::string log;
    EXPECT_TRUE(zeValidateGlsl(ZE_STAGE_VERTEX, r.program.glsl, &log)) << log;
  }
  for (const char* entry : {"Main", "PS", "T.P0", "T.P1"}) EXPECT_TRUE(run(ZE_STAGE_PIXEL, entry).ok) << entry;
  const struct {
    uint32_t stage;
    const char* entry;
    const char* error;
  } errors[] = {
      // The plain name is compiled four ways in the file: which one is meant must be said.
      {ZE_STAGE_VERTEX, "VS",
       "entry 'VS' is compiled with 4 different uniform argument lists in the techniques (VS(1), VS(2), VS(3), "
       "VS(7)): name the entry with its arguments, as 'VS(1)'"},
      {ZE_STAGE_VERTEX, "VSArray[3]", "shader index 3 lies outside 'VSArray' (3 shaders)"},
      {ZE_STAGE_VERTEX, "VSArray[Nowhere]", "the shader index 'Nowhere' is neither a macro nor an effect variable"},
      {ZE_STAGE_VERTEX, "T.P9", "pass 'P9' of technique 'T' not found"},
      {ZE_STAGE_VERTEX, "U.P0", "technique 'U' not found"},
  };
  for (const auto& e : errors) {
    const Result r = run(e.stage, e.entry);
    EXPECT_FALSE(r.ok) << e.entry;
    EXPECT_NE(r.errors.find(std::string("objects.fx(0): error: ") + e.error), std::string::npos) << r.errors;
  }
}
