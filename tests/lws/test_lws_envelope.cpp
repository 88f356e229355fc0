// Envelope evaluation: every span shape and every behaviour outside the
// keys, against values worked out by hand (Hermite basis at s = 0.5:
// h1 = h2 = 0.5, h3 = 0.125, h4 = -0.125).
#include <gtest/gtest.h>

#include "lws/zeLwsEnvelope.h"

#include <vector>

namespace {

ZeLwsKey key(double value, double time, int shape, std::vector<double> p = {}) {
  ZeLwsKey k;
  k.value = value;
  k.time = time;
  k.shape = shape;
  for (size_t i = 0; i < p.size() && i < 6; ++i) k.p[i] = p[i];
  return k;
}

ZeLwsEnvelope envelope(std::vector<ZeLwsKey> keys, int pre = ZE_LWS_CONSTANT, int post = ZE_LWS_CONSTANT) {
  ZeLwsEnvelope e;
  e.keys = std::move(keys);
  e.pre = pre;
  e.post = post;
  return e;
}

struct Case {
  const char* what;
  ZeLwsEnvelope envelope;
  double t;
  double expected;
};

void check(const std::vector<Case>& cases) {
  for (const Case& c : cases) EXPECT_NEAR(zeLwsEnvelopeEval(c.envelope, c.t), c.expected, 1e-9) << c.what;
}

}  // namespace

TEST(LwsEnvelope, SpanShapesMatchHandWorkedValues) {
  // 0 -> 1 -> 1 at times 0, 1, 3: unequal spacing weighs the tangents.
  auto tcb = [](double T, double C, double B) {
    return envelope({key(0, 0, ZE_LWS_TCB), key(1, 1, ZE_LWS_TCB, {T, C, B}), key(1, 3, ZE_LWS_TCB)});
  };
  const ZeLwsEnvelope peak = envelope({key(0, 0, ZE_LWS_TCB), key(1, 1, ZE_LWS_TCB), key(0, 2, ZE_LWS_TCB)});
  check({
      {"linear", envelope({key(2, 0, ZE_LWS_TCB), key(10, 1, ZE_LWS_LINEAR)}), 0.25, 4.0},
      {"stepped holds the start", envelope({key(2, 0, ZE_LWS_TCB), key(10, 1, ZE_LWS_STEPPED)}), 0.99, 2.0},
      {"stepped at its key", envelope({key(2, 0, ZE_LWS_TCB), key(10, 1, ZE_LWS_STEPPED)}), 1.0, 10.0},
      // OUT_0 = d = 1 (no previous key); IN_1 = 0.5 * (-1 + 1) = 0.
      {"TCB rising into a peak", peak, 0.5, 0.625},
      {"TCB falling from a peak", peak, 1.5, 0.625},
      // OUT_1 = (2/3) * (1 + 0): w = 2/3 for a span of 2 after one of 1.
      {"TCB unequal spacing", tcb(0, 0, 0), 2.0, 1.0 + 0.125 * 2.0 / 3.0},
      {"TCB tension halves the tangent", tcb(0.5, 0, 0), 2.0, 1.0 + 0.125 / 3.0},
      {"TCB continuity", tcb(0, 0.5, 0), 2.0, 1.0 + 0.125 * 1.0},
      {"TCB bias towards the past", tcb(0, 0, 0.5), 2.0, 1.0 + 0.125 * 1.0},
      {"TCB bias towards the future", tcb(0, 0, -0.5), 2.0, 1.0 + 0.125 / 3.0},
      // Arriving at key 1: a = 0.5, b = 1.5, w' = 1/3: IN_1 = 1/6.
      {"TCB continuity on the incoming side", tcb(0, 0.5, 0), 0.5, 0.625 - 0.125 / 6.0},
      // Stale cached tangents on TCB keys are never read.
      {"TCB ignores p4 and p5", envelope({key(0, 0, ZE_LWS_TCB, {0, 0, 0, 7, 9}), key(1, 1, ZE_LWS_TCB, {0, 0, 0, 5, 3}),
                                          key(0, 2, ZE_LWS_TCB)}), 0.5, 0.625},
      // Hermite: OUT_0 = p5 = 2, IN_1 = p4 = 0.
      {"Hermite tangents", envelope({key(0, 0, ZE_LWS_HERMITE, {0, 0, 0, 0, 2}), key(1, 1, ZE_LWS_HERMITE)}), 0.5,
       0.75},
      // With a next key IN_1 = p4 * w' = 3 * 1/3.
      {"Hermite weighted by spacing",
       envelope({key(0, 0, ZE_LWS_HERMITE, {0, 0, 0, 0, 2}), key(1, 1, ZE_LWS_HERMITE, {0, 0, 0, 3, 0}),
                 key(1, 3, ZE_LWS_HERMITE)}), 0.5, 0.5 + 0.25 - 0.125},
      {"1D Bezier reads as Hermite", envelope({key(0, 0, ZE_LWS_BEZIER1D, {0, 0, 0, 0, 2}), key(1, 1, ZE_LWS_BEZIER1D)}),
       0.5, 0.75},
      // Handles a third of the span in time: the curve's time is linear, u = s.
      // Values 0, 1, 1, 1: 3(.25)(.5) + 3(.5)(.25) + .125.
      {"2D Bezier", envelope({key(0, 0, ZE_LWS_BEZIER2D, {0, 0, 1.0 / 3, 1}), key(1, 1, ZE_LWS_BEZIER2D, {-1.0 / 3, 0})}),
       0.5, 0.875},
      // After a linear key the first handle is a third of OUT_0 = 1.
      {"2D Bezier after a linear key",
       envelope({key(0, 0, ZE_LWS_LINEAR), key(1, 1, ZE_LWS_BEZIER2D, {-1.0 / 3, 0})}), 0.5, 0.625},
      // Time handles at 0.5 and 0.5: u solves 1.5u(1-u) + u^3 = 0.2 (bisection
      // in Python, 100 steps), value 3(1-u)u^2 + u^3.
      {"2D Bezier with curved time",
       envelope({key(0, 0, ZE_LWS_BEZIER2D, {0, 0, 0.5, 0}), key(1, 1, ZE_LWS_BEZIER2D, {-0.5, 0})}), 0.2,
       0.06449503239314855},
      {"a key's own time gives its value", peak, 1.0, 1.0},
  });
}

TEST(LwsEnvelope, BehavioursOutsideTheKeysMatchHandWorkedValues) {
  // 2 -> 10 linear over [0, 1]; and the same over [1, 2].
  auto line = [](int pre, int post, double t0 = 0) {
    return envelope({key(2, t0, ZE_LWS_LINEAR), key(10, t0 + 1, ZE_LWS_LINEAR)}, pre, post);
  };
  check({
      {"reset before", line(ZE_LWS_RESET, ZE_LWS_RESET), -0.5, 0.0},
      {"reset after", line(ZE_LWS_RESET, ZE_LWS_RESET), 1.5, 0.0},
      {"constant before", line(ZE_LWS_CONSTANT, ZE_LWS_CONSTANT), -7, 2.0},
      {"constant after", line(ZE_LWS_CONSTANT, ZE_LWS_CONSTANT), 7, 10.0},
      {"repeat after", line(ZE_LWS_REPEAT, ZE_LWS_REPEAT), 1.25, 4.0},
      {"repeat before", line(ZE_LWS_REPEAT, ZE_LWS_REPEAT), -0.75, 4.0},
      {"oscillate, odd cycle mirrored", line(ZE_LWS_OSCILLATE, ZE_LWS_OSCILLATE), 1.25, 8.0},
      {"oscillate, even cycle straight", line(ZE_LWS_OSCILLATE, ZE_LWS_OSCILLATE), 2.25, 4.0},
      {"oscillate before the start", line(ZE_LWS_OSCILLATE, ZE_LWS_OSCILLATE), -0.25, 4.0},
      // Mirrored in [1, 2], not in [0, 1]: t' = 1.25 -> 1 + 2 - 1.25.
      {"oscillate with keys not starting at 0", line(ZE_LWS_OSCILLATE, ZE_LWS_OSCILLATE, 1), 2.25, 8.0},
      {"offset repeat after", line(ZE_LWS_OFFSET_REPEAT, ZE_LWS_OFFSET_REPEAT), 1.25, 4.0 + 8.0},
      {"offset repeat before", line(ZE_LWS_OFFSET_REPEAT, ZE_LWS_OFFSET_REPEAT), -0.75, 4.0 - 8.0},
      {"linear before", line(ZE_LWS_LINEAR_OUT, ZE_LWS_LINEAR_OUT), -0.5, 2.0 - 4.0},
      {"linear after", line(ZE_LWS_LINEAR_OUT, ZE_LWS_LINEAR_OUT), 1.5, 10.0 + 4.0},
      // The end tangent of a TCB curve: IN_1 = d = 1 without a next key, per span of 1.
      {"linear after a curve", envelope({key(0, 0, ZE_LWS_TCB), key(1, 1, ZE_LWS_TCB)}, ZE_LWS_CONSTANT,
                                        ZE_LWS_LINEAR_OUT), 3.0, 3.0},
      {"no keys", envelope({}), 5, 0.0},
      {"one key whatever the behaviour", envelope({key(4, 1, ZE_LWS_TCB)}, ZE_LWS_RESET, ZE_LWS_RESET), 9, 4.0},
      {"repeat of keys sharing one time", envelope({key(3, 1, ZE_LWS_TCB), key(5, 1, ZE_LWS_LINEAR)}, ZE_LWS_REPEAT,
                                                   ZE_LWS_REPEAT), 4, 3.0},
  });
}
