// A bool constant switches a branch; an int constant scales.
bool UseGreen;
int Level;

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

float4 ps_main() : COLOR0 {
  float4 c = float4(1, 0, 0, 1);
  if (UseGreen) c = float4(0, 1, 0, 1);
  return c * (Level / 4.0);
}
