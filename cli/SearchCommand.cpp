#include <signal.h>

#include <algorithm>
#include <atomic>
#include <optional>

#include "cli/Commands.h"
#include "cli/SearchOptions.h"
#include "cli/StoredDefaults.h"
#include "engines/DefinedEngine.h"
#include "engines/EngineCatalog.h"
#include "platform/MainThread.h"
#include "platform/TextEncoding.h"
#include "platform/ThreadQueue.h"
#include "search/AgreementOrder.h"
#include "search/EngineRests.h"
#include "search/QueryBuilder.h"
#include "search/ResultExport.h"
#include "search/SearchControl.h"
#include "search/StatusTextRelay.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"

namespace quellion::cli {
namespace {

constexpr const char* kUsage =
    "Usage: quellion-cli search [OPTIONS] KEYWORDS\n"
    "Runs one whole search and prints the results table, one row per line:\n"
    "index, engine, title, URL and description, tab-separated. Status texts go to\n"
    "stderr as they change; Ctrl-C stops the search (the rows found are printed).\n"
    "Options (defaults: the stored choices):\n"
    "  --engines LIST            comma-separated ENGINE names and names of\n"
    "                            defined engines (see 'quellion-cli engines')\n"
    "  --language N              language index (0 = any language)\n"
    "  --max-sites N             10 to 1000 (brought to the nearer bound)\n"
    "  --host ENGINE=HOST        the engine's web search host (repeatable)\n"
    "  --proxy HOST[:PORT]       HTTP proxy\n"
    "  --proxy-port PORT         proxy port when --proxy names none\n"
    "  --proxy-user NAME         proxy user name\n"
    "  --proxy-password PASSWORD proxy password\n"
    "  --timeout SECONDS         give up an unanswered page after SECONDS (default 30)\n"
    "  --sort ORDER              arrival (default): in order of arrival; agreement:\n"
    "                            rows most engines found first, then the best\n"
    "                            position, then arrival\n"
    "  --json                    print one JSON array instead (each row's engines:\n"
    "                            every engine that found it)\n"
    "  --csv                     print RFC 4180 CSV (UTF-8, with a header) instead\n"
    "  --retry-suspended         also ask defined engines that rest after a refusal\n"
    "  --report                  after the search, one line per engine on stderr:\n"
    "                            report: ENGINE pages=N hits=N end=REASON, REASON one\n"
    "                            of table-full, stopped, no-new-hits, rule-ended,\n"
    "                            failed: TEXT, blocked: WHY, suspended until HH:MM\n";

// Whether an engine that ended so got no answer it could use; a search where every
// engine ended so and nothing was found failed (exit 1).
bool EndedWithoutAnswer(TEngineEnd end) {
  switch (end) {
    case TEngineEnd::Failed:
    case TEngineEnd::Blocked:    // refused this client
    case TEngineEnd::Suspended:  // not asked: it rests
      return true;
    case TEngineEnd::Running:
    case TEngineEnd::TableFull:
    case TEngineEnd::Stopped:
    case TEngineEnd::NoNewHits:
    case TEngineEnd::RuleEnded:
      return false;
  }
  return false;
}

// Set by the SIGINT handler, polled by the main loop: an interrupt is "Stop Search".
std::atomic<bool> interruptRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

void OnInterrupt(int) {
  interruptRequested.store(true);
}

// Installs the interrupt handler for the life of one search.
class TInterruptScope {
 public:
  TInterruptScope() {
    interruptRequested.store(false);
    struct sigaction sa {};
    sa.sa_handler = OnInterrupt;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, &previous_);
  }
  ~TInterruptScope() { sigaction(SIGINT, &previous_, nullptr); }
  TInterruptScope(const TInterruptScope&) = delete;
  TInterruptScope& operator=(const TInterruptScope&) = delete;

 private:
  struct sigaction previous_ {};
};

std::vector<std::string> SplitList(const std::string& list) {
  std::vector<std::string> items;
  size_t pos = 0;
  while (pos <= list.size()) {
    size_t comma = list.find(',', pos);
    if (comma == std::string::npos)
      comma = list.size();
    if (comma > pos)
      items.push_back(list.substr(pos, comma - pos));
    pos = comma + 1;
  }
  return items;
}

// The engines --engines names: classic ones ticked, defined ones in the order named.
// An unknown, invalid or switched-off name is bad usage.
void ReadEngineList(const std::string& list, std::array<bool, kEngineCount>& ticked,
                    std::vector<std::shared_ptr<const TDefinedEngine>>& defined) {
  std::optional<TEngineCatalog> catalog;
  std::vector<std::string> taken;
  for (const std::string& name : SplitList(list)) {
    if (const auto engine = ParseEngineName(name)) {
      ticked[EngineIndex(*engine)] = true;
      continue;
    }
    if (!catalog)
      catalog = LoadEngineCatalog();
    if (const TEngineDefinition* d = catalog->Find(name)) {
      if (!d->Enabled)
        throw EUsageError("engine '" + d->Name + "' is switched off in " + d->SourceFile +
                          " (\"enabled\": false)");
      if (std::find(taken.begin(), taken.end(), d->Name) == taken.end()) {
        taken.push_back(d->Name);
        defined.push_back(MakeDefinedEngine(*d));
      }
      continue;
    }
    if (const TInvalidDefinition* bad = catalog->FindInvalid(name))
      throw EUsageError("engine '" + name + "' is invalid: " + bad->File + ": " + bad->Reason);
    throw EUsageError("unknown engine '" + name +
                      "' (altavista, excite, hotbot, alltheweb, google or a defined engine)");
  }
}

// Without --engines: the defined engines the window has ticked (kept beside the
// stored classic choices), those that are loaded and switched on; one without a stored
// tick counts as its definition's "default" says, as in the window.
std::vector<std::shared_ptr<const TDefinedEngine>> StoredDefinedEngines() {
  std::vector<std::shared_ptr<const TDefinedEngine>> engines;
  const TRegistryKey* key =
      TRegistry::CurrentUser().FindKey(HKEY_CURRENT_USER, kDefinedEnginesKeyName);
  for (const TEngineDefinition& d : LoadEngineCatalog().Engines) {
    if (d.Enabled && ReadDefinedEngineTick(key, d.Name, d.Default))
      engines.push_back(MakeDefinedEngine(d));
  }
  return engines;
}

}  // namespace

int RunSearch(CommandContext& ctx) {
  if (WantsHelp(ctx.args)) {
    ctx.out << kUsage;
    return kExitOk;
  }
  std::vector<std::string> words;
  std::optional<std::array<bool, kEngineCount>> engines;
  std::vector<std::shared_ptr<const TDefinedEngine>> definedEngines;
  std::optional<int> language, maxSites;
  std::array<std::optional<std::string>, kEngineCount> hosts;
  std::optional<std::string> proxy, proxyPort, proxyUser, proxyPassword;
  bool json = false;
  bool csv = false;
  bool report = false;
  bool byAgreement = false;
  bool retrySuspended = false;
  std::optional<int> timeoutSeconds;

  TArgReader reader(ctx.args);
  while (const auto next = reader.NextOption(words)) {
    const std::string& option = *next;
    if (option == "--engines") {
      std::array<bool, kEngineCount> ticked{};
      definedEngines.clear();
      ReadEngineList(reader.Value(option), ticked, definedEngines);
      engines = ticked;
    } else if (option == "--language") {
      language = ParseNumber(reader.Value(option), option);
    } else if (option == "--max-sites") {
      maxSites = std::clamp(ParseNumber(reader.Value(option), option), 10, 1000);
    } else if (option == "--host") {
      const std::string value = reader.Value(option);
      const size_t eq = value.find('=');
      if (eq == std::string::npos)
        throw EUsageError("--host wants ENGINE=HOST: '" + value + "'");
      hosts[EngineIndex(ParseEngineArgument(value.substr(0, eq)))] = value.substr(eq + 1);
    } else if (option == "--proxy") {
      proxy = reader.Value(option);
    } else if (option == "--proxy-port") {
      proxyPort = reader.Value(option);
    } else if (option == "--proxy-user") {
      proxyUser = reader.Value(option);
    } else if (option == "--proxy-password") {
      proxyPassword = reader.Value(option);
    } else if (option == "--json") {
      json = true;
    } else if (option == "--csv") {
      csv = true;
    } else if (option == "--report") {
      report = true;
    } else if (option == "--sort") {
      const std::string order = reader.Value(option);
      if (order != "agreement" && order != "arrival")
        throw EUsageError("--sort wants agreement or arrival: '" + order + "'");
      byAgreement = order == "agreement";
    } else if (option == "--retry-suspended") {
      retrySuspended = true;
    } else if (option == "--timeout") {
      const std::string text = reader.Value(option);
      timeoutSeconds = ParseNumber(text, option);
      if (*timeoutSeconds < 0 || *timeoutSeconds > 24 * 3600)
        throw EUsageError("bad number for --timeout: '" + text + "'");
    } else {
      throw EUsageError("search: unknown option '" + option + "'");
    }
  }
  if (json && csv)
    throw EUsageError("search: --json and --csv exclude each other");
  if (words.empty())
    throw EUsageError("search: missing KEYWORDS (try --help)");
  if (words.size() > 1)
    throw EUsageError("search: too many arguments (KEYWORDS is one argument)");
  const std::string& keywords = words[0];
  if (KeywordsAreBlank(keywords))
    throw EUsageError("search: blank KEYWORDS, nothing to search");

  const TStoredDefaults stored = ReadStoredDefaults();
  TSearchRequest request;
  request.Keywords = keywords;
  request.LanguageIndex = language.value_or(stored.LanguageIndex);
  request.ProxyName = proxy.value_or(stored.ProxyName);
  request.ProxyPort = proxyPort.value_or(stored.ProxyPort);
  request.ProxyUserName = proxyUser.value_or(stored.ProxyUserName);
  request.ProxyPassword = proxyPassword.value_or(stored.ProxyPassword);
  request.Engines = engines.value_or(stored.Engines);
  request.DefinedEngines = engines ? definedEngines : StoredDefinedEngines();
  request.RestsFile = DefaultEngineRestsFile();
  request.RetrySuspended = retrySuspended;

  TQueueMainThread mainThread;
  auto& queue = TThreadQueue::Current();
  // Status texts are written on this thread, in the order they were set, by a relay that
  // outlives the search control and its tasks.
  std::ostream& err = ctx.err;
  TStatusTextRelay statusRelay(mainThread, [&err](const std::string& text) {
    err << text << "\n" << std::flush;
  });
  TSearchControl control(mainThread);
  control.SetMaxSites(maxSites.value_or(stored.MaxSites));
  for (TEngine engine : kAllEngines) {
    const int i = EngineIndex(engine);
    if (hosts[i]) {
      control.SetEngineHost(engine, *hosts[i]);
    } else if (!stored.EngineHosts[i].empty()) {
      control.SetEngineHost(engine, stored.EngineHosts[i]);
    }
  }
  control.OnStatusText = statusRelay.Handler();
  if (timeoutSeconds) {
    TFetchLimits limits;
    limits.WaitStepsBeforeAbort = *timeoutSeconds * 10;
    control.SetFetchLimits(limits);
  }

  {
    TInterruptScope interrupts;
    control.Start(request);
    while (control.IsBusy()) {
      queue.WaitForWork(50);
      queue.Pump();
      if (interruptRequested.exchange(false))
        control.Stop();
    }
  }
  queue.Pump();

  const std::vector<TEngineOutcome> outcomes = control.EngineOutcomes();
  if (report) {
    for (const TEngineOutcome& outcome : outcomes)
      err << "report: " << ShownOnTerminal(outcome.Line(), "") << "\n";  // a server's words
    err << std::flush;
  }

  std::vector<TResultRecord> rows = control.Table().Rows();
  if (byAgreement)
    SortByAgreement(rows);
  if (json) {
    ctx.out << ResultsToJson(rows) << "\n";
  } else if (csv) {
    ctx.out << ResultsToCsv(rows);
  } else {
    for (const TResultRecord& row : rows) {
      ctx.out << row.Index << '\t' << row.SearchEngine << '\t' << Escape(row.Title) << '\t'
              << Escape(row.URL) << '\t' << Escape(row.Description) << '\n';
    }
  }
  const bool noneAnswered =
      !outcomes.empty() && std::all_of(outcomes.begin(), outcomes.end(),
                                       [](const auto& o) { return EndedWithoutAnswer(o.End); });
  return rows.empty() && noneAnswered ? kExitFailed : kExitOk;
}

}  // namespace quellion::cli
