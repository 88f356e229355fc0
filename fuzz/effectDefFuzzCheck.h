// Loads one annotated HLSL text with a few caller macros and checks what a
// definition promises its readers. Shared by the fuzz target and the corpus
// replay test.
#pragma once

#include <string>

bool zeEffectDefFuzzCheck(const std::string& text, std::string* why);
