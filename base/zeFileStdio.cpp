// The plain ("stdio") variant of the file hooks: C streams on the disk.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

#include "base/zeFileHooksInternal.h"
#include "base/zeMessage.h"
#include "base/zePath.h"

namespace {

std::string workingDirectory;

class StdioFile final : public ZeFile {
 public:
  explicit StdioFile(FILE* stream) : stream_(stream) {}
  ~StdioFile() override { std::fclose(stream_); }
  int seek(long offset, int origin) override {
    if (origin < 0 || origin > 2) return -1;
    static const int whence[] = {SEEK_SET, SEEK_CUR, SEEK_END};
    return std::fseek(stream_, offset, whence[origin]);
  }
  std::size_t read(void* buffer, std::size_t itemSize, std::size_t itemCount) override {
    return std::fread(buffer, itemSize, itemCount, stream_);
  }
  int getc() override { return std::fgetc(stream_); }
  char* gets(char* buffer, int size) override { return std::fgets(buffer, size, stream_); }
  long tell() override { return std::ftell(stream_); }
  long size() override {
    const long here = std::ftell(stream_);
    if (std::fseek(stream_, 0, SEEK_END) != 0) return -1;
    const long end = std::ftell(stream_);
    std::fseek(stream_, here, SEEK_SET);
    return end;
  }

 private:
  FILE* stream_;
};

ZeFile* stdioOpen(void*, const char* name, const char* mode) {
  return zeOpenDiskFile(zePathOnDisk(workingDirectory, name), mode);
}

void stdioSetWorkingDirectory(void*, const char* path) { workingDirectory = path; }

void stdioEnterDirectory(void*, const char* path) {
  if (!workingDirectory.empty()) {
    const char last = workingDirectory.back();
    if (last != '/' && last != ':' && last != '\\') workingDirectory += '/';
  }
  workingDirectory += path;
}

const char* stdioGetWorkingDirectory(void*) { return workingDirectory.c_str(); }

const char* stdioAbsolutePath(void*, const char* name) {
  static std::string result;
  return zeKeepResult(result, zePathJoin(workingDirectory, name));
}

const char* stdioFileName(void*, const char* path, bool keepExtension) {
  static std::string result;
  return zeKeepResult(result, zePathFileName(path, keepExtension));
}

const char* stdioDirectoryOf(void*, const char* path) {
  static std::string result;
  return zeKeepResult(result, zePathDirectory(path));
}

}  // namespace

bool zeRefuseUnreadable(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || S_ISREG(info.st_mode)) return false;
  zeMessage(ZE_ERROR, "Cannot read %s: not a regular file", path.c_str());
  return true;
}

ZeFile* zeOpenDiskFile(const std::string& path, const char* mode) {
  if (std::strpbrk(mode, "wa+")) {
    FILE* stream = std::fopen(path.c_str(), mode);
    return stream ? new StdioFile(stream) : nullptr;
  }
  // Opened without blocking and checked on the descriptor itself, so that a
  // FIFO put in place after a check still cannot hold the reader.
  const int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return nullptr;
  struct stat info {};
  if (fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
    if (info.st_mode) zeMessage(ZE_ERROR, "Cannot read %s: not a regular file", path.c_str());
    close(fd);
    return nullptr;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  FILE* stream = fdopen(fd, "rb");
  if (!stream) {
    close(fd);
    return nullptr;
  }
  return new StdioFile(stream);
}

ZeFileHooks::OpenGroup zeStdioOpenGroup() { return {stdioOpen, nullptr}; }

ZeFileHooks::DirectoryGroup zeStdioDirectoryGroup() {
  return {stdioSetWorkingDirectory, stdioEnterDirectory, stdioGetWorkingDirectory, nullptr};
}

ZeFileHooks::PathGroup zeStdioPathGroup() {
  return {stdioAbsolutePath, stdioFileName, stdioDirectoryOf, nullptr};
}
