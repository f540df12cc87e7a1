#include "platform/ThreadQueue.h"

#include <sys/eventfd.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <unordered_map>

#include "platform/Exception.h"
#include "platform/ThreadHalt.h"

namespace quellion {
namespace {

// Rounds of one Pump: enough to drain chains of notifications that post each other,
// few enough that a peer flooding a socket cannot keep the thread inside Pump.
constexpr int kMaxPumpRounds = 16;

std::mutex registryMutex;
std::unordered_map<ThreadId, std::weak_ptr<TThreadQueue>>& Registry() {
  static auto* registry = new std::unordered_map<ThreadId, std::weak_ptr<TThreadQueue>>();
  return *registry;  // never destroyed: threads may outlive static destruction
}

std::atomic<uint64_t> nextEndpointId{1};

int64_t NowMs() {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

// Keeps the calling thread's queue alive for the thread's lifetime and removes it
// from the registry when the thread ends.
struct QueueHolder {
  std::shared_ptr<TThreadQueue> queue;
  ~QueueHolder() {
    if (!queue)
      return;
    std::lock_guard lock(registryMutex);
    auto it = Registry().find(queue->Owner());
    if (it != Registry().end() && it->second.lock() == queue)
      Registry().erase(it);
  }
};
thread_local QueueHolder currentQueue;

}  // namespace

ThreadId CurrentThreadId() {
  thread_local const ThreadId id = static_cast<ThreadId>(::syscall(SYS_gettid));
  return id;
}

TThreadQueue::TThreadQueue(ThreadId owner) : owner_(owner) {
  wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (wakeFd_ < 0)
    throw EException(Format("eventfd failed, error #%d", errno));
}

TThreadQueue::~TThreadQueue() {
  if (wakeFd_ >= 0)
    ::close(wakeFd_);
}

TThreadQueue& TThreadQueue::Current() {
  return *CurrentShared();
}

std::shared_ptr<TThreadQueue> TThreadQueue::CurrentShared() {
  if (!currentQueue.queue) {
    const ThreadId id = CurrentThreadId();
    currentQueue.queue.reset(new TThreadQueue(id));
    std::lock_guard lock(registryMutex);
    Registry()[id] = currentQueue.queue;
  }
  return currentQueue.queue;
}

std::shared_ptr<TThreadQueue> TThreadQueue::Find(ThreadId id) {
  std::lock_guard lock(registryMutex);
  auto it = Registry().find(id);
  return it == Registry().end() ? nullptr : it->second.lock();
}

void TThreadQueue::Post(TMessage message) {
  {
    std::lock_guard lock(mutex_);
    messages_.push_back(std::move(message));
  }
  const uint64_t one = 1;
  // A full counter (never in practice) still leaves the descriptor readable.
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
}

size_t TThreadQueue::PendingCount() const {
  std::lock_guard lock(mutex_);
  return messages_.size();
}

void TThreadQueue::ClearWakeup() {
  uint64_t value;
  while (::read(wakeFd_, &value, sizeof value) > 0) {
  }
}

int TThreadQueue::TimerTimeout(int timeoutMs) const {
  if (timers_.empty())
    return timeoutMs;
  int64_t nearest = INT64_MAX;
  for (const auto& [id, timer] : timers_)
    nearest = std::min(nearest, timer.due);
  const int64_t wait = std::max<int64_t>(0, nearest - NowMs());
  if (timeoutMs < 0 || wait < timeoutMs)
    return static_cast<int>(std::min<int64_t>(wait, INT_MAX));
  return timeoutMs;
}

bool TThreadQueue::PollOnce(int timeoutMs, bool dispatch) {
  std::vector<pollfd> fds;
  std::vector<int> ids;
  fds.reserve(watches_.size() + 1);
  fds.push_back({wakeFd_, POLLIN, 0});
  for (const auto& [id, watch] : watches_) {
    if (watch.events == 0)
      continue;
    fds.push_back({watch.fd, watch.events, 0});
    ids.push_back(id);
  }
  int n;
  do {
    n = ::poll(fds.data(), fds.size(), timeoutMs);
  } while (n < 0 && errno == EINTR);
  if (n <= 0)
    return false;
  bool work = (fds[0].revents & POLLIN) != 0;
  for (size_t i = 1; i < fds.size(); ++i) {
    if (fds[i].revents == 0)
      continue;
    work = true;
    if (!dispatch)
      continue;
    // The watch may have been removed or changed by an earlier handler of this round.
    auto it = watches_.find(ids[i - 1]);
    if (it == watches_.end() || it->second.fd != fds[i].fd || it->second.events == 0)
      continue;
    auto handler = it->second.handler;  // keeps the handler alive while it runs
    (*handler)(fds[i].fd, fds[i].revents);
  }
  return work;
}

bool TThreadQueue::RunDueTimers() {
  bool ran = false;
  const int64_t now = NowMs();
  std::vector<int> due;
  for (const auto& [id, timer] : timers_)
    if (timer.due <= now)
      due.push_back(id);
  for (int id : due) {
    auto it = timers_.find(id);
    if (it == timers_.end())
      continue;
    it->second.due = now + it->second.interval;
    auto handler = it->second.handler;
    (*handler)();
    ran = true;
  }
  return ran;
}

bool TThreadQueue::DispatchMessages() {
  std::deque<TMessage> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(messages_);
  }
  ClearWakeup();
  for (size_t i = 0; i < batch.size(); ++i) {
    TMessage& message = batch[i];
    if (message.Target == 0) {
      if (threadMessageHandler_)
        threadMessageHandler_(message);
      continue;
    }
    auto it = endpoints_.find(message.Target);
    if (it == endpoints_.end())
      continue;  // its endpoint is gone: dropped
    auto handler = it->second;
    (*handler)(message);
  }
  return !batch.empty();
}

bool TThreadQueue::WaitForWork(int timeoutMs) {
  SafePoint();
  if (PendingCount() > 0)
    return true;
  const int64_t deadline = timeoutMs < 0 ? -1 : NowMs() + timeoutMs;
  for (;;) {
    int remaining = -1;
    if (deadline >= 0)
      remaining = static_cast<int>(std::max<int64_t>(0, deadline - NowMs()));
    const int wait = TimerTimeout(remaining);
    if (PollOnce(wait, false))
      break;
    if (!timers_.empty() && TimerTimeout(0) == 0)
      break;
    if (deadline >= 0 && NowMs() >= deadline) {
      SafePoint();
      return false;
    }
  }
  SafePoint();
  return true;
}

void TThreadQueue::Pump() {
  SafePoint();
  for (int round = 0; round < kMaxPumpRounds; ++round) {
    bool work = PollOnce(0, true);
    work = RunDueTimers() || work;
    work = DispatchMessages() || work;
    if (!work)
      break;
  }
  SafePoint();
}

size_t TThreadQueue::DrainMessages() {
  std::deque<TMessage> batch;
  {
    std::lock_guard lock(mutex_);
    batch.swap(messages_);
  }
  ClearWakeup();
  return batch.size();
}

int TThreadQueue::WatchFd(int fd, short events, FdHandler handler) {
  const int id = nextWatchId_++;
  watches_[id] = Watch{fd, events, std::make_shared<FdHandler>(std::move(handler))};
  return id;
}

void TThreadQueue::SetFdEvents(int watchId, short events) {
  auto it = watches_.find(watchId);
  if (it != watches_.end())
    it->second.events = events;
}

void TThreadQueue::UnwatchFd(int watchId) {
  watches_.erase(watchId);
}

int TThreadQueue::SetTimer(int intervalMs, TimerHandler handler) {
  const int id = nextTimerId_++;
  const int interval = std::max(1, intervalMs);
  timers_[id] =
      Timer{interval, NowMs() + interval, std::make_shared<TimerHandler>(std::move(handler))};
  return id;
}

void TThreadQueue::KillTimer(int timerId) {
  timers_.erase(timerId);
}

void TThreadQueue::SetThreadMessageHandler(std::function<void(TMessage&)> handler) {
  threadMessageHandler_ = std::move(handler);
}

uint64_t TThreadQueue::RegisterEndpoint(std::function<void(TMessage&)> handler) {
  const uint64_t id = nextEndpointId.fetch_add(1);
  endpoints_[id] = std::make_shared<std::function<void(TMessage&)>>(std::move(handler));
  return id;
}

void TThreadQueue::UnregisterEndpoint(uint64_t id) {
  endpoints_.erase(id);
}

bool PostThreadMessage(ThreadId thread, uint32_t msg, uintptr_t wParam, intptr_t lParam) {
  auto queue = TThreadQueue::Find(thread);
  if (!queue)
    return false;
  TMessage message;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  queue->Post(std::move(message));
  return true;
}

TMessageEndpoint::TMessageEndpoint(Handler handler)
    : queue_(TThreadQueue::CurrentShared()), id_(queue_->RegisterEndpoint(std::move(handler))) {}

TMessageEndpoint::~TMessageEndpoint() {
  queue_->UnregisterEndpoint(id_);
}

void TMessageEndpoint::Post(uint32_t msg, uintptr_t wParam, intptr_t lParam,
                            std::function<void()> payload) {
  TMessage message;
  message.Target = id_;
  message.Msg = msg;
  message.WParam = wParam;
  message.LParam = lParam;
  message.Payload = std::move(payload);
  queue_->Post(std::move(message));
}

}  // namespace quellion
