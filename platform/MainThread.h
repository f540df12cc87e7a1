#pragma once

#include <functional>
#include <memory>
#include <thread>

#include "platform/ThreadQueue.h"

namespace quellion {

// The one crossing into the main (GUI) thread. The core hands work to the main
// thread only through this interface; the Qt front-end implements Post with a
// queued invocation on the GUI thread, the CLI and the tests with TQueueMainThread.
class TMainThreadDispatcher {
 public:
  virtual ~TMainThreadDispatcher() = default;

  // The main thread is the thread that created the dispatcher.
  bool IsMainThread() const { return std::this_thread::get_id() == mainThread_; }

  // Runs fn on the main thread and waits until it has run; an exception thrown by
  // fn is thrown again here. Called on the main thread it runs fn directly. The wait
  // is a safe point: a thread halted while waiting parks, and fn is then never run.
  void RunAndWait(const std::function<void()>& fn);

  // Runs fn on the main thread later. Thread-safe. Calls still pending when the
  // dispatcher goes away are dropped.
  virtual void Post(std::function<void()> fn) = 0;

 protected:
  TMainThreadDispatcher() : mainThread_(std::this_thread::get_id()) {}

 private:
  const std::thread::id mainThread_;
};

// Dispatcher for the CLI and the tests: posted calls run when the main thread pumps
// its own TThreadQueue (TThreadQueue::Current().Pump()).
class TQueueMainThread final : public TMainThreadDispatcher {
 public:
  TQueueMainThread();
  ~TQueueMainThread() override;

  void Post(std::function<void()> fn) override;

  // Convenience for the main thread: pump until pred() holds or timeoutMs passes.
  bool PumpUntil(const std::function<bool()>& pred, int timeoutMs);

 private:
  std::unique_ptr<TMessageEndpoint> endpoint_;
  std::shared_ptr<TThreadQueue> queue_;
  uint64_t endpointId_;
};

}  // namespace quellion
