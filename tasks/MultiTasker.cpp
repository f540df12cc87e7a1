#include "tasks/MultiTasker.h"

#include <atomic>
#include <deque>
#include <exception>
#include <mutex>
#include <system_error>

#include "platform/Exception.h"
#include "platform/TextUtil.h"
#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"
#include "tasks/CustomThread.h"

namespace quellion {
namespace {

constexpr size_t kMaxNameLength = 255;

std::string Cut(std::string text) {
  if (text.size() > kMaxNameLength)
    text.resize(kMaxNameLength);
  return text;
}

bool IsReservedName(const std::string& name) {
  return SameTextAscii(name, "MULTITASKER") || SameTextAscii(name, "UNKNOWN") ||
         SameTextAscii(name, "MAIN");
}

// Forwards to the program's dispatcher until the task runner is destroyed, then drops
// what is posted (a halted waiter parks), so threads that outlive the component never
// touch a dispatcher that may be gone.
class TDispatchProxy final : public TMainThreadDispatcher {
 public:
  explicit TDispatchProxy(TMainThreadDispatcher& target) : target_(&target) {}

  void Post(std::function<void()> fn) override {
    std::lock_guard lock(mutex_);
    if (target_)
      target_->Post(std::move(fn));
  }
  void Detach() {
    std::lock_guard lock(mutex_);
    target_ = nullptr;
  }

 private:
  std::mutex mutex_;
  TMainThreadDispatcher* target_;
};

struct TTaskRequest {
  TThreadMethod method;
  TThreadPriority priority;
  std::string name;
};

struct TTaskNotification {
  TThreadMethod handler;
  std::string errorMessage;
  std::string taskName;
};

}  // namespace

// Everything the scheduler thread touches. It holds a reference, so this outlives the
// component while a halted scheduler is still on its way to parking.
struct TMultiTasker::TState {
  TState(TMainThreadDispatcher& mainThread, std::string ownName)
      : dispatch(mainThread), name(std::move(ownName)) {}

  bool Stopping() const { return destroyed.load() || paused.load(); }

  void SetHandlerText(std::string task, std::string error) {
    std::lock_guard lock(handlerTextMutex);
    taskName = std::move(task);
    errorMessage = std::move(error);
  }

  TDispatchProxy dispatch;
  const std::string name;

  // The list lock guards the lists, the counters and the properties below it.
  std::mutex listMutex;
  TCustomThreadList running;
  std::deque<TTaskRequest> requests;
  std::deque<TTaskNotification> notifications;
  int maxSimultaneousTask = 3;
  TThreadPriority defaultPriority = tpNormal;
  int nextTaskNumber = 1;

  // Set by the constructor before the scheduler first runs. The scheduler's Running
  // flag is the component's "busy".
  std::shared_ptr<TThreadControl> scheduler;
  ThreadId schedulerId = 0;

  std::atomic<bool> paused{false};
  std::atomic<bool> destroyed{false};

  TTaskEvent onError, onTaskLaunched, onTaskFinished, onAllTaskFinished;

  std::mutex handlerTextMutex;
  std::string taskName, errorMessage;
};

namespace {

using TState = TMultiTasker::TState;

// The list lock, held without ever parking: a halted scheduler or task parks only
// after leaving it.
class TListGuard {
 public:
  explicit TListGuard(TState& state) : lock_(state.listMutex) {}

 private:
  TNoParkScope noPark_;  // opened before the lock is taken, closed after it is left
  std::unique_lock<std::mutex> lock_;
};

void Queue(TState& state, const TTaskEvent& event, const std::string& taskName,
           const std::string& errorMessage) {
  TThreadMethod handler = event.Get();
  if (!handler)
    return;
  TListGuard guard(state);
  state.notifications.push_back({std::move(handler), Cut(errorMessage), Cut(taskName)});
}

// Runs the queued notifications on the main thread, one at a time, each waited for.
void Deliver(const std::shared_ptr<TState>& shared) {
  TState& state = *shared;
  for (;;) {
    TTaskNotification notification;
    {
      TListGuard guard(state);
      if (state.Stopping() || state.notifications.empty())
        return;
      notification = std::move(state.notifications.front());
      state.notifications.pop_front();
    }
    try {
      state.dispatch.RunAndWait([shared, notification] {
        // The component may have been paused or destroyed since this was posted.
        if (shared->Stopping())
          return;
        struct TClearText {
          TState& state;
          ~TClearText() { state.SetHandlerText({}, {}); }
        } clear{*shared};
        shared->SetHandlerText(notification.taskName, notification.errorMessage);
        try {
          notification.handler();
        } catch (...) {
          // A handler that throws is only cut short; the exception stays on the main
          // thread.
        }
      });
    } catch (...) {
      // The hand-over itself failed (out of memory): this notification is lost.
    }
  }
}

// Step "collect": ended tasks, from the most recently launched to the earliest.
// Returns false when the scheduler must stop.
bool Collect(const std::shared_ptr<TState>& shared) {
  TState& state = *shared;
  int index;
  {
    TListGuard guard(state);
    if (state.Stopping())
      return false;
    index = state.running.Count() - 1;
  }
  for (; index >= 0; --index) {
    std::string name, error;
    {
      TListGuard guard(state);
      if (state.Stopping())
        return false;
      const TCustomThread& thread = state.running.Get(index);
      if (thread.Running())
        continue;
      name = thread.Name();
      error = thread.ErrorMessage();
    }
    if (!error.empty()) {
      Queue(state, state.onError, name, error);
      Deliver(shared);
      TListGuard guard(state);
      if (state.Stopping())
        return false;
      state.running.Get(index).ClearErrorMessage();
    }
    Queue(state, state.onTaskFinished, name, {});
    Deliver(shared);
    std::unique_ptr<TCustomThread> ended;
    {
      TListGuard guard(state);
      if (state.Stopping())
        return false;
      ended = state.running.Extract(index);
    }
    ended.reset();  // joins: the method has returned, the thread is ending
  }
  return true;
}

// Step "launch": queued requests while there is room. Returns false when the scheduler
// must stop.
bool Launch(const std::shared_ptr<TState>& shared) {
  TState& state = *shared;
  for (;;) {
    std::string name, failure;
    {
      TListGuard guard(state);
      if (state.Stopping())
        return false;
      if (state.requests.empty() || state.running.Count() >= state.maxSimultaneousTask)
        return true;
      TTaskRequest request = std::move(state.requests.front());
      state.requests.pop_front();
      name = request.name;
      try {
        state.running.Add(std::make_unique<TCustomThread>(request.priority, state.schedulerId,
                                                          request.name, std::move(request.method)));
      } catch (const std::system_error& e) {
        failure = e.what();
      }
    }
    if (!failure.empty()) {
      // No thread to be had: the task ends at once with the reason.
      Queue(state, state.onError, name, "Cannot start the task's thread: " + failure);
      Deliver(shared);
      Queue(state, state.onTaskFinished, name, {});
      Deliver(shared);
      continue;
    }
    Queue(state, state.onTaskLaunched, name, {});
    Deliver(shared);
  }
}

// True when the scheduler must stop, tested under the list lock. The caller parks (or
// ends) only after the lock is left: a scheduler halted with the lock held would block
// every StartTask, and one that ended instead of parking would leave "busy" down while
// Paused is up.
bool MustStop(TState& state) {
  TListGuard guard(state);
  return state.Stopping();
}

// The scheduler thread's method. It first runs when StartTask resumes it; StartTask
// has set the busy flag by then. Every return is outside the list lock; a halted
// scheduler parks at the SafePoint after it (or inside a wait) and stays busy.
void SchedulerLoop(const std::shared_ptr<TState>& shared) {
  TState& state = *shared;
  TThreadQueue& queue = TThreadQueue::Current();
  for (;;) {
    if (MustStop(state))
      return;
    bool idle = false;
    while (!idle) {
      queue.WaitForWork(-1);
      queue.DrainMessages();  // the messages only wake us
      if (!Collect(shared) || !Launch(shared))
        return;
      Deliver(shared);
      TListGuard guard(state);
      if (state.Stopping())
        return;
      // Decided under the list lock, like StartTask's test of "busy", so a request
      // queued at any moment is launched.
      idle = state.running.Empty() && state.requests.empty();
    }
    Queue(state, state.onAllTaskFinished, state.name, {});
    Deliver(shared);
    {
      TListGuard guard(state);
      if (state.Stopping())
        return;
      // A handler may have started tasks while we were still busy.
      if (!state.requests.empty())
        continue;
      state.scheduler->SetRunning(false);
    }
    state.scheduler->WaitUntilResumed();
  }
}

void RunScheduler(const std::shared_ptr<TState>& shared) {
  SchedulerLoop(shared);
  // Leaving: a halted scheduler parks here for good; otherwise (destroyed while idle)
  // the thread ends and is joined.
  SafePoint();
}

}  // namespace

TMultiTasker::TMultiTasker(TMainThreadDispatcher& mainThread, std::string name)
    : state_(std::make_shared<TState>(mainThread, std::move(name))),
      callerLock_(std::make_shared<TCallerLock>()),
      OnError(state_->onError),
      OnTaskLaunched(state_->onTaskLaunched),
      OnTaskFinished(state_->onTaskFinished),
      OnAllTaskFinished(state_->onAllTaskFinished) {
  if (!mainThread.IsMainThread())
    throw EException("The MultiTasker must be created on the main thread");
  schedulerThread_ = std::make_unique<TCustomThread>(tpTimeCritical, 0, "MAIN",
                                                     [shared = state_] { RunScheduler(shared); });
  state_->scheduler = schedulerThread_->Control();
  state_->schedulerId = schedulerThread_->ThreadID();
}

TMultiTasker::~TMultiTasker() {
  TState& state = *state_;
  std::vector<std::unique_ptr<TCustomThread>> tasks;
  bool busy;
  {
    TListGuard guard(state);
    busy = state.scheduler->Running();
    if (busy && !state.paused) {
      state.paused = true;
      for (int i = 0; i < state.running.Count(); ++i)
        state.running.Get(i).Suspend();
      state.scheduler->Halt();
    }
    state.destroyed = true;
    tasks = state.running.ExtractAll();
    state.requests.clear();
    state.notifications.clear();
  }
  for (auto& task : tasks) {
    task->Suspend();
    task.reset();  // detached: never waits for a method
  }
  state.dispatch.Detach();
  if (busy) {
    // Wake it so that it reaches its parking place; its thread is detached.
    PostThreadMessage(state.schedulerId, WM_USER, 0, 0);
    schedulerThread_.reset();
  } else {
    // Idle (or never started): it is waiting to be resumed and ends at once.
    schedulerThread_->Resume();
    schedulerThread_->Join();
    schedulerThread_.reset();
  }
}

std::string TMultiTasker::StartTask(TThreadMethod method) {
  return StartTask(DefaultPriority(), std::string(), std::move(method));
}

std::string TMultiTasker::StartTask(TThreadPriority priority, std::string name,
                                    TThreadMethod method) {
  TListGuard guard(*state_);
  name = QueueLocked(priority, std::move(name), std::move(method));
  WakeSchedulerLocked();
  return name;
}

std::vector<std::string> TMultiTasker::StartTasks(std::vector<TThreadMethod> methods) {
  std::vector<std::string> names;
  if (methods.empty())
    return names;
  names.reserve(methods.size());
  const TThreadPriority priority = DefaultPriority();
  TListGuard guard(*state_);
  try {
    for (auto& method : methods)
      names.push_back(QueueLocked(priority, std::string(), std::move(method)));
  } catch (...) {
    // A generated name taken by a running task: those queued so far still run.
    if (!names.empty())
      WakeSchedulerLocked();
    throw;
  }
  WakeSchedulerLocked();
  return names;
}

std::string TMultiTasker::QueueLocked(TThreadPriority priority, std::string name,
                                      TThreadMethod method) {
  TState& state = *state_;
  if (name.empty())
    name = std::to_string(state.nextTaskNumber);
  // Cut before the tests, so that the name compared is the name that will run.
  name = Cut(std::move(name));
  if (state.running.IndexOfName(name) >= 0)
    throw EException("A task named \"" + name + "\" is already running !");
  if (IsReservedName(name))
    throw EException("The \"" + name +
                     "\" identifier is not a valid identifier (reserved by MultiTasker).");
  state.requests.push_back({std::move(method), priority, name});
  ++state.nextTaskNumber;
  return name;
}

void TMultiTasker::WakeSchedulerLocked() {
  TState& state = *state_;
  if (!state.scheduler->Running()) {
    // "Busy" goes up here, under the list lock, so that no second resume can be lost.
    state.scheduler->SetRunning(true);
    state.scheduler->Resume();
  }
  // Fails only until the scheduler thread has made its queue. A paused scheduler never
  // runs again: the request just stays queued.
  while (!state.paused && !PostThreadMessage(state.schedulerId, WM_USER, 0, 0))
    std::this_thread::yield();
}

void TMultiTasker::Lock() {
  callerLock_->Lock();
}

void TMultiTasker::Unlock() {
  callerLock_->Unlock();
}

void TMultiTasker::Synchronize(const TThreadMethod& method) {
  TState& state = *state_;
  if (state.dispatch.IsMainThread()) {
    method();
    return;
  }
  const ThreadId self = CurrentThreadId();
  bool handOver;
  {
    TListGuard guard(state);
    handOver = self == state.schedulerId || state.running.FindByThreadId(self) != nullptr;
  }
  if (!handOver) {
    // A task halted and dropped from the list by the shutdown lands here too: it parks.
    SafePoint();
    method();
    return;
  }
  // What method throws is kept here, on the caller's side, so the exception is freed
  // by the thread that catches it. The pointer stays valid: RunAndWait returns only
  // after the call has run, or never (a halted caller parks).
  std::exception_ptr error;
  std::exception_ptr* errorSlot = &error;
  state.dispatch.RunAndWait([shared = state_, method, errorSlot] {
    if (shared->Stopping())
      return;
    try {
      method();
    } catch (...) {
      *errorSlot = std::current_exception();
    }
  });
  SafePoint();  // halted meanwhile: go no further
  if (error)
    std::rethrow_exception(error);
}

void TMultiTasker::PauseAll() {
  TState& state = *state_;
  {
    TListGuard guard(state);
    if (!state.scheduler->Running())
      throw EException("There are no task currently running !");
    if (state.paused)
      return;
    state.paused = true;
    for (int i = 0; i < state.running.Count(); ++i)
      state.running.Get(i).Suspend();
    state.scheduler->Halt();
  }
  PostThreadMessage(state.schedulerId, WM_USER, 0, 0);  // so that it parks promptly
}

bool TMultiTasker::Running() const {
  return state_->scheduler->Running();
}

bool TMultiTasker::Paused() const {
  return state_->paused.load();
}

int TMultiTasker::MaxSimultaneousTask() const {
  TListGuard guard(*state_);
  return state_->maxSimultaneousTask;
}

void TMultiTasker::SetMaxSimultaneousTask(int value) {
  TListGuard guard(*state_);
  if (state_->scheduler->Running())
    throw EException("Impossible to modify the MaxTask property while the Tasks are executing !");
  state_->maxSimultaneousTask = value < 1 ? 1 : value;
}

TThreadPriority TMultiTasker::DefaultPriority() const {
  TListGuard guard(*state_);
  return state_->defaultPriority;
}

void TMultiTasker::SetDefaultPriority(TThreadPriority priority) {
  TState& state = *state_;
  TListGuard guard(state);
  const TThreadPriority old = state.defaultPriority;
  for (int i = 0; i < state.running.Count(); ++i) {
    TCustomThread& thread = state.running.Get(i);
    if (thread.Priority() == old)
      thread.SetPriority(priority);
  }
  state.defaultPriority = priority;
}

std::string TMultiTasker::TaskName() const {
  std::lock_guard lock(state_->handlerTextMutex);
  return state_->taskName;
}

std::string TMultiTasker::ErrorMessage() const {
  std::lock_guard lock(state_->handlerTextMutex);
  return state_->errorMessage;
}

const std::string& TMultiTasker::Name() const {
  return state_->name;
}

}  // namespace quellion
