// An include chain with macros, with and without values.
#include "inc/common.fxh"

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos * SCALE; }

float4 ps_main() : COLOR0 {
#ifdef USE_RED
  return LightTerm() * float4(1, 0, 0, 1);
#else
  return LightTerm();
#endif
}
