#pragma once

#include <mutex>

#include "tasks/TaskTypes.h"

namespace quellion {

// A notification property of the task runner. Assigned on any thread at any time
// (the scheduler thread reads it concurrently); an empty one is skipped.
//   tasker.OnAllTaskFinished = [this] { MultiTasker1AllTaskFinished(); };
class TTaskEvent {
 public:
  TTaskEvent() = default;
  TTaskEvent(const TTaskEvent&) = delete;
  TTaskEvent& operator=(const TTaskEvent&) = delete;

  TTaskEvent& operator=(TThreadMethod handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::move(handler);
    return *this;
  }
  explicit operator bool() const {
    std::lock_guard lock(mutex_);
    return static_cast<bool>(handler_);
  }
  // A copy of the current handler (empty when unassigned).
  TThreadMethod Get() const {
    std::lock_guard lock(mutex_);
    return handler_;
  }

 private:
  mutable std::mutex mutex_;
  TThreadMethod handler_;
};

}  // namespace quellion
