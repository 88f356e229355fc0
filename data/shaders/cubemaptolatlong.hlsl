// Unfolds a cube map into a latitude-longitude image, drawn as a full-target
// quad: u runs once round the horizon (longitude -pi..pi), v from the top
// pole (latitude pi/2) to the bottom one.
// [ZARN_BEGIN]
// title Cube map to latitude-longitude
// texture CubeMap : : cube clamp bilinear
// [ZARN_END]
samplerCUBE CubeMap;
struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VsOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VsOut o;
  o.pos = pos;
  o.uv = uv;
  return o;
}
float3 latLongDirection(float2 uv) {
  float longitude = (uv.x * 2.0 - 1.0) * 3.14159265;
  float latitude = (0.5 - uv.y) * 3.14159265;
  return float3(cos(latitude) * sin(longitude), sin(latitude), cos(latitude) * cos(longitude));
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR {
  return texCUBE(CubeMap, latLongDirection(uv));
}
