// Destruction and PauseAll: nothing waits for a task method, nothing is delivered
// afterwards, halted tasks go no further, and no lock is left held.
#include <gtest/gtest.h>

#include "tasks/MultiTasker.h"
#include "tests/tasks/TaskTestSupport.h"

namespace quellion {
namespace {

using test::Gated;
using test::PumpFor;
using test::Record;
using test::TTaskFlags;
using test::TWatchdog;
using test::WaitFor;

// What the tasks of one test share with it; they keep it alive.
struct TShared {
  std::atomic<int> ticks{0};
  std::atomic<bool> began{false}, afterwards{false}, queuedRan{false}, synchronized{false};
  std::atomic<bool> notified{false};
};

class ShutdownTest : public ::testing::Test {
 protected:
  ShutdownTest() { TThreadQueue::Current().DrainMessages(); }  // leftovers of earlier tests

  void CountNotifications(TMultiTasker& tasker) {
    auto mark = [shared = shared] { shared->notified = true; };
    tasker.OnError = mark;
    tasker.OnTaskLaunched = mark;
    tasker.OnTaskFinished = mark;
    tasker.OnAllTaskFinished = mark;
  }

  // Waits, without pumping, until a call for the main thread is pending.
  static void WaitUntilHandedOver() {
    for (int i = 0; i < 5000 && TThreadQueue::Current().PendingCount() == 0; ++i)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    ASSERT_GT(TThreadQueue::Current().PendingCount(), 0u);
  }

  TQueueMainThread main;
  std::shared_ptr<TShared> shared = std::make_shared<TShared>();
};

TEST_F(ShutdownTest, DestroyingHaltsASleepingTaskAndDropsQueuedOnes) {
  auto tasker = std::make_unique<TMultiTasker>(main);
  tasker->SetMaxSimultaneousTask(1);
  tasker->StartTask([s = shared] {
    s->began = true;
    for (;;) {
      Sleep(5);
      ++s->ticks;
    }
  });
  tasker->StartTask([s = shared] { s->queuedRan = true; });
  ASSERT_TRUE(WaitFor([&] { return shared->ticks > 2; }));
  CountNotifications(*tasker);
  {
    TWatchdog watchdog(20000, "destroying while a task sleeps");
    tasker.reset();
  }
  PumpFor(100);
  const int parkedAt = shared->ticks;
  PumpFor(100);
  EXPECT_EQ(parkedAt, shared->ticks) << "the halted task went on";
  EXPECT_FALSE(shared->queuedRan);
  EXPECT_FALSE(shared->notified);
}

TEST_F(ShutdownTest, DestroyingWhileATaskWaitsInSynchronizeNeverRunsItsMethod) {
  auto tasker = std::make_unique<TMultiTasker>(main);
  TMultiTasker* raw = tasker.get();
  tasker->StartTask([s = shared, raw] {
    s->began = true;
    raw->Synchronize([s] { s->synchronized = true; });
    s->afterwards = true;
  });
  // Not pumping: the hand-over stays pending on the main thread's queue.
  WaitUntilHandedOver();
  CountNotifications(*tasker);
  {
    TWatchdog watchdog(20000, "destroying while a task waits in Synchronize");
    tasker.reset();
  }
  PumpFor(200);
  EXPECT_FALSE(shared->synchronized);
  EXPECT_FALSE(shared->afterwards);
  EXPECT_FALSE(shared->notified);
}

TEST_F(ShutdownTest, DestroyingWhileTheSchedulerWaitsForANotificationDropsIt) {
  auto tasker = std::make_unique<TMultiTasker>(main);
  auto flags = std::make_shared<TTaskFlags>();
  tasker->OnTaskLaunched = [s = shared] { s->notified = true; };
  tasker->StartTask(Gated(flags, 0));
  // The scheduler hands OnTaskLaunched over and waits; we do not pump.
  WaitUntilHandedOver();
  {
    TWatchdog watchdog(20000, "destroying while the scheduler waits for a handler");
    tasker.reset();
  }
  flags->open[0] = true;  // the task is halted: it parks at its next Sleep
  PumpFor(200);
  EXPECT_FALSE(shared->notified);
  EXPECT_FALSE(flags->done[0]);
}

TEST_F(ShutdownTest, AHandlerMayDestroyTheComponent) {
  auto tasker = std::make_unique<TMultiTasker>(main);
  auto flags = std::make_shared<TTaskFlags>();
  std::vector<std::string> log;
  Record(*tasker, log);
  tasker->OnTaskFinished = [&] {
    log.push_back("F:" + tasker->TaskName());
    tasker.reset();
  };
  tasker->StartTask(Gated(flags, 0));
  tasker->StartTask(Gated(flags, 1));
  ASSERT_TRUE(WaitFor([&] { return log.size() == 2; }));
  flags->open[0] = true;
  ASSERT_TRUE(WaitFor([&] { return tasker == nullptr; }));
  flags->open[1] = true;
  PumpFor(200);
  EXPECT_EQ((std::vector<std::string>{"L:1:", "L:2:", "F:1"}), log);
}

TEST_F(ShutdownTest, AHaltedTaskLeavesTheCallerLockBeforeParking) {
  auto tasker = std::make_unique<TMultiTasker>(main);
  std::shared_ptr<TCallerLock> lock = tasker->CallerLock();
  tasker->StartTask([s = shared, lock] {
    lock->Lock();
    s->began = true;
    while (!HaltRequested())
      Sleep(1);  // no parking while the lock is held
    Sleep(20);
    ++s->ticks;
    lock->Unlock();  // parks here, never goes on
    s->afterwards = true;
  });
  ASSERT_TRUE(WaitFor([&] { return shared->began.load(); }));
  {
    TWatchdog watchdog(20000, "destroying, then taking the caller lock");
    tasker.reset();
    lock->Lock();  // the halted task has left it
    lock->Unlock();
  }
  EXPECT_EQ(1, shared->ticks);
  PumpFor(100);
  EXPECT_FALSE(shared->afterwards);
}

TEST_F(ShutdownTest, PauseAllHaltsEverythingForGood) {
  auto tasker = std::make_unique<TMultiTasker>(main);
  tasker->SetMaxSimultaneousTask(1);
  tasker->StartTask([s = shared] {
    s->began = true;
    for (;;) {
      Sleep(5);
      ++s->ticks;
    }
  });
  tasker->StartTask([s = shared] { s->queuedRan = true; });
  ASSERT_TRUE(WaitFor([&] { return shared->ticks > 2; }));
  CountNotifications(*tasker);
  tasker->PauseAll();
  EXPECT_TRUE(tasker->Paused());
  EXPECT_TRUE(tasker->Running());
  tasker->PauseAll();  // already paused: nothing
  tasker->StartTask([s = shared] { s->queuedRan = true; });
  PumpFor(100);
  const int parkedAt = shared->ticks;
  PumpFor(100);
  EXPECT_EQ(parkedAt, shared->ticks);
  EXPECT_FALSE(shared->queuedRan);
  EXPECT_FALSE(shared->notified);
  TWatchdog watchdog(20000, "destroying after PauseAll");
  tasker.reset();
}

// Paused from the last handler of a busy period, the scheduler must park busy and
// outside the list lock: Running and Paused both hold, a second PauseAll does nothing,
// and a later StartTask returns (its task never runs).
TEST_F(ShutdownTest, PausedFromOnAllTaskFinishedTheComponentStaysConsistent) {
  TMultiTasker tasker(main);
  bool paused = false;
  tasker.OnAllTaskFinished = [&] {
    tasker.PauseAll();
    paused = true;
  };
  tasker.StartTask([] {});
  ASSERT_TRUE(WaitFor([&] { return paused; }));
  PumpFor(100);  // the scheduler goes on from the handler and parks
  EXPECT_TRUE(tasker.Paused());
  EXPECT_TRUE(tasker.Running());
  TWatchdog watchdog(10000, "PauseAll or StartTask after a pause");
  EXPECT_NO_THROW(tasker.PauseAll());
  tasker.OnAllTaskFinished = nullptr;
  tasker.StartTask([s = shared] { s->queuedRan = true; });
  PumpFor(100);
  EXPECT_FALSE(shared->queuedRan);
  EXPECT_EQ(3, tasker.MaxSimultaneousTask());  // takes the list lock: it was left
}

TEST_F(ShutdownTest, DestroyingAnIdleOrUnstartedComponentIsQuiet) {
  {
    TWatchdog watchdog(20000, "destroying a component never started");
    TMultiTasker unused(main);
  }
  auto tasker = std::make_unique<TMultiTasker>(main);
  tasker->StartTask([] {});
  ASSERT_TRUE(WaitFor([&] { return !tasker->Running(); }));
  CountNotifications(*tasker);  // from here on nothing may be delivered
  {
    TWatchdog watchdog(20000, "destroying an idle component");
    tasker.reset();
  }
  PumpFor(50);
  EXPECT_FALSE(shared->notified);
}

}  // namespace
}  // namespace quellion
