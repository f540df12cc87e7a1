#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

#include "platform/Exception.h"
#include "platform/MainThread.h"
#include "platform/ThreadHalt.h"

namespace quellion {

TEST(MainThread, RunAndWaitRunsOnTheMainThreadAndRethrows) {
  TQueueMainThread main;
  EXPECT_TRUE(main.IsMainThread());
  std::atomic<bool> done{false};
  std::thread::id ranOn;
  std::string caught;
  std::thread worker([&] {
    EXPECT_FALSE(main.IsMainThread());
    main.RunAndWait([&] { ranOn = std::this_thread::get_id(); });
    try {
      main.RunAndWait([] { throw EException("from main"); });
    } catch (const EException& e) {
      caught = e.Message;
    }
    done = true;
  });
  EXPECT_TRUE(main.PumpUntil([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_EQ(std::this_thread::get_id(), ranOn);
  EXPECT_EQ("from main", caught);
}

TEST(MainThread, RunAndWaitOnTheMainThreadRunsDirectly) {
  TQueueMainThread main;
  int ran = 0;
  main.RunAndWait([&] { ++ran; });
  EXPECT_EQ(1, ran);
}

TEST(MainThread, AHaltedWaiterParksAndItsCallNeverRuns) {
  TQueueMainThread main;
  auto token = std::make_shared<THaltToken>();
  std::atomic<bool> waiting{false}, ran{false};
  std::thread worker([&, token] {
    BindHaltToken(token);
    waiting = true;
    main.RunAndWait([&] { ran = true; });
  });
  while (!waiting)
    std::this_thread::yield();
  std::this_thread::sleep_for(std::chrono::milliseconds(10));
  token->RequestHalt();
  std::this_thread::sleep_for(std::chrono::milliseconds(100));  // the waiter sees the halt
  TThreadQueue::Current().Pump();
  EXPECT_FALSE(ran.load());
  worker.detach();
}

}  // namespace quellion
