#include <gtest/gtest.h>
#include <sys/resource.h>

#include <cerrno>
#include <stdexcept>

#include "platform/Exception.h"
#include "tasks/MultiTasker.h"
#include "tasks/ThreadPriority.h"
#include "tests/tasks/TaskTestSupport.h"

namespace quellion {
namespace {

using test::Contains;
using test::Gated;
using test::Record;
using test::TTaskFlags;
using test::WaitFor;

class MultiTaskerTest : public ::testing::Test {
 protected:
  // Pumps until OnAllTaskFinished was logged `count` times and the scheduler is idle.
  bool WaitForAllFinished(TMultiTasker& tasker, int count = 1) {
    return WaitFor([&] {
      int seen = 0;
      for (const auto& e : log)
        if (e.rfind("A:", 0) == 0)
          ++seen;
      return seen >= count && !tasker.Running();
    });
  }

  TQueueMainThread main;
  std::vector<std::string> log;
  std::shared_ptr<TTaskFlags> flags = std::make_shared<TTaskFlags>();
};

TEST_F(MultiTaskerTest, ATaskErrorReachesOnErrorBeforeOnTaskFinished) {
  struct Case {
    const char* what;
    std::function<void()> task;
    std::string message;
  };
  const std::string longText(300, 'x');
  const std::vector<Case> cases = {
      {"EException", [] { throw EException("boom"); }, "boom"},
      {"std::exception", [] { throw std::runtime_error("std failure"); }, "std failure"},
      {"other throwable", [] { throw 42; }, "Unknown exception"},
      {"long message", [&] { throw EException(longText); }, std::string(255, 'x')},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    log.clear();
    TMultiTasker tasker(main);
    Record(tasker, log);
    EXPECT_EQ("1", tasker.StartTask(c.task));
    ASSERT_TRUE(WaitForAllFinished(tasker));
    const std::vector<std::string> expected = {"L:1:", "E:1:" + c.message,
                                               "F:1:", "A:MultiTasker1:"};
    EXPECT_EQ(expected, log);
    EXPECT_EQ("", tasker.TaskName());
    EXPECT_EQ("", tasker.ErrorMessage());
  }
}

TEST_F(MultiTaskerTest, WithoutOnErrorAFailedTaskStillFinishes) {
  TMultiTasker tasker(main);
  Record(tasker, log);
  tasker.OnError = nullptr;
  tasker.StartTask([] { throw EException("dropped"); });
  ASSERT_TRUE(WaitForAllFinished(tasker));
  EXPECT_EQ((std::vector<std::string>{"L:1:", "F:1:", "A:MultiTasker1:"}), log);
}

TEST_F(MultiTaskerTest, TasksEndedInOnePassAreReportedLatestLaunchedFirst) {
  TMultiTasker tasker(main, "Tasker7");
  Record(tasker, log);
  for (int i = 0; i < 3; ++i)
    tasker.StartTask(Gated(flags, i));
  ASSERT_TRUE(WaitFor([&] { return log.size() == 3; }));
  // Task 1 ends; the scheduler hands its OnTaskFinished over and waits for us while we
  // do not pump. Meanwhile 2 and 3 end, so the next pass collects them together.
  TThreadQueue::Current().DrainMessages();  // nothing of ours is pending now
  flags->open[0] = true;
  for (int i = 0; i < 5000 && TThreadQueue::Current().PendingCount() == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ASSERT_GT(TThreadQueue::Current().PendingCount(), 0u) << "F:1 is handed over";
  flags->open[1] = flags->open[2] = true;
  while (!flags->done[1] || !flags->done[2])
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::this_thread::sleep_for(std::chrono::milliseconds(200));  // their ends are signalled
  ASSERT_TRUE(WaitForAllFinished(tasker));
  const std::vector<std::string> expected = {
      "L:1:", "L:2:", "L:3:", "F:1:", "F:3:", "F:2:", "A:Tasker7:"};
  EXPECT_EQ(expected, log);
}

// A group queued in one step is one busy period: a task that ends at once does not
// end it while the others run.
TEST_F(MultiTaskerTest, AGroupStartedInOneStepEndsOnceAfterItsLastTask) {
  TMultiTasker tasker(main);
  Record(tasker, log);
  tasker.SetMaxSimultaneousTask(2);
  EXPECT_EQ((std::vector<std::string>{"1", "2", "3"}),
            tasker.StartTasks({[] {}, Gated(flags, 0), [] {}}));
  ASSERT_TRUE(WaitFor([&] { return Contains(log, "F:3:"); }));
  test::PumpFor(50);
  EXPECT_FALSE(Contains(log, "A:MultiTasker1:")) << "ended while task 2 runs";
  flags->open[0] = true;
  ASSERT_TRUE(WaitForAllFinished(tasker));
  EXPECT_EQ("A:MultiTasker1:", log.back());
  EXPECT_EQ(7u, log.size());
  EXPECT_TRUE(tasker.StartTasks({}).empty());
  test::PumpFor(20);
  EXPECT_EQ(7u, log.size()) << "an empty group starts nothing";
}

TEST_F(MultiTaskerTest, TasksBeyondTheLimitWaitAndLaunchInStartOrder) {
  {
    TMultiTasker tasker(main);
    Record(tasker, log);
    tasker.SetMaxSimultaneousTask(10);
    for (int i = 0; i < 5; ++i)
      tasker.StartTask(Gated(flags, i));
    ASSERT_TRUE(WaitFor([&] { return flags->runningNow == 5; })) << "all five run at once";
    for (auto& open : flags->open)
      open = true;
    ASSERT_TRUE(WaitForAllFinished(tasker));
  }
  log.clear();
  flags = std::make_shared<TTaskFlags>();
  TMultiTasker tasker(main);
  Record(tasker, log);
  EXPECT_EQ(3, tasker.MaxSimultaneousTask());
  for (int i = 0; i < 5; ++i)
    tasker.StartTask(Gated(flags, i));
  ASSERT_TRUE(WaitFor([&] { return log.size() == 3; }));
  test::PumpFor(50);
  EXPECT_FALSE(flags->began[3] || flags->began[4]);
  flags->open[1] = true;  // the second ends first: its place goes to the fourth
  ASSERT_TRUE(WaitFor([&] { return flags->began[3].load(); }));
  EXPECT_FALSE(flags->began[4]);
  flags->open[0] = true;
  ASSERT_TRUE(WaitFor([&] { return flags->began[4].load(); }));
  for (auto& open : flags->open)
    open = true;
  ASSERT_TRUE(WaitForAllFinished(tasker));
  EXPECT_EQ(3, flags->launchedAtOnce);
  // A pass reports its finished task before the launch that takes its place.
  const std::vector<std::string> head = {"L:1:", "L:2:", "L:3:", "F:2:", "L:4:", "F:1:", "L:5:"};
  ASSERT_GE(log.size(), head.size());
  EXPECT_EQ(head, std::vector<std::string>(log.begin(), log.begin() + 7));
  EXPECT_EQ("A:MultiTasker1:", log.back());
  EXPECT_EQ(11u, log.size());
}

TEST_F(MultiTaskerTest, NamesAreGeneratedCutAndCheckedAgainstRunningTasksOnly) {
  TMultiTasker tasker(main);
  Record(tasker, log);
  tasker.SetMaxSimultaneousTask(1);
  EXPECT_EQ("1", tasker.StartTask(Gated(flags, 0)));
  EXPECT_EQ("Busy", tasker.StartTask(tpNormal, "Busy", Gated(flags, 1)));
  EXPECT_EQ("3", tasker.StartTask(Gated(flags, 2))) << "a named start advances the counter";
  ASSERT_TRUE(WaitFor([&] { return flags->began[0].load(); }));

  try {
    tasker.StartTask(tpNormal, "1", [] {});
    FAIL() << "a running task's name was accepted";
  } catch (const EException& e) {
    EXPECT_EQ("A task named \"1\" is already running !", e.Message);
  }
  // "Busy" is only queued: the same name is accepted.
  EXPECT_EQ("bUSY", tasker.StartTask(tpNormal, "bUSY", Gated(flags, 3)));
  EXPECT_EQ("5", tasker.StartTask(Gated(flags, 4))) << "a rejected start leaves the counter";

  const std::string longName(300, 'n');
  EXPECT_EQ(std::string(255, 'n'), tasker.StartTask(tpNormal, longName, Gated(flags, 5)));

  flags->open[0] = true;  // "Busy" runs next; now its name is taken in any case
  ASSERT_TRUE(WaitFor([&] { return flags->began[1].load(); }));
  try {
    tasker.StartTask(tpNormal, "BUSY", [] {});
    FAIL() << "a running task's name was accepted in another letter case";
  } catch (const EException& e) {
    EXPECT_EQ("A task named \"BUSY\" is already running !", e.Message);
  }
  for (auto& open : flags->open)
    open = true;
  ASSERT_TRUE(WaitForAllFinished(tasker));
  EXPECT_TRUE(Contains(log, "L:" + std::string(255, 'n') + ":"));
}

TEST_F(MultiTaskerTest, ReservedNamesAreRejectedInAnyCase) {
  TMultiTasker tasker(main);
  for (const char* name : {"main", "Main", "MAIN", "MultiTasker", "unknown"}) {
    SCOPED_TRACE(name);
    try {
      tasker.StartTask(tpNormal, name, [] {});
      ADD_FAILURE() << "accepted";
    } catch (const EException& e) {
      EXPECT_EQ(std::string("The \"") + name +
                    "\" identifier is not a valid identifier (reserved by MultiTasker).",
                e.Message);
    }
  }
  EXPECT_FALSE(tasker.Running()) << "nothing was queued";
  EXPECT_EQ("1", tasker.StartTask([] {})) << "the counter was not advanced";
  ASSERT_TRUE(WaitFor([&] { return !tasker.Running(); }));
}

TEST_F(MultiTaskerTest, MaxSimultaneousTaskIsAtLeastOneAndFixedWhileBusy) {
  TMultiTasker tasker(main);
  for (const auto& [value, stored] : std::vector<std::pair<int, int>>{{0, 1}, {-5, 1}, {7, 7}}) {
    tasker.SetMaxSimultaneousTask(value);
    EXPECT_EQ(stored, tasker.MaxSimultaneousTask()) << value;
  }
  const char* refusal = "Impossible to modify the MaxTask property while the Tasks are executing !";
  std::vector<std::string> inHandler;
  tasker.OnAllTaskFinished = [&] {
    EXPECT_TRUE(tasker.Running()) << "still busy while the handler runs";
    try {
      tasker.SetMaxSimultaneousTask(2);
    } catch (const EException& e) {
      inHandler.push_back(e.Message);
    }
  };
  tasker.StartTask(Gated(flags, 0));
  EXPECT_TRUE(tasker.Running());
  try {
    tasker.SetMaxSimultaneousTask(4);
    ADD_FAILURE() << "changed while busy";
  } catch (const EException& e) {
    EXPECT_EQ(refusal, e.Message);
  }
  EXPECT_EQ(7, tasker.MaxSimultaneousTask());
  flags->open[0] = true;
  ASSERT_TRUE(WaitFor([&] { return !inHandler.empty() && !tasker.Running(); }));
  EXPECT_EQ(std::vector<std::string>{refusal}, inHandler);
  EXPECT_EQ(7, tasker.MaxSimultaneousTask());
  tasker.SetMaxSimultaneousTask(2);
  EXPECT_EQ(2, tasker.MaxSimultaneousTask());
}

int OwnNiceValue() {
  errno = 0;
  return ::getpriority(PRIO_PROCESS, 0);  // on Linux: the calling thread's
}

TEST_F(MultiTaskerTest, DefaultPriorityMovesOnlyRunningTasksAtTheOldDefault) {
  TMultiTasker tasker(main);
  tasker.SetMaxSimultaneousTask(2);
  std::array<std::atomic<int>, 4> nice{};
  std::array<std::atomic<bool>, 4> report{};
  auto task = [&](int i) {
    return [&, i] {
      flags->began[i] = true;
      while (!report[i])
        Sleep(1);
      nice[i] = OwnNiceValue();
      flags->done[i] = true;
    };
  };
  EXPECT_EQ(tpNormal, tasker.DefaultPriority());
  tasker.StartTask(task(0));                        // at the default
  tasker.StartTask(tpLowest, "explicit", task(1));  // at another priority
  tasker.StartTask(task(2));                        // queued at the old default
  ASSERT_TRUE(WaitFor([&] { return flags->began[0] && flags->began[1]; }));
  tasker.SetDefaultPriority(tpLower);
  EXPECT_EQ(tpLower, tasker.DefaultPriority());
  tasker.StartTask(task(3));  // queued at the new default
  report[0] = report[1] = true;
  ASSERT_TRUE(WaitFor([&] { return flags->began[2] && flags->began[3]; }));
  report[2] = report[3] = true;
  ASSERT_TRUE(WaitFor([&] { return !tasker.Running(); }));
  EXPECT_EQ(NiceValueFor(tpLower), nice[0]);
  EXPECT_EQ(NiceValueFor(tpLowest), nice[1]);
  EXPECT_EQ(NiceValueFor(tpNormal), nice[2]);
  EXPECT_EQ(NiceValueFor(tpLower), nice[3]);
}

TEST_F(MultiTaskerTest, HandlersMayStartTasksAndThoseStillRun) {
  TMultiTasker tasker(main);
  Record(tasker, log);
  int finishedPeriods = 0;
  tasker.OnAllTaskFinished = [&] {
    log.push_back("A:" + tasker.TaskName());
    // Started while the scheduler is still busy: it must not be left queued.
    if (++finishedPeriods == 1)
      tasker.StartTask(tpNormal, "again", [] {});
  };
  tasker.OnTaskFinished = [&] {
    log.push_back("F:" + tasker.TaskName());
    if (tasker.TaskName() == "1")
      tasker.StartTask(tpNormal, "next", [] {});
  };
  tasker.StartTask([] {});
  ASSERT_TRUE(WaitFor([&] { return finishedPeriods == 2 && !tasker.Running(); }));
  EXPECT_TRUE(Contains(log, "F:next"));
  EXPECT_TRUE(Contains(log, "F:again"));
  EXPECT_EQ("A:MultiTasker1", log.back());
}

TEST_F(MultiTaskerTest, AThrowingHandlerDoesNotStopTheScheduler) {
  TMultiTasker tasker(main);
  Record(tasker, log);
  tasker.OnTaskLaunched = [] { throw EException("handler failure"); };
  tasker.StartTask([] {});
  ASSERT_TRUE(WaitForAllFinished(tasker));
  EXPECT_EQ((std::vector<std::string>{"F:1:", "A:MultiTasker1:"}), log);
  EXPECT_EQ("", tasker.TaskName());
}

TEST_F(MultiTaskerTest, WithoutTasksNothingIsDeliveredAndPauseAllRefuses) {
  TMultiTasker tasker(main);
  Record(tasker, log);
  test::PumpFor(50);
  EXPECT_TRUE(log.empty());
  EXPECT_FALSE(tasker.Running());
  try {
    tasker.PauseAll();
    ADD_FAILURE() << "paused while idle";
  } catch (const EException& e) {
    EXPECT_EQ("There are no task currently running !", e.Message);
  }
  EXPECT_FALSE(tasker.Paused());
}

TEST_F(MultiTaskerTest, SynchronizeRunsOnTheMainThreadOnlyForItsOwnThreads) {
  TMultiTasker tasker(main);
  const auto mainId = CurrentThreadId();
  std::atomic<ThreadId> fromTask{0}, fromStranger{0};
  std::string rethrown;
  bool ranDirectly = false;
  tasker.Synchronize([&] { ranDirectly = true; });  // main thread: at once, no pumping
  EXPECT_TRUE(ranDirectly);

  tasker.StartTask([&] {
    tasker.Synchronize([&] { fromTask = CurrentThreadId(); });
    try {
      tasker.Synchronize([] { throw EException("raised on main"); });
    } catch (const EException& e) {
      rethrown = e.Message;
    }
  });
  ASSERT_TRUE(WaitFor([&] { return !tasker.Running(); }));
  EXPECT_EQ(mainId, fromTask);
  EXPECT_EQ("raised on main", rethrown);

  std::thread stranger([&] { tasker.Synchronize([&] { fromStranger = CurrentThreadId(); }); });
  stranger.join();
  EXPECT_NE(0u, fromStranger);
  EXPECT_NE(mainId, fromStranger);
}

TEST_F(MultiTaskerTest, TheCallerLockIsReentrantAndExcludesOtherThreads) {
  TMultiTasker tasker(main);
  std::atomic<bool> ownerHolds{false}, release{false}, otherGotIt{false};
  std::thread owner([&] {
    tasker.Lock();
    tasker.Lock();
    tasker.Unlock();  // still held once
    ownerHolds = true;
    while (!release)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    tasker.Unlock();
  });
  while (!ownerHolds)
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  std::thread other([&] {
    tasker.Lock();
    otherGotIt = true;
    tasker.Unlock();
  });
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_FALSE(otherGotIt) << "entered while another thread held the lock once more";
  release = true;
  owner.join();
  other.join();
  EXPECT_TRUE(otherGotIt);
  // The caller lock may be taken around StartTask (caller lock, then list lock).
  tasker.Lock();
  tasker.StartTask([&] {
    tasker.Lock();
    tasker.Unlock();
  });
  tasker.Unlock();
  ASSERT_TRUE(WaitFor([&] { return !tasker.Running(); }));
}

}  // namespace
}  // namespace quellion
