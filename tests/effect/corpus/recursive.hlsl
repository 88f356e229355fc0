// Includes a file that includes itself: refused at the #include, never a hang.
#include "inc/self.fxh"

float4 ps_main() : COLOR0 { return float4(1, 0, 0, 1); }
