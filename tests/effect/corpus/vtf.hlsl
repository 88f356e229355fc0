// A vertex shader that reads a texture (displacement) with tex2Dlod.
sampler2D HeightMap : register(s1);
sampler2D ColorMap;
float4x4 WorldViewProj;
float Scale;

struct VS_OUTPUT {
  float4 Pos : POSITION;
  float4 Color : COLOR0;
  float2 Tex : TEXCOORD0;
};

VS_OUTPUT vs_main(float4 Pos : POSITION, float2 Tex : TEXCOORD0) {
  VS_OUTPUT o;
  float4 h = tex2Dlod(HeightMap, float4(Tex, 0, 0));
  o.Pos = mul(Pos + float4(0, h.x * Scale, 0, 0), WorldViewProj);
  o.Color = h;
  o.Tex = Tex;
  return o;
}

float4 ps_main(float4 Color : COLOR0, float2 Tex : TEXCOORD0) : COLOR0 {
  return Color * tex2D(ColorMap, Tex);
}
