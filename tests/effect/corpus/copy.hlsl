// A straight copy of sampler s0; the pixel shader adds TexelOffset to the
// texture coordinates, as Direct3D 9 content adds half a texel for a quad
// that is not shifted itself.
float2 TexelOffset;
sampler2D Source : register(s0);

struct VS_OUTPUT {
  float4 Pos : POSITION;
  float2 Uv : TEXCOORD0;
};

VS_OUTPUT vs_main(float4 Pos : POSITION, float2 Uv : TEXCOORD0) {
  VS_OUTPUT o;
  o.Pos = Pos;
  o.Uv = Uv;
  return o;
}

float4 ps_main(float2 Uv : TEXCOORD0) : COLOR0 {
  return tex2D(Source, Uv + TexelOffset);
}
