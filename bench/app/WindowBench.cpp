// bench_window [RUNS]: the real main window, offscreen (or on whatever display
// QT_QPA_PLATFORM names), searching 1000 sites from the engine simulator running on a
// thread of the same process. Each run is a fresh process, so the first paint is a cold
// one; two searches per run: the five classic engines (200 results each) and a mixed
// search of the five and three defined engines (DuckDuckGo, Mojeek and Wikipedia
// layouts, 125 results each), ten hits a page, no delay in the simulator.
//
// Per search it reports:
//  - the gaps between the ticks of a 5 ms precise timer on the GUI thread from the
//    click on "Begin Search" until the search has ended and the grid holds every row:
//    the longest, the 99th percentile, how many were 16 ms or longer, and the most CPU
//    time the GUI thread itself used within one gap (a long gap with little CPU in it
//    was the scheduler's, not the window's);
//  - the first paint: from the spawn of the process, from the top of main and from just
//    before the window is constructed, to the end of the window's first paint;
//  - VmRSS before the search (window shown, simulator up), VmRSS and VmHWM with the
//    1000 rows in the grid.
// Median and worst over the runs follow. The load average is printed with each run: the
// machine may be shared.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "app/AppIcon.h"
#include "app/DefinedEnginesBox.h"
#include "app/MainForm.h"
#include "app/about/AboutBox.h"
#include "app/results/ResultsModel.h"
#include "app/results/ResultsPanel.h"
#include "app/widgets/DesignFont.h"
#include "search/ResultTable.h"
#include "search/SearchControl.h"
#include "tools/engine-sim/DemoEngines.h"
#include "tools/engine-sim/EngineSimulator.h"
#include "ui_MainForm.h"

extern char** environ;

using namespace quellion;

namespace {

constexpr int kSites = 1000;
constexpr int kHitsPerPage = 10;
constexpr int kTickMs = 5;
constexpr double kStallMs = 16.0;
constexpr double kBusyMs = 2.0;  // run by hand, gaps with this much GUI-thread work are told
constexpr std::array<tools::TSimLayout, 3> kDefinedLayouts = {
    tools::TSimLayout::DuckDuckGo, tools::TSimLayout::Mojeek, tools::TSimLayout::Wikipedia};
constexpr std::array<const char*, 2> kScenarios = {"classic", "mixed"};

long long NowNs(clockid_t clock = CLOCK_MONOTONIC) {
  timespec ts{};
  clock_gettime(clock, &ts);
  return ts.tv_sec * 1000000000LL + ts.tv_nsec;
}

// The time this thread has spent waiting on a run queue (ready, not running), from
// its schedstat (cpu ns, wait ns, slices); fd is that file, opened on this thread.
long long RunQueueWaitNs(int fd) {
  char text[128];
  const ssize_t n = fd >= 0 ? ::pread(fd, text, sizeof text - 1, 0) : -1;
  if (n <= 0)
    return 0;
  text[n] = '\0';
  long long cpu = 0, wait = 0;
  std::sscanf(text, "%lld %lld", &cpu, &wait);
  return wait;
}

// A "VmRSS:"-style line of /proc/self/status, in KiB.
long StatusKiB(const char* name) {
  std::ifstream status("/proc/self/status");
  std::string line;
  const size_t length = std::strlen(name);
  while (std::getline(status, line))
    if (line.compare(0, length, name) == 0)
      return std::atol(line.c_str() + length);
  return -1;
}

std::string LoadAverage() {
  std::ifstream loadavg("/proc/loadavg");
  std::string one, five;
  loadavg >> one >> five;
  return one + "/" + five;
}

// Runs the event loop for ms milliseconds.
void Settle(int ms) {
  QEventLoop loop;
  QTimer::singleShot(ms, &loop, &QEventLoop::quit);
  loop.exec();
}

// Notes when the window's first paint has been done: the top-level window's paint
// event starts the frame, and a zero timer started there runs once the whole frame
// (children and flush) has been handled.
class TFirstPaint : public QObject {
 public:
  explicit TFirstPaint(QWidget& window) { window.installEventFilter(this); }
  long long DoneNs() const { return doneNs_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint && !seen_) {
      seen_ = true;
      watched->removeEventFilter(this);
      QTimer::singleShot(0, this, [this] { doneNs_ = NowNs(); });
    }
    return false;
  }

 private:
  bool seen_ = false;
  long long doneNs_ = 0;
};

// A definition file in the user's folder that replaces the shipped one of that name
// and points it at the simulator.
void WriteDefinition(const std::filesystem::path& folder, tools::TSimLayout layout,
                     const std::string& host) {
  std::string body;
  switch (layout) {
    case tools::TSimLayout::DuckDuckGo:
      body = R"({"name": "DuckDuckGo", "type": "html",
  "search_url": "http://HOST/html/?q={query}&s={offset}", "paging": true, "page_size": 10,
  "results_xpath": "//div[contains(@class, 'results_links')]",
  "url_xpath": ".//a[contains(@class, 'result__a')]/@href",
  "title_xpath": ".//a[contains(@class, 'result__a')]",
  "content_xpath": ".//*[contains(@class, 'result__snippet')]", "url_unwrap_param": "uddg"})";
      break;
    case tools::TSimLayout::Mojeek:
      body = R"({"name": "Mojeek", "type": "html",
  "search_url": "http://HOST/search?q={query}&s={offset}", "paging": true, "page_size": 10,
  "results_xpath": "//ul[contains(@class, 'results-standard')]/li",
  "url_xpath": ".//a[contains(@class, 'ob')]/@href", "title_xpath": ".//h2/a",
  "content_xpath": ".//p[@class='s']"})";
      break;
    default:
      body = R"({"name": "Wikipedia", "type": "json",
  "search_url": "http://HOST/w/api.php?srsearch={query}&sroffset={offset}", "paging": true,
  "page_size": 10, "results_query": "query/search", "title_query": "title",
  "content_query": "snippet", "url_template": "http://www.wikipedia{pageid}.example/page.html"})";
      break;
  }
  body.replace(body.find("HOST"), 4, host);
  std::ofstream(folder / (tools::SimLayoutName(layout) + ".json")) << body;
}

// A fresh folder under the temporary directory, removed with everything in it.
struct TSandbox {
  std::string Folder;
  TSandbox() {
    std::string pattern = (std::filesystem::temp_directory_path() / "bench-window-XXXXXX").string();
    if (mkdtemp(pattern.data()) != nullptr)
      Folder = pattern;
  }
  ~TSandbox() {
    std::error_code ignored;
    if (!Folder.empty())
      std::filesystem::remove_all(Folder, ignored);
  }
  TSandbox(const TSandbox&) = delete;
  TSandbox& operator=(const TSandbox&) = delete;
};

struct TGapStats {
  int Ticks = 0;
  double MaxMs = 0, P99Ms = 0, MaxCpuMs = 0;
  double LongestCpuMs = 0;   // the GUI thread's CPU time within the longest gap
  double LongestWaitMs = 0;  // its time waiting for a core within the longest gap
  double TotalCpuMs = 0;     // the GUI thread's CPU time over all gaps
  int Stalls = 0;            // gaps of kStallMs or more
};

TGapStats Summarise(std::vector<double> gapsMs, const std::vector<double>& cpuMs,
                    const std::vector<double>& waitMs) {
  TGapStats stats;
  stats.Ticks = static_cast<int>(gapsMs.size());
  if (gapsMs.empty())
    return stats;
  stats.Stalls = static_cast<int>(
      std::count_if(gapsMs.begin(), gapsMs.end(), [](double g) { return g >= kStallMs; }));
  const size_t longest = std::max_element(gapsMs.begin(), gapsMs.end()) - gapsMs.begin();
  stats.LongestCpuMs = cpuMs[longest];
  stats.LongestWaitMs = waitMs[longest];
  std::sort(gapsMs.begin(), gapsMs.end());
  stats.MaxMs = gapsMs.back();
  stats.P99Ms = gapsMs[std::min(gapsMs.size() - 1, gapsMs.size() * 99 / 100)];
  stats.MaxCpuMs = *std::max_element(cpuMs.begin(), cpuMs.end());
  for (double ms : cpuMs)
    stats.TotalCpuMs += ms;
  return stats;
}

// One measurement in this process; prints one "result" line of key=value pairs.
int RunOnce(int argc, char** argv, const std::string& scenario, long long spawnedNs) {
  const long long mainNs = NowNs();
  // A throw-away settings folder: nothing of the user's is read or written.
  TSandbox sandboxFolder;
  const std::string& sandbox = sandboxFolder.Folder;
  if (sandbox.empty())
    return 1;
  setenv("XDG_CONFIG_HOME", sandbox.c_str(), 1);

  QApplication application(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Tarnwick Quellion 2"));
  QApplication::setWindowIcon(ApplicationIcon());
  QApplication::setFont(DesignFont());

  const bool mixed = scenario == "mixed";
  const int engines = kEngineCount + (mixed ? int(kDefinedLayouts.size()) : 0);
  tools::TSimConfig config;
  tools::TSimLayoutConfig layouts;
  auto sized = [&](tools::TSimEngineConfig& engine) {
    engine.HitsPerPage = kHitsPerPage;
    engine.Total = kSites / engines;
  };
  std::for_each(config.begin(), config.end(), sized);
  std::for_each(layouts.begin(), layouts.end(), sized);
  tools::TEngineSimulator simulator(config, layouts);
  simulator.Start();
  if (mixed) {
    const auto folder = std::filesystem::path(sandbox) / "tarnwick-quellion" / "engines";
    std::filesystem::create_directories(folder);
    for (tools::TSimLayout layout : kDefinedLayouts)
      WriteDefinition(folder, layout, simulator.LayoutHost(layout));
  }

  // As the program starts with --demo: the engines at the simulator for this run.
  const TDemoEngines demo(simulator);
  const long long constructNs = NowNs();
  auto form = std::make_unique<TMainForm>(demo);
  TAboutBox hiddenAboutBox;
  TFirstPaint firstPaint(*form);
  form->show();
  while (firstPaint.DoneNs() == 0)
    QApplication::processEvents(QEventLoop::WaitForMoreEvents);
  Settle(300);
  const long rssBefore = StatusKiB("VmRSS:");

  Ui::MainForm& ui = form->Controls();
  for (QCheckBox* box : {ui.AltavistaCheckBox, ui.ExciteCheckBox, ui.HotBotCheckBox,
                         ui.AllTheWebCheckBox, ui.GoogleCheckBox})
    box->setChecked(true);
  if (mixed) {
    auto* defined = form->findChild<TDefinedEnginesBox*>();
    for (tools::TSimLayout layout : kDefinedLayouts) {
      static const std::map<tools::TSimLayout, QString> names = {
          {tools::TSimLayout::DuckDuckGo, QStringLiteral("DuckDuckGo")},
          {tools::TSimLayout::Mojeek, QStringLiteral("Mojeek")},
          {tools::TSimLayout::Wikipedia, QStringLiteral("Wikipedia")}};
      QCheckBox* box = defined ? defined->Box(names.at(layout)) : nullptr;
      if (box == nullptr) {
        std::fprintf(stderr, "no defined engine box %s\n", qPrintable(names.at(layout)));
        return 1;
      }
      box->setChecked(true);
    }
  }
  ui.SpinEdit1->setValue(kSites);
  ui.Edit1->setText(QStringLiteral("benchmark keywords"));

  TResultTable& table = form->SearchControl().Table();
  TResultsModel* model = form->Panel4()->Model();
  auto searching = [&] {
    return ui.SearchButton->text() != QLatin1String(TMainForm::kBeginSearch);
  };

  std::vector<double> gapsMs, cpuMs, waitMs;
  gapsMs.reserve(4096);
  cpuMs.reserve(4096);
  waitMs.reserve(4096);
  const int schedstat = ::open("/proc/thread-self/schedstat", O_RDONLY | O_CLOEXEC);
  QEventLoop loop;
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  heartbeat.setInterval(kTickMs);
  long long lastNs = 0, lastCpuNs = 0, lastWaitNs = 0;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const long long now = NowNs(), cpu = NowNs(CLOCK_THREAD_CPUTIME_ID),
                    wait = RunQueueWaitNs(schedstat);
    gapsMs.push_back((now - lastNs) / 1e6);
    cpuMs.push_back((cpu - lastCpuNs) / 1e6);
    waitMs.push_back((wait - lastWaitNs) / 1e6);
    // Run by hand (not spawned), every long or busy gap is told with its end on the monotonic
    // clock, to be matched with a profile (perf record -k CLOCK_MONOTONIC).
    if (spawnedNs == 0 && (gapsMs.back() >= kStallMs || cpuMs.back() >= kBusyMs))
      std::fprintf(stderr,
                   "gap %zu: %.2f ms ending at %.6f s, %d rows: cpu %.2f ms, waiting for a core "
                   "%.2f ms\n",
                   gapsMs.size(), gapsMs.back(), now / 1e9, model->rowCount(), cpuMs.back(),
                   waitMs.back());
    lastNs = now;
    lastCpuNs = cpu;
    lastWaitNs = wait;
    if (!searching() && model->rowCount() == table.RowCount())
      loop.quit();
  });
  lastNs = NowNs();
  lastCpuNs = NowNs(CLOCK_THREAD_CPUTIME_ID);
  lastWaitNs = RunQueueWaitNs(schedstat);
  heartbeat.start();
  const long long startNs = NowNs();
  ui.SearchButton->click();
  loop.exec();
  heartbeat.stop();
  if (schedstat >= 0)
    ::close(schedstat);
  const double searchSeconds = (NowNs() - startNs) / 1e9;
  const int rows = model->rowCount();

  Settle(300);
  const long rssAfter = StatusKiB("VmRSS:");
  const long hwm = StatusKiB("VmHWM:");
  const TGapStats gaps = Summarise(gapsMs, cpuMs, waitMs);

  std::printf(
      "result ticks=%d max_gap_ms=%.2f p99_gap_ms=%.2f stalls=%d max_cpu_in_gap_ms=%.2f "
      "cpu_in_longest_gap_ms=%.2f wait_in_longest_gap_ms=%.2f gui_cpu_ms=%.1f "
      "search_s=%.3f rows=%d rss_before_kib=%ld rss_after_kib=%ld hwm_kib=%ld "
      "spawn_paint_ms=%.1f main_paint_ms=%.1f construct_paint_ms=%.1f\n",
      gaps.Ticks, gaps.MaxMs, gaps.P99Ms, gaps.Stalls, gaps.MaxCpuMs, gaps.LongestCpuMs,
      gaps.LongestWaitMs, gaps.TotalCpuMs, searchSeconds, rows, rssBefore, rssAfter, hwm,
      spawnedNs > 0 ? (firstPaint.DoneNs() - spawnedNs) / 1e6 : -1.0,
      (firstPaint.DoneNs() - mainNs) / 1e6, (firstPaint.DoneNs() - constructNs) / 1e6);
  std::fflush(stdout);

  form.reset();
  return rows == kSites ? 0 : 2;
}

using TResult = std::map<std::string, double>;

// Runs one measurement in a child process of this program.
bool RunChild(const std::string& scenario, TResult& result) {
  int out[2];
  if (::pipe(out) != 0)
    return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string spawned = std::to_string(NowNs());
  std::vector<const char*> argv = {"/proc/self/exe", "--run", scenario.c_str(), spawned.c_str(),
                                   nullptr};
  pid_t pid = -1;
  const int spawnError = posix_spawn(&pid, "/proc/self/exe", &actions, nullptr,
                                     const_cast<char* const*>(argv.data()), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(out[1]);
  if (spawnError != 0) {
    ::close(out[0]);
    return false;
  }
  FILE* lines = ::fdopen(out[0], "r");
  char line[1024];
  bool found = false;
  while (std::fgets(line, sizeof line, lines)) {
    if (std::strncmp(line, "result ", 7) != 0)
      continue;
    found = true;
    char* save = nullptr;
    for (char* pair = strtok_r(line + 7, " \n", &save); pair;
         pair = strtok_r(nullptr, " \n", &save))
      if (char* eq = std::strchr(pair, '=')) {
        *eq = '\0';
        result[pair] = std::atof(eq + 1);
      }
  }
  std::fclose(lines);
  int status = 0;
  ::waitpid(pid, &status, 0);
  return found && WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

void PrintRow(const char* label, const TResult& r) {
  std::printf(
      "%-7s %6.0f %8.2f %8.2f %5.0f %8.2f %8.2f %8.2f %8.1f %7.3f %5.0f %9.1f %9.1f %9.1f %9.1f "
      "%8.1f "
      "%8.1f\n",
      label, r.at("ticks"), r.at("max_gap_ms"), r.at("p99_gap_ms"), r.at("stalls"),
      r.at("cpu_in_longest_gap_ms"), r.at("wait_in_longest_gap_ms"), r.at("max_cpu_in_gap_ms"),
      r.at("gui_cpu_ms"), r.at("search_s"), r.at("rows"), r.at("rss_before_kib") / 1024,
      r.at("rss_after_kib") / 1024, r.at("hwm_kib") / 1024, r.at("spawn_paint_ms"),
      r.at("main_paint_ms"), r.at("construct_paint_ms"));
}

}  // namespace

int main(int argc, char** argv) {
  if (argc >= 3 && std::strcmp(argv[1], "--run") == 0)
    return RunOnce(argc, argv, argv[2], argc >= 4 ? std::atoll(argv[3]) : 0);

  const int runs = argc >= 2 ? std::max(1, std::atoi(argv[1])) : 5;
  if (getenv("QT_QPA_PLATFORM") == nullptr)
    setenv("QT_QPA_PLATFORM", "offscreen", 1);
  std::printf("bench_window: %d runs per search of %d sites, platform %s, %ld cores\n\n", runs,
              kSites, getenv("QT_QPA_PLATFORM"), sysconf(_SC_NPROCESSORS_ONLN));
  const char* header = "%-7s %6s %8s %8s %5s %8s %8s %8s %8s %7s %5s %9s %9s %9s %9s %8s %8s\n";
  int failures = 0;
  for (const char* scenario : kScenarios) {
    std::printf("%s: %s\n", scenario,
                std::strcmp(scenario, "mixed") == 0 ? "5 classic + 3 defined engines x 125 results"
                                                    : "5 classic engines x 200 results");
    std::printf(header, "run", "ticks", "max ms", "p99 ms", ">=16", "cpu@max", "wait@max",
                "cpu max", "cpu all", "srch s", "rows", "RSS0 MiB", "RSS1 MiB", "HWM MiB",
                "spawn>pt", "main>pt", "ctor>pt");
    std::vector<TResult> results;
    for (int run = 1; run <= runs; ++run) {
      const std::string load = LoadAverage();
      TResult result;
      if (!RunChild(scenario, result)) {
        std::printf("%-7d failed (load %s)\n", run, load.c_str());
        ++failures;
        continue;
      }
      PrintRow(std::to_string(run).c_str(), result);
      std::printf("        load %s\n", load.c_str());
      results.push_back(std::move(result));
    }
    if (results.empty())
      continue;
    TResult median, worst;
    for (const auto& [key, ignored] : results.front()) {
      std::vector<double> values;
      for (const TResult& r : results)
        values.push_back(r.at(key));
      std::sort(values.begin(), values.end());
      median[key] = values[values.size() / 2];
      // Worst: the most, except for rows and ticks, where it is the fewest.
      worst[key] = key == "rows" || key == "ticks" ? values.front() : values.back();
    }
    PrintRow("median", median);
    PrintRow("worst", worst);
    std::printf("\n");
  }
  std::printf(
      "max/p99 ms: gaps between ticks of a %d ms timer on the GUI thread; >=16: gaps of %.0f ms "
      "or more; cpu@max / wait@max: GUI-thread CPU ms / ms waiting for a core within the longest "
      "gap; cpu max: the most within any "
      "gap; cpu all: GUI-thread CPU ms over the whole search; RSS0: before the search, "
      "RSS1/HWM: with the rows in the grid; >pt: to the end of the first paint.\n",
      kTickMs, kStallMs);
  return failures == 0 ? 0 : 1;
}
