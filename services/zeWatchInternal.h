// Helpers shared by the file and folder watches, and the diagnostics the
// tests use to see a notification arrive without guessing a delay.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <ctime>
#include <string>

// What identifies one version of a file on disk. Times alone are not enough:
// the kernel stamps files with a coarse clock, so two saves within one tick
// share a time, and a file renamed over the old one may carry an older time.
struct SZeFileStamp {
  bool exists = false;
  dev_t device = 0;
  ino_t inode = 0;
  off_t size = 0;
  timespec modified{};
  timespec statusChanged{};
};

SZeFileStamp zeStampFile(const std::string& path);
// The stamp of what stat or fstat returned.
SZeFileStamp zeStampOf(const struct stat& info);
bool zeSameStamp(const SZeFileStamp& a, const SZeFileStamp& b);

// Absolute, folded path of a watched name (relative names join the process's
// working directory), without a trailing '/'.
std::string zeWatchAbsolutePath(const char* path);

// The current time on the clock the kernel stamps files with.
timespec zeFileClockNow();
bool zeTimeNotBefore(const timespec& a, const timespec& b);

// Whether any process we can see holds the file open for writing, apart from
// our own descriptor `ownFd`.
bool zeFileOpenForWriting(dev_t device, ino_t inode, int ownFd);

// Raw notification flags (1 once the waiting thread saw a write), -1 for an
// unknown identifier. Diagnostics only: they do not consume the notification.
int zeFileWatchNotified(int id);
int zeFolderWatchNotified(int id);
