// Reads one COLLADA document with either profile flag and checks what the
// reader and writer promise: the written document is well-formed, and
// reading it back and writing again gives the same text. Shared by the fuzz
// target and the corpus replay.
#pragma once

#include <string>

bool zeColladaFuzzCheck(const std::string& bytes, std::string* why);
