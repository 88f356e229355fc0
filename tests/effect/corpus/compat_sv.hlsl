// System-value semantics in a shader model 3 source shared with later APIs,
// as the Direct3D 9 compiler reads them: SV_Position out of the vertex
// shader is POSITION (with Direct3D 9 pixel centres), into the pixel shader
// VPOS (whole pixels from the top-left); SV_Target1 the second target,
// SV_Depth the depth, SV_IsFrontFace true on the front face.
//
// Target 0: r, g = VPOS / ScreenSize; b, a = 0.5 + the distance between
// VPOS and where the interpolated clip position puts the pixel centre on
// Direct3D 9 (0 there, so 0.5). Target 1: b = front face. Depth 0.25.
// Mirror = -1 turns the quad round (its back faces the viewer).
float2 ScreenSize;
float Mirror;

#define OUT_POSITION SV_Position

struct VOut {
  float4 pos : OUT_POSITION;
  float4 clip : TEXCOORD0;
};

VOut vs_main(float4 p : POSITION) {
  VOut o;
  o.pos = float4(p.x * Mirror, p.yzw);
  o.clip = o.pos;
  return o;
}

void ps_main(VOut i, bool front : SV_IsFrontFace, out float4 c0 : SV_Target, out float4 c1 : SV_Target1,
             out float depth : SV_Depth) {
  const float2 centre = float2(i.clip.x + 1, 1 - i.clip.y) * ScreenSize / 2;
  c0 = float4(i.pos.xy / ScreenSize, 0.5 + centre - i.pos.xy);
  c1 = float4(0, 1, front ? 1 : 0, 1);
  depth = 0.25;
}
