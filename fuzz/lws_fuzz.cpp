// Feeds arbitrary bytes to the LightWave scene reader and its conversion to a
// ZF scene. Build with -DZARN_BUILD_FUZZ=ON (clang); the corpus lives in
// tests/lws/corpus-lws and is replayed by lws_tests. Run with -close_fd_mask=1:
// the reader logs every line it skips.
#include "lws/zeLwsConvert.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ZeLwsScene scene;
  if (!zeLwsParse(reinterpret_cast<const char*>(data), size, "fuzz.lws", &scene)) return 0;
  // Long frame ranges are legal and merely slow: sample only short ones here.
  const double frames = static_cast<double>(scene.lastFrame) - scene.firstFrame + 1.0;
  if (frames * static_cast<double>(scene.items.size() + 1) > 20000.0) return 0;
  ZF_Free(zeLwsConvert(scene, "/nonexistent/scenes/"));
  return 0;
}
