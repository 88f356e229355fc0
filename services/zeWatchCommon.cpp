#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/zePath.h"
#include "services/zeWatchInternal.h"

SZeFileStamp zeStampFile(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return SZeFileStamp();
  return zeStampOf(info);
}

SZeFileStamp zeStampOf(const struct stat& info) {
  SZeFileStamp stamp;
  stamp.exists = true;
  stamp.device = info.st_dev;
  stamp.inode = info.st_ino;
  stamp.size = info.st_size;
  stamp.modified = info.st_mtim;
  stamp.statusChanged = info.st_ctim;
  return stamp;
}

bool zeSameStamp(const SZeFileStamp& a, const SZeFileStamp& b) {
  if (a.exists != b.exists) return false;
  if (!a.exists) return true;
  return a.device == b.device && a.inode == b.inode && a.size == b.size &&
         a.modified.tv_sec == b.modified.tv_sec && a.modified.tv_nsec == b.modified.tv_nsec &&
         a.statusChanged.tv_sec == b.statusChanged.tv_sec && a.statusChanged.tv_nsec == b.statusChanged.tv_nsec;
}

std::string zeWatchAbsolutePath(const char* path) {
  std::string name = path ? path : "";
  if (!zePathIsAbsolute(name)) {
    char cwd[4096];
    if (getcwd(cwd, sizeof cwd)) name = zePathJoin(cwd, name);
  }
  std::string onDisk = zePathOnDisk("", name);
  while (onDisk.size() > 1 && onDisk.back() == '/') onDisk.pop_back();
  return onDisk;
}

timespec zeFileClockNow() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME_COARSE, &now);
  return now;
}

bool zeTimeNotBefore(const timespec& a, const timespec& b) {
  return a.tv_sec != b.tv_sec ? a.tv_sec > b.tv_sec : a.tv_nsec >= b.tv_nsec;
}

namespace {

// The access mode of one open descriptor, from /proc/<pid>/fdinfo/<fd>.
bool descriptorWrites(const char* pid, const char* fd) {
  char infoPath[128];
  std::snprintf(infoPath, sizeof infoPath, "/proc/%s/fdinfo/%s", pid, fd);
  FILE* info = std::fopen(infoPath, "r");
  if (!info) return false;
  char line[256];
  bool writes = false;
  while (std::fgets(line, sizeof line, info)) {
    if (std::strncmp(line, "flags:", 6) == 0) {
      const long flags = std::strtol(line + 6, nullptr, 8);
      writes = (flags & O_ACCMODE) != O_RDONLY;
      break;
    }
  }
  std::fclose(info);
  return writes;
}

bool isNumber(const char* text) {
  if (!*text) return false;
  for (; *text; ++text)
    if (*text < '0' || *text > '9') return false;
  return true;
}

}  // namespace

// Linux has no share modes, so "nobody is writing" is found by looking at every
// open descriptor of every process we may inspect. Only the reload path pays
// for it.
bool zeFileOpenForWriting(dev_t device, ino_t inode, int ownFd) {
  DIR* processes = opendir("/proc");
  if (!processes) return false;
  char self[32];
  std::snprintf(self, sizeof self, "%d", static_cast<int>(getpid()));
  char ownName[32];
  std::snprintf(ownName, sizeof ownName, "%d", ownFd);
  bool found = false;
  while (!found) {
    const dirent* process = readdir(processes);
    if (!process) break;
    if (!isNumber(process->d_name)) continue;
    char fdDirPath[64];
    std::snprintf(fdDirPath, sizeof fdDirPath, "/proc/%s/fd", process->d_name);
    DIR* fds = opendir(fdDirPath);
    if (!fds) continue;
    const bool isSelf = std::strcmp(process->d_name, self) == 0;
    while (const dirent* fd = readdir(fds)) {
      if (!isNumber(fd->d_name)) continue;
      if (isSelf && std::strcmp(fd->d_name, ownName) == 0) continue;
      char linkPath[128];
      std::snprintf(linkPath, sizeof linkPath, "%s/%s", fdDirPath, fd->d_name);
      struct stat info;
      if (stat(linkPath, &info) != 0) continue;
      if (info.st_dev != device || info.st_ino != inode) continue;
      if (descriptorWrites(process->d_name, fd->d_name)) {
        found = true;
        break;
      }
    }
    closedir(fds);
  }
  closedir(processes);
  return found;
}
