#include <gtest/gtest.h>

#include <QTest>
#include <atomic>
#include <thread>

#include "app/QtMainThread.h"

namespace quellion {
namespace {

TEST(QtMainThread, PostedCallsRunOnTheGuiThreadInOrder) {
  TQtMainThread dispatcher;
  std::vector<int> order;
  std::atomic<bool> wrongThread{false};
  const auto gui = std::this_thread::get_id();
  std::thread worker([&] {
    for (int i = 0; i < 100; ++i)
      dispatcher.Post([&, i] {
        if (std::this_thread::get_id() != gui)
          wrongThread = true;
        order.push_back(i);
      });
  });
  worker.join();
  EXPECT_TRUE(order.empty());  // nothing runs before the event loop does
  ASSERT_TRUE(QTest::qWaitFor([&] { return order.size() == 100; }, 5000));
  for (int i = 0; i < 100; ++i)
    EXPECT_EQ(order[i], i);
  EXPECT_FALSE(wrongThread);
}

TEST(QtMainThread, RunAndWaitFromAWorkerReturnsTheResult) {
  TQtMainThread dispatcher;
  std::atomic<bool> done{false};
  int value = 0;
  std::thread worker([&] {
    dispatcher.RunAndWait([&] { value = 42; });
    done = true;
  });
  ASSERT_TRUE(QTest::qWaitFor([&] { return done.load(); }, 5000));
  worker.join();
  EXPECT_EQ(value, 42);
}

TEST(QtMainThread, CallsAreDroppedOnceTheOwnerOrTheDispatcherIsGone) {
  int ran = 0;
  {
    auto owner = std::make_unique<QObject>();
    TQtMainThread dispatcher(owner.get());
    dispatcher.Post([&] { ++ran; });
    owner.reset();
    dispatcher.Post([&] { ++ran; });  // after the owner: never queued
  }
  {
    TQtMainThread dispatcher;
    dispatcher.Post([&] { ++ran; });
  }
  QTest::qWait(50);
  EXPECT_EQ(ran, 0);
}

}  // namespace
}  // namespace quellion
