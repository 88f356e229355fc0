// VPOS, VFACE and DEPTH in a pixel shader; POSITION and PSIZE out of the vertex shader.
float2 ScreenSize;

struct VS_OUTPUT {
  float4 Pos : POSITION;
  float Size : PSIZE;
  float4 Color : COLOR0;
};

VS_OUTPUT vs_main(float4 Pos : POSITION, float4 Color : COLOR0) {
  VS_OUTPUT o;
  o.Pos = Pos;
  o.Size = 4;
  o.Color = Color;
  return o;
}

float4 ps_main(float2 Vpos : VPOS, float Face : VFACE, float4 Color : COLOR0_centroid, out float Depth : DEPTH) : COLOR0 {
  Depth = 0.25;
  float2 uv = Vpos / ScreenSize;
  return float4(uv, Face > 0 ? 1 : 0, 1) * Color;
}
