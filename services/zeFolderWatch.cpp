// Folder watches: which files below a folder were written since the last reset.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "base/ZeHandleTable.h"
#include "base/zeMessage.h"
#include "services/FolderWatcher.h"
#include "services/zeWatch.h"
#include "services/zeWatchInternal.h"

namespace {

constexpr int kMaxChanges = 10;
// Files in the folder and in sub-folders down to this many levels below it.
constexpr int kLevels = 2;
// Without notifications the folder is walked at most this often.
constexpr auto kPollInterval = std::chrono::milliseconds(250);

struct ZeFolderWatch {
  int id = 0;
  std::string path;
  // The folder the watcher was set on. inotify says nothing when that folder
  // is deleted while a file inside it is still open, so the watch checks for
  // itself that the path still names the same folder.
  dev_t folderDevice = 0;
  ino_t folderInode = 0;
  std::chrono::steady_clock::time_point lastFolderCheck{};
  std::atomic<int> notified{0};  // written to 1 by the waiting thread
  bool pending = false;
  std::unique_ptr<FolderWatcher> watcher;  // none: the watch walks the folder instead
  timespec reference{};
  // Start of the last walk since the reset: the next reference, so that a file
  // written during or after that walk is not lost by the reset.
  bool walked = false;
  timespec walkStart{};
  std::chrono::steady_clock::time_point lastPoll{};
  int count = 0;
  std::string changes[kMaxChanges];
  const char* list[kMaxChanges] = {};
};

// Created at first use; lives until the process ends.
std::unique_ptr<ZeHandleTable<ZeFolderWatch>> folderWatches;

ZeHandleTable<ZeFolderWatch>* table() {
  if (!folderWatches) folderWatches = ZeHandleTable<ZeFolderWatch>::create(100);
  return folderWatches.get();
}

ZeFolderWatch* resolve(int id) {
  ZeHandleTable<ZeFolderWatch>* watches = table();
  ZeFolderWatch* watch = watches ? watches->find(id) : nullptr;
  if (!watch) zeReportArgError(1, "FolderWatch ID %d does not exist. %s", id, watches ? watches->reason() : "no table");
  return watch;
}

bool identify(const std::string& path, dev_t* device, ino_t* inode) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  *device = info.st_dev;
  *inode = info.st_ino;
  return true;
}

// Sets up notifications on the folder as it is now; without them the watch
// walks the folder instead.
void startWatcher(ZeFolderWatch* watch, bool warn) {
  watch->watcher.reset();
  if (!identify(watch->path, &watch->folderDevice, &watch->folderInode)) {
    watch->folderDevice = 0;
    watch->folderInode = 0;
  }
  auto watcher = std::make_unique<FolderWatcher>(watch->path, kLevels, &watch->notified);
  if (watcher->ok()) {
    watch->watcher = std::move(watcher);
  } else if (warn) {
    zeMessage(ZE_WARN, "Cannot create change notification handle for '%s': %s (the folder is walked instead)",
              watch->path.c_str(), watcher->createError().c_str());
  }
}

// At most every poll interval: when the path no longer names the folder the
// notifications come from (deleted, replaced, or back after being deleted),
// watch the folder that is there now. True when the folder changed: what it
// holds must then be walked, as no notification covers it.
bool folderReplaced(ZeFolderWatch* watch) {
  const auto now = std::chrono::steady_clock::now();
  if (now - watch->lastFolderCheck < kPollInterval) return false;
  watch->lastFolderCheck = now;
  dev_t device = 0;
  ino_t inode = 0;
  const bool exists = identify(watch->path, &device, &inode);
  const bool same = exists ? device == watch->folderDevice && inode == watch->folderInode : watch->folderInode == 0;
  if (same) return false;
  startWatcher(watch, false);
  return true;
}

bool pollsInstead(ZeFolderWatch* watch) {
  if (!watch->watcher) return true;
  std::string systemText;
  if (watch->watcher->takeFailure(&systemText))
    zeMessage(ZE_ERROR | ZE_MSG_SHOW, "%s\nFile: '%s'\nSystem reports: %s", "Cannot detect changes in folder",
              watch->path.c_str(), systemText.c_str());
  return watch->watcher->failed();
}

// Visits, in name order, the files of `folder` written at or after `since`,
// then its sub-folders (not those starting with '.') within the depth.
// `visit` returns false to stop the walk.
template <typename Visit>
bool walk(const std::string& folder, int level, const timespec& since, Visit& visit) {
  DIR* dir = opendir(folder.c_str());
  if (!dir) return true;
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name != "." && name != "..") names.push_back(name);
  }
  closedir(dir);
  std::sort(names.begin(), names.end());
  std::vector<std::string> folders;
  for (const std::string& name : names) {
    const std::string full = folder + "/" + name;
    struct stat info;
    if (stat(full.c_str(), &info) != 0) continue;
    if (S_ISDIR(info.st_mode)) {
      if (name[0] != '.') folders.push_back(full);
    } else if (S_ISREG(info.st_mode) &&
               (zeTimeNotBefore(info.st_mtim, since) || zeTimeNotBefore(info.st_ctim, since))) {
      // The status time too: a file moved in keeps its old write time, but
      // the move stamps its status time.
      if (!visit(full)) return false;
    }
  }
  if (level < kLevels)
    for (const std::string& sub : folders)
      if (!walk(sub, level + 1, since, visit)) return false;
  return true;
}

}  // namespace

int zeFolderWatchCreate(const char* path, int id) {
  ZeHandleTable<ZeFolderWatch>* watches = table();
  auto watch = std::make_unique<ZeFolderWatch>();
  if (!watches || !watches->add(id, watch.get())) {
    zeReportArgError(2, "invalid FileWatch ID %d : %s", id, watches ? watches->reason() : "no table");
    return -1;
  }
  ZeFolderWatch* created = watch.release();
  created->id = id;
  created->path = zeWatchAbsolutePath(path);
  created->reference = zeFileClockNow();
  startWatcher(created, true);
  created->lastFolderCheck = std::chrono::steady_clock::now();
  return 0;
}

int zeFolderWatchHasChanges(int id) {
  ZeFolderWatch* watch = resolve(id);
  if (!watch) return -1;
  if (watch->pending) return 1;
  const bool replaced = folderReplaced(watch);
  if (replaced || pollsInstead(watch)) {
    const auto now = std::chrono::steady_clock::now();
    if (!replaced && now - watch->lastPoll < kPollInterval) return 0;
    watch->lastPoll = now;
    bool any = false;
    auto found = [&any](const std::string&) {
      any = true;
      return false;
    };
    walk(watch->path, 0, watch->reference, found);
    if (!any) return 0;
  } else if (watch->notified.load() == 0) {
    return 0;
  }
  watch->pending = true;
  return 1;
}

int zeGetFolderWatchChanges(int id, const char* const** list) {
  ZeFolderWatch* watch = resolve(id);
  if (list) *list = watch ? watch->list : nullptr;
  if (!watch) return -1;
  if (!watch->pending) return 0;
  // Writes from here on raise a new notification and fall after the next reference.
  watch->walkStart = zeFileClockNow();
  watch->walked = true;
  watch->notified.store(0);
  watch->count = 0;
  int dropped = 0;
  auto collect = [watch, &dropped](const std::string& path) {
    if (watch->count >= kMaxChanges) {
      ++dropped;
      return true;
    }
    watch->changes[watch->count] = path;
    watch->list[watch->count] = watch->changes[watch->count].c_str();
    ++watch->count;
    return true;
  };
  walk(watch->path, 0, watch->reference, collect);
  // Once per query, however many were dropped.
  if (dropped > 0) zeMessage(ZE_WARN, "zeGetFolderWatchChanges too much changes: %d more not listed\n", dropped);
  return watch->count;
}

int zeFolderWatchReset(int id) {
  ZeFolderWatch* watch = resolve(id);
  if (!watch) return -1;
  if (watch->walked) {
    watch->reference = watch->walkStart;
  } else {
    watch->reference = zeFileClockNow();
    watch->notified.store(0);
  }
  watch->walked = false;
  watch->pending = false;
  watch->count = 0;
  return 0;
}

int zeFolderWatchDelete(int id) {
  ZeHandleTable<ZeFolderWatch>* watches = table();
  ZeFolderWatch* watch = watches ? watches->remove(id) : nullptr;
  if (!watch) return -1;
  delete watch;
  return 0;
}

int zeFolderWatchNotified(int id) {
  ZeFolderWatch* watch = folderWatches ? folderWatches->peek(id) : nullptr;
  return watch ? watch->notified.load() : -1;
}
