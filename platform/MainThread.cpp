#include "platform/MainThread.h"

#include <chrono>
#include <condition_variable>
#include <exception>
#include <mutex>

#include "platform/ThreadHalt.h"

namespace quellion {
namespace {

struct HandOff {
  std::mutex mutex;
  std::condition_variable done;
  bool finished = false;
  bool cancelled = false;
  std::exception_ptr error;
};

}  // namespace

void TMainThreadDispatcher::RunAndWait(const std::function<void()>& fn) {
  if (IsMainThread()) {
    fn();
    return;
  }
  auto handOff = std::make_shared<HandOff>();
  Post([handOff, fn] {
    {
      std::lock_guard lock(handOff->mutex);
      if (handOff->cancelled)
        return;
    }
    std::exception_ptr error;
    try {
      fn();
    } catch (...) {
      error = std::current_exception();
    }
    // Hand over the only reference: the worker must be the one that frees the exception.
    std::lock_guard lock(handOff->mutex);
    handOff->error = std::move(error);
    handOff->finished = true;
    handOff->done.notify_all();
  });
  std::unique_lock lock(handOff->mutex);
  while (!handOff->finished) {
    handOff->done.wait_for(lock, std::chrono::milliseconds(20));
    if (!handOff->finished && WouldPark()) {
      // Make sure fn never runs for a thread that is going away, then park.
      handOff->cancelled = true;
      lock.unlock();
      SafePoint();
    }
  }
  // Take the error out under the lock, so the main thread's copy is released first.
  std::exception_ptr error = std::move(handOff->error);
  lock.unlock();
  if (error)
    std::rethrow_exception(error);
}

TQueueMainThread::TQueueMainThread() {
  endpoint_ = std::make_unique<TMessageEndpoint>([](TMessage& message) {
    if (message.Payload)
      message.Payload();
  });
  queue_ = endpoint_->SharedQueue();
  endpointId_ = endpoint_->Id();
}

TQueueMainThread::~TQueueMainThread() = default;

void TQueueMainThread::Post(std::function<void()> fn) {
  TMessage message;
  message.Target = endpointId_;
  message.Payload = std::move(fn);
  queue_->Post(std::move(message));
}

bool TQueueMainThread::PumpUntil(const std::function<bool()>& pred, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  auto& queue = TThreadQueue::Current();
  while (!pred()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                          deadline - std::chrono::steady_clock::now())
                          .count();
    if (left <= 0)
      return pred();
    queue.WaitForWork(static_cast<int>(std::min<long>(left, 50)));
    queue.Pump();
  }
  return true;
}

}  // namespace quellion
