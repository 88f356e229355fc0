#include "services/FolderWatcher.h"

#include <dirent.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace {

// What counts as a write: content changes, a finished write, a changed time
// (touch), a new entry, and an entry renamed into place (how many editors save).
constexpr uint32_t kWriteEvents = IN_MODIFY | IN_CLOSE_WRITE | IN_ATTRIB | IN_CREATE | IN_MOVED_TO;

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace

FolderWatcher::FolderWatcher(const std::string& directory, int subtreeLevels, std::atomic<int>* flag)
    : directory_(directory), subtreeLevels_(subtreeLevels), flag_(flag) {
  inotifyFd_ = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
  if (inotifyFd_ < 0) {
    createError_ = std::strerror(errno);
    return;
  }
  stopFd_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (stopFd_ < 0) {
    createError_ = std::strerror(errno);
    return;
  }
  const int wd = inotify_add_watch(inotifyFd_, directory_.c_str(), kWriteEvents | IN_ONLYDIR | IN_MOVE_SELF);
  if (wd < 0) {
    createError_ = std::strerror(errno);
    return;
  }
  watched_[wd] = {directory_, 0};
  rootWatch_ = wd;
  if (subtreeLevels_ > 0) addTree(directory_, 0);
  ok_ = true;
  Resume();
}

FolderWatcher::~FolderWatcher() {
  Kill();
  if (inotifyFd_ >= 0) close(inotifyFd_);
  if (stopFd_ >= 0) close(stopFd_);
}

// Adds watches on the sub-folders of `path` (itself at `level`) that lie within
// the watched depth. A folder that cannot be watched is skipped: its writes go
// unnoticed but the rest of the tree still works.
void FolderWatcher::addTree(const std::string& path, int level) {
  if (level >= subtreeLevels_) return;
  DIR* dir = opendir(path.c_str());
  if (!dir) return;
  while (const dirent* entry = readdir(dir)) {
    if (entry->d_name[0] == '.') continue;  // ".", ".." and hidden folders
    const std::string child = path + "/" + entry->d_name;
    if (entry->d_type != DT_DIR && !(entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK)) continue;
    if (!isDirectory(child)) continue;
    const int wd = inotify_add_watch(inotifyFd_, child.c_str(), kWriteEvents | IN_ONLYDIR);
    if (wd < 0) continue;
    watched_[wd] = {child, level + 1};
    addTree(child, level + 1);
  }
  closedir(dir);
}

bool FolderWatcher::drainEvents(int* readError) {
  alignas(inotify_event) char buffer[16384];
  bool changed = false;
  for (;;) {
    const ssize_t got = read(inotifyFd_, buffer, sizeof buffer);
    if (got < 0) {
      if (errno == EINTR) continue;
      if (errno != EAGAIN) *readError = errno;
      return changed;
    }
    if (got == 0) return changed;
    for (ssize_t at = 0; at + static_cast<ssize_t>(sizeof(inotify_event)) <= got;) {
      const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
      at += sizeof(inotify_event) + event->len;
      if (event->mask & IN_Q_OVERFLOW) {
        // Events were lost: something changed, we cannot say what.
        changed = true;
        continue;
      }
      if (event->mask & (IN_IGNORED | IN_MOVE_SELF)) {
        if (event->mask & IN_IGNORED) watched_.erase(event->wd);
        if (event->wd == rootWatch_) {
          // The folder itself was deleted or replaced: no more notifications
          // can come, so the owner must look for itself from now on.
          lost_.store(true);
          changed = true;
        }
        continue;
      }
      if (event->mask & kWriteEvents) changed = true;
      const bool newFolder = (event->mask & IN_ISDIR) && (event->mask & (IN_CREATE | IN_MOVED_TO));
      if (newFolder && event->len > 0 && event->name[0] != '.') {
        const auto parent = watched_.find(event->wd);
        if (parent != watched_.end() && parent->second.second < subtreeLevels_) {
          const std::string child = parent->second.first + "/" + event->name;
          const int wd = inotify_add_watch(inotifyFd_, child.c_str(), kWriteEvents | IN_ONLYDIR);
          if (wd >= 0) {
            watched_[wd] = {child, parent->second.second + 1};
            addTree(child, parent->second.second + 1);
          }
        }
      }
    }
  }
}

void FolderWatcher::LoopThread() {
  pollfd fds[2] = {{inotifyFd_, POLLIN, 0}, {stopFd_, POLLIN, 0}};
  for (;;) {
    const int ready = poll(fds, 2, -1);
    if (ready < 0) {
      if (errno == EINTR) continue;
      fail(errno);
      return;
    }
    if (fds[1].revents) return;
    if (IsDying()) return;
    if (fds[0].revents & (POLLERR | POLLNVAL)) {
      fail(EIO);
      return;
    }
    int readError = 0;
    const bool changed = drainEvents(&readError);
    if (IsDying()) return;
    if (changed) flag_->store(1);
    if (lost_.load()) return;
    if (readError) {
      fail(readError);
      return;
    }
  }
}

void FolderWatcher::FlushThread() {
  if (stopFd_ < 0) return;
  const uint64_t one = 1;
  ssize_t ignored = write(stopFd_, &one, sizeof one);
  (void)ignored;
}

void FolderWatcher::fail(int error) {
  char text[256];
  const char* described = strerror_r(error, text, sizeof text);
  std::lock_guard<std::mutex> lock(failureMutex_);
  failureText_ = described;
  failed_.store(true);
}

bool FolderWatcher::takeFailure(std::string* systemText) {
  if (!failed_.load()) return false;
  std::lock_guard<std::mutex> lock(failureMutex_);
  if (failureTaken_) return false;
  failureTaken_ = true;
  *systemText = failureText_;
  return true;
}
