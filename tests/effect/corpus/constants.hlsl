// Constant layout: matrices of both packings, struct arrays, big arrays, bool
// and int constants, explicit registers.
#pragma pack_matrix(column_major)
struct LightParam {
  float3 LightColor;
  float LightType;
  float3 LightPosition;
  float2 SpotlightAngles;
};

float4x4 WorldViewProj;
row_major float4x4 WorldRM;
float4x3 Bones[2];
float4 ObjectsPos[200];
float4 Fixed : register(c250);
bool UseSkin;
int Count;

float4 vs_main(float4 Pos : POSITION) : POSITION {
  float4 p = mul(Pos, WorldViewProj);
  p = mul(p, WorldRM);
  if (UseSkin) p.xyz += mul(Pos, Bones[1]);
  for (int i = 0; i < Count; i++) p += ObjectsPos[i];
  return p + Fixed;
}

LightParam LightParams[5];
float LightsNum;
float UnusedConstant;
float4 Coeffs[8];   // only [0] and [2] are read: three registers
float4 AfterCoeffs;

float4 ps_main() : COLOR0 {
  float3 c = 0;
  for (int i = 0; i < 5; i++) {
    if (i < LightsNum) c += LightParams[i].LightColor * LightParams[i].SpotlightAngles.y + LightParams[i].LightPosition * LightParams[i].LightType;
  }
  return float4(c, 1) + Coeffs[0] + Coeffs[2] + AfterCoeffs;
}
