// Reading a LightWave .mdd point cache (big-endian: frame count, point count,
// frame times, then x, y, z of every point per frame) as a .zmdd source.
#pragma once

#include <cstddef>
#include <string>

#include "mesh/codec/zeZmddWrite.h"

// The base frame is the first frame. false with `error` set when the counts
// do not fit the bytes.
bool zeReadLightWaveMdd(const unsigned char* bytes, std::size_t size, SZeZmddSource* out, std::string* error);
