#include "lws/zeLwsTransform.h"

#include <algorithm>
#include <cmath>

ZeLwsMatrix zeLwsIdentity() {
  ZeLwsMatrix r{};
  r.m[0][0] = r.m[1][1] = r.m[2][2] = 1.0;
  return r;
}

ZeLwsMatrix zeLwsMultiply(const ZeLwsMatrix& a, const ZeLwsMatrix& b) {
  ZeLwsMatrix r{};
  for (int i = 0; i < 3; ++i) {
    for (int j = 0; j < 4; ++j) {
      double v = a.m[i][0] * b.m[0][j] + a.m[i][1] * b.m[1][j] + a.m[i][2] * b.m[2][j];
      if (j == 3) v += a.m[i][3];
      r.m[i][j] = v;
    }
  }
  return r;
}

ZeLwsMatrix zeLwsRotation(double h, double p, double b) {
  const double ch = std::cos(h), sh = std::sin(h);
  const double cp = std::cos(p), sp = std::sin(p);
  const double cb = std::cos(b), sb = std::sin(b);
  ZeLwsMatrix r{};
  r.m[0][0] = ch * cb + sh * sp * sb;
  r.m[0][1] = -ch * sb + sh * sp * cb;
  r.m[0][2] = sh * cp;
  r.m[1][0] = cp * sb;
  r.m[1][1] = cp * cb;
  r.m[1][2] = -sp;
  r.m[2][0] = -sh * cb + ch * sp * sb;
  r.m[2][1] = sh * sb + ch * sp * cb;
  r.m[2][2] = ch * cp;
  return r;
}

ZeLwsMatrix zeLwsLocal(const double position[3], const double hpb[3], const double scale[3], const double pivot[3],
                       const double pivotRotation[3]) {
  ZeLwsMatrix r = zeLwsRotation(hpb[0], hpb[1], hpb[2]);
  if (pivotRotation[0] != 0.0 || pivotRotation[1] != 0.0 || pivotRotation[2] != 0.0)
    r = zeLwsMultiply(zeLwsRotation(pivotRotation[0], pivotRotation[1], pivotRotation[2]), r);
  for (int i = 0; i < 3; ++i)
    for (int j = 0; j < 3; ++j) r.m[i][j] *= scale[j];
  for (int i = 0; i < 3; ++i)
    r.m[i][3] = position[i] - (r.m[i][0] * pivot[0] + r.m[i][1] * pivot[1] + r.m[i][2] * pivot[2]);
  return r;
}

void zeLwsApply(const ZeLwsMatrix& m, const double p[3], double out[3]) {
  for (int i = 0; i < 3; ++i) out[i] = m.m[i][0] * p[0] + m.m[i][1] * p[1] + m.m[i][2] * p[2] + m.m[i][3];
}

ZeLwsPose zeLwsDecompose(const ZeLwsMatrix& m) {
  ZeLwsPose pose{};
  double r[3][3];
  for (int j = 0; j < 3; ++j) {
    const double len = std::sqrt(m.m[0][j] * m.m[0][j] + m.m[1][j] * m.m[1][j] + m.m[2][j] * m.m[2][j]);
    pose.scale[j] = len;
    for (int i = 0; i < 3; ++i) r[i][j] = len > 0.0 ? m.m[i][j] / len : (i == j ? 1.0 : 0.0);
  }
  const double det = r[0][0] * (r[1][1] * r[2][2] - r[1][2] * r[2][1]) -
                     r[0][1] * (r[1][0] * r[2][2] - r[1][2] * r[2][0]) +
                     r[0][2] * (r[1][0] * r[2][1] - r[1][1] * r[2][0]);
  if (det < 0.0) {
    pose.scale[0] = -pose.scale[0];
    for (int i = 0; i < 3; ++i) r[i][0] = -r[i][0];
  }
  // R = Ry(H) Rx(P) Rz(B): row 1 is (cos P sin B, cos P cos B, -sin P),
  // column 2 (sin H cos P, -sin P, cos H cos P).
  const double sp = std::clamp(-r[1][2], -1.0, 1.0);
  pose.hpb[1] = std::asin(sp);
  if (std::fabs(sp) < 0.9999999) {
    pose.hpb[0] = std::atan2(r[0][2], r[2][2]);
    pose.hpb[2] = std::atan2(r[1][0], r[1][1]);
  } else {
    // Looking straight up or down: heading and bank turn about one axis; all goes to heading.
    pose.hpb[0] = std::atan2(-r[2][0], r[0][0]);
    pose.hpb[2] = 0.0;
  }
  for (int i = 0; i < 3; ++i) pose.position[i] = m.m[i][3];
  return pose;
}
