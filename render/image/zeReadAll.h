// Whole Irrlicht files into memory, and files in memory as Irrlicht files
// (tests, fuzzing, and loaders that parse from a buffer).
#pragma once

#include <string>
#include <vector>

#include <IReadFile.h>

// Reads the file from its start; false when it is larger than 1 GiB or a read
// comes short.
bool zeReadWholeFile(irr::io::IReadFile* file, std::vector<unsigned char>* bytes);

// A read-only file over bytes the caller keeps alive.
class CZeMemoryReadFile final : public irr::io::IReadFile {
 public:
  CZeMemoryReadFile(const void* bytes, long size, const char* name);
  irr::s32 read(void* buffer, irr::u32 sizeToRead) override;
  bool seek(long finalPos, bool relativeMovement = false) override;
  long getSize() const override { return size_; }
  long getPos() const override { return pos_; }
  const irr::io::path& getFileName() const override { return name_; }

 private:
  const unsigned char* bytes_;
  long size_;
  long pos_ = 0;
  irr::io::path name_;
};
