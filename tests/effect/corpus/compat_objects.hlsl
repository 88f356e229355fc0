// A technique whose pass indexes a shader array with an effect variable:
// Index starts at 1, so the pass draws green.
int Index = 1;

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }
float4 Solid(uniform float4 colour) : COLOR0 { return colour; }
float4 ps_main() : COLOR0 { return 0; }

PixelShader Colours[3] = {
  compile ps_2_0 Solid(float4(1, 0, 0, 1)),
  compile ps_2_0 Solid(float4(0, 1, 0, 1)),
  compile ps_2_0 Solid(float4(0, 0, 1, 1)),
};

technique Pick {
  pass P0 {
    VertexShader = compile vs_2_0 vs_main();
    PixelShader = (Colours[Index]);
  }
}
