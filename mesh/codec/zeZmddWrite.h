// Writing .zmdd caches and .zpnts tables (for the converter and the tests;
// the engine only reads them).
//
// Precision: key frames (and the base frame) keep their floats exactly; any
// other value is rebuilt within half a residual step (|scale| / 2000) of the
// source, plus float rounding of the prediction. The writer predicts from
// what the reader will rebuild, so the error does not grow along the frames.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct SZeZmddSource {
  uint32_t frames = 0, points = 0;
  std::vector<float> times;      // one per frame
  std::vector<float> base;       // the base frame: x, y, z per point
  std::vector<float> positions;  // frames x points x 3
};

struct SZeZmddWriteOptions {
  float scale = 0.01f;  // residual step = scale / 1000
  int keyInterval = 0;  // frames 0, k, 2k ... are key frames; 0: none but the base frame
  std::vector<unsigned char> keyFrames;  // when given (one per frame), these flags instead
  int predictor = -1;  // 0..5: used wherever the history allows; -1: the smallest result
  int encoding = -1;   // 0..6: every residual frame (fails when the residuals do not fit); -1: the smallest
};

// The whole file into `out`. false with `error` set on a bad source, a forced
// encoding the residuals do not fit, or a scale so fine a residual passes 32 bits.
bool zeZmddWrite(const SZeZmddSource& source, const SZeZmddWriteOptions& options, std::vector<unsigned char>* out,
                 std::string* error);

// "FORM", size, "ZPNT", count, entries.
std::vector<unsigned char> zeZpntsWrite(const std::vector<uint32_t>& table);
