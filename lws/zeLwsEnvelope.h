// LightWave envelopes: keyed curves of one value over time (seconds), and
// their evaluation at any time, before, between and after the keys.
#pragma once

#include <vector>

// Span shapes, stored on the key that ends the span they govern.
enum ZeLwsShape : int {
  ZE_LWS_TCB = 0,
  ZE_LWS_HERMITE = 1,
  ZE_LWS_BEZIER1D = 2,  // old files; read as Hermite
  ZE_LWS_LINEAR = 3,
  ZE_LWS_STEPPED = 4,
  ZE_LWS_BEZIER2D = 5,
};

// What the curve does outside its keys.
enum ZeLwsBehaviour : int {
  ZE_LWS_RESET = 0,
  ZE_LWS_CONSTANT = 1,
  ZE_LWS_REPEAT = 2,
  ZE_LWS_OSCILLATE = 3,
  ZE_LWS_OFFSET_REPEAT = 4,
  ZE_LWS_LINEAR_OUT = 5,
};

struct ZeLwsKey {
  double value = 0.0;
  double time = 0.0;  // seconds
  int shape = ZE_LWS_TCB;
  // TCB/Hermite: tension, continuity, bias, incoming and outgoing tangent.
  // 2D Bezier: incoming handle (time, value), outgoing handle (time, value).
  double p[6] = {0, 0, 0, 0, 0, 0};
};

struct ZeLwsEnvelope {
  std::vector<ZeLwsKey> keys;  // in increasing time
  int pre = ZE_LWS_CONSTANT;
  int post = ZE_LWS_CONSTANT;
};

// An envelope holding one key: a constant.
ZeLwsEnvelope zeLwsConstant(double value);

// The value at `seconds`. No keys give 0, one key its value.
double zeLwsEnvelopeEval(const ZeLwsEnvelope& envelope, double seconds);
