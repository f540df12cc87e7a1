#include "search/SearchControl.h"

#include <algorithm>
#include <mutex>
#include <vector>

#include "search/DefinedEngine.h"
#include "search/EngineRests.h"
#include "search/EngineTask.h"
#include "search/QueryBuilder.h"
#include "search/SearchShared.h"
#include "tasks/MultiTasker.h"

namespace quellion {

TSearchControl::TSearchControl(TMainThreadDispatcher& dispatcher)
    : dispatcher_(dispatcher),
      shared_(std::make_shared<TSearchShared>()),
      multiTasker1_(std::make_unique<TMultiTasker>(dispatcher, "MultiTasker1")),
      hosts_(DefaultEngineHosts()) {
  multiTasker1_->SetMaxSimultaneousTask(10);
  multiTasker1_->SetDefaultPriority(tpNormal);
  shared_->CallerLock = multiTasker1_->CallerLock();
  shared_->Owner = this;
  shared_->Dispatcher = &dispatcher_;
  multiTasker1_->OnAllTaskFinished = [this] { MultiTasker1AllTaskFinished(); };
}

TSearchControl::~TSearchControl() {
  shared_->Searching.store(false);
  {
    // Tasks call back into this object and the window only under the caller lock.
    std::lock_guard lock(*shared_->CallerLock);
    shared_->Owner = nullptr;
    shared_->Dispatcher = nullptr;
    shared_->Table->OnRowsChanged = nullptr;
    shared_->Table->OnRowJoined = nullptr;
  }
  multiTasker1_->OnAllTaskFinished = TThreadMethod();
  multiTasker1_.reset();  // halts running tasks without waiting for them
}

bool TSearchControl::Start(const TSearchRequest& request) {
  if (shared_->Busy.load())
    return false;
  if (KeywordsAreBlank(request.Keywords))
    return false;

  shared_->Searching.store(true);
  shared_->Busy.store(true);
  shared_->Table->Empty();
  if (OnStatusText)
    OnStatusText(SearchingText(0));
  if (OnSearchStarted)
    OnSearchStarted();

  auto run = std::make_shared<TSearchRun>();
  run->Request = request;
  run->Hosts = hosts_;
  run->Limits = limits_;
  std::shared_ptr<const TSearchRun> frozen = run;
  currentRun_ = frozen;

  // Every engine of the search is listed before its task starts, in start order.
  auto outcomes = std::make_shared<TOutcomeList>();
  auto listed = [&outcomes](const std::string& name) {
    TEngineOutcome outcome;
    outcome.Engine = name;
    outcomes->Items.push_back(outcome);
  };
  for (TEngine engine : kAllEngines) {
    if (request.Engines[EngineIndex(engine)])
      listed(EngineName(engine));
  }
  // The rests are read once, here: a resting engine is listed as suspended and gets
  // no task.
  const TEngineRests rests =
      request.RestsFile.empty() || request.RetrySuspended || request.DefinedEngines.empty()
          ? TEngineRests()
          : ReadEngineRests(request.RestsFile, RestClockNow());
  std::vector<std::shared_ptr<const TDefinedEngine>> asked;
  for (const std::shared_ptr<const TDefinedEngine>& engine : request.DefinedEngines) {
    listed(engine->Name());
    if (const int64_t until = RestEnd(rests, engine->Name())) {
      outcomes->Items.back().End = TEngineEnd::Suspended;
      outcomes->Items.back().FailText = RestEndText(until);
    } else {
      asked.push_back(engine);
    }
  }
  {
    std::lock_guard lock(*shared_->CallerLock);
    shared_->Outcomes = outcomes;
  }
  if (OnEngineOutcomesChanged)
    OnEngineOutcomesChanged();

  // Queued in one step: queued one at a time, a task that ends at once could let the
  // scheduler see nothing left and end the search before the rest were queued.
  std::vector<TThreadMethod> tasks;
  size_t slot = 0;
  for (TEngine engine : kAllEngines) {
    if (request.Engines[EngineIndex(engine)])
      tasks.push_back([shared = shared_, frozen, engine,
                       outcome = TOutcomeRecorder(shared_, outcomes, slot++)] {
        RunClassicEngineTask(shared, frozen, engine, outcome);
      });
  }
  for (const std::shared_ptr<const TDefinedEngine>& engine : request.DefinedEngines) {
    if (std::find(asked.begin(), asked.end(), engine) == asked.end()) {
      ++slot;
      continue;
    }
    tasks.push_back(
        [shared = shared_, frozen, engine, outcome = TOutcomeRecorder(shared_, outcomes, slot++)] {
          RunDefinedEngineTask(shared, frozen, engine, outcome);
        });
  }
  // Every engine of a search is asked at the same time: with more engines than the
  // runner's ten (the classic five and today's definitions), the limit grows to match.
  if (tasks.size() > static_cast<size_t>(multiTasker1_->MaxSimultaneousTask())) {
    try {
      multiTasker1_->SetMaxSimultaneousTask(static_cast<int>(tasks.size()));
    } catch (...) {
      // Tasks of the last search still being collected: this one queues its extra engines.
    }
  }
  if (tasks.empty())
    MultiTasker1AllTaskFinished();
  else
    multiTasker1_->StartTasks(std::move(tasks));
  return true;
}

void TSearchControl::Stop() {
  shared_->Searching.store(false);
}

bool TSearchControl::IsSearching() const {
  return shared_->Searching.load();
}

bool TSearchControl::IsBusy() const {
  return shared_->Busy.load();
}

int TSearchControl::MaxSites() const {
  return shared_->MaxSites.load();
}

void TSearchControl::SetMaxSites(int value) {
  shared_->MaxSites.store(value);
}

const TEngineHosts& TSearchControl::EngineHosts() const {
  return hosts_;
}

void TSearchControl::SetEngineHost(TEngine engine, const std::string& host) {
  hosts_[EngineIndex(engine)] = host;
}

void TSearchControl::SetEngineHosts(const TEngineHosts& hosts) {
  hosts_ = hosts;
}

void TSearchControl::SetFetchLimits(const TFetchLimits& limits) {
  limits_ = limits;
}

TResultTable& TSearchControl::Table() const {
  return *shared_->Table;
}

TMultiTasker& TSearchControl::MultiTasker1() const {
  return *multiTasker1_;
}

bool TSearchControl::AddHit(const std::string& title, const std::string& url,
                            const std::string& description, const std::string& engine,
                            int position) {
  return shared_->AddHit(title, url, description, engine, position) == TAddOutcome::Appended;
}

void TSearchControl::RunEngine(TEngine engine) {
  std::shared_ptr<const TSearchRun> run = currentRun_;
  if (!run) {
    auto fresh = std::make_shared<TSearchRun>();
    fresh->Hosts = hosts_;
    fresh->Limits = limits_;
    run = fresh;
  }
  RunClassicEngineTask(shared_, run, engine);
}

void TSearchControl::SearchAltavista() {
  RunEngine(TEngine::Altavista);
}
void TSearchControl::SearchExcite() {
  RunEngine(TEngine::Excite);
}
void TSearchControl::SearchHotbot() {
  RunEngine(TEngine::Hotbot);
}
void TSearchControl::SearchAllTheWeb() {
  RunEngine(TEngine::AllTheWeb);
}
void TSearchControl::SearchGoogle() {
  RunEngine(TEngine::Google);
}

std::vector<TEngineOutcome> TSearchControl::EngineOutcomes() const {
  std::lock_guard lock(*shared_->CallerLock);
  if (!shared_->Outcomes)
    return {};
  return shared_->Outcomes->Items;
}

std::string TSearchControl::SearchingText(int rows) {
  return "Searching  -  Found " + std::to_string(rows) + " sites";
}

std::string TSearchControl::CompleteText(int rows) {
  return "Search Complete  -  Found " + std::to_string(rows) + " sites";
}

void TSearchControl::MultiTasker1AllTaskFinished() {
  // Searching stays as it is: after a search that ended by itself it stays true.
  shared_->Busy.store(false);
  if (OnStatusText)
    OnStatusText(CompleteText(shared_->Table->RowCount()));
  if (OnSearchFinished)
    OnSearchFinished();
}

}  // namespace quellion
