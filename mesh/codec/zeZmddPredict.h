// The six predictors of a .zmdd frame, shared by the reader and the writer so
// that both rebuild the same floats.
#pragma once

#include <cstdint>

// History a predictor needs: 1 = the frame alone, 2 = one earlier frame ...
inline int zeZmddPredictorHistory(int p) {
  static const int need[6] = {1, 2, 3, 4, 1, 2};
  return p >= 0 && p < 6 ? need[p] : 99;
}

// The prediction for point i (v[0 .. i-1] already rebuilt in this frame;
// p1, p2, p3 the previous frames' values of the same coordinate, null when absent).
inline float zeZmddPredict(int p, uint32_t i, const float* v, const float* p1, const float* p2, const float* p3) {
  switch (p) {
    case 1: return p1[i];
    case 2: return 2.0f * p1[i] - p2[i];
    case 3: {
      const float a = p1[i] - p2[i], b = p2[i] - p3[i];
      return p1[i] + a + (a - b) / 2.0f;
    }
    case 4: return i == 0 ? 0.0f : v[i - 1];
    case 5: return i == 0 ? p1[0] : p1[i] + (v[i - 1] - p1[i - 1]);
    default: return 0.0f;
  }
}
