// Pre-filters a reflection map for one roughness level: each output texel
// averages the source over a cone around its direction, weighted by the
// cosine to it. Without macros the source and target are latitude-longitude
// images; USE_REFLECCUBE reads a cube map; USE_SEAMLESS also widens the face
// coordinates so the edges of neighbouring cube faces meet.
// [ZARN_BEGIN]
// title Reflection map filter
// float Roughness : 0.5 : pixel
// float FaceIndex : 0 : pixel
// float2 TargetSize : TargetSize : pixel
//ZARN_PP:U:REFLECCUBE:// texture SourceMap : : clamp bilinear
//ZARN_PP:D:REFLECCUBE:// texture SourceMap : : cube clamp bilinear
// [ZARN_END]
#ifdef USE_REFLECCUBE
samplerCUBE SourceMap;
#else
sampler2D SourceMap;
#endif
float Roughness;
float FaceIndex;
float2 TargetSize;
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
float2 latLongUV(float3 d) {
  return float2(atan2(d.x, d.z) / 6.2831853 + 0.5, 0.5 - asin(clamp(d.y, -1.0, 1.0)) / 3.14159265);
}
// The direction of a cube face texel (faces +x -x +y -y +z -z).
float3 faceDirection(float face, float2 uv) {
  float2 c = uv * 2.0 - 1.0;
#ifdef USE_SEAMLESS
  // Texel centres of the outer ring land on the face edge.
  c *= TargetSize.x / max(TargetSize.x - 1.0, 1.0);
#endif
  if (face < 0.5) return float3(1, -c.y, -c.x);
  if (face < 1.5) return float3(-1, -c.y, c.x);
  if (face < 2.5) return float3(c.x, 1, c.y);
  if (face < 3.5) return float3(c.x, -1, -c.y);
  if (face < 4.5) return float3(c.x, -c.y, 1);
  return float3(-c.x, -c.y, -1);
}
float4 sampleSource(float3 d) {
#ifdef USE_REFLECCUBE
  return texCUBE(SourceMap, d);
#else
  return tex2D(SourceMap, latLongUV(d));
#endif
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR {
#ifdef USE_REFLECCUBE
  float3 n = normalize(faceDirection(FaceIndex, uv));
#else
  float3 n = latLongDirection(uv);
#endif
  float3 up = abs(n.y) < 0.999 ? float3(0, 1, 0) : float3(1, 0, 0);
  float3 t = normalize(cross(up, n));
  float3 b = cross(n, t);
  float spread = Roughness * Roughness * 1.5;
  float4 sum = float4(0, 0, 0, 0);
  float weight = 0.0;
  for (int i = -3; i <= 3; i++) {
    for (int j = -3; j <= 3; j++) {
      float3 d = normalize(n + (t * float(i) + b * float(j)) * (spread / 3.0));
      float w = saturate(dot(d, n));
      sum += sampleSource(d) * w;
      weight += w;
    }
  }
  return sum / max(weight, 0.0001);
}
