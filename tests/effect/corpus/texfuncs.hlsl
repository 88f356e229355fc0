// The Direct3D 9 sampling functions, clip, static const and half.
sampler2D Tex2 : register(s2);
samplerCUBE Env;
sampler3D Volume;
sampler2D Proj;
static const float Threshold = 0.1;
half4 HalfTint;

struct VS_OUTPUT {
  float4 Pos : POSITION;
  float4 Tex : TEXCOORD0;
  float3 Normal : TEXCOORD1;
};

VS_OUTPUT vs_main(float4 Pos : POSITION, float3 Normal : NORMAL, float2 Tex : TEXCOORD0) {
  VS_OUTPUT o;
  o.Pos = Pos;
  o.Tex = float4(Tex, 0.5, 1);
  o.Normal = Normal;
  return o;
}

float4 ps_main(float4 Tex : TEXCOORD0, float3 Normal : TEXCOORD1) : COLOR {
  float4 c = tex2Dproj(Proj, Tex);
  c += tex2Dbias(Tex2, float4(Tex.xy, 0, 1));
  c += tex2Dgrad(Tex2, Tex.xy, float2(0.01, 0), float2(0, 0.01));
  c += texCUBE(Env, Normal);
  c += tex3D(Volume, Tex.xyz);
  clip(c.a - Threshold);
  return c * HalfTint;
}
