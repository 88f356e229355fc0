// Morph-map files (.zmorph): per morph target a name, the LightWave points it
// moves and, per point, a position delta and a normal delta. IFF style, all
// numbers big-endian 32-bit.
//
// The reader checks every chunk against its parent and the file, every count
// against the bytes its chunk holds, names for their end within 127
// characters, and point counts against the file's maximum, before it
// allocates or reads. Failures go to the message channel (ZE_ERROR) naming the file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

struct SZeZmorphTarget {
  std::string name;
  std::vector<uint32_t> points;
  std::vector<float> positionDeltas;  // 3 per point
  std::vector<float> normalDeltas;    // 3 per point
};

bool zeParseZmorph(const unsigned char* bytes, std::size_t size, const char* name,
                   std::vector<SZeZmorphTarget>* targets);
bool zeReadZmorph(const char* file, std::vector<SZeZmorphTarget>* targets);
// "FORM", size, "ZMOR", M, Pmax, then one "VMOR" per target.
std::vector<unsigned char> zeZmorphWrite(const std::vector<SZeZmorphTarget>& targets);
