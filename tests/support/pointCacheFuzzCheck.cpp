#include "support/pointCacheFuzzCheck.h"

#include <vector>

#include "mesh/codec/zeZmdd.h"
#include "mesh/codec/zeZmorph.h"

void zeFuzzZmddOne(const uint8_t* data, std::size_t size) {
  ZeZmddStream* s = zmddc_uncompress_create_memory(data, size, "fuzz.zmdd");
  if (!s) return;
  const int frames = zmddc_frame_count(s);
  const int points = zmddc_point_count(s);
  volatile float sink = 0.0f;
  auto touch = [&](int f) {
    const float *x, *y, *z;
    if (!zmddc_uncompress_frame(s, f, &x, &y, &z)) return;
    for (int i = 0; i < points; ++i) sink = sink + x[i] + y[i] + z[i];
  };
  const int last = frames < 40 ? frames - 1 : 39;
  for (int f = -1; f <= last; ++f) touch(f);
  for (int f = last; f >= -1; f -= 3) touch(f);
  touch(frames - 1);
  touch(frames / 2);
  sink = sink + zmddc_frame_time(s, frames) + zmddc_frame_time(s, -5);
  zmddc_release(s);
}

void zeFuzzZpntsOne(const uint8_t* data, std::size_t size) {
  std::vector<uint32_t> table;
  if (!zeParseZpnts(data, size, "fuzz.zpnts", &table)) return;
  volatile long bad = zeZpntsFirstBadEntry(table, 1000);
  (void)bad;
}

void zeFuzzZmorphOne(const uint8_t* data, std::size_t size) {
  std::vector<SZeZmorphTarget> targets;
  if (!zeParseZmorph(data, size, "fuzz.zmorph", &targets)) return;
  volatile float sink = 0.0f;
  for (const SZeZmorphTarget& t : targets) {
    for (std::size_t i = 0; i < t.points.size(); ++i)
      sink = sink + static_cast<float>(t.points[i]) + t.positionDeltas[3 * i + 2] + t.normalDeltas[3 * i + 2];
    sink = sink + static_cast<float>(t.name.size());
  }
}
