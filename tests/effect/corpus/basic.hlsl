// A classic effect file: the effect blocks, sampler states, texture
// declarations and annotations are for the effect compiler only.
texture DiffuseTex < string ResourceName = "stone.png"; >;
float4x4 WorldViewProj : WorldViewProjection < string UIName = "WVP"; >;
float4 Tint < string UIWidget = "Color"; > = {1, 1, 1, 1};
sampler2D DiffuseSampler = sampler_state {
  Texture = <DiffuseTex>;
  MinFilter = Linear;
  MagFilter = Linear;
};

struct VS_OUTPUT {
  float4 Pos : POSITION;
  float2 Tex : TEXCOORD0;
};

VS_OUTPUT vs_main(float4 Pos : POSITION, float2 Tex : TEXCOORD0) {
  VS_OUTPUT o;
  o.Pos = mul(Pos, WorldViewProj);
  o.Tex = Tex;
  return o;
}

float4 ps_main(float2 Tex : TEXCOORD0) : COLOR0 {
  return tex2D(DiffuseSampler, Tex) * Tint;
}

technique Default <string Script = "Technique=Default;"; > {
  pass P0 {
    VertexShader = compile vs_3_0 vs_main();
    PixelShader = compile ps_3_0 ps_main();
    ZEnable = true;
  }
}
