#pragma once

#include <poll.h>

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

namespace quellion {

// Stand-in for the platform's per-thread message queues and hidden notification
// windows. Rules:
//  - Each thread gets at most one queue, created on first use by that thread.
//  - Anyone may post; only the owning thread waits and pumps.
//  - File-descriptor readiness and timers are part of the same wait and pump, so
//    everything a queue delivers runs on its owning thread, one thing at a time,
//    and only while that thread pumps.

using ThreadId = uint32_t;

// Identifier of the calling thread (the kernel's thread id), never 0.
ThreadId CurrentThreadId();

// The platform's first user message number; the task runner's wake-up message.
inline constexpr uint32_t WM_USER = 0x0400;

struct TMessage {
  uint64_t Target = 0;  // endpoint id; 0 for a thread message
  uint32_t Msg = 0;
  uintptr_t WParam = 0;
  intptr_t LParam = 0;
  std::function<void()> Payload;  // optional work carried by the message
};

class TThreadQueue {
 public:
  using FdHandler = std::function<void(int fd, short revents)>;
  using TimerHandler = std::function<void()>;

  ~TThreadQueue();
  TThreadQueue(const TThreadQueue&) = delete;
  TThreadQueue& operator=(const TThreadQueue&) = delete;

  // The calling thread's queue, created on first use.
  static TThreadQueue& Current();
  static std::shared_ptr<TThreadQueue> CurrentShared();
  // The queue of another thread, or nullptr when that thread has none (yet or any more).
  static std::shared_ptr<TThreadQueue> Find(ThreadId id);

  ThreadId Owner() const { return owner_; }

  // Any thread. Never fails.
  void Post(TMessage message);

  // --- owning thread only ---

  // Blocks until a message is pending, a watched descriptor is ready, a timer is
  // due, or timeoutMs passes (-1: no limit). Returns false on timeout. Safe point.
  bool WaitForWork(int timeoutMs);
  // Handles everything pending: ready descriptors, due timers, then queued messages,
  // repeating while a round found work (bounded, so a busy peer cannot hold the
  // thread forever). Thread messages go to the thread-message handler, or are
  // dropped without one. Safe point.
  void Pump();
  // Removes every pending message without handling it; returns how many there were.
  size_t DrainMessages();
  // Number of messages waiting.
  size_t PendingCount() const;

  // Descriptor watches. events is a poll() mask (POLLIN, POLLOUT); 0 pauses a watch.
  // POLLERR and POLLHUP are always reported. Watches may be changed or removed from
  // inside any handler.
  int WatchFd(int fd, short events, FdHandler handler);
  void SetFdEvents(int watchId, short events);
  void UnwatchFd(int watchId);

  // Periodic timers (first due after intervalMs).
  int SetTimer(int intervalMs, TimerHandler handler);
  void KillTimer(int timerId);

  void SetThreadMessageHandler(std::function<void(TMessage&)> handler);

 private:
  friend class TMessageEndpoint;
  explicit TThreadQueue(ThreadId owner);

  struct Watch {
    int fd;
    short events;
    std::shared_ptr<FdHandler> handler;
  };
  struct Timer {
    int interval;
    int64_t due;
    std::shared_ptr<TimerHandler> handler;
  };

  bool PollOnce(int timeoutMs, bool dispatch);
  bool RunDueTimers();
  int TimerTimeout(int timeoutMs) const;
  bool DispatchMessages();
  void ClearWakeup();

  uint64_t RegisterEndpoint(std::function<void(TMessage&)> handler);
  void UnregisterEndpoint(uint64_t id);

  const ThreadId owner_;
  int wakeFd_ = -1;

  mutable std::mutex mutex_;  // guards messages_
  std::deque<TMessage> messages_;

  // Owning thread only.
  std::map<int, Watch> watches_;
  int nextWatchId_ = 1;
  std::map<int, Timer> timers_;
  int nextTimerId_ = 1;
  std::map<uint64_t, std::shared_ptr<std::function<void(TMessage&)>>> endpoints_;
  std::function<void(TMessage&)> threadMessageHandler_;
};

// Posts a thread message to another thread's queue. Returns false when that thread
// has no queue (yet), as the platform's call fails for a thread without one.
bool PostThreadMessage(ThreadId thread, uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0);

// Stand-in for a hidden notification window: an address on the creating thread's
// queue. Messages posted to it run its handler on that thread while it pumps;
// messages still queued when it is destroyed are dropped.
class TMessageEndpoint {
 public:
  using Handler = std::function<void(TMessage&)>;

  explicit TMessageEndpoint(Handler handler);
  ~TMessageEndpoint();
  TMessageEndpoint(const TMessageEndpoint&) = delete;
  TMessageEndpoint& operator=(const TMessageEndpoint&) = delete;

  // Any thread, as long as the endpoint lives.
  void Post(uint32_t msg, uintptr_t wParam = 0, intptr_t lParam = 0,
            std::function<void()> payload = {});

  TThreadQueue& Queue() const { return *queue_; }
  const std::shared_ptr<TThreadQueue>& SharedQueue() const { return queue_; }
  uint64_t Id() const { return id_; }

 private:
  std::shared_ptr<TThreadQueue> queue_;
  uint64_t id_;
};

}  // namespace quellion
