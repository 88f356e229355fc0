float4 Broken() {
  float4 a = 1;
  return a + undeclaredThing;
}
