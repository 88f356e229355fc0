#include "lws/zeLwsEnvelope.h"

#include <algorithm>
#include <cmath>

namespace {

// Keys may share a time (a hand-edited file); a span of no length must not divide by zero.
double ratio(double num, double den) { return den != 0.0 ? num / den : 1.0; }
double slope(double change, double span) { return span != 0.0 ? change / span : 0.0; }

// 2D Bezier handles measured in time; a handle of no length still has a slope.
double handleSlope(double dv, double dt, double span) {
  return std::fabs(dt) < 1e-5 ? dv * span * 1e5 : dv * span / dt;
}

// Value change per whole span leaving key i, chosen by key i's own shape.
double outgoing(const std::vector<ZeLwsKey>& k, size_t i) {
  const ZeLwsKey& key = k[i];
  const double d = k[i + 1].value - key.value;
  const bool hasPrev = i > 0;
  const double w = hasPrev ? ratio(k[i + 1].time - key.time, k[i + 1].time - k[i - 1].time) : 1.0;
  switch (key.shape) {
    case ZE_LWS_LINEAR:
      return hasPrev ? w * ((key.value - k[i - 1].value) + d) : d;
    case ZE_LWS_STEPPED:
      return 0.0;
    case ZE_LWS_HERMITE:
    case ZE_LWS_BEZIER1D:
      return hasPrev ? key.p[4] * w : key.p[4];
    case ZE_LWS_BEZIER2D:
      return handleSlope(key.p[3], key.p[2], k[i + 1].time - key.time);
    default: {  // TCB; the cached tangents of TCB keys can be stale, so they are never read
      const double T = key.p[0], C = key.p[1], B = key.p[2];
      const double a = (1 - T) * (1 + C) * (1 + B);
      const double b = (1 - T) * (1 - C) * (1 - B);
      return hasPrev ? w * (a * (key.value - k[i - 1].value) + b * d) : b * d;
    }
  }
}

// Value change per whole span arriving at key i + 1, chosen by that key's shape.
double incoming(const std::vector<ZeLwsKey>& k, size_t i) {
  const ZeLwsKey& key = k[i + 1];
  const double d = key.value - k[i].value;
  const bool hasNext = i + 2 < k.size();
  const double w = hasNext ? ratio(key.time - k[i].time, k[i + 2].time - k[i].time) : 1.0;
  switch (key.shape) {
    case ZE_LWS_LINEAR:
      return hasNext ? w * ((k[i + 2].value - key.value) + d) : d;
    case ZE_LWS_STEPPED:
      return 0.0;
    case ZE_LWS_HERMITE:
    case ZE_LWS_BEZIER1D:
      return hasNext ? key.p[3] * w : key.p[3];
    case ZE_LWS_BEZIER2D:
      return handleSlope(key.p[1], key.p[0], key.time - k[i].time);
    default: {
      const double T = key.p[0], C = key.p[1], B = key.p[2];
      const double a = (1 - T) * (1 - C) * (1 + B);
      const double b = (1 - T) * (1 + C) * (1 - B);
      return hasNext ? w * (b * (k[i + 2].value - key.value) + a * d) : a * d;
    }
  }
}

double bezier(double p0, double p1, double p2, double p3, double u) {
  const double v = 1.0 - u;
  return v * v * v * p0 + 3 * v * v * u * p1 + 3 * v * u * u * p2 + u * u * u * p3;
}

// The 2D Bezier span from key i to key i + 1 at time t: the curve's time is
// solved for its parameter inside a shrinking bracket, then its value read there.
double bezierSpan(const std::vector<ZeLwsKey>& k, size_t i, double t) {
  const ZeLwsKey& a = k[i];
  const ZeLwsKey& b = k[i + 1];
  const double span = b.time - a.time;
  double t1, v1;
  if (a.shape == ZE_LWS_BEZIER2D) {
    t1 = a.time + a.p[2];
    v1 = a.value + a.p[3];
  } else {
    t1 = a.time + span / 3.0;
    v1 = a.value + outgoing(k, i) / 3.0;
  }
  const double t2 = b.time + b.p[0];
  const double v2 = b.value + b.p[1];
  // Bisection's bracket, with Newton steps taken while they stay inside it:
  // the same root, in a handful of steps instead of fifty.
  double lo = 0.0, hi = 1.0;
  double u = (t - a.time) / span;
  for (int n = 0; n < 100; ++n) {
    const double miss = bezier(a.time, t1, t2, b.time, u) - t;
    if (miss < 0.0) lo = u;
    else hi = u;
    if (std::fabs(miss) <= 1e-12 * span || hi - lo <= 1e-15) break;
    const double w = 1.0 - u;
    const double slope = 3 * w * w * (t1 - a.time) + 6 * w * u * (t2 - t1) + 3 * u * u * (b.time - t2);
    const double next = slope != 0.0 ? u - miss / slope : lo;
    u = next > lo && next < hi ? next : 0.5 * (lo + hi);
  }
  return bezier(a.value, v1, v2, b.value, u);
}

double inside(const std::vector<ZeLwsKey>& k, double t) {
  // Last key at or before t.
  const auto after = std::upper_bound(k.begin(), k.end(), t,
                                      [](double x, const ZeLwsKey& key) { return x < key.time; });
  size_t i = after == k.begin() ? 0 : static_cast<size_t>(after - k.begin()) - 1;
  if (i + 1 >= k.size()) return k.back().value;
  if (t == k[i].time) return k[i].value;
  const double span = k[i + 1].time - k[i].time;
  if (!(span > 0.0)) return k[i + 1].value;
  const double s = (t - k[i].time) / span;
  switch (k[i + 1].shape) {
    case ZE_LWS_LINEAR:
      return k[i].value + s * (k[i + 1].value - k[i].value);
    case ZE_LWS_STEPPED:
      return k[i].value;
    case ZE_LWS_BEZIER2D:
      return bezierSpan(k, i, t);
    default: {
      const double s2 = s * s, s3 = s2 * s;
      const double h1 = 2 * s3 - 3 * s2 + 1;
      const double h2 = -2 * s3 + 3 * s2;
      const double h3 = s3 - 2 * s2 + s;
      const double h4 = s3 - s2;
      return h1 * k[i].value + h2 * k[i + 1].value + h3 * outgoing(k, i) + h4 * incoming(k, i);
    }
  }
}

}  // namespace

ZeLwsEnvelope zeLwsConstant(double value) {
  ZeLwsEnvelope e;
  ZeLwsKey key;
  key.value = value;
  e.keys.push_back(key);
  return e;
}

double zeLwsEnvelopeEval(const ZeLwsEnvelope& envelope, double t) {
  const std::vector<ZeLwsKey>& k = envelope.keys;
  if (k.empty()) return 0.0;
  if (k.size() == 1) return k[0].value;
  const ZeLwsKey& first = k.front();
  const ZeLwsKey& last = k.back();
  const double length = last.time - first.time;
  double offset = 0.0;
  if (t < first.time || t > last.time) {
    const bool before = t < first.time;
    const int behaviour = before ? envelope.pre : envelope.post;
    switch (behaviour) {
      case ZE_LWS_RESET:
        return 0.0;
      case ZE_LWS_REPEAT:
      case ZE_LWS_OSCILLATE:
      case ZE_LWS_OFFSET_REPEAT: {
        if (!(length > 0.0)) return first.value;
        const double cycles = std::floor((t - first.time) / length);
        t -= cycles * length;
        // Rounding may leave t a hair outside the primary interval.
        t = std::min(std::max(t, first.time), last.time);
        if (behaviour == ZE_LWS_OSCILLATE && std::fmod(cycles, 2.0) != 0.0) t = first.time + last.time - t;
        if (behaviour == ZE_LWS_OFFSET_REPEAT) offset = cycles * (last.value - first.value);
        break;
      }
      case ZE_LWS_LINEAR_OUT:
        if (before) return first.value + (t - first.time) * slope(outgoing(k, 0), k[1].time - first.time);
        return last.value + (t - last.time) * slope(incoming(k, k.size() - 2), last.time - k[k.size() - 2].time);
      default:  // constant, and codes no file should hold
        return before ? first.value : last.value;
    }
  }
  return inside(k, t) + offset;
}
