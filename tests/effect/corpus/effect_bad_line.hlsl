// [ZARN_BEGIN]
// float4 Tint : 1, 1, 1, 1
// float4 Broken
// [ZARN_END]
float4 ps_main() : COLOR { return 1; }
