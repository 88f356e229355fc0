// Writes seed inputs for the .zmdd, .zpnts and .zmorph fuzz targets:
//   pointcache_seeds tests/mesh/corpus-zmdd tests/mesh/corpus-zpnts tests/mesh/corpus-zmorph
// One small cache per predictor and encoding (and with key frames), and a few
// lookup tables.
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "mesh/codec/zeZmddWrite.h"
#include "mesh/codec/zeZmorph.h"

namespace {

bool write(const std::string& path, const std::vector<unsigned char>& bytes) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) return false;
  std::fwrite(bytes.data(), 1, bytes.size(), f);
  return std::fclose(f) == 0;
}

SZeZmddSource source(uint32_t frames, uint32_t points, float speed) {
  SZeZmddSource s;
  s.frames = frames;
  s.points = points;
  for (uint32_t f = 0; f < frames; ++f) s.times.push_back(static_cast<float>(f));
  for (uint32_t f = 0; f <= frames; ++f)
    for (uint32_t i = 0; i < points; ++i) {
      const float t = speed * static_cast<float>(f == 0 ? 0 : f - 1);
      const float p[3] = {static_cast<float>(i) + t, std::sin(static_cast<float>(i) + t), -t};
      for (float v : p) (f == 0 ? s.base : s.positions).push_back(v);
    }
  return s;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: pointcache_seeds ZMDD_DIR ZPNTS_DIR ZMORPH_DIR\n");
    return 1;
  }
  int written = 0;
  for (int p = -1; p < 6; ++p)
    for (int e = -1; e < 7; ++e) {
      SZeZmddWriteOptions o;
      o.predictor = p;
      o.encoding = e;
      o.scale = e == 2 ? 100.0f : (e == 3 ? 10.0f : 0.1f);
      o.keyInterval = (p + e) % 3 == 0 ? 3 : 0;
      std::vector<unsigned char> bytes;
      std::string error;
      const SZeZmddSource s = e == 6 ? source(5, 3, 0.0f) : source(6, 5, 0.05f);
      if (!zeZmddWrite(s, o, &bytes, &error)) continue;
      written += write(std::string(argv[1]) + "/p" + std::to_string(p) + "e" + std::to_string(e) + ".zmdd", bytes);
    }
  written += write(std::string(argv[2]) + "/identity.zpnts", zeZpntsWrite({0, 1, 2, 3}));
  written += write(std::string(argv[2]) + "/empty.zpnts", zeZpntsWrite({}));
  written += write(std::string(argv[2]) + "/far.zpnts", zeZpntsWrite({999, 1000, 0xffffffffu}));
  SZeZmorphTarget a{"smile", {0, 3, 3}, {0, 1, 0, 0.5f, 0, 0, 1, 1, 1}, {0, 0, 1, 0, 0, 0, 0, 0, 0}};
  SZeZmorphTarget empty{"", {}, {}, {}};
  written += write(std::string(argv[3]) + "/two.zmorph", zeZmorphWrite({a, empty}));
  written += write(std::string(argv[3]) + "/one.zmorph", zeZmorphWrite({a}));
  written += write(std::string(argv[3]) + "/none.zmorph", zeZmorphWrite({}));
  std::printf("%d seeds\n", written);
  return 0;
}
