// Safe writes: temporary file, complete checked write, then rename.
#include "base/zeSafeWrite.h"

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

}  // namespace

ZeSafeWriteResult zeWriteFileSafely(const char* path, const void* bytes, std::size_t size) {
  if (!path || !*path) return ZE_WRITE_CANNOT_CREATE;
  const std::string target(path);
  const std::size_t slash = target.find_last_of('/');
  const std::string folder = slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
  const std::string name = slash == std::string::npos ? target : target.substr(slash + 1);
  if (name.empty()) return ZE_WRITE_CANNOT_CREATE;
  std::string temporary = folder + "." + name + ".XXXXXX";
  const int fd = ::mkostemp(&temporary[0], O_CLOEXEC);
  if (fd < 0) return ZE_WRITE_CANNOT_CREATE;
  bool ok = ::fchmod(fd, modeFor(path)) == 0;
  ok = ok && writeAll(fd, static_cast<const char*>(bytes), size);
  ok = ok && ::fsync(fd) == 0;
  ok = (::close(fd) == 0) && ok;
  ok = ok && std::rename(temporary.c_str(), path) == 0;
  if (!ok) {
    ::unlink(temporary.c_str());
    return ZE_WRITE_FAILED;
  }
  return ZE_WRITE_DONE;
}
