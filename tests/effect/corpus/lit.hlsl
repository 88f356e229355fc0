// lit(): Direct3D's specular term.
float3 LightArgs;  // n.l, n.h, exponent

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

float4 ps_main() : COLOR0 {
  float4 l = lit(LightArgs.x, LightArgs.y, LightArgs.z);
  return float4(l.y, l.z, l.x, l.w);
}
