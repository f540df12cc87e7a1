#pragma once

#include <memory>
#include <string>
#include <vector>

#include "platform/MainThread.h"
#include "tasks/CallerLock.h"
#include "tasks/TaskEvent.h"
#include "tasks/TaskTypes.h"

namespace quellion {

class TCustomThread;

// Runs named tasks, each on a fresh worker thread, at most MaxSimultaneousTask at a
// time; further tasks wait first-in, first-out. A scheduler thread launches queued
// tasks, collects ended ones and delivers the notifications on the main thread, one
// at a time, waiting for each.
//
// Rules:
//  - Create and destroy it on the main thread (the dispatcher's); StartTask, the
//    setters and PauseAll are meant for the main thread too, and every notification
//    handler runs there.
//  - Destruction never waits for a task method: running tasks are halted (they park
//    for good at their next safe point, see platform/ThreadHalt.h) and detached;
//    queued tasks never run, and no notification is delivered afterwards. What a
//    halted task uses must outlive it: share it with the task (shared ownership),
//    including the caller lock (CallerLock()).
//  - A notification handler that throws is cut short; the scheduler goes on.
class TMultiTasker {
 public:
  // mainThread must outlive this object; it need not outlive halted tasks.
  explicit TMultiTasker(TMainThreadDispatcher& mainThread, std::string name = "MultiTasker1");
  ~TMultiTasker();
  TMultiTasker(const TMultiTasker&) = delete;
  TMultiTasker& operator=(const TMultiTasker&) = delete;

  // Queues a task and returns at once with the name it was queued under. The short
  // form uses DefaultPriority and a generated name ("1", "2", ...). An empty name gets
  // a generated one; a name longer than 255 characters is cut. Raises EException when
  // a running task has the name (ASCII letter case ignored) or it is reserved
  // ("MULTITASKER", "UNKNOWN", "MAIN").
  std::string StartTask(TThreadMethod method);
  std::string StartTask(TThreadPriority priority, std::string name, TThreadMethod method);
  // Queues several tasks (short form each) in one step under the list lock, so the
  // scheduler never sees the group half queued: a busy period, and OnAllTaskFinished,
  // never ends between them. Returns their names in order.
  std::vector<std::string> StartTasks(std::vector<TThreadMethod> methods);

  // The caller lock; the component itself never takes it.
  void Lock();
  void Unlock();
  std::shared_ptr<TCallerLock> CallerLock() const { return callerLock_; }

  // Runs method on the main thread: directly there; from the scheduler or a running
  // task, handed over and waited for (what it throws is thrown again here); from any
  // other thread, directly on that thread. A task halted at shutdown parks here instead;
  // like every member, it must not be called once the component is gone.
  void Synchronize(const TThreadMethod& method);

  // Halts every running task, then the scheduler. Nothing resumes them. Raises
  // EException when the scheduler is not busy; does nothing when already paused.
  void PauseAll();

  bool Running() const;
  bool Paused() const;

  int MaxSimultaneousTask() const;
  // Raises EException while busy (the old value stays); 0 and less store 1.
  void SetMaxSimultaneousTask(int value);
  TThreadPriority DefaultPriority() const;
  // Running tasks at the old default move to the new one; others and queued ones keep
  // theirs.
  void SetDefaultPriority(TThreadPriority priority);

  // Meaningful only inside a notification handler; empty otherwise.
  std::string TaskName() const;
  std::string ErrorMessage() const;

  const std::string& Name() const;

  // Internal: what the component shares with its scheduler thread.
  struct TState;

 private:
  // Both under the list lock: queue one request (StartTask's checks), then wake the
  // scheduler.
  std::string QueueLocked(TThreadPriority priority, std::string name, TThreadMethod method);
  void WakeSchedulerLocked();

  const std::shared_ptr<TState> state_;
  const std::shared_ptr<TCallerLock> callerLock_;
  std::unique_ptr<TCustomThread> schedulerThread_;

 public:
  // Notifications, delivered on the main thread. TaskName is the task's name, or
  // during OnAllTaskFinished the component's Name. They live in the shared state, as
  // the scheduler thread reads them.
  TTaskEvent& OnError;
  TTaskEvent& OnTaskLaunched;
  TTaskEvent& OnTaskFinished;
  TTaskEvent& OnAllTaskFinished;
};

}  // namespace quellion
