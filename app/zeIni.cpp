#include "app/zeIni.h"

#include <sys/mman.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "base/zeFile.h"

dictionary* zeIniLoad(const char* name) {
  std::string bytes;
  if (!name || !zeFileReadAll(name, &bytes)) return nullptr;
  const int fd = ::memfd_create("zarn-ini", MFD_CLOEXEC);
  if (fd < 0) return nullptr;
  std::size_t written = 0;
  while (written < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + written, bytes.size() - written);
    if (n <= 0) {
      ::close(fd);
      return nullptr;
    }
    written += static_cast<std::size_t>(n);
  }
  char path[64];
  std::snprintf(path, sizeof path, "/proc/self/fd/%d", fd);
  dictionary* dict = iniparser_load(path);
  ::close(fd);
  return dict;
}
