// The .zmdd reader and the .zpnts reader.
#include "mesh/codec/zeZmdd.h"

#include <climits>
#include <cstdio>
#include <cstring>
#include <new>

#include "base/zeFile.h"
#include "base/zeMessage.h"
#include "mesh/codec/zeZmddPredict.h"

namespace {

constexpr int kNone = INT_MIN;

bool readAll(const char* file, std::vector<unsigned char>* bytes, const char* who) {
  std::string text;
  if (!zeFileReadAll(file, &text)) {
    zeMessage(ZE_ERROR, "%s: cannot open %s", who, file);
    return false;
  }
  bytes->assign(text.begin(), text.end());
  return true;
}

// MSB-first bits of one component's data.
struct Bits {
  const unsigned char* p;
  uint64_t count;  // bits
  uint64_t at = 0;
  bool bit(unsigned* b) {
    if (at >= count) return false;
    *b = (p[at >> 3] >> (7 - (at & 7))) & 1u;
    ++at;
    return true;
  }
  bool bits(unsigned k, uint64_t* v) {
    uint64_t r = 0;
    for (unsigned j = 0; j < k; ++j) {
      unsigned b;
      if (!bit(&b)) return false;
      r = (r << 1) | b;
    }
    *v = r;
    return true;
  }
};

}  // namespace

struct ZeZmddStream {
  std::string name;
  std::vector<unsigned char> data;
  uint32_t frames = 0, points = 0;
  float scale = 0.0f;
  std::vector<float> times;
  std::vector<uint32_t> offsets;
  std::vector<unsigned char> keys;
  std::vector<float> history[3][4];
  int slot = 0;   // the current history slot
  int valid = 0;  // how many slots hold decoded frames (current included)
  std::vector<int64_t> residuals;
  int current = kNone;
  int decoded = 0;

  bool fail(const char* format, int a = 0, int b = 0) {
    char text[512];
    std::snprintf(text, sizeof text, format, a, b);
    zeMessage(ZE_ERROR, "zmdd: %s: %s", name.c_str(), text);
    current = kNone;
    return false;
  }
  bool open();
  bool decodeRecord(int frame, bool reset);
  bool residualsOf(int e, const unsigned char* p, uint64_t size, int frame);
};

bool ZeZmddStream::open() {
  const uint64_t size = data.size();
  if (size < ZE_ZMDD_HEADER_SIZE) return fail("shorter than the 20-byte header (%d bytes)", static_cast<int>(size));
  const unsigned char* d = data.data();
  if (std::memcmp(d, "ZMDD", 4) != 0) return fail("no \"ZMDD\" magic");
  if (zeReadBE32(d + 4) != 0) return fail("version %d is not 0", static_cast<int>(zeReadBE32(d + 4)));
  frames = zeReadBE32(d + 8);
  points = zeReadBE32(d + 12);
  const uint32_t scaleBits = zeReadBE32(d + 16);
  std::memcpy(&scale, &scaleBits, 4);
  if (frames == 0 || points == 0) return fail("frame count %d or point count %d is 0", int(frames), int(points));
  if (!(scale != 0.0f) || scale != scale || scale - scale != 0.0f) return fail("the scale is 0 or not finite");
  // Tables, then the base frame: three headers and three float arrays.
  const uint64_t base = ZE_ZMDD_HEADER_SIZE + 9ull * frames;
  if (base + 24 + 12ull * points > size) {
    zeMessage(ZE_ERROR, "zmdd: %s: %u frames of %u points do not fit in the file (%llu bytes)", name.c_str(), frames,
              points, static_cast<unsigned long long>(size));
    return false;
  }
  times.resize(frames);
  offsets.resize(frames);
  keys.assign(d + ZE_ZMDD_HEADER_SIZE + 8ull * frames, d + base);
  for (uint32_t k = 0; k < frames; ++k) {
    const uint32_t bitsOfTime = zeReadBE32(d + ZE_ZMDD_HEADER_SIZE + 4ull * k);
    std::memcpy(&times[k], &bitsOfTime, 4);
    offsets[k] = zeReadBE32(d + ZE_ZMDD_HEADER_SIZE + 4ull * frames + 4ull * k);
  }
  for (auto& coordinate : history)
    for (auto& h : coordinate) h.assign(points, 0.0f);
  residuals.assign(points, 0);
  return true;
}

bool ZeZmddStream::residualsOf(int e, const unsigned char* p, uint64_t size, int frame) {
  const uint64_t n = points;
  auto need = [&](uint64_t bytes) {
    if (size >= bytes) return true;
    fail("frame %d: encoding %d data too short", frame, e);
    return false;
  };
  auto base = [&]() { return static_cast<int64_t>(static_cast<int32_t>(zeReadBE32(p))); };
  switch (e) {
    case 0: {  // signed Exp-Golomb
      Bits bits{p, size * 8};
      for (uint64_t i = 0; i < n; ++i) {
        unsigned z = 0, b;
        for (;;) {
          if (!bits.bit(&b)) return fail("frame %d: Exp-Golomb data ends early", frame);
          if (b) break;
          if (++z > 31) return fail("frame %d: Exp-Golomb code longer than 32 bits", frame);
        }
        uint64_t rest;
        if (!bits.bits(z, &rest)) return fail("frame %d: Exp-Golomb data ends early", frame);
        const uint64_t v = (uint64_t(1) << z) | rest;
        residuals[i] = (v & 1) ? -static_cast<int64_t>((v - 1) / 2) : static_cast<int64_t>(v / 2);
      }
      return true;
    }
    case 1: {  // Rice with parameter k
      if (!need(1)) return false;
      const unsigned k = p[0];
      if (k > 31) return fail("frame %d: Rice parameter %d above 31", frame, int(k));
      Bits bits{p + 1, (size - 1) * 8};
      for (uint64_t i = 0; i < n; ++i) {
        uint64_t q = 0;
        unsigned b;
        for (;;) {
          if (!bits.bit(&b)) return fail("frame %d: Rice data ends early", frame);
          if (!b) break;
          ++q;
        }
        uint64_t low;
        if (!bits.bits(k, &low)) return fail("frame %d: Rice data ends early", frame);
        if (q > (0xffffffffull >> k)) return fail("frame %d: Rice code above 32 bits", frame);
        const uint64_t u = (q << k) | low;
        residuals[i] = (u & 1) ? static_cast<int64_t>((u + 1) / 2) : -static_cast<int64_t>(u / 2);
      }
      return true;
    }
    case 2:
      if (!need(4 + (n + 1) / 2)) return false;
      for (uint64_t i = 0; i < n; ++i) {
        const unsigned byte = p[4 + i / 2];
        residuals[i] = ((i & 1) ? (byte & 15u) : (byte >> 4)) + base();
      }
      return true;
    case 3:
      if (!need(4 + n)) return false;
      for (uint64_t i = 0; i < n; ++i) residuals[i] = p[4 + i] + base();
      return true;
    case 4:
      if (!need(4 + 2 * n)) return false;
      for (uint64_t i = 0; i < n; ++i) residuals[i] = ((unsigned(p[4 + 2 * i]) << 8) | p[5 + 2 * i]) + base();
      return true;
    case 5:
      if (!need(4 * n)) return false;
      for (uint64_t i = 0; i < n; ++i) residuals[i] = static_cast<int32_t>(zeReadBE32(p + 4 * i));
      return true;
    case 6:
      if (!need(4)) return false;
      for (uint64_t i = 0; i < n; ++i) residuals[i] = base();
      return true;
    default:
      return fail("frame %d: unknown encoding %d", frame, e);
  }
}

bool ZeZmddStream::decodeRecord(int frame, bool reset) {
  const uint64_t size = data.size();
  const uint64_t at = frame < 0 ? ZE_ZMDD_HEADER_SIZE + 9ull * frames : offsets[frame];
  const bool key = frame < 0 || keys[frame] != 0;
  if (at + 24 > size) return fail("frame %d: its record starts past the end of the file", frame);
  const unsigned char* d = data.data() + at;
  unsigned predictor[3], encoding[3];
  uint64_t length[3], total = 0;
  for (int c = 0; c < 3; ++c) {
    predictor[c] = (unsigned(d[8 * c]) << 8) | d[8 * c + 1];
    encoding[c] = (unsigned(d[8 * c + 2]) << 8) | d[8 * c + 3];
    length[c] = zeReadBE32(d + 8 * c + 4);
    total += length[c];
  }
  if (total > 12ull * points + 1024) return fail("frame %d: its data is larger than 12 n + 1024 bytes", frame);
  if (at + 24 + total > size) return fail("frame %d: its data runs past the end of the file", frame);
  const int newValid = reset ? 1 : (valid < 4 ? valid + 1 : 4);
  if (!key)
    for (int c = 0; c < 3; ++c) {
      if (predictor[c] >= ZE_ZMDD_PREDICTORS) return fail("frame %d: unknown predictor %d", frame, int(predictor[c]));
      if (zeZmddPredictorHistory(int(predictor[c])) > newValid)
        return fail("frame %d: predictor %d needs earlier frames than were decoded", frame, int(predictor[c]));
    }
  slot = (slot + 1) & 3;  // the oldest slot becomes the current one
  valid = newValid;
  current = kNone;  // until the whole record is in
  const unsigned char* p = d + 24;
  for (int c = 0; c < 3; ++c) {
    float* v = history[c][slot].data();
    if (key) {
      if (length[c] < 4ull * points) return fail("frame %d: key frame data too short", frame);
      for (uint32_t i = 0; i < points; ++i) {
        const uint32_t b = zeReadBE32(p + 4ull * i);
        std::memcpy(&v[i], &b, 4);
      }
    } else {
      if (!residualsOf(int(encoding[c]), p, length[c], frame)) return false;
      const float* p1 = history[c][(slot + 3) & 3].data();
      const float* p2 = history[c][(slot + 2) & 3].data();
      const float* p3 = history[c][(slot + 1) & 3].data();
      const int pr = int(predictor[c]);
      for (uint32_t i = 0; i < points; ++i) v[i] = zeZmddPredict(pr, i, v, p1, p2, p3) + zeZmddStep(scale, residuals[i]);
    }
    p += length[c];
  }
  current = frame;
  ++decoded;
  return true;
}

ZeZmddStream* zmddc_uncompress_create_memory(const void* bytes, std::size_t size, const char* name) {
  ZeZmddStream* s = new (std::nothrow) ZeZmddStream;
  if (!s) return nullptr;
  s->name = name ? name : "(memory)";
  try {
    s->data.assign(static_cast<const unsigned char*>(bytes), static_cast<const unsigned char*>(bytes) + size);
    if (s->open()) return s;
  } catch (const std::bad_alloc&) {
    zeMessage(ZE_ERROR, "zmdd: %s: not enough memory", s->name.c_str());
  }
  delete s;
  return nullptr;
}

ZeZmddStream* zmddc_uncompress_create(const char* file) {
  std::vector<unsigned char> bytes;
  if (!file || !readAll(file, &bytes, "zmdd")) return nullptr;
  ZeZmddStream* s = new (std::nothrow) ZeZmddStream;
  if (!s) return nullptr;
  s->name = file;
  s->data.swap(bytes);
  try {
    if (s->open()) return s;
  } catch (const std::bad_alloc&) {
    zeMessage(ZE_ERROR, "zmdd: %s: not enough memory", file);
  }
  delete s;
  return nullptr;
}

bool zmddc_uncompress_frame(ZeZmddStream* s, int f, const float** x, const float** y, const float** z) {
  if (!s) return false;
  if (f < -1 || f >= static_cast<int>(s->frames)) return s->fail("frame %d is outside -1 .. %d", f, int(s->frames) - 1);
  if (f != s->current) {
    int from;
    if (s->current == kNone || f < s->current) {
      int k = f;
      while (k >= 0 && !s->keys[k]) --k;
      from = k;  // -1: the base frame
      if (!s->decodeRecord(from, true)) return false;
    } else {
      from = s->current;
      // A key frame at least 10 frames ahead saves decoding up to it.
      for (int k = s->current + 10; k <= f; ++k)
        if (s->keys[k]) {
          if (!s->decodeRecord(k, true)) return false;
          from = k;
          break;
        }
    }
    for (int k = from + 1; k <= f; ++k)
      if (!s->decodeRecord(k, false)) return false;
  }
  *x = s->history[0][s->slot].data();
  *y = s->history[1][s->slot].data();
  *z = s->history[2][s->slot].data();
  return true;
}

int zmddc_frame_count(const ZeZmddStream* s) { return s ? static_cast<int>(s->frames) : 0; }
int zmddc_point_count(const ZeZmddStream* s) { return s ? static_cast<int>(s->points) : 0; }
float zmddc_scale(const ZeZmddStream* s) { return s ? s->scale : 0.0f; }
float zmddc_frame_time(const ZeZmddStream* s, int k) {
  if (!s || s->frames == 0) return 0.0f;
  if (k < 0) k = 0;
  if (k >= static_cast<int>(s->frames)) k = static_cast<int>(s->frames) - 1;
  return s->times[k];
}
bool zmddc_is_key_frame(const ZeZmddStream* s, int k) {
  return s && (k == -1 || (k >= 0 && k < static_cast<int>(s->frames) && s->keys[k]));
}
void zmddc_release(ZeZmddStream* s) { delete s; }
int zmddc_decoded_records(const ZeZmddStream* s) { return s ? s->decoded : 0; }

// --- .zpnts ---------------------------------------------------------------------------
bool zeParseZpnts(const unsigned char* d, std::size_t size, const char* name, std::vector<uint32_t>* table) {
  table->clear();
  if (size < 4 || std::memcmp(d, "FORM", 4) != 0) {
    zeMessage(ZE_ERROR, "zpnts: %s: ID_FORM not found", name);
    return false;
  }
  if (size < 12 || std::memcmp(d + 8, "ZPNT", 4) != 0) {
    zeMessage(ZE_ERROR, "zpnts: %s: ID_ZPNT not found", name);
    return false;
  }
  if (size < 16) {
    zeMessage(ZE_ERROR, "zpnts: %s: no point count", name);
    return false;
  }
  const uint64_t m = zeReadBE32(d + 12);
  if (16 + 4 * m > size) {
    zeMessage(ZE_ERROR, "zpnts: %s: %llu entries do not fit in the file (%llu bytes)", name,
              static_cast<unsigned long long>(m), static_cast<unsigned long long>(size));
    return false;
  }
  table->resize(m);
  for (uint64_t i = 0; i < m; ++i) (*table)[i] = zeReadBE32(d + 16 + 4 * i);
  return true;
}

bool zeReadZpnts(const char* file, std::vector<uint32_t>* table) {
  std::vector<unsigned char> bytes;
  if (!file || !readAll(file, &bytes, "zpnts")) return false;
  return zeParseZpnts(bytes.data(), bytes.size(), file, table);
}

long zeZpntsFirstBadEntry(const std::vector<uint32_t>& table, uint32_t pointCount) {
  for (std::size_t i = 0; i < table.size(); ++i)
    if (table[i] >= pointCount) return static_cast<long>(i);
  return -1;
}
