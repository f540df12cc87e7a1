#pragma once

#include <mutex>

namespace quellion {

// The task runner's caller lock: re-entrant, entered and left only by callers (a
// thread may enter it again while holding it and leaves it as often as it entered).
// A thread never parks while holding it, so a halted task cannot leave it held; a
// halted thread parks just before entering it and just after leaving it for the last
// time. Also usable with std::lock_guard / std::unique_lock.
//
// Share it (TMultiTasker::CallerLock) with code that may still run after the task
// runner has gone, such as a task halted at shutdown.
class TCallerLock {
 public:
  void Lock();
  void Unlock();

  void lock() { Lock(); }
  void unlock() { Unlock(); }

 private:
  std::recursive_mutex mutex_;
};

}  // namespace quellion
