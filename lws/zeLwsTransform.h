// Item transforms: LightWave's heading/pitch/bank rotation, the local matrix
// with its pivot, and the way back from a world matrix to position,
// rotation and scale (what the engine's scene objects hold, having no parents).
#pragma once

// Affine 3x4, column vectors: p' = M p. Left-handed, +Y up, +Z forward.
struct ZeLwsMatrix {
  double m[3][4];
};

ZeLwsMatrix zeLwsIdentity();
ZeLwsMatrix zeLwsMultiply(const ZeLwsMatrix& a, const ZeLwsMatrix& b);
// Ry(heading) Rx(pitch) Rz(bank), radians: bank first, then pitch, then heading.
ZeLwsMatrix zeLwsRotation(double heading, double pitch, double bank);
// T(position) R(pivotRotation) R(hpb) S(scale) T(-pivot).
ZeLwsMatrix zeLwsLocal(const double position[3], const double hpb[3], const double scale[3], const double pivot[3],
                       const double pivotRotation[3]);
void zeLwsApply(const ZeLwsMatrix& m, const double p[3], double out[3]);

// Position (where the item's origin lands), heading/pitch/bank and scale of a
// matrix without shear. A mirror shows as a negative X scale.
struct ZeLwsPose {
  double position[3];
  double hpb[3];
  double scale[3];
};
ZeLwsPose zeLwsDecompose(const ZeLwsMatrix& m);
