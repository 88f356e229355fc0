// Matrix packing: one transform of each kind, applied to the quad corners.
float4x4 ColMajor;
row_major float4x4 RowMajor;
float UseRow;

float4 vs_main(float4 Pos : POSITION) : POSITION {
  float4 p = UseRow > 0.5 ? mul(Pos, RowMajor) : mul(Pos, ColMajor);
  return p;
}

float4 ps_main() : COLOR0 { return float4(1, 1, 1, 1); }
