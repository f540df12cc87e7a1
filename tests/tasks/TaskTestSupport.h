#pragma once

#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ThreadHalt.h"
#include "tasks/MultiTasker.h"
#include "tests/support/WaitFor.h"

namespace quellion::test {

// Per-task flags that tasks and the test share. Tasks hold it by shared_ptr, so a task
// halted at shutdown never touches the test's stack.
struct TTaskFlags {
  static constexpr int kCount = 8;
  std::array<std::atomic<bool>, kCount> began{};
  std::array<std::atomic<bool>, kCount> open{};
  std::array<std::atomic<bool>, kCount> done{};
  std::atomic<int> launchedAtOnce{0}, runningNow{0};
};

// A task that waits (in safe points) until open[i], then ends.
inline TThreadMethod Gated(std::shared_ptr<TTaskFlags> flags, int i) {
  return [flags, i] {
    flags->began[i] = true;
    const int now = ++flags->runningNow;
    int seen = flags->launchedAtOnce.load();
    while (now > seen && !flags->launchedAtOnce.compare_exchange_weak(seen, now)) {
    }
    while (!flags->open[i])
      Sleep(1);
    --flags->runningNow;
    flags->done[i] = true;
  };
}

// Aborts the test program when a step that must finish (a destruction) hangs.
class TWatchdog {
 public:
  explicit TWatchdog(int ms, const char* what) {
    thread_ = std::thread([this, ms, what] {
      std::unique_lock lock(mutex_);
      if (!changed_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return done_; })) {
        std::fprintf(stderr, "hung: %s\n", what);
        std::abort();
      }
    });
  }
  ~TWatchdog() {
    {
      std::lock_guard lock(mutex_);
      done_ = true;
    }
    changed_.notify_all();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable changed_;
  bool done_ = false;
  std::thread thread_;
};

// Records every notification as "<kind>:<TaskName>:<ErrorMessage>", read inside the
// handler. Handlers run on the main thread only, which also reads the log.
inline void Record(TMultiTasker& tasker, std::vector<std::string>& log) {
  auto entry = [&tasker, &log](const char* kind) {
    return [&tasker, &log, kind] {
      log.push_back(std::string(kind) + ":" + tasker.TaskName() + ":" + tasker.ErrorMessage());
    };
  };
  tasker.OnError = entry("E");
  tasker.OnTaskLaunched = entry("L");
  tasker.OnTaskFinished = entry("F");
  tasker.OnAllTaskFinished = entry("A");
}

inline bool Contains(const std::vector<std::string>& log, const std::string& entry) {
  for (const auto& e : log)
    if (e == entry)
      return true;
  return false;
}

}  // namespace quellion::test
