// 16-bit greyscale PNG decoder on arbitrary bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/zeMessage.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderPNG.h"

// Warnings for every bad input would drown the run.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zeSetMessageThreshold(ZE_NONE);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CZeImage* image = zeDecodeGrey16Png(data, size, "fuzz.png");
  if (image) {
    if (image->getImageDataSizeInBytes() != image->width() * image->height() * 2u) std::abort();
    image->drop();
  }
  return 0;
}
