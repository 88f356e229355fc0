// #pragma pack_matrix(row_major) makes every later matrix row_major.
#pragma pack_matrix(row_major)
float4x4 View;
float3x4 Skin;  // 3 rows of 4: three registers when row_major
column_major float4x4 Explicit;

float4 vs_main(float4 Pos : POSITION) : POSITION {
  float4 p = mul(Pos, View);
  p.xyz += mul(Skin, Pos);
  return mul(p, Explicit);
}

float4 ps_main() : COLOR0 { return 1; }
