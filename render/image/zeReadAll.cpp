#include "render/image/zeReadAll.h"

#include <algorithm>
#include <cstring>
#include <new>

using namespace irr;

bool zeReadWholeFile(io::IReadFile* file, std::vector<unsigned char>* bytes) {
  const long size = file->getSize();
  if (size < 0 || size > (1L << 30)) return false;
  try {
    bytes->resize(static_cast<std::size_t>(size));
  } catch (const std::bad_alloc&) {
    return false;
  }
  file->seek(0);
  return size == 0 || file->read(bytes->data(), static_cast<u32>(size)) == size;
}

CZeMemoryReadFile::CZeMemoryReadFile(const void* bytes, long size, const char* name)
    : bytes_(static_cast<const unsigned char*>(bytes)), size_(size), name_(name) {}

s32 CZeMemoryReadFile::read(void* buffer, u32 sizeToRead) {
  const long count = std::min<long>(sizeToRead, size_ - pos_);
  if (count <= 0) return 0;
  std::memcpy(buffer, bytes_ + pos_, static_cast<std::size_t>(count));
  pos_ += count;
  return static_cast<s32>(count);
}

bool CZeMemoryReadFile::seek(long finalPos, bool relativeMovement) {
  const long target = relativeMovement ? pos_ + finalPos : finalPos;
  if (target < 0 || target > size_) return false;
  pos_ = target;
  return true;
}
