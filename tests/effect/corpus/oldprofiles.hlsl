// ps_2_0 / vs_1_1 style: COLOR semantics without index, no struct.
float4 Ambient;
sampler Base;

void vs_main(float4 Pos : POSITION, float4 Col : COLOR, float2 Tex : TEXCOORD0,
             out float4 oPos : POSITION, out float4 oCol : COLOR, out float2 oTex : TEXCOORD0) {
  oPos = Pos;
  oCol = Col;
  oTex = Tex;
}

float4 ps_main(float4 Col : COLOR, float2 Tex : TEXCOORD0) : COLOR {
  return tex2D(Base, Tex) * Col + Ambient;
}
