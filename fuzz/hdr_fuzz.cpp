// Radiance decoder on arbitrary bytes: never a bad read, and an image that
// comes back has the size its header promised.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/zeMessage.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderHDR.h"

// Warnings for every bad input would drown the run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zeSetMessageThreshold(ZE_NONE);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CZeImage* image = zeDecodeRadiance(data, size, "fuzz.hdr");
  if (image) {
    if (image->getImageDataSizeInBytes() != image->width() * image->height() * 8u) std::abort();
    image->drop();
  }
  return 0;
}
