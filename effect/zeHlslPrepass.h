// Text pre-pass of the HLSL translator (internal to effect/): strips effect-only
// syntax and rewrites the few Direct3D 9 idioms glslang gets wrong, keeping every
// line where it was so messages name the original lines.
#pragma once

#include <cstdint>
#include <map>
#include <string>

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
};

std::string zeHlslPrepass(const std::string& source, SZeHlslPrepassInfo* info);

// Put before every source: Direct3D's lit() (the specular term is 0 when
// n.l < 0 or n.h < 0) and the intrinsics glslang translates differently.
extern const char* const kZeHlslPreamble;
