// Four colour outputs to four render targets.
float4 Base;

struct PS_OUTPUT {
  float4 c0 : COLOR0;
  float4 c1 : COLOR1;
  float4 c2 : COLOR2;
  float4 c3 : COLOR3;
};

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

PS_OUTPUT ps_main() {
  PS_OUTPUT o;
  o.c0 = float4(1, 0, 0, 1) * Base.x;
  o.c1 = float4(0, 1, 0, 1) * Base.y;
  o.c2 = float4(0, 0, 1, 1) * Base.z;
  o.c3 = float4(1, 1, 1, 1) * Base.w;
  return o;
}
