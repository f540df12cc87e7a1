#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/MainThread.h"
#include "platform/ThreadQueue.h"
#include "search/StatusTextRelay.h"

namespace quellion {
namespace {

// What the relay showed, and whether every text arrived on the main thread.
struct Shown {
  std::vector<std::string> Texts;
  bool OffMainThread = false;
};

class StatusTextRelayTest : public ::testing::Test {
 protected:
  std::unique_ptr<TStatusTextRelay> MakeRelay() {
    return std::make_unique<TStatusTextRelay>(mainThread_, [this](const std::string& text) {
      if (!mainThread_.IsMainThread())
        shown_.OffMainThread = true;
      shown_.Texts.push_back(text);
    });
  }

  // Relays texts from a worker thread and waits until it has posted them all.
  static void FromWorker(TStatusTextRelay& relay, const std::vector<std::string>& texts) {
    std::thread worker([&] {
      for (const std::string& text : texts)
        relay.Relay(text);
    });
    worker.join();
  }

  void PumpAll() {
    mainThread_.PumpUntil([] { return false; }, 50);
  }

  TQueueMainThread mainThread_;
  Shown shown_;
};

TEST_F(StatusTextRelayTest, MainThreadTextsAtOnceWorkerTextsInOrderOnTheMainThread) {
  auto relay = MakeRelay();
  auto handler = relay->Handler();
  handler("Searching  -  Found 0 sites");
  EXPECT_EQ(shown_.Texts, std::vector<std::string>{"Searching  -  Found 0 sites"});

  FromWorker(*relay, {"Searching  -  Found 1 sites", "Searching  -  Found 2 sites"});
  EXPECT_EQ(shown_.Texts.size(), 1u);  // nothing shown before the main thread pumps
  PumpAll();
  EXPECT_EQ(shown_.Texts,
            (std::vector<std::string>{"Searching  -  Found 0 sites", "Searching  -  Found 1 sites",
                                      "Searching  -  Found 2 sites"}));
  EXPECT_FALSE(shown_.OffMainThread);
}

TEST_F(StatusTextRelayTest, TextSetOnTheMainThreadOutdatesTextsStillOnTheirWay) {
  auto relay = MakeRelay();
  FromWorker(*relay, {"Searching  -  Found 7 sites"});
  relay->Relay("Search Complete  -  Found 7 sites");
  PumpAll();
  EXPECT_EQ(shown_.Texts, std::vector<std::string>{"Search Complete  -  Found 7 sites"});

  // Later texts from a worker are shown again.
  FromWorker(*relay, {"Searching  -  Found 1 sites"});
  PumpAll();
  EXPECT_EQ(shown_.Texts.back(), "Searching  -  Found 1 sites");
}

TEST_F(StatusTextRelayTest, TextsOnTheirWayWhenTheRelayGoesAreDropped) {
  auto relay = MakeRelay();
  FromWorker(*relay, {"Searching  -  Found 3 sites"});
  relay.reset();
  PumpAll();
  EXPECT_TRUE(shown_.Texts.empty());
}

}  // namespace
}  // namespace quellion
