#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <thread>
#include <vector>

#include "platform/ThreadHalt.h"
#include "platform/ThreadQueue.h"
#include "tests/support/WaitFor.h"

namespace quellion {

TEST(ThreadQueue, MessagesPostedFromOtherThreadsArriveInOrderOnTheOwner) {
  std::vector<uint32_t> seen;
  std::vector<ThreadId> handledOn;
  TMessageEndpoint endpoint([&](TMessage& m) {
    seen.push_back(m.Msg);
    handledOn.push_back(CurrentThreadId());
  });
  std::thread poster([&] {
    for (uint32_t i = 0; i < 100; ++i)
      endpoint.Post(i);
  });
  poster.join();
  EXPECT_TRUE(seen.empty()) << "nothing is handled before the owner pumps";
  TThreadQueue::Current().Pump();
  ASSERT_EQ(100u, seen.size());
  for (uint32_t i = 0; i < 100; ++i)
    EXPECT_EQ(i, seen[i]);
  for (ThreadId id : handledOn)
    EXPECT_EQ(CurrentThreadId(), id);
}

TEST(ThreadQueue, MessagesForADestroyedEndpointAreDropped) {
  int handled = 0;
  auto endpoint = std::make_unique<TMessageEndpoint>([&](TMessage&) { ++handled; });
  endpoint->Post(1);
  endpoint.reset();
  TThreadQueue::Current().Pump();
  EXPECT_EQ(0, handled);
}

TEST(ThreadQueue, PostThreadMessageFailsUntilTheThreadHasAQueue) {
  std::atomic<ThreadId> id{0};
  std::atomic<bool> haveQueue{false}, got{false};
  std::thread worker([&] {
    id = CurrentThreadId();
    while (!haveQueue)
      std::this_thread::yield();
    auto& queue = TThreadQueue::Current();
    queue.SetThreadMessageHandler([&](TMessage& m) {
      if (m.Msg == WM_USER)
        got = true;
    });
    while (!got) {
      queue.WaitForWork(100);
      queue.Pump();
    }
  });
  while (id == 0)
    std::this_thread::yield();
  EXPECT_FALSE(PostThreadMessage(id, WM_USER));
  haveQueue = true;
  while (!PostThreadMessage(id, WM_USER))
    std::this_thread::yield();
  worker.join();
  EXPECT_TRUE(got);
  EXPECT_FALSE(PostThreadMessage(id, WM_USER)) << "the ended thread's queue is gone";
}

TEST(ThreadQueue, WaitForWorkTimesOutAndWakesOnPost) {
  auto& queue = TThreadQueue::Current();
  queue.DrainMessages();
  EXPECT_FALSE(queue.WaitForWork(20));
  auto shared = TThreadQueue::CurrentShared();
  std::thread poster([shared] { shared->Post(TMessage{0, WM_USER, 0, 0, {}}); });
  EXPECT_TRUE(queue.WaitForWork(5000));
  poster.join();
  EXPECT_EQ(1u, queue.DrainMessages());
  EXPECT_EQ(0u, queue.PendingCount());
}

TEST(ThreadQueue, DescriptorReadinessIsPartOfWaitAndPump) {
  int pair[2];
  ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, pair));
  auto& queue = TThreadQueue::Current();
  std::string received;
  std::vector<std::string> order;
  TMessageEndpoint endpoint([&](TMessage&) { order.push_back("message"); });
  const int watch = queue.WatchFd(pair[0], POLLIN, [&](int fd, short revents) {
    ASSERT_TRUE(revents & POLLIN);
    char buffer[16];
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n > 0)
      received.append(buffer, static_cast<size_t>(n));
    order.push_back("fd");
  });
  EXPECT_FALSE(queue.WaitForWork(10));
  std::thread writer([&] { ASSERT_EQ(3, ::write(pair[1], "abc", 3)); });
  writer.join();
  EXPECT_TRUE(queue.WaitForWork(5000));
  endpoint.Post(1);
  queue.Pump();
  EXPECT_EQ("abc", received);
  ASSERT_EQ(2u, order.size());
  EXPECT_EQ("fd", order[0]);
  EXPECT_EQ("message", order[1]);

  // A paused watch is not reported; an unwatched descriptor is not either.
  ASSERT_EQ(1, ::write(pair[1], "d", 1));
  queue.SetFdEvents(watch, 0);
  EXPECT_FALSE(queue.WaitForWork(10));
  queue.SetFdEvents(watch, POLLIN);
  queue.Pump();
  EXPECT_EQ("abcd", received);
  queue.UnwatchFd(watch);
  ASSERT_EQ(1, ::write(pair[1], "e", 1));
  EXPECT_FALSE(queue.WaitForWork(10));
  ::close(pair[0]);
  ::close(pair[1]);
}

TEST(ThreadQueue, HandlersMayRemoveWatchesAndPostMore) {
  int pair[2];
  ASSERT_EQ(0, ::socketpair(AF_UNIX, SOCK_STREAM, 0, pair));
  auto& queue = TThreadQueue::Current();
  int calls = 0, followUps = 0;
  TMessageEndpoint endpoint([&](TMessage&) { ++followUps; });
  int watch = 0;
  watch = queue.WatchFd(pair[0], POLLIN, [&](int, short) {
    ++calls;
    queue.UnwatchFd(watch);
    endpoint.Post(2);
  });
  ASSERT_EQ(1, ::write(pair[1], "x", 1));
  queue.Pump();
  EXPECT_EQ(1, calls);
  EXPECT_EQ(1, followUps) << "a message posted during the pump is handled in the same pump";
  ::close(pair[0]);
  ::close(pair[1]);
}

TEST(ThreadQueue, TimersRunFromPumpWhenDue) {
  auto& queue = TThreadQueue::Current();
  int ticks = 0;
  const int timer = queue.SetTimer(10, [&] { ++ticks; });
  EXPECT_TRUE(test::WaitFor([&] { return ticks >= 3; }, 5000));
  queue.KillTimer(timer);
  const int after = ticks;
  queue.WaitForWork(30);
  queue.Pump();
  EXPECT_EQ(after, ticks);
}

TEST(ThreadHalt, AHaltedThreadParksAtItsNextSafePointButNotInsideANoParkScope) {
  auto token = std::make_shared<THaltToken>();
  std::atomic<int> stage{0};
  std::atomic<bool> go{false};
  std::thread worker([&, token] {
    BindHaltToken(token);
    {
      TNoParkScope scope;
      while (!go)
        Sleep(1);  // halted here, but the scope defers parking
      stage = 1;
    }
    Sleep(1);  // parks here
    stage = 2;
  });
  token->RequestHalt();
  go = true;
  while (stage < 1)
    std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_EQ(1, stage.load());
  worker.detach();
}

}  // namespace quellion
