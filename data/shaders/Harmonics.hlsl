// Projects the six faces of a probe's cube map onto the nine coefficients of
// second-order spherical harmonics: output texel (k, 0) holds coefficient k,
// summed over the faces' texels with their solid-angle weights.
// [ZARN_BEGIN]
// title Spherical harmonics of a probe
// texture ProbeCube : : cube clamp bilinear
// [ZARN_END]
samplerCUBE ProbeCube;
struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VsOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VsOut o;
  o.pos = pos;
  o.uv = uv;
  return o;
}
float3 faceDirection(int face, float2 c) {
  if (face == 0) return float3(1, -c.y, -c.x);
  if (face == 1) return float3(-1, -c.y, c.x);
  if (face == 2) return float3(c.x, 1, c.y);
  if (face == 3) return float3(c.x, -1, -c.y);
  if (face == 4) return float3(c.x, -c.y, 1);
  return float3(-c.x, -c.y, -1);
}
float basis(float k, float3 d) {
  if (k < 0.5) return 0.282095;
  if (k < 1.5) return 0.488603 * d.y;
  if (k < 2.5) return 0.488603 * d.z;
  if (k < 3.5) return 0.488603 * d.x;
  if (k < 4.5) return 1.092548 * d.x * d.y;
  if (k < 5.5) return 1.092548 * d.y * d.z;
  if (k < 6.5) return 0.315392 * (3.0 * d.z * d.z - 1.0);
  if (k < 7.5) return 1.092548 * d.x * d.z;
  return 0.546274 * (d.x * d.x - d.y * d.y);
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR {
  float k = floor(uv.x * 9.0);
  float4 sum = float4(0, 0, 0, 0);
  float total = 0.0;
  for (int face = 0; face < 6; face++) {
    for (int i = 0; i < 8; i++) {
      for (int j = 0; j < 8; j++) {
        float2 c = (float2(i, j) + 0.5) / 4.0 - 1.0;
        float w = 1.0 / pow(1.0 + dot(c, c), 1.5);  // solid angle of the texel
        float3 d = normalize(faceDirection(face, c));
        sum += texCUBE(ProbeCube, d) * basis(k, d) * w;
        total += w;
      }
    }
  }
  return sum * (4.0 * 3.14159265 / total);
}
