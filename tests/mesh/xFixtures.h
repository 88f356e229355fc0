// Small .x files shared by the loader tests and the fuzzer's seed writer
// (fuzz/xmesh_seeds.cpp).
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "xwriter.h"

// A material with colour (r, g, b), specular power 8 and an optional texture.
XObj material(const std::string& name, float r, float g, float b, const std::string& texture = "");
// A unit cube around (10, 0, 0): two materials, one normal per face, UVs,
// vertex colours, and the UV pair extension.
std::vector<XObj> cubeFile();
// A strip of `count` vertices: every vertex used, the last index count - 1.
std::string stripFile(uint32_t count);
// A frame "Bone" holding a mesh with the vertex (1, 0, 0), turned a quarter
// around z at tick 10, by a rotation key or by a matrix key.
std::string turningFile(bool matrixKeys, bool skinned);
