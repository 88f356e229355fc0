// The Blender tests' main: without Blender, one line and nothing run (ctest
// reads the line as a skip).
#include <gtest/gtest.h>

#include <cstdio>

#include "blenderScenes.h"

int main(int argc, char** argv) {
  if (zeblender::blenderPath().empty()) {
    std::puts(zeblender::kNoBlender);
    return 0;
  }
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
