// Waits on inotify for writes below one directory and raises a flag byte in
// the owning watch. The thread only ever stores 1 into the flag; the main
// thread reads it and clears it.
#pragma once

#include <atomic>
#include <map>
#include <mutex>
#include <string>

#include "services/ActiveObject.h"

class FolderWatcher final : public ActiveObject {
 public:
  // subtreeLevels: 0 watches the directory alone; n also watches sub-folders
  // down to n levels below it (folders whose name starts with '.' are skipped),
  // including folders made while watching.
  FolderWatcher(const std::string& directory, int subtreeLevels, std::atomic<int>* flag);
  ~FolderWatcher() override;

  // false when the notification could not be set up; createError() says why.
  bool ok() const { return ok_; }
  const std::string& createError() const { return createError_; }

  // When the thread stopped on a system failure: its description, once.
  bool takeFailure(std::string* systemText);
  // Whether notifications have stopped: the thread failed, or the folder was
  // deleted or moved away. The watch must poll instead.
  bool failed() const { return failed_.load() || lost_.load(); }

 protected:
  void InitThread() override {}
  void LoopThread() override;
  void FlushThread() override;

 private:
  void addTree(const std::string& path, int level);
  // Reads every queued event; true when one of them counts as a change.
  bool drainEvents(int* readError);
  void fail(int error);

  std::string directory_;
  int subtreeLevels_;
  std::atomic<int>* flag_;
  int inotifyFd_ = -1;
  int stopFd_ = -1;
  bool ok_ = false;
  std::string createError_;
  // Watch descriptor to (path, level); touched by the constructor before the
  // thread starts and by the thread afterwards.
  std::map<int, std::pair<std::string, int>> watched_;

  int rootWatch_ = -1;
  std::atomic<bool> failed_{false};
  std::atomic<bool> lost_{false};
  std::mutex failureMutex_;
  std::string failureText_;
  bool failureTaken_ = false;
};
