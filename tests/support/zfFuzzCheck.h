// One input of the ZF loader fuzzer, shared with the test that replays its
// corpus: load the bytes, drive every query, accessor and evaluator over
// whatever loaded, check that the indexed lookups agree with the record walk,
// and that the document survives writing and reading in both forms.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

// False with the reason in *why when an answer is inconsistent. Loading may
// fail (bad input is expected); crashing, reading out of bounds or a
// disagreement is what this looks for.
bool zfFuzzCheck(const uint8_t* data, std::size_t size, std::string* why);
