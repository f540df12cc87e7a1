#pragma once

// Internal to search control: what the control shares with its engine tasks.

#include <atomic>
#include <memory>
#include <string>

#include "search/Engines.h"
#include "search/ResultTable.h"
#include "search/SearchControl.h"
#include "tasks/CallerLock.h"

namespace quellion {

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

  // AddHit: limit test, duplicate test and append as one step under the caller lock.
  bool AddHit(const std::string& title, const std::string& url, const std::string& description,
              const std::string& engine);
  // Under the caller lock: "Searching  -  Found <rows> sites" to the owner's status.
  void ReportHitCount();
};

// What one search's tasks start from, fixed when the search starts.
struct TSearchRun {
  TSearchRequest Request;
  TEngineHosts Hosts;
  TFetchLimits Limits;
};

// The engine task routine: the page loop of one engine, on the calling thread (a
// task's worker thread). Returns when the engine is finished; swallows every error.
void RunEngineTask(const std::shared_ptr<TSearchShared>& shared,
                   const std::shared_ptr<const TSearchRun>& run, TEngine engine);

// The same for an engine given as data (PageEngineTask.cpp).
void RunPageEngineTask(const std::shared_ptr<TSearchShared>& shared,
                       const std::shared_ptr<const TSearchRun>& run,
                       const std::shared_ptr<const TPageEngine>& engine);

}  // namespace quellion
