#pragma once

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"
#include "tasks/TaskTypes.h"

namespace quellion {

// What a thread and its TCustomThread object share. The thread keeps it alive, so
// the object may be destroyed while the thread still runs (a halted thread is
// detached, never joined).
class TThreadControl {
 public:
  bool Running() const { return running_.load(std::memory_order_acquire); }
  void SetRunning(bool running) { running_.store(running, std::memory_order_release); }

  std::string ErrorMessage() const;
  void SetErrorMessage(std::string message);

  // The kernel thread id; known once the TCustomThread constructor has returned.
  ThreadId ThreadID() const { return threadId_.load(std::memory_order_acquire); }

  // The logical priority: what the thread was created with or last set to, whether or
  // not the kernel accepted the matching nice value.
  TThreadPriority Priority() const;
  void SetPriority(TThreadPriority priority);

  // Start gate. A thread created suspended waits for the first Resume; the scheduler
  // later "suspends itself" by waiting here again. A Resume that comes before the wait
  // is kept, so it is never lost.
  void Resume();
  void WaitUntilResumed();

  // The stand-in for suspending the thread from outside: it parks for good at its next
  // safe point.
  void Halt() { haltToken_->RequestHalt(); }
  bool HaltRequested() const { return haltToken_->HaltRequested(); }

 private:
  friend class TCustomThread;

  std::atomic<bool> running_{false};
  std::atomic<ThreadId> threadId_{0};
  std::atomic<bool> methodEnded_{false};
  const std::shared_ptr<THaltToken> haltToken_ = std::make_shared<THaltToken>();

  mutable std::mutex mutex_;  // guards everything below
  std::condition_variable changed_;
  std::string errorMessage_;
  TThreadPriority priority_ = tpNormal;
  bool started_ = false;  // the thread has published its id
  bool alive_ = false;    // the thread is inside its body: its id is not reused yet
  bool resumePending_ = false;
  bool everResumed_ = false;
  bool abandoned_ = false;  // destroyed before it was ever resumed
};

// A worker thread that runs one method once and ends; threads are never reused.
// Body: run the method, catching what it throws into ErrorMessage; then clear Running
// and post the wake-up message (WM_USER) to NotifyThreadId unless that is 0.
class TCustomThread {
 public:
  // A thread with notifyThreadId 0 is created suspended (Resume starts it); any other
  // starts at once. Either way its id is known when the constructor returns.
  TCustomThread(TThreadPriority priority, ThreadId notifyThreadId, std::string name,
                TThreadMethod method);
  // Joins a thread whose method has ended (the thread is just finishing); detaches a
  // halted or still running one, without waiting for its method. A thread created
  // suspended and never resumed ends without running its method.
  ~TCustomThread();
  TCustomThread(const TCustomThread&) = delete;
  TCustomThread& operator=(const TCustomThread&) = delete;

  bool Running() const { return control_->Running(); }
  void SetRunning(bool running) { control_->SetRunning(running); }
  ThreadId NotifyThreadId() const { return notifyThreadId_; }
  const std::string& Name() const { return name_; }
  std::string ErrorMessage() const { return control_->ErrorMessage(); }
  void ClearErrorMessage() { control_->SetErrorMessage({}); }
  ThreadId ThreadID() const { return control_->ThreadID(); }
  TThreadPriority Priority() const { return control_->Priority(); }
  void SetPriority(TThreadPriority priority) { control_->SetPriority(priority); }

  void Resume() { control_->Resume(); }
  void Suspend() { control_->Halt(); }
  // Waits until the thread has ended. Only for a thread known to be ending.
  void Join();

  const std::shared_ptr<TThreadControl>& Control() const { return control_; }

 private:
  static void Body(std::shared_ptr<TThreadControl> control, ThreadId notifyThreadId,
                   bool createdSuspended, TThreadMethod method);

  const ThreadId notifyThreadId_;
  const bool createdSuspended_;
  const std::string name_;
  const std::shared_ptr<TThreadControl> control_;
  std::thread thread_;
};

// The running list: threads in launch order.
class TCustomThreadList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  bool Empty() const { return items_.empty(); }
  // Raises EListError for a position out of range.
  TCustomThread& Get(int index) const;
  // The first thread with this kernel thread id, or nullptr.
  TCustomThread* FindByThreadId(ThreadId id) const;
  // Position of the first thread with this name, ignoring the case of ASCII letters; -1
  // when there is none.
  int IndexOfName(const std::string& name) const;

  void Add(std::unique_ptr<TCustomThread> thread);
  std::unique_ptr<TCustomThread> Extract(int index);
  std::vector<std::unique_ptr<TCustomThread>> ExtractAll();

 private:
  std::vector<std::unique_ptr<TCustomThread>> items_;
};

}  // namespace quellion
