// Values Direct3D 9 semantics fix: an array initialiser whose braces are
// elided, and a constant array indexed by a float (truncated to 1 for 1.7).
static const float2 Offsets[2] = { 0.25, 0.5,
                                   1.0, 0.0 };
static const float4 Palette[3] = { float4(1, 0, 0, 1), float4(0, 1, 0, 1), float4(0, 0, 1, 1) };
float Select;

void vs_main(float4 Pos : POSITION, float2 Uv : TEXCOORD0, out float4 oPos : POSITION, out float2 oUv : TEXCOORD0) {
  oPos = Pos;
  oUv = Uv;
}

float4 ps_main(float2 uv : TEXCOORD0) : COLOR0 {
  if (uv.x < 0.5) return float4(Offsets[0], Offsets[1].x, 1);
  return Palette[Select];
}
