// Text pre-pass of the HLSL translator (internal to effect/): strips effect-only
// syntax and rewrites the few Direct3D 9 idioms glslang gets wrong, keeping every
// line where it was so messages name the original lines.
#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

struct SZeHlslPrepassInfo {
  // register(cN) / register(sN) given in the source, by constant name.
  std::map<std::string, std::pair<char, int>> explicitRegisters;
  // register(vs, cN) / register(ps, cN): [0] vertex, [1] pixel; before the above.
  std::map<std::string, std::pair<char, int>> stageRegisters[2];
  // Global bool and int constants, which the pass declares as float (the engine
  // delivers them as floats, as Direct3D 9 float registers hold them).
  std::map<std::string, uint8_t> originalBase;  // EZeConstBase
  // Order of first appearance of each name at global scope (the main file
  // first, then included files as they are read): samplers take their
  // indices in declaration order.
  std::map<std::string, int> declarationOrder;
  // Global constants as declared at the top level, in order: the same name
  // declared twice with two types brings the front end down.
  struct Constant {
    std::string name;
    std::string type;  // with its storage words and array sizes ("row_major float4x4[2]")
    size_t offset = 0;
    // A word written right after the name ("float4 a b;"), which no
    // declaration has and which the front end can crash on.
    std::string strayWord;
  };
  std::vector<Constant> constants;
  // The first Direct3D 10 or later word (a keyword or an SV_ semantic) and its
  // line: such sources are refused with kZeHlslLaterSyntaxRefusal.
  std::string laterSyntax;
  int laterSyntaxLine = 0;
  // Helpers the rewritten code calls (zeHlslHelperPreamble writes them):
  // constructors assigned to ("float4(a, b) = v;", "int3(i, j) = k;"), by
  // the base type of their zeSplit overloads ("float", "int", ...) ...
  std::set<std::string> splitBases;
  // ... and casts to array types ("(float[4])v"), by element type and count.
  std::set<std::pair<std::string, int>> arrayCasts;
};

// The helper functions the pre-pass rewrote code to call, for everything
// `info` (the main file's and its includes' joined) asks for.
std::string zeHlslHelperPreamble(const SZeHlslPrepassInfo& info);
// Joins the helpers `from` asks for into `to`.
void zeHlslJoinHelpers(const SZeHlslPrepassInfo& from, SZeHlslPrepassInfo* to);

// The refusal of Direct3D 10 and later syntax; the word found follows it in quotes.
constexpr const char* kZeHlslLaterSyntaxRefusal =
    "Direct3D 10 and later syntax is not supported (effects are Direct3D 9 HLSL, shader models 1 to 3):";

// OpenGL macro names (GL_..., VULKAN) get this prefix in sources and in
// macros handed in, so the front end's predefined ones never match.
extern const char* const kZeHlslHiddenPrefix;
std::string zeHlslHideMacroName(const std::string& name);

std::string zeHlslPrepass(const std::string& source, SZeHlslPrepassInfo* info);

// Put before every source: Direct3D's lit() (the specular term is 0 when
// n.l < 0 or n.h < 0) and the intrinsics glslang translates differently.
extern const char* const kZeHlslPreamble;

// Uniform parameters of an entry point that no argument list binds become
// constants named "$name", as the Direct3D 9 compiler named them; in the
// code they are globals with this prefix.
extern const char* const kZeHlslEntryParamPrefix;

// Uniform parameters of an entry point ("VSMain(float4 p : POSITION, uniform
// int n)") are bound to constant arguments: those of the entry when it is
// named with them ("VSMain(3, true)"), else the one argument list the
// techniques give it ("compile vs_2_0 VSMain(3, true)"). On a binding,
// *wrapper is a function to append to the source that calls the entry with
// them, named *wrapperName. false with *error empty: nothing to bind.
bool zeHlslBindUniformEntry(const std::string& source, const std::string& entry, std::string* wrapper,
                            std::string* wrapperName, std::string* error);

// The calls of `entry` the techniques compile ("VS(3, true)", one per
// different argument list, sorted); an entry compiled with several must be
// named with one of them.
std::vector<std::string> zeHlslEntryCalls(const std::string& source, const std::string& entry);

// An entry that names an effect-level shader object ("PS"), an element of a
// shader array ("VSArray[2]", "VSArray[Index]": the index a number, a macro
// or an effect variable's initial value) or a technique's pass ("T.P": the
// shader it assigns for the stage) becomes the function it compiles, with
// its arguments ("VS(3)"). false with *error empty: the entry is a function.
struct SZeShaderMacro;
bool zeHlslResolveShaderEntry(const std::string& source, const std::string& entry, bool vertex,
                              const std::vector<SZeShaderMacro>& macros, std::string* resolved, std::string* error);
