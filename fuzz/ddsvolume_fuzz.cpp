// Volume DDS decoder on arbitrary bytes: never a bad read, and a volume that
// comes back holds exactly the voxels its header promised.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "base/zeMessage.h"
#include "render/image/CZeImage.h"
#include "render/image/CZeImageLoaderDDSVolume.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  zeSetMessageThreshold(ZE_NONE);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  CZeImage* image = zeDecodeDdsVolume(data, size, "fuzz.dds");
  if (image) {
    const std::size_t voxels = static_cast<std::size_t>(image->width()) * image->height() * image->depth();
    if (image->getImageDataSizeInBytes() != voxels * image->getBytesPerPixel()) std::abort();
    image->drop();
  }
  return 0;
}
