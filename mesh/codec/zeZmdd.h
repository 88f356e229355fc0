// Point-cache files: the .zmdd frame stream and the .zpnts point lookup.
//
// A .zmdd file holds F frames of n points (three coordinates each), a base
// frame before them, a time per frame and key frames stored as plain floats;
// the other frames hold integer residuals (seven encodings) from which six
// predictors rebuild the values. A .zpnts file maps each LightWave point of
// the object to the cache point that moves it.
//
// No Irrlicht here: the mesh layer, the converter and the fuzz targets share
// it. Every count and size a file gives is checked against the bytes the file
// really holds before anything is allocated or read; failures are reported
// once through the message channel (ZE_ERROR) naming the file, and the call
// answers nullptr/false.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Big-endian numbers, shared by the readers and the writer.
inline uint32_t zeReadBE32(const unsigned char* p) {
  return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}

// Format limits.
constexpr int ZE_ZMDD_PREDICTORS = 6;  // P 0..5
constexpr int ZE_ZMDD_ENCODINGS = 7;   // E 0..6
constexpr uint32_t ZE_ZMDD_HEADER_SIZE = 20;

// The value d = s x r / 1000 that a residual adds; the writer uses the same
// arithmetic, so that what it predicts from is what the reader rebuilds.
inline float zeZmddStep(float scale, int64_t residual) {
  return static_cast<float>(static_cast<double>(scale) * static_cast<double>(residual) / 1000.0);
}

// An open cache stream (frames decoded on demand).
struct ZeZmddStream;

// Opens a cache through the file hooks / from memory (the bytes are copied).
// nullptr after a message when the header, the tables or the base frame's
// place do not fit the file.
ZeZmddStream* zmddc_uncompress_create(const char* file);
ZeZmddStream* zmddc_uncompress_create_memory(const void* bytes, std::size_t size, const char* name);
// Decodes frame `frame` (-1 = the base frame, up to F - 1) and points x, y, z
// at its coordinates (valid until the next call). false after a message when
// the frame is out of range or its record is bad.
bool zmddc_uncompress_frame(ZeZmddStream* stream, int frame, const float** x, const float** y, const float** z);
int zmddc_frame_count(const ZeZmddStream* stream);
int zmddc_point_count(const ZeZmddStream* stream);
float zmddc_scale(const ZeZmddStream* stream);
// Time of codec frame k, k clamped to 0 .. F - 1.
float zmddc_frame_time(const ZeZmddStream* stream, int k);
bool zmddc_is_key_frame(const ZeZmddStream* stream, int k);
void zmddc_release(ZeZmddStream* stream);
// How many frame records were decoded since the stream opened (for tests of
// the walk from key frames).
int zmddc_decoded_records(const ZeZmddStream* stream);

// Reads a .zpnts table (through the file hooks / from memory). false after a
// message naming `name`: no "FORM", no "ZPNT", a count the file cannot hold.
bool zeReadZpnts(const char* file, std::vector<uint32_t>* table);
bool zeParseZpnts(const unsigned char* bytes, std::size_t size, const char* name, std::vector<uint32_t>* table);
// The first entry >= pointCount, or -1 when every entry is below it.
long zeZpntsFirstBadEntry(const std::vector<uint32_t>& table, uint32_t pointCount);
