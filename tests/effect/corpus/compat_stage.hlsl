// One constant, two registers: c3 in the vertex stage, c5 in the pixel stage.
float4 K : register(vs, c3) : register(ps, c5);

struct VOut {
  float4 pos : POSITION;
  float4 fromVertex : TEXCOORD0;
};

VOut vs_main(float4 Pos : POSITION) {
  VOut o;
  o.pos = Pos;
  o.fromVertex = K;
  return o;
}

float4 ps_main(float4 fromVertex : TEXCOORD0) : COLOR0 { return float4(fromVertex.r, K.g, 0, 1); }
