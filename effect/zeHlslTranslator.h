// The stand-in for the Direct3D 9 HLSL compiler: Direct3D 9 style HLSL (vs/ps
// 1.1 to 3.0 profiles, semantics, sampler2D and tex2D, register(cN)/(sN)) in,
// GLSL 330 compatibility out, with a constant table laid out as Direct3D 9 lays
// it out. GL-free: the GL side only compiles the text it gets.
//
// The translated program reads its constants from one float4 register file per
// stage ("zeVC[256]" for the vertex stage, "zePC[224]" for the pixel stage), so a
// constant set by register and the same constant set by name land in the same
// place. Samplers are uniforms named "zeVS_<name>" / "zePS_<name>" whose unit is
// the sampler index (pixel) or 8 + the index (vertex). Vertex inputs come from
// the fixed-function arrays (POSITION gl_Vertex, NORMAL gl_Normal, COLOR0/1
// gl_Color/gl_SecondaryColor, TEXCOORDn gl_MultiTexCoordn, TANGENT and BINORMAL
// texture units 1 and 2 as Irrlicht sends them); varyings are vec4s named
// "zeV_<SEMANTIC><index>" so the two stages link by semantic whatever order or
// width they declare; pixel colour outputs COLORn go to draw buffer n.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "effect/zeConstantTable.h"

struct SZeShaderMacro {
  std::string name;
  std::string definition;
};

enum EZeShaderStage : uint32_t { ZE_STAGE_VERTEX = 0, ZE_STAGE_PIXEL = 1 };

constexpr int ZE_VERTEX_REGISTERS = 256;
constexpr int ZE_PIXEL_REGISTERS = 224;
constexpr int ZE_PIXEL_SAMPLERS = 8;   // units 0-7: what the engine's materials carry
// Direct3D 9 numbers pixel samplers s0-s15; an index past 7 compiles and is
// refused later by the effect builder, as it was on Direct3D.
constexpr int ZE_PIXEL_SAMPLER_REGISTERS = 16;
constexpr int ZE_VERTEX_SAMPLERS = 4;  // units 8-11
constexpr int ZE_VERTEX_SAMPLER_UNIT0 = 8;

// Translated vertex shaders that write POSITION move it by this clip-space
// vec2 times w after the shader: Direct3D 9 rasterises half a pixel right of
// and below OpenGL. The GL layer sets it to half a pixel of the current target.
constexpr const char* ZE_HALF_PIXEL_UNIFORM = "zeHalfPixel";

// Where included files come from. `includerPath` is the path of the file that
// holds the #include. Returns the path opened (used in messages) and its bytes.
class IZeShaderIncludeSource {
 public:
  virtual ~IZeShaderIncludeSource() = default;
  virtual bool openInclude(const std::string& name, const std::string& includerPath, std::string* openedPath,
                           std::string* bytes) = 0;
  // The compiler is done with the bytes of one include (the address is only an identity).
  virtual void closeInclude(const void* bytes) {}
};

// One translated stage: the "bytecode" of the shader services.
struct SZeCompiledProgram {
  uint32_t stage = ZE_STAGE_VERTEX;
  std::string sourcePath;
  std::string entry;
  std::string glsl;
  CZeConstantTable constants;             // 'c' constants and 's' samplers
  std::vector<std::string> varyings;      // vertex: written; pixel: read ("zeV_TEXCOORD0" ...)
  std::vector<std::string> attributes;    // generic vertex attributes, by name ("zeA_BLENDWEIGHT0")

  // Cache form: a header (magic, format version, translator version, source
  // path) and the payload.
  void serialize(std::string* out) const;
  // Rejects foreign files, other versions and other source paths (a miss),
  // with the reason in *why.
  bool deserialize(const void* data, std::size_t size, const std::string& expectedSourcePath, std::string* why);
  // The constant table in binary form (compared on hot recompile).
  std::string constantTableBytes() const;
};

struct SZeTranslateRequest {
  uint32_t stage = ZE_STAGE_VERTEX;
  std::string sourcePath;  // as reported in messages and kept in the program
  std::string source;
  std::string entry = "main";
  std::vector<SZeShaderMacro> macros;
  IZeShaderIncludeSource* includes = nullptr;
};

// Version of the translation rules; a cached program of another version is stale.
uint32_t zeTranslatorVersion();

// Translates one stage. On failure *errors holds lines "file(line): error: text".
// Runs in a child process with a time limit (the includes are still opened by
// request.includes, in this process): a crash, an abort or an endless loop in
// the third-party stages is an error naming the file, and this process goes on.
bool zeTranslateHlsl(const SZeTranslateRequest& request, SZeCompiledProgram* out, std::string* errors);
// The same in this process, unguarded: for the fuzzer, which must see crashes.
bool zeTranslateHlslInProcess(const SZeTranslateRequest& request, SZeCompiledProgram* out, std::string* errors);
// Time limit of one guarded translation (default 30 s; 0 or less restores it).
void zeSetHlslTimeLimit(int milliseconds);

// The GLSL uniform of a sampler of the constant table ("zePS_" + name; a
// "$name" entry parameter is "zePS_zeParam_name", '$' being no GLSL character).
std::string zeGlslSamplerName(uint32_t stage, const std::string& constantName);

// Parses generated GLSL as GLSL 330 compatibility (a check for tests and the
// command-line tool; the driver compiles it for real).
bool zeValidateGlsl(uint32_t stage, const std::string& glsl, std::string* log);

// Text pre-pass (exposed for tests): removes what only an effect compiler reads
// (technique and pass blocks, sampler_state initialisers, texture declarations,
// annotations), keeping every line where it was.
std::string zeHlslStripEffectSyntax(const std::string& source);
