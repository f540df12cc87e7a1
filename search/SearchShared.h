#pragma once

// Internal to search control: what the control shares with its engine tasks.

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "platform/MainThread.h"
#include "search/EngineOutcome.h"
#include "search/Engines.h"
#include "search/ResultTable.h"
#include "search/SearchControl.h"
#include "tasks/CallerLock.h"

namespace quellion {

// One search's engine outcomes, in start order; replaced at every Start, so what a
// task of an earlier search records goes to a list nobody reads. Guarded by the
// caller lock.
struct TOutcomeList {
  std::vector<TEngineOutcome> Items;
  bool ChangePosted = false;  // a change event is on its way to the main thread
};

// Owned jointly by search control and every task it started, so a task halted (or
// still on its way to a safe point) when the control goes away only ever touches
// live memory.
struct TSearchShared {
  std::atomic<bool> Searching{false};
  std::atomic<bool> Busy{false};
  std::atomic<int> MaxSites{10};
  const std::shared_ptr<TResultTable> Table = std::make_shared<TResultTable>();
  std::shared_ptr<TCallerLock> CallerLock;

  // Guarded by CallerLock: the control whose OnStatusText tasks call; nullptr once
  // the control is being destroyed.
  TSearchControl* Owner = nullptr;
  // Guarded by CallerLock: the control's dispatcher, set exactly while Owner is.
  TMainThreadDispatcher* Dispatcher = nullptr;
  // Guarded by CallerLock: the latest search's outcomes (nullptr before the first).
  std::shared_ptr<TOutcomeList> Outcomes;

  // AddHit: limit test, duplicate test and append (or another engine's row joined,
  // TResultTable::AppendOrJoin) as one step under the caller lock. position: the hit's
  // 1-based place in its engine's results. Only Appended counts as an added hit: a
  // joined hit is a duplicate to the engine, so its paging and its hit count see the
  // rows it added, exactly as without joining.
  TAddOutcome AddHit(const std::string& title, const std::string& url,
                     const std::string& description, const std::string& engine, int position = 0);
  // Under the caller lock: "Searching  -  Found <rows> sites" to the owner's status.
  void ReportHitCount();
};

// What one search's tasks start from, fixed when the search starts.
struct TSearchRun {
  TSearchRequest Request;
  TEngineHosts Hosts;
  TFetchLimits Limits;
};

}  // namespace quellion
