// fmod and % keep the sign of x (Direct3D truncates; GLSL's mod floors).
float2 Args;
float UseOperator;

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

float4 ps_main() : COLOR0 {
  float r = UseOperator > 0.5 ? Args.x % Args.y : fmod(Args.x, Args.y);
  return float4(r + 0.5, 0, 0, 1);
}
