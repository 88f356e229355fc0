// Uniform parameters of an entry point take the values the technique's
// compile statement gives: two of the four colours, halved.
float4 Colors[4];

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

float4 ps_main(uniform int count, uniform bool halve) : COLOR0 {
  float4 c = 0;
  for (int i = 0; i < count; i++) c += Colors[i];
  return halve ? float4(c.rgb * 0.5, 1) : c;
}

technique Sum {
  pass P0 {
    VertexShader = compile vs_2_0 vs_main();
    PixelShader = compile ps_2_0 ps_main(2, true);
  }
}
