// libFuzzer target: arbitrary bytes as an annotated HLSL file through the
// definition loader (no shader compile). Every include opens the same bytes,
// so include nesting is exercised too. Build with clang and -DZARN_BUILD_FUZZ=ON.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "base/zeFile.h"
#include "effect/CZeEffectDefLoaderZarn.h"
#include "fuzz/effectDefFuzzCheck.h"

namespace {

std::string input;

class MemoryFile : public ZeFile {
 public:
  int seek(long offset, int origin) override {
    long base = origin == 0 ? 0 : origin == 1 ? pos_ : long(input.size());
    if (base + offset < 0 || base + offset > long(input.size())) return -1;
    pos_ = base + offset;
    return 0;
  }
  std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override {
    if (itemSize == 0) return 0;
    std::size_t items = std::min(itemCount, (input.size() - size_t(pos_)) / itemSize);
    std::memcpy(buffer, input.data() + pos_, items * itemSize);
    pos_ += long(items * itemSize);
    return items;
  }
  int getc() override { return size_t(pos_) < input.size() ? (unsigned char)input[size_t(pos_++)] : -1; }
  char* gets(char*, int) override { return nullptr; }
  long tell() override { return pos_; }
  long size() override { return long(input.size()); }

 private:
  long pos_ = 0;
};

ZeFile* openInput(void*, const char*, const char*) { return new MemoryFile; }

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  ZeFileHooks::OpenGroup group;
  group.open = openInput;
  zeSetFileOpenHooks(group);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
  input.assign(reinterpret_cast<const char*>(data), size);
  std::string why;
  if (!zeEffectDefFuzzCheck(input, &why)) {
    std::fprintf(stderr, "effect definition fuzz: %s\n", why.c_str());
    std::abort();
  }
  return 0;
}
