// The curl-noise volume: one process-wide cube of divergence-free vectors
// stored as signed bytes, sampled by the particle simulation and turned into
// the 3D texture "CurlNoise3D" by the texture manager.
//
// Empty state: edge 1 with a single zero vector. It holds before the volume
// is built, after it is released, and after every failed build.
#pragma once

#include <IVideoDriver.h>

class CZeImage;

// Procedural volume of edge 64 (deterministic).
bool generateCurlNoise();
// From an 8-bit volume image of equal width, height and depth (a CZeImage of
// format 4 with depth: a volume DDS through the driver's loaders). false, no
// message, when the file gives no such volume.
bool loadCurlNoiseFromImage(irr::video::IVideoDriver* driver, const char* file);
// The raw voxel array (N^3 * 3 bytes, no header), through the file hooks.
bool loadCurlNoiseCache(const char* file);
bool saveCurlNoiseCache(const char* file);
void releaseCurlNoise();

int zeCurlNoiseEdge();
// The vector at a voxel (coordinates wrap modulo the edge).
void zeCurlNoiseAt(int x, int y, int z, signed char out[3]);
const signed char* zeCurlNoiseData();  // N^3 * 3 bytes

// N x N x N, format 3, voxel = (vx - 128, vy - 128, vz - 128, 255) in 8 bits.
// nullptr with "Fail to create 3D image for curl noise".
CZeImage* zeCurlNoiseImage();

// Improved noise with a period per axis (exposed for tests).
float zeCurlPeriodicNoise(float x, float y, float z, int periodX, int periodY, int periodZ);

// Puts the volume into engine start (its CurlNoise step, after the standard
// shaders): the cache "curlNoise3D.cache" of the base directory when there is
// one, else built from "NoiseVolume.dds" and saved as the cache (not when
// packaged). Engine stop releases it.
void zeInstallCurlNoise();
