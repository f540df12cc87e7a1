#pragma once

#include <array>
#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/MainThread.h"
#include "search/EngineOutcome.h"
#include "search/Engines.h"
#include "search/ResultTable.h"

namespace quellion {

class TMultiTasker;
class TDefinedEngine;
struct TSearchShared;
struct TSearchRun;

// What a search starts from: the controls' values, read on the GUI thread when the
// search starts. Tasks read only this copy, never the controls.
struct TSearchRequest {
  std::string Keywords;   // the keyword box's text as typed (not trimmed)
  int LanguageIndex = 0;  // selected row of the language box; -1 (or any value
                          // outside 0..25) when no row is selected
  std::string ProxyName;  // the four proxy boxes, copied as text even when empty
  std::string ProxyPort;
  std::string ProxyUserName;
  std::string ProxyPassword;
  // Ticked engine boxes, indexed by EngineIndex (Hotbot's hidden box included).
  std::array<bool, kEngineCount> Engines{};
  // Ticked engines given as data (definition files); each runs as its own task
  // after the classic ones, in this order.
  std::vector<std::shared_ptr<const TDefinedEngine>> DefinedEngines;
  // The file of engine rests (search/EngineRests.h); "" keeps none. A defined engine
  // that rests is not asked (its outcome reads "suspended until HH:MM") unless
  // RetrySuspended; one that answers "blocked" is set to rest.
  std::string RestsFile;
  bool RetrySuspended = false;
};

// Limits of one page fetch. The defaults are the product's; tests shorten them.
struct TFetchLimits {
  // Wait steps of 100 ms before the first Abort of an unanswered request.
  int WaitStepsBeforeAbort = 300;
  // A page longer than this is cut here: the request is aborted and what arrived
  // (this many bytes) is extracted. Guards against servers that stream without end.
  size_t PageCap = size_t{8} << 20;
};

// Search control and result store, shared by the window and the CLI.
//
// Threads:
//  - The constructor, the destructor, Start, Stop, SetEngineHost, SetFetchLimits and
//    the assignment of the events run on the main thread (the dispatcher's thread).
//  - OnSearchStarted, OnSearchFinished and OnEngineOutcomesChanged run on the main
//    thread; EngineOutcomes is read there.
//  - OnStatusText runs on the main thread (from Start and the end-of-search
//    handling) and on engine task threads while they hold the caller lock (after
//    each hit they add). It must not block: front-ends receive it through a
//    TStatusTextRelay (search/StatusTextRelay.h), which shows it on the main thread.
//  - AddHit, MaxSites, SetMaxSites, IsSearching and IsBusy may be called on any thread.
//  - Table() is shared with the window: each call of TResultTable is atomic on its
//    own; appends happen under the task runner's caller lock (MultiTasker1().Lock()).
//    OnRowsChanged and OnRowJoined of the table are called on the adding thread.
// Destruction halts running tasks without waiting for them; no event is called
// afterwards. Whatever a halted task still uses (table, flags, hosts) is owned by
// the task too, so it never touches released memory.
class TSearchControl {
 public:
  explicit TSearchControl(TMainThreadDispatcher& dispatcher);
  ~TSearchControl();
  TSearchControl(const TSearchControl&) = delete;
  TSearchControl& operator=(const TSearchControl&) = delete;

  // "Begin Search": with keywords that are blank (only bytes 0..32) nothing happens
  // and the result is false. Otherwise Searching := true, the table is emptied, the
  // status reads "Searching  -  Found 0 sites", OnSearchStarted runs, and one task
  // per ticked engine starts, in the order Altavista, Excite, Hotbot, All The Web,
  // Google. With none ticked the end-of-search handling runs at once (inside Start).
  // Ignored (false) while a search is still busy.
  bool Start(const TSearchRequest& request);
  // "Stop Search": only lowers Searching; tasks end at their next look at it.
  void Stop();
  // The Searching flag. Stays true after a search ended by itself.
  bool IsSearching() const;
  // True from a Start that started a search until its end-of-search handling: the
  // window shows "Stop Search" exactly while this holds.
  bool IsBusy() const;

  // Max Sites, kept in step with the spin box (10..1000); read anew by every AddHit
  // and before every request.
  int MaxSites() const;
  void SetMaxSites(int value);

  // Web search hosts ("host" or "host:port"); a search uses those set when it starts.
  const TEngineHosts& EngineHosts() const;
  void SetEngineHost(TEngine engine, const std::string& host);
  void SetEngineHosts(const TEngineHosts& hosts);

  // Applies to searches started afterwards.
  void SetFetchLimits(const TFetchLimits& limits);

  TResultTable& Table() const;
  TMultiTasker& MultiTasker1() const;

  // Adds one hit under the caller lock: false when the table holds Max Sites rows or
  // more, or already holds the address (as stored, cut to 250); otherwise appends it
  // and returns true. A hit another engine already found (the same AgreementKey)
  // adds no row and returns false: this engine joins that row's Engines at position.
  bool AddHit(const std::string& title, const std::string& url, const std::string& description,
              const std::string& engine, int position = 0);

  // The engine task routines, run on the calling thread with the start values of the
  // latest search (search control runs them as tasks on worker threads). Without a
  // search started yet they end at once (no keywords, Searching down).
  void SearchAltavista();
  void SearchExcite();
  void SearchHotbot();
  void SearchAllTheWeb();
  void SearchGoogle();

  // The latest search's engines, one record each in start order (classic ones, then
  // defined ones), as their tasks have recorded them so far: an engine reads
  // "running" until its task ends. Empty before the first search. Main thread.
  std::vector<TEngineOutcome> EngineOutcomes() const;

  // "Searching  -  Found N sites" and "Search Complete  -  Found N sites".
  static std::string SearchingText(int rows);
  static std::string CompleteText(int rows);

  // Events (optional; assign before the first Start).
  std::function<void(const std::string& text)> OnStatusText;
  // The search has started: show the searching look ("Stop Search", cursors, gauge).
  std::function<void()> OnSearchStarted;
  // The last task has ended (or none was started): the status already reads
  // CompleteText; restore the idle look ("Begin Search", cursors, gauge).
  std::function<void()> OnSearchFinished;
  // EngineOutcomes changed: at Start (a fresh list), then whenever a task asked for a
  // page, added a hit or ended. Posted from the tasks; several changes may come as one
  // call, and none of an earlier search arrives once a new one has started.
  std::function<void()> OnEngineOutcomesChanged;

 private:
  void MultiTasker1AllTaskFinished();
  void RunEngine(TEngine engine);

  TMainThreadDispatcher& dispatcher_;
  std::shared_ptr<TSearchShared> shared_;
  std::unique_ptr<TMultiTasker> multiTasker1_;
  TEngineHosts hosts_;
  TFetchLimits limits_;
  std::shared_ptr<const TSearchRun> currentRun_;  // the latest search's start values
};

}  // namespace quellion
