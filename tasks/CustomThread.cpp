#include "tasks/CustomThread.h"

#include <exception>
#include <utility>

#include "platform/Exception.h"
#include "platform/TextUtil.h"
#include "tasks/ThreadPriority.h"

namespace quellion {

std::string TThreadControl::ErrorMessage() const {
  std::lock_guard lock(mutex_);
  return errorMessage_;
}

void TThreadControl::SetErrorMessage(std::string message) {
  std::lock_guard lock(mutex_);
  errorMessage_ = std::move(message);
}

TThreadPriority TThreadControl::Priority() const {
  std::lock_guard lock(mutex_);
  return priority_;
}

void TThreadControl::SetPriority(TThreadPriority priority) {
  std::lock_guard lock(mutex_);
  priority_ = priority;
  // Only while the thread is inside its body: after that its id may belong to another.
  if (alive_)
    ApplyThreadPriority(ThreadID(), priority);
}

void TThreadControl::Resume() {
  std::lock_guard lock(mutex_);
  resumePending_ = true;
  everResumed_ = true;
  changed_.notify_all();
}

void TThreadControl::WaitUntilResumed() {
  std::unique_lock lock(mutex_);
  changed_.wait(lock, [this] { return resumePending_; });
  resumePending_ = false;
}

TCustomThread::TCustomThread(TThreadPriority priority, ThreadId notifyThreadId, std::string name,
                             TThreadMethod method)
    : notifyThreadId_(notifyThreadId),
      createdSuspended_(notifyThreadId == 0),
      name_(std::move(name)),
      control_(std::make_shared<TThreadControl>()) {
  control_->priority_ = priority;
  // A task thread counts as running from its creation, so it is never collected
  // before its method has begun.
  control_->SetRunning(!createdSuspended_);
  thread_ = std::thread(&TCustomThread::Body, control_, notifyThreadId_, createdSuspended_,
                        std::move(method));
  std::unique_lock lock(control_->mutex_);
  control_->changed_.wait(lock, [this] { return control_->started_; });
}

TCustomThread::~TCustomThread() {
  if (!thread_.joinable())
    return;
  bool abandon = false;
  if (createdSuspended_) {
    std::lock_guard lock(control_->mutex_);
    if (!control_->everResumed_) {
      abandon = true;
      control_->abandoned_ = true;
      control_->resumePending_ = true;
      control_->changed_.notify_all();
    }
  }
  const bool ending = control_->methodEnded_.load(std::memory_order_acquire);
  if (abandon || (ending && !control_->HaltRequested()))
    thread_.join();
  else
    thread_.detach();
}

void TCustomThread::Join() {
  if (thread_.joinable())
    thread_.join();
}

void TCustomThread::Body(std::shared_ptr<TThreadControl> control, ThreadId notifyThreadId,
                         bool createdSuspended, TThreadMethod method) {
  BindHaltToken(control->haltToken_);
  const ThreadId self = CurrentThreadId();
  {
    std::lock_guard lock(control->mutex_);
    control->threadId_.store(self, std::memory_order_release);
    ApplyThreadPriority(self, control->priority_);
    control->started_ = true;
    control->alive_ = true;
    control->changed_.notify_all();
  }
  bool run = true;
  if (createdSuspended) {
    control->WaitUntilResumed();
    std::lock_guard lock(control->mutex_);
    run = !control->abandoned_;
  }

  std::string error;
  if (run && method) {
    try {
      method();
    } catch (const EException& e) {
      error = e.Message;
    } catch (const std::exception& e) {
      error = e.what();
    } catch (...) {
      // Left to escape, it would end the whole program.
      error = "Unknown exception";
    }
  }
  // What the method holds goes before the end is signalled.
  method = nullptr;

  if (!error.empty())
    control->SetErrorMessage(std::move(error));
  control->methodEnded_.store(true, std::memory_order_release);
  control->SetRunning(false);
  if (notifyThreadId != 0) {
    // A halted thread's scheduler may be gone; nobody waits for this wake-up then.
    while (!PostThreadMessage(notifyThreadId, WM_USER, 0, 0) && !control->HaltRequested())
      std::this_thread::yield();
  }
  std::lock_guard lock(control->mutex_);
  control->alive_ = false;
}

TCustomThread& TCustomThreadList::Get(int index) const {
  if (index < 0 || index >= Count())
    throw EListError(index);
  return *items_[static_cast<size_t>(index)];
}

TCustomThread* TCustomThreadList::FindByThreadId(ThreadId id) const {
  for (const auto& thread : items_)
    if (thread->ThreadID() == id)
      return thread.get();
  return nullptr;
}

int TCustomThreadList::IndexOfName(const std::string& name) const {
  for (int i = 0; i < Count(); ++i)
    if (SameTextAscii(items_[static_cast<size_t>(i)]->Name(), name))
      return i;
  return -1;
}

void TCustomThreadList::Add(std::unique_ptr<TCustomThread> thread) {
  items_.push_back(std::move(thread));
}

std::unique_ptr<TCustomThread> TCustomThreadList::Extract(int index) {
  Get(index);  // range check
  auto it = items_.begin() + index;
  auto thread = std::move(*it);
  items_.erase(it);
  return thread;
}

std::vector<std::unique_ptr<TCustomThread>> TCustomThreadList::ExtractAll() {
  return std::exchange(items_, {});
}

}  // namespace quellion
