// An effect with a default technique and a "shadow" technique.
// [ZARN_BEGIN]
// title Two techniques
// float4 Tint : 1, 0.5, 0, 1 : pixel color
// texture Diffuse : stone.png : repeat trilinear
// config techniques : shadow
// config depth_func : LEQUAL
//ZARN_PP:D:TECH_SHADOW:// function pixelMain : ps_shadow
// [ZARN_END]
float4 Tint;
sampler2D Diffuse;
struct VsOut { float4 pos : POSITION; float2 uv : TEXCOORD0; };
VsOut vs_main(float4 pos : POSITION, float2 uv : TEXCOORD0) {
  VsOut o;
  o.pos = pos;
  o.uv = uv;
  return o;
}
float4 ps_main(float2 uv : TEXCOORD0) : COLOR { return tex2D(Diffuse, uv) * Tint; }
#ifdef USE_TECH_SHADOW
float4 ps_shadow() : COLOR { return float4(SHADOW_DEPTH, 0, 0, 1); }
#endif
