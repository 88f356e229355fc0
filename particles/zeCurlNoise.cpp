#include "particles/zeCurlNoise.h"

#include <cmath>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

#include "app/zeEngine.h"
#include "app/zeFileMount.h"
#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "base/zePath.h"
#include "render/image/CZeImage.h"

namespace {

// --- Volume state --------------------------------------------------------------

signed char emptyVector[3] = {0, 0, 0};
signed char* volume = emptyVector;
int edge = 1;
int plane = 1;

void setEmpty() {
  if (volume != emptyVector) delete[] volume;
  volume = emptyVector;
  edge = 1;
  plane = 1;
}

signed char* allocate(int n) {
  signed char* bytes = new (std::nothrow) signed char[static_cast<std::size_t>(n) * n * n * 3];
  return bytes;
}

void adopt(signed char* bytes, int n) {
  volume = bytes;
  edge = n;
  plane = n * n;
}

// --- Improved noise ------------------------------------------------------------

const unsigned char permutation[256] = {
    151, 160, 137, 91,  90,  15,  131, 13,  201, 95,  96,  53,  194, 233, 7,   225, 140, 36,  103, 30,  69,  142,
    8,   99,  37,  240, 21,  10,  23,  190, 6,   148, 247, 120, 234, 75,  0,   26,  197, 62,  94,  252, 219, 203,
    117, 35,  11,  32,  57,  177, 33,  88,  237, 149, 56,  87,  174, 20,  125, 136, 171, 168, 68,  175, 74,  165,
    71,  134, 139, 48,  27,  166, 77,  146, 158, 231, 83,  111, 229, 122, 60,  211, 133, 230, 220, 105, 92,  41,
    55,  46,  245, 40,  244, 102, 143, 54,  65,  25,  63,  161, 1,   216, 80,  73,  209, 76,  132, 187, 208, 89,
    18,  169, 200, 196, 135, 130, 116, 188, 159, 86,  164, 100, 109, 198, 173, 186, 3,   64,  52,  217, 226, 250,
    124, 123, 5,   202, 38,  147, 118, 126, 255, 82,  85,  212, 207, 206, 59,  227, 47,  16,  58,  17,  182, 189,
    28,  42,  223, 183, 170, 213, 119, 248, 152, 2,   44,  154, 163, 70,  221, 153, 101, 155, 167, 43,  172, 9,
    129, 22,  39,  253, 19,  98,  108, 110, 79,  113, 224, 232, 178, 185, 112, 104, 218, 246, 97,  228, 251, 34,
    242, 193, 238, 210, 144, 12,  191, 179, 162, 241, 81,  51,  145, 235, 249, 14,  239, 107, 49,  192, 214, 31,
    181, 199, 106, 157, 184, 84,  204, 176, 115, 121, 50,  45,  127, 4,   150, 254, 138, 236, 205, 93,  222, 114,
    67,  29,  24,  72,  243, 141, 128, 195, 78,  66,  215, 61,  156, 180};

int P(int i) { return permutation[i & 255]; }

float fade(float t) { return t * t * t * (t * (t * 6 - 15) + 10); }
float lerp(float t, float a, float b) { return a + t * (b - a); }

float grad(int hash, float x, float y, float z) {
  const int h = hash & 15;
  const float u = h < 8 ? x : y;
  const float v = h < 4 ? y : (h == 12 || h == 14 ? x : z);
  return ((h & 2) ? -v : v) + ((h & 1) ? -u : u);
}

int cell(float v) { return v > 0 ? static_cast<int>(v) : static_cast<int>(v) - 1; }

}  // namespace

float zeCurlPeriodicNoise(float x, float y, float z, int px, int py, int pz) {
  const int i0 = cell(x), j0 = cell(y), k0 = cell(z);
  const float fx = x - i0, fy = y - j0, fz = z - k0;
  // C++ remainders take the sign of the dividend, as the lattice wants.
  const int X0 = (i0 % px) & 255, X1 = ((i0 + 1) % px) & 255;
  const int Y0 = (j0 % py) & 255, Y1 = ((j0 + 1) % py) & 255;
  const int Z0 = (k0 % pz) & 255, Z1 = ((k0 + 1) % pz) & 255;
  auto h = [](int a, int b, int c) { return P(a + P(b + P(c))); };
  const float u = fade(fx), v = fade(fy), w = fade(fz);
  // Along z first, then y, then x.
  const float x00 = lerp(w, grad(h(X0, Y0, Z0), fx, fy, fz), grad(h(X0, Y0, Z1), fx, fy, fz - 1));
  const float x01 = lerp(w, grad(h(X0, Y1, Z0), fx, fy - 1, fz), grad(h(X0, Y1, Z1), fx, fy - 1, fz - 1));
  const float x10 = lerp(w, grad(h(X1, Y0, Z0), fx - 1, fy, fz), grad(h(X1, Y0, Z1), fx - 1, fy, fz - 1));
  const float x11 = lerp(w, grad(h(X1, Y1, Z0), fx - 1, fy - 1, fz), grad(h(X1, Y1, Z1), fx - 1, fy - 1, fz - 1));
  const float y0 = lerp(v, x00, x01);
  const float y1 = lerp(v, x10, x11);
  return lerp(u, y0, y1) * 0.936f;
}

namespace {

const int offsets[3][3] = {{0, 0, 0}, {31, -48, 13}, {-233, -113, -185}};

// The curl of a potential given per component; Pot(c, x, y, z) -> value.
template <typename T, typename Pot>
void curlAt(int x, int y, int z, Pot&& pot, T out[3]) {
  out[0] = (pot(2, x, y + 1, z) - pot(2, x, y - 1, z)) - (pot(1, x, y, z + 1) - pot(1, x, y, z - 1));
  out[1] = (pot(0, x, y, z + 1) - pot(0, x, y, z - 1)) - (pot(2, x + 1, y, z) - pot(2, x - 1, y, z));
  out[2] = (pot(1, x + 1, y, z) - pot(1, x - 1, y, z)) - (pot(0, x, y + 1, z) - pot(0, x, y - 1, z));
}

// The curl of `pot` at every cell of the n^3 volume into `out`, three bytes a
// cell, each the low byte of the whole part (as the cache file stores them).
template <typename T, typename Pot>
void writeCurl(signed char* out, int n, Pot&& pot) {
  for (int z = 0; z < n; ++z)
    for (int y = 0; y < n; ++y)
      for (int x = 0; x < n; ++x, out += 3) {
        T v[3];
        curlAt(x, y, z, pot, v);
        for (int c = 0; c < 3; ++c) out[c] = static_cast<signed char>(static_cast<int>(v[c]) & 255);
      }
}

}  // namespace

bool generateCurlNoise() {
  releaseCurlNoise();
  const int n = 64;
  signed char* bytes = allocate(n);
  if (!bytes) return false;
  const int period = n / 16;
  auto noise = [period](float x, float y, float z) {
    return (zeCurlPeriodicNoise(x / 16, y / 16, z / 16, period, period, period) * 128 + 128) * 0.5f;
  };
  // The potential over -1..n on every axis, computed once: the curl reads
  // each value up to four times. (The lattice wraps differently below zero,
  // so the border cannot be taken from the other side.)
  const int span = n + 2;
  std::vector<float> field;
  try {
    field.resize(static_cast<std::size_t>(span) * span * span * 3);
  } catch (const std::bad_alloc&) {
    delete[] bytes;
    return false;
  }
  float* f = field.data();
  for (int z = -1; z <= n; ++z)
    for (int y = -1; y <= n; ++y)
      for (int x = -1; x <= n; ++x)
        for (int c = 0; c < 3; ++c, ++f) {
          const float ox = static_cast<float>(x + offsets[c][0]), oy = static_cast<float>(y + offsets[c][1]),
                      oz = static_cast<float>(z + offsets[c][2]);
          const float dx = static_cast<float>(2 * x + offsets[c][0]), dy = static_cast<float>(2 * y + offsets[c][1]),
                      dz = static_cast<float>(2 * z + offsets[c][2]);
          *f = noise(ox, oy, oz) + 0.5f * noise(dx, dy, dz);
        }
  auto potential = [&](int c, int x, int y, int z) {
    return field[((static_cast<std::size_t>(z + 1) * span + (y + 1)) * span + (x + 1)) * 3 + c];
  };
  writeCurl<float>(bytes, n, potential);
  adopt(bytes, n);
  return true;
}

bool loadCurlNoiseFromImage(irr::video::IVideoDriver* driver, const char* file) {
  releaseCurlNoise();
  if (!driver || !file) return false;
  irr::video::IImage* loaded = driver->createImageFromFile(file);
  if (!loaded) return false;
  auto* image = dynamic_cast<CZeImage*>(loaded);
  const bool volumeOk = image && image->width() == image->height() && image->height() == image->depth() &&
                        image->zeFormat() == 4;
  if (!volumeOk) {
    loaded->drop();
    return false;
  }
  const int n = static_cast<int>(image->width());
  signed char* bytes = allocate(n);
  if (!bytes) {
    loaded->drop();
    return false;
  }
  const int stride = 1;
  const unsigned char* src = image->data();
  auto sample = [&](int x, int y, int z) {
    x = ((x % n) + n) % n;
    y = ((y % n) + n) % n;
    z = ((z % n) + n) % n;
    return static_cast<int>(src[(static_cast<std::size_t>(z) * n * n + y * n + x) * stride]);
  };
  auto potential = [&](int c, int x, int y, int z) {
    return sample(x + offsets[c][0], y + offsets[c][1], z + offsets[c][2]) +
           sample(2 * x + offsets[c][0], 2 * y + offsets[c][1], 2 * z + offsets[c][2]) / 2;
  };
  writeCurl<int>(bytes, n, potential);
  loaded->drop();
  adopt(bytes, n);
  return true;
}

bool loadCurlNoiseCache(const char* file) {
  releaseCurlNoise();
  ZeFile* in = file ? zeFileOpen(file, "rb") : nullptr;
  if (!in) {
    zeMessage(ZE_ERROR, "failed to open CurlNoise3D file");
    return false;
  }
  const long size = in->size();
  if (size < 0 || size % 3 != 0) {
    zeFileClose(in);
    zeMessage(ZE_ERROR, "CurlNoise3D file not multiple of 3 bytes");
    return false;
  }
  const int n = static_cast<int>(std::pow(static_cast<float>(size / 3), 1.0f / 3.0f) + 0.5f);
  if (static_cast<long long>(n) * n * n * 3 != size || n <= 0 || n > 1024) {
    zeFileClose(in);
    zeMessage(ZE_ERROR, "CurlNoise3D file not have W = H = D (sz=%d)", n);
    return false;
  }
  signed char* bytes = allocate(n);
  if (!bytes || zeFileRead(bytes, 1, static_cast<std::size_t>(size), in) != static_cast<std::size_t>(size)) {
    delete[] bytes;
    zeFileClose(in);
    zeMessage(ZE_ERROR, "failed to read CurlNoise3D file");
    return false;
  }
  zeFileClose(in);
  adopt(bytes, n);
  return true;
}

bool saveCurlNoiseCache(const char* file) {
  // The cache is written beside the program on disk (never into an archive).
  std::FILE* out = file ? std::fopen(file, "wb") : nullptr;
  if (!out) return false;
  const std::size_t size = static_cast<std::size_t>(plane) * edge * 3;
  const bool written = std::fwrite(volume, 1, size, out) == size;
  return std::fclose(out) == 0 && written;
}

void releaseCurlNoise() { setEmpty(); }

int zeCurlNoiseEdge() { return edge; }

void zeCurlNoiseAt(int x, int y, int z, signed char out[3]) {
  x = ((x % edge) + edge) % edge;
  y = ((y % edge) + edge) % edge;
  z = ((z % edge) + edge) % edge;
  std::memcpy(out, volume + 3 * (static_cast<std::size_t>(x) + static_cast<std::size_t>(y) * edge +
                                 static_cast<std::size_t>(z) * plane),
              3);
}

const signed char* zeCurlNoiseData() { return volume; }

CZeImage* zeCurlNoiseImage() {
  CZeImage* image = CZeImage::create(3, edge, edge, edge);
  if (!image) {
    zeMessage(ZE_ERROR, "Fail to create 3D image for curl noise");
    return nullptr;
  }
  unsigned char* out = image->data();
  const std::size_t count = static_cast<std::size_t>(plane) * edge;
  for (std::size_t i = 0; i < count; ++i, out += 4) {
    // Irrlicht's A8R8G8B8 byte order: blue, green, red, alpha.
    out[2] = static_cast<unsigned char>(volume[i * 3 + 0] - 128);
    out[1] = static_cast<unsigned char>(volume[i * 3 + 1] - 128);
    out[0] = static_cast<unsigned char>(volume[i * 3 + 2] - 128);
    out[3] = 255;
  }
  return image;
}

// --- Engine start ----------------------------------------------------------------

namespace {

bool startCurlNoise(ZeEngineContext& ctx, char* reason) {
  const std::string cache = zePathJoin(zeGetBaseDirectory(), "curlNoise3D.cache");
  if (zeFileExists(cache.c_str())) {
    if (loadCurlNoiseCache(cache.c_str())) return true;
    zeFormatText(reason, "fails to init curl noise from file cache");
    return false;
  }
  if (!zeFileExists("NoiseVolume.dds")) {
    // Nothing to build from: the volume stays empty (particles see no swirl).
    zeMessage(ZE_INFO, "curl noise: no %s and no NoiseVolume.dds, the volume stays empty", cache.c_str());
    return true;
  }
  if (!loadCurlNoiseFromImage(ctx.driver, "NoiseVolume.dds")) {
    zeFormatText(reason, "fails to init curl noise");
    return false;
  }
  if (!zeIsPackaged() && !saveCurlNoiseCache(cache.c_str())) zeMessage(ZE_ERROR, "failed to save %s", cache.c_str());
  return true;
}

void stopCurlNoise(ZeEngineContext&) { releaseCurlNoise(); }

}  // namespace

void zeInstallCurlNoise() { zeSetEngineStep(ZeEngineStep::CurlNoise, {startCurlNoise, stopCurlNoise}); }
