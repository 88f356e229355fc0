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
