// File watches: one file, watched through a waiting thread on its directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "base/ZeHandleTable.h"
#include "base/zeMessage.h"
#include "services/FolderWatcher.h"
#include "services/zeWatch.h"
#include "services/zeWatchInternal.h"

namespace {

struct ZeFileWatch {
  int id = 0;
  std::string path;
  std::string directory;
  std::atomic<int> notified{0};  // written to 1 by the waiting thread
  bool pending = false;
  std::unique_ptr<FolderWatcher> watcher;  // none: the watch polls the file
  SZeFileStamp remembered;
  int heldFd = -1;
  // The version the last successful Lock opened: what the caller then read.
  bool haveLockedStamp = false;
  SZeFileStamp lockedStamp;
};

// Created at first use; lives until the process ends.
std::unique_ptr<ZeHandleTable<ZeFileWatch>> fileWatches;

ZeHandleTable<ZeFileWatch>* table() {
  if (!fileWatches) fileWatches = ZeHandleTable<ZeFileWatch>::create(100);
  return fileWatches.get();
}

ZeFileWatch* resolve(int id) {
  ZeHandleTable<ZeFileWatch>* watches = table();
  ZeFileWatch* watch = watches ? watches->find(id) : nullptr;
  if (!watch) zeReportArgError(1, "FileWatch ID %d does not exist. %s", id, watches ? watches->reason() : "no table");
  return watch;
}

// A waiting thread that stopped on a system failure is reported once; the
// watch then polls the file on every query instead.
bool pollsInstead(ZeFileWatch* watch) {
  if (!watch->watcher) return true;
  std::string systemText;
  if (watch->watcher->takeFailure(&systemText))
    zeMessage(ZE_ERROR | ZE_MSG_SHOW, "%s\nFile: '%s'\nSystem reports: %s", "Cannot detect changes in folder",
              watch->directory.c_str(), systemText.c_str());
  return watch->watcher->failed();
}

void releaseHeld(ZeFileWatch* watch) {
  if (watch->heldFd >= 0) close(watch->heldFd);
  watch->heldFd = -1;
}

SZeFileStamp stampOfDescriptor(int fd) {
  struct stat info;
  if (fstat(fd, &info) != 0) return SZeFileStamp();
  return zeStampOf(info);
}

// Opens the file for reading when nobody is writing it: no open descriptor with
// write access and no write lock. The open-file-description read lock we keep
// also holds off writers that lock before writing.
int openQuiet(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return -1;
  struct flock readLock {};
  readLock.l_type = F_RDLCK;
  readLock.l_whence = SEEK_SET;
  struct stat info;
  if (fcntl(fd, F_OFD_SETLK, &readLock) != 0 || fstat(fd, &info) != 0 ||
      zeFileOpenForWriting(info.st_dev, info.st_ino, fd)) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

int zeFileWatchCreate(const char* path, int id) {
  ZeHandleTable<ZeFileWatch>* watches = table();
  auto watch = std::make_unique<ZeFileWatch>();
  if (!watches || !watches->add(id, watch.get())) {
    zeReportArgError(2, "invalid FileWatch ID %d : %s", id, watches ? watches->reason() : "no table");
    return -1;
  }
  ZeFileWatch* created = watch.release();
  created->id = id;
  created->path = zeWatchAbsolutePath(path);
  const std::size_t slash = created->path.find_last_of('/');
  created->directory = slash == 0 ? "/" : slash == std::string::npos ? "." : created->path.substr(0, slash);
  created->remembered = zeStampFile(created->path);
  created->watcher = std::make_unique<FolderWatcher>(created->directory, 0, &created->notified);
  if (!created->watcher->ok()) {
    zeMessage(ZE_WARN, "Cannot create change notification handle for '%s': %s (the file is polled instead)",
              created->directory.c_str(), created->watcher->createError().c_str());
    created->watcher.reset();
  }
  return 0;
}

int zeFileWatchChanged(int id) {
  ZeFileWatch* watch = resolve(id);
  if (!watch) return -1;
  if (watch->pending) return 1;
  if (!pollsInstead(watch) && watch->notified.load() == 0) return 0;
  watch->notified.store(0);
  const SZeFileStamp now = zeStampFile(watch->path);
  // Gone while it is being replaced, or any sign of a new version.
  if (zeSameStamp(now, watch->remembered)) return 0;
  if (now.exists) watch->remembered = now;
  watch->pending = true;
  return 1;
}

int zeFileWatchRearm(int id) {
  ZeFileWatch* watch = resolve(id);
  if (!watch) return -1;
  const SZeFileStamp now = zeStampFile(watch->path);
  watch->remembered = watch->haveLockedStamp ? watch->lockedStamp : now;
  watch->haveLockedStamp = false;
  watch->notified.store(0);
  // Written again after it was opened for reading: that version is still to
  // be read, so the change stays pending.
  watch->pending = !zeSameStamp(now, watch->remembered);
  return 0;
}

int zeFileWatchLock(int id, int timeoutMs) {
  ZeFileWatch* watch = resolve(id);
  if (!watch) return -1;
  releaseHeld(watch);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs > 0 ? timeoutMs : 0);
  for (;;) {
    const int fd = openQuiet(watch->path);
    if (fd >= 0) {
      watch->heldFd = fd;
      watch->lockedStamp = stampOfDescriptor(fd);
      watch->haveLockedStamp = true;
      return 0;
    }
    if (std::chrono::steady_clock::now() >= deadline) break;
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  watch->pending = true;
  zeMessage(ZE_WARN, "FileWatch ID %d : '%s' is still being written after %d ms; the change stays pending", id,
            watch->path.c_str(), timeoutMs);
  return -1;
}

int zeFileWatchUnlock(int id) {
  ZeFileWatch* watch = resolve(id);
  if (!watch) return -1;
  releaseHeld(watch);
  return 0;
}

int zeFileWatchDelete(int id) {
  ZeHandleTable<ZeFileWatch>* watches = table();
  ZeFileWatch* watch = watches ? watches->remove(id) : nullptr;
  if (!watch) return -1;
  releaseHeld(watch);
  delete watch;  // the watcher's destructor stops its thread
  return 0;
}

int zeFileWatchNotified(int id) {
  ZeFileWatch* watch = fileWatches ? fileWatches->peek(id) : nullptr;
  return watch ? watch->notified.load() : -1;
}
