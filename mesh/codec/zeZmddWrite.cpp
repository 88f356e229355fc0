// The .zmdd and .zpnts writers.
#include "mesh/codec/zeZmddWrite.h"

#include <cmath>
#include <cstring>

#include "mesh/codec/zeZmdd.h"
#include "mesh/codec/zeZmddPredict.h"

namespace {

void put32(std::vector<unsigned char>* out, uint32_t v) {
  out->push_back(static_cast<unsigned char>(v >> 24));
  out->push_back(static_cast<unsigned char>(v >> 16));
  out->push_back(static_cast<unsigned char>(v >> 8));
  out->push_back(static_cast<unsigned char>(v));
}
void putFloat(std::vector<unsigned char>* out, float f) {
  uint32_t b;
  std::memcpy(&b, &f, 4);
  put32(out, b);
}
void put16(std::vector<unsigned char>* out, unsigned v) {
  out->push_back(static_cast<unsigned char>(v >> 8));
  out->push_back(static_cast<unsigned char>(v));
}

struct BitWriter {
  std::vector<unsigned char>* out;
  unsigned acc = 0, used = 0;
  void bit(unsigned b) {
    acc = (acc << 1) | (b & 1);
    if (++used == 8) {
      out->push_back(static_cast<unsigned char>(acc));
      acc = used = 0;
    }
  }
  void bits(uint64_t v, unsigned k) {
    while (k) bit(static_cast<unsigned>(v >> --k) & 1);
  }
  void flush() {
    while (used) bit(0);
  }
};

unsigned bitLength(uint64_t v) {
  unsigned n = 0;
  while (v) {
    ++n;
    v >>= 1;
  }
  return n;
}

uint64_t golombOf(int64_t r) { return r > 0 ? uint64_t(2 * r) : uint64_t(-2 * r + 1); }
uint64_t riceOf(int64_t r) { return r > 0 ? uint64_t(2 * r - 1) : uint64_t(-2 * r); }

// Size in bytes of residuals `r` under encoding e, or -1 when they do not fit;
// for Rice, *k receives the parameter.
int64_t encodedSize(int e, const std::vector<int64_t>& r, int64_t lo, int64_t hi, unsigned* k) {
  const uint64_t n = r.size();
  switch (e) {
    case 0: {
      uint64_t bits = 0;
      for (int64_t v : r) {
        const uint64_t b = golombOf(v);
        if (b > 0xffffffffull) return -1;
        bits += 2 * bitLength(b) - 1;
      }
      return static_cast<int64_t>((bits + 7) / 8);
    }
    case 1: {
      long double mean = 0;
      for (int64_t v : r) mean += riceOf(v);
      mean /= n ? n : 1;
      const int guess = mean >= 1 ? static_cast<int>(std::floor(std::log2(static_cast<double>(mean)))) : 0;
      int64_t best = -1;
      for (int kk = guess - 1; kk <= guess + 1; ++kk) {
        if (kk < 0 || kk > 31) continue;
        uint64_t bits = 0;
        bool ok = true;
        for (int64_t v : r) {
          const uint64_t u = riceOf(v);
          if (u > 0xffffffffull) ok = false;
          bits += (u >> kk) + 1 + kk;
        }
        const int64_t bytes = static_cast<int64_t>(1 + (bits + 7) / 8);
        if (ok && (best < 0 || bytes < best)) {
          best = bytes;
          *k = static_cast<unsigned>(kk);
        }
      }
      return best;
    }
    case 2: return hi - lo <= 15 ? static_cast<int64_t>(4 + (n + 1) / 2) : -1;
    case 3: return hi - lo <= 255 ? static_cast<int64_t>(4 + n) : -1;
    case 4: return hi - lo <= 65535 ? static_cast<int64_t>(4 + 2 * n) : -1;
    case 5: return static_cast<int64_t>(4 * n);
    case 6: return lo == hi ? 4 : -1;
    default: return -1;
  }
}

void writeResiduals(int e, unsigned k, const std::vector<int64_t>& r, int64_t lo, std::vector<unsigned char>* out) {
  const uint32_t b = static_cast<uint32_t>(static_cast<int32_t>(lo));
  switch (e) {
    case 0: {
      BitWriter w{out};
      for (int64_t v : r) {
        const uint64_t g = golombOf(v);
        const unsigned len = bitLength(g);
        w.bits(0, len - 1);
        w.bits(g, len);
      }
      w.flush();
      break;
    }
    case 1: {
      out->push_back(static_cast<unsigned char>(k));
      BitWriter w{out};
      for (int64_t v : r) {
        const uint64_t u = riceOf(v);
        for (uint64_t q = u >> k; q; --q) w.bit(1);
        w.bit(0);
        w.bits(u & ((uint64_t(1) << k) - 1), k);
      }
      w.flush();
      break;
    }
    case 2:
      put32(out, b);
      for (std::size_t i = 0; i < r.size(); i += 2) {
        const unsigned hi = static_cast<unsigned>(r[i] - lo);
        const unsigned lo4 = i + 1 < r.size() ? static_cast<unsigned>(r[i + 1] - lo) : 0;
        out->push_back(static_cast<unsigned char>((hi << 4) | lo4));
      }
      break;
    case 3:
      put32(out, b);
      for (int64_t v : r) out->push_back(static_cast<unsigned char>(v - lo));
      break;
    case 4:
      put32(out, b);
      for (int64_t v : r) put16(out, static_cast<unsigned>(v - lo));
      break;
    case 5:
      for (int64_t v : r) put32(out, static_cast<uint32_t>(static_cast<int32_t>(v)));
      break;
    case 6: put32(out, b); break;
  }
}

// One coordinate of one residual frame: the residuals predictor p gives and
// the values the reader will rebuild from them.
bool predictCoordinate(int p, float scale, const float* target, uint32_t n, const float* p1, const float* p2,
                       const float* p3, std::vector<int64_t>* r, std::vector<float>* v) {
  const double perUnit = 1000.0 / static_cast<double>(scale);
  for (uint32_t i = 0; i < n; ++i) {
    const float pred = zeZmddPredict(p, i, v->data(), p1, p2, p3);
    const double q = std::nearbyint((static_cast<double>(target[i]) - pred) * perUnit);
    if (!(std::fabs(q) <= 2147483647.0)) return false;
    (*r)[i] = static_cast<int64_t>(q);
    (*v)[i] = pred + zeZmddStep(scale, (*r)[i]);
  }
  return true;
}

}  // namespace

bool zeZmddWrite(const SZeZmddSource& src, const SZeZmddWriteOptions& opt, std::vector<unsigned char>* out,
                 std::string* error) {
  const uint32_t F = src.frames, n = src.points;
  if (F == 0 || n == 0 || src.times.size() != F || src.base.size() != 3ull * n ||
      src.positions.size() != 3ull * n * F) {
    *error = "frame count, point count and arrays do not agree";
    return false;
  }
  if (!(opt.scale != 0.0f) || !std::isfinite(opt.scale)) {
    *error = "the scale must be finite and not 0";
    return false;
  }
  if (!opt.keyFrames.empty() && opt.keyFrames.size() != F) {
    *error = "one key flag per frame is needed";
    return false;
  }
  std::vector<unsigned char> keys(F, 0);
  for (uint32_t f = 0; f < F; ++f)
    keys[f] = !opt.keyFrames.empty() ? (opt.keyFrames[f] ? 1 : 0) : (opt.keyInterval > 0 && f % opt.keyInterval == 0);

  out->clear();
  out->insert(out->end(), {'Z', 'M', 'D', 'D'});
  put32(out, 0);
  put32(out, F);
  put32(out, n);
  putFloat(out, opt.scale);
  for (float t : src.times) putFloat(out, t);
  const std::size_t offsetTable = out->size();
  for (uint32_t f = 0; f < F; ++f) put32(out, 0);
  out->insert(out->end(), keys.begin(), keys.end());

  // History as the reader keeps it: newest first, `valid` frames deep.
  std::vector<float> history[3][4];
  for (auto& c : history)
    for (auto& h : c) h.assign(n, 0.0f);
  int slot = 0, valid = 0;
  std::vector<float> target(n), rebuilt(n), bestValues(n);
  std::vector<int64_t> residuals(n), bestResiduals(n);

  auto writeKey = [&](const float* xyz) {
    slot = (slot + 1) & 3;
    valid = 1;
    for (int c = 0; c < 3; ++c) {
      put16(out, 0);
      put16(out, 0);
      put32(out, 4 * n);
    }
    for (int c = 0; c < 3; ++c)
      for (uint32_t i = 0; i < n; ++i) {
        history[c][slot][i] = xyz[3ull * i + c];
        putFloat(out, xyz[3ull * i + c]);
      }
  };

  writeKey(src.base.data());
  for (uint32_t f = 0; f < F; ++f) {
    const float* xyz = src.positions.data() + 3ull * n * f;
    const uint64_t at = out->size();
    if (at > 0xffffffffull) {
      *error = "the file passes 4 GB";
      return false;
    }
    for (int b = 0; b < 4; ++b) (*out)[offsetTable + 4ull * f + b] = static_cast<unsigned char>(at >> (24 - 8 * b));
    if (keys[f]) {
      writeKey(xyz);
      continue;
    }
    const int nextValid = valid < 4 ? valid + 1 : 4;
    const int nextSlot = (slot + 1) & 3;
    std::vector<unsigned char> data[3];
    unsigned header[3][2];
    for (int c = 0; c < 3; ++c) {
      for (uint32_t i = 0; i < n; ++i) target[i] = xyz[3ull * i + c];
      const float* p1 = history[c][slot].data();
      const float* p2 = history[c][(slot + 3) & 3].data();
      const float* p3 = history[c][(slot + 2) & 3].data();
      int64_t bestSize = -1;
      int bestP = 0, bestE = 0;
      unsigned bestK = 0;
      for (int p = 0; p < 6; ++p) {
        if (zeZmddPredictorHistory(p) > nextValid) continue;
        const bool forcedUsable = opt.predictor >= 0 && zeZmddPredictorHistory(opt.predictor) <= nextValid;
        if (forcedUsable && p != opt.predictor) continue;
        if (!predictCoordinate(p, opt.scale, target.data(), n, p1, p2, p3, &residuals, &rebuilt)) continue;
        int64_t lo = residuals[0], hi = residuals[0];
        for (int64_t r : residuals) lo = r < lo ? r : lo, hi = r > hi ? r : hi;
        for (int e = 0; e < 7; ++e) {
          if (opt.encoding >= 0 && e != opt.encoding) continue;
          unsigned k = 0;
          const int64_t size = encodedSize(e, residuals, lo, hi, &k);
          if (size < 0 || (bestSize >= 0 && size >= bestSize)) continue;
          bestSize = size, bestP = p, bestE = e, bestK = k;
          bestResiduals = residuals;
          bestValues = rebuilt;
        }
      }
      if (bestSize < 0) {
        *error = "frame " + std::to_string(f) + ": the residuals fit no allowed encoding (scale too fine?)";
        return false;
      }
      int64_t lo = bestResiduals[0];
      for (int64_t r : bestResiduals) lo = r < lo ? r : lo;
      writeResiduals(bestE, bestK, bestResiduals, lo, &data[c]);
      header[c][0] = static_cast<unsigned>(bestP);
      header[c][1] = static_cast<unsigned>(bestE);
      history[c][nextSlot] = bestValues;
    }
    slot = nextSlot;
    valid = nextValid;
    for (int c = 0; c < 3; ++c) {
      put16(out, header[c][0]);
      put16(out, header[c][1]);
      put32(out, static_cast<uint32_t>(data[c].size()));
    }
    for (int c = 0; c < 3; ++c) out->insert(out->end(), data[c].begin(), data[c].end());
  }
  return true;
}

std::vector<unsigned char> zeZpntsWrite(const std::vector<uint32_t>& table) {
  std::vector<unsigned char> out;
  out.insert(out.end(), {'F', 'O', 'R', 'M'});
  put32(&out, static_cast<uint32_t>(8 + 4 * table.size()));
  out.insert(out.end(), {'Z', 'P', 'N', 'T'});
  put32(&out, static_cast<uint32_t>(table.size()));
  for (uint32_t v : table) put32(&out, v);
  return out;
}
