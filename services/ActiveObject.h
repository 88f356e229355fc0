// A thread owned by an object. The thread is created suspended and started by
// the derived class once its own construction is complete (Resume), so the
// thread never sees a half-built object. Kill asks it to stop and waits for it.
#pragma once

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

class ActiveObject {
 public:
  virtual ~ActiveObject();

  ActiveObject(const ActiveObject&) = delete;
  ActiveObject& operator=(const ActiveObject&) = delete;

  // Raises the dying counter, wakes the thread (FlushThread) and waits at most
  // 2000 ms for it to end. Derived destructors call it first, while their
  // members still exist. Safe to call more than once.
  void Kill();

 protected:
  ActiveObject() = default;
  void Resume();
  bool IsDying() const { return dying_.load() != 0; }

  virtual void InitThread() = 0;
  virtual void LoopThread() = 0;
  virtual void FlushThread() = 0;

 private:
  void Run();

  std::atomic<int> dying_{0};
  std::thread thread_;
  std::mutex endMutex_;
  std::condition_variable endSignal_;
  bool ended_ = false;
};
