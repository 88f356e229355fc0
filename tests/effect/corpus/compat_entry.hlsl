// Four values Direct3D 9 semantics fix, one per colour target: an entry
// parameter no technique binds ("$tint"), a constant array passed whole to a
// function, a cast of a vector to an array, and a constructor assigned to.
float4 Pal[3];
float Sel;
float4 Vec;

float4 vs_main(float4 Pos : POSITION) : POSITION { return Pos; }

float4 pick(float4 all[3], int i) { return all[i]; }

void ps_main(uniform float4 tint, out float4 c0 : COLOR0, out float4 c1 : COLOR1, out float4 c2 : COLOR2,
             out float4 c3 : COLOR3) {
  c0 = tint;
  c1 = pick(Pal, int(Sel));
  float w[4] = (float[4])Vec;
  c2 = float4(w[2], w[0], w[1], w[3]);
  half2 a;
  half b, c;
  half4(a,
        b, c) = Vec;
  c3 = float4(c, b, a);
}
