// The effect most drawing tests and benchmarks put on an object: the world-
// view-projection transform and one flat colour, "Tint" (0.2, 0.6, 0.4).
#pragma once

#include <string>

// Its source; `header` adds lines to the parameter block (each ending in a
// newline) and `body` adds functions after the two entry points.
inline std::string tintEffectSource(const char* header = "", const char* body = "") {
  return std::string(
             "/*\n[ZARN_BEGIN]\n"
             "// float4x4 WVP : WorldViewProjection : vertex\n"
             "// float4 Tint : 0.2, 0.6, 0.4, 1 : pixel\n") +
         header +
         "[ZARN_END]\n*/\n"
         "float4x4 WVP;\n"
         "float4 Tint;\n"
         "float4 vs_main(float4 pos : POSITION) : POSITION { return mul(WVP, pos); }\n"
         "float4 ps_main() : COLOR { return Tint; }\n" +
         body;
}
