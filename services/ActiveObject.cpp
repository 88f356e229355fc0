#include "services/ActiveObject.h"

#include <chrono>

// Derived classes call Kill in their own destructors (FlushThread is theirs);
// by now the thread has ended, or was left behind by Kill.
ActiveObject::~ActiveObject() {
  if (thread_.joinable()) thread_.detach();
}

void ActiveObject::Resume() {
  if (!thread_.joinable()) thread_ = std::thread(&ActiveObject::Run, this);
}

void ActiveObject::Run() {
  InitThread();
  LoopThread();
  std::lock_guard<std::mutex> lock(endMutex_);
  ended_ = true;
  endSignal_.notify_all();
}

void ActiveObject::Kill() {
  if (!thread_.joinable()) return;
  ++dying_;
  FlushThread();
  std::unique_lock<std::mutex> lock(endMutex_);
  const bool ended = endSignal_.wait_for(lock, std::chrono::milliseconds(2000), [this] { return ended_; });
  lock.unlock();
  // A thread that did not end in time is left behind rather than hanging the
  // caller; the watcher's loop always wakes on FlushThread, so this is a guard.
  if (ended)
    thread_.join();
  else
    thread_.detach();
}
