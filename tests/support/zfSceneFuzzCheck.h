// One input of the ZF fuzzer, seen as a scene: open the scene view over the
// bytes and evaluate every record at a few times, as playing it would.
// Crashing or reading out of bounds is what this looks for.
#pragma once

#include <cstddef>
#include <cstdint>

void zfSceneFuzzCheck(const uint8_t* data, std::size_t size);
