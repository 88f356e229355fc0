// Small helpers for the image tests: PNG writing with libpng and RGBE files
// built byte by byte.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A PNG in memory: grey samples of `bitDepth` 8 or 16 (16-bit samples are
// written high byte first).
std::vector<unsigned char> zeTestPng(int width, int height, int bitDepth, int colourType,
                                     const std::vector<uint16_t>& samples);

// "#?RADIANCE" file with a header, the resolution line and the given data.
std::vector<unsigned char> zeTestHdr(const std::string& resolution, const std::vector<unsigned char>& data);

// An uncompressed volume DDS: 8-bit luminance (bits 8) or A8R8G8B8 (bits 32),
// `voxels` holding the slices one after the other.
std::vector<unsigned char> zeTestDdsVolume(int width, int height, int depth, int bits,
                                           const std::vector<unsigned char>& voxels);
