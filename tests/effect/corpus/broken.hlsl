// The error is on line 3 of inc/broken.fxh.
#include "inc/broken.fxh"

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }
float4 ps_main() : COLOR0 { return Broken(); }
