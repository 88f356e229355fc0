// fmod keeps the sign of x (Direct3D truncates; GLSL's mod floors).
float2 Args;

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

float4 ps_main() : COLOR0 {
  return float4(fmod(Args.x, Args.y) + 0.5, 0, 0, 1);
}
