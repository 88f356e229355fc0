// Safe writes: temporary file, complete checked write, then rename.
#include "base/zeSafeWrite.h"
#include "base/zePath.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

namespace {

bool writeAll(int fd, const char* bytes, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd, bytes, size);
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    if (written == 0) return false;
    bytes += written;
    size -= std::size_t(written);
  }
  return true;
}

// The permissions the new file takes: those of the file it replaces, or
// what a plain create would give.
mode_t modeFor(const char* path) {
  struct stat info {};
  if (::stat(path, &info) == 0 && S_ISREG(info.st_mode)) return info.st_mode & 07777;
  const mode_t mask = ::umask(0);
  ::umask(mask);
  return 0666 & ~mask;
}

// ".<name>.XXXXXX" beside the target, created and open; -1 when it cannot be.
int openTemporary(const char* path, std::string* temporary) {
  if (!path || !*path) return -1;
  const std::string name = zePathFileName(path, true);
  if (name.empty()) return -1;
  *temporary = zePathDirectory(path) + "." + name + ".XXXXXX";
  return ::mkostemp(&(*temporary)[0], O_CLOEXEC);
}

// Flushed, closed, given the target's permissions and renamed over it; the
// temporary file is removed on any failure.
ZeSafeWriteResult finish(int fd, bool written, const std::string& temporary, const char* path) {
  bool ok = written && ::fchmod(fd, modeFor(path)) == 0;
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temporary.c_str(), path) == 0;
  if (ok) return ZE_WRITE_DONE;
  ::unlink(temporary.c_str());
  return ZE_WRITE_FAILED;
}

}  // namespace

ZeSafeWriteResult zeWriteFileSafely(const char* path, const void* bytes, std::size_t size) {
  std::string temporary;
  const int fd = openTemporary(path, &temporary);
  if (fd < 0) return ZE_WRITE_CANNOT_CREATE;
  return finish(fd, writeAll(fd, static_cast<const char*>(bytes), size), temporary, path);
}

std::string zeSafeWriteBegin(const char* path) {
  std::string temporary;
  const int fd = openTemporary(path, &temporary);
  if (fd < 0) return std::string();
  ::close(fd);
  return temporary;
}

ZeSafeWriteResult zeSafeWriteCommit(const std::string& temporary, const char* path) {
  if (temporary.empty() || !path) return ZE_WRITE_FAILED;
  const int fd = ::open(temporary.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    ::unlink(temporary.c_str());
    return ZE_WRITE_FAILED;
  }
  return finish(fd, true, temporary, path);
}

void zeSafeWriteAbandon(const std::string& temporary) {
  if (!temporary.empty()) ::unlink(temporary.c_str());
}
