#include <gtest/gtest.h>

#include "platform/Exception.h"
#include "tasks/CustomThread.h"
#include "tests/support/WaitFor.h"

namespace quellion {
namespace {

TEST(CustomThread, ATaskThreadRunsAtOnceAndSignalsItsEnd) {
  std::atomic<ThreadId> ranOn{0};
  std::atomic<bool> wakeUp{false};
  TThreadQueue::Current().SetThreadMessageHandler([&](TMessage& m) {
    if (m.Msg == WM_USER)
      wakeUp = true;
  });
  TCustomThread thread(tpNormal, CurrentThreadId(), "worker", [&] { ranOn = CurrentThreadId(); });
  EXPECT_NE(0u, thread.ThreadID());
  ASSERT_TRUE(test::WaitFor([&] { return wakeUp.load(); }));
  EXPECT_FALSE(thread.Running());
  EXPECT_EQ(thread.ThreadID(), ranOn);
  EXPECT_EQ("", thread.ErrorMessage());
  TThreadQueue::Current().SetThreadMessageHandler(nullptr);
}

TEST(CustomThread, ASuspendedThreadWaitsForResumeAndEndsUnrunWhenAbandoned) {
  std::atomic<int> runs{0};
  {
    TCustomThread thread(tpNormal, 0, "MAIN", [&] { ++runs; });
    EXPECT_FALSE(thread.Running());
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(0, runs);
  }  // destroyed never resumed: joined without running
  EXPECT_EQ(0, runs);
  {
    TCustomThread thread(tpNormal, 0, "MAIN", [&] { ++runs; });
    thread.Resume();
    thread.Join();
  }
  EXPECT_EQ(1, runs);
}

TEST(CustomThreadList, LookupsByPositionIdAndNameIgnoringAsciiCase) {
  TThreadQueue::Current();  // the threads' end-of-method wake-ups come here
  TCustomThreadList list;
  std::atomic<bool> release{false};
  auto wait = [&] {
    while (!release)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  };
  list.Add(std::make_unique<TCustomThread>(tpNormal, CurrentThreadId(), "Alpha", wait));
  list.Add(std::make_unique<TCustomThread>(tpNormal, CurrentThreadId(), "b\xE9ta", wait));
  EXPECT_EQ(0, list.IndexOfName("ALPHA"));
  EXPECT_EQ(1, list.IndexOfName("B\xE9TA"));
  EXPECT_EQ(-1, list.IndexOfName("B\xC9TA")) << "only ASCII letters fold";
  EXPECT_EQ(-1, list.IndexOfName("Alph"));
  EXPECT_EQ(&list.Get(1), list.FindByThreadId(list.Get(1).ThreadID()));
  EXPECT_EQ(nullptr, list.FindByThreadId(CurrentThreadId()));
  try {
    list.Get(2);
    ADD_FAILURE() << "no error";
  } catch (const EListError& e) {
    EXPECT_EQ("List index out of bounds (2)", e.Message);
  }
  release = true;
  for (auto& thread : list.ExtractAll()) {
    while (thread->Running())
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  TThreadQueue::Current().DrainMessages();
}

}  // namespace
}  // namespace quellion
