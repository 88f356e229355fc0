float4 LightColor;
float4 LightTerm() { return LightColor; }
