// Direct3D 9 intrinsics and sampling functions in one pixel shader; each must
// reach GLSL 330 (fmod, ldexp and texCUBEproj go through the preamble).
sampler2D S; samplerCUBE C; sampler1D S1; sampler3D V;
float4 P;
float4 ps_main(float2 uv : TEXCOORD0, float3 n : TEXCOORD1) : COLOR0 {
  float4 r = tex2D(S, uv, ddx(uv), ddy(uv));
  r += tex1D(S1, uv.x) + tex1Dlod(S1, float4(uv.x,0,0,0)) + tex2Dlod(S, float4(uv,0,1));
  r += texCUBElod(C, float4(n, 1)) + texCUBEbias(C, float4(n, 1)) + texCUBEproj(C, float4(n,1)) + texCUBEgrad(C, n, n, n);
  r += tex3Dlod(V, float4(n, 0)) + tex3Dproj(V, float4(n, 1)) + tex3Dbias(V, float4(n, 1));
  float s, c; sincos(P.x, s, c);
  r += float4(s, c, fmod(P.y, 2), frac(P.z)) * saturate(dot(n, n)) * lerp(0, 1, 0.5) * smoothstep(0, 1, P.w);
  r += D3DCOLORtoUBYTE4(P) + log10(abs(P)) + exp2(P) + rsqrt(abs(P) + 1);
  r.xyz += reflect(n, n) + refract(n, n, 0.5) + cross(n, n) + normalize(n) + faceforward(n, n, n);
  r += any(P) ? 1 : 0; r += all(P) ? 1 : 0; r += isnan(P.x) ? 1 : 0; r += step(0.5, P) + sign(P) + trunc(P) + round(P) + ldexp(P, 2);
  float4x4 m = {P, P, P, P}; r += mul(m, P) + determinant(m) + transpose(m)[0];
  r += distance(P, P) + length(P) + degrees(P) + radians(P) + atan2(P, P) + pow(abs(P), 2) + min(P,0) + max(P,0) + clamp(P,0,1);
  return r;
}

float4 vs_main(float4 p : POSITION) : POSITION { return p; }
