#pragma once

#include <chrono>
#include <functional>
#include <thread>

#include "platform/ThreadQueue.h"

namespace quellion::test {

// Pumps the calling thread's queue until pred() holds or timeoutMs passes.
inline bool WaitFor(const std::function<bool()>& pred, int timeoutMs = 5000) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto& queue = TThreadQueue::Current();
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= deadline)
      return pred();
    queue.WaitForWork(10);
    queue.Pump();
  }
  return true;
}

// Pumps the calling thread's queue for ms milliseconds: lets whatever is due arrive
// (or shows that nothing does) where no condition marks the end of the wait.
inline void PumpFor(int ms) {
  WaitFor([] { return false; }, ms);
}

}  // namespace quellion::test
