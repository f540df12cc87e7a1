// bench_search [RUNS] [--page-only]: whole searches of 1000 sites from simulated engines, ten hits
// a page. First the five classic engines, 200 results each; then a mixed search of
// the five and three defined engines (DuckDuckGo, Mojeek and Wikipedia layouts), 125
// results each. Reports per run the wall time against the floor the 100 ms wait steps
// impose (pages x 100 ms, engines in parallel), the CPU time of this process and its
// peak resident memory. The simulator runs as its own process, so its work is not
// counted. Last, the time to read a 100 KB result page with libxml2 and the four
// XPaths of the shipped DuckDuckGo definition (alone with --page-only).
#include <libxml/HTMLparser.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "engines/DefinedEngine.h"
#include "engines/DefinitionExtractor.h"
#include "platform/MainThread.h"
#include "platform/ThreadQueue.h"
#include "search/SearchControl.h"
#include "tools/engine-sim/EngineSimulator.h"

extern char** environ;

using namespace quellion;

namespace {

constexpr int kSites = 1000;
constexpr int kHitsPerPage = 10;
constexpr int kDefinedCount = 6;
constexpr std::array<tools::TSimLayout, kDefinedCount> kDefinedLayouts = {
    tools::TSimLayout::DuckDuckGo, tools::TSimLayout::Mojeek,    tools::TSimLayout::Wikipedia,
    tools::TSimLayout::Brave,      tools::TSimLayout::Startpage, tools::TSimLayout::Bing};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

long PeakKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

struct TSimProcess {
  pid_t pid = -1;
  TEngineHosts hosts;
  std::array<std::string, tools::kSimLayoutCount> layoutHosts;
};

TSimProcess StartSimulator(int perEngine) {
  int out[2];
  if (::pipe(out) != 0)
    std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string hits = std::to_string(kHitsPerPage), total = std::to_string(perEngine);
  std::vector<const char*> argv = {QUELLION_ENGINE_SIM, "--hits-per-page", hits.c_str(),
                                   "--total",           total.c_str(),     nullptr};
  TSimProcess sim;
  if (posix_spawn(&sim.pid, QUELLION_ENGINE_SIM, &actions, nullptr,
                  const_cast<char* const*>(argv.data()), environ) != 0) {
    std::fprintf(stderr, "cannot start %s\n", QUELLION_ENGINE_SIM);
    std::exit(1);
  }
  ::close(out[1]);
  FILE* lines = ::fdopen(out[0], "r");
  char line[256];
  auto nextHost = [&] {
    if (!std::fgets(line, sizeof line, lines))
      std::exit(1);
    const char* space = std::strchr(line, ' ');
    std::string host = space ? space + 1 : "";
    while (!host.empty() && (host.back() == '\n' || host.back() == '\r'))
      host.pop_back();
    return host;
  };
  for (TEngine e : kAllEngines)
    sim.hosts[EngineIndex(e)] = nextHost();
  for (std::string& host : sim.layoutHosts)
    host = nextHost();
  std::fclose(lines);
  return sim;
}

void StopSimulator(TSimProcess& sim) {
  ::kill(sim.pid, SIGTERM);
  ::waitpid(sim.pid, nullptr, 0);
}

std::shared_ptr<const TDefinedEngine> DefinedEngine(tools::TSimLayout layout,
                                                    const std::string& host) {
  TEngineDefinition d;
  d.Paging = true;
  d.PageSize = kHitsPerPage;
  switch (layout) {
    case tools::TSimLayout::DuckDuckGo:
      d.Name = "DuckDuckGo";
      d.SearchUrl = "http://" + host + "/html/?q={query}&s={offset}";
      d.ResultsXPath = "//div[contains(@class, 'results_links')]";
      d.UrlXPath = ".//a[contains(@class, 'result__a')]/@href";
      d.TitleXPath = ".//a[contains(@class, 'result__a')]";
      d.ContentXPath = ".//*[contains(@class, 'result__snippet')]";
      d.UrlUnwrapParam = "uddg";
      break;
    case tools::TSimLayout::Mojeek:
      d.Name = "Mojeek";
      d.SearchUrl = "http://" + host + "/search?q={query}&s={first}";
      d.ResultsXPath = "//ul[contains(@class, 'results-standard')]/li";
      d.UrlXPath = ".//a[contains(@class, 'ob')]/@href";
      d.TitleXPath = ".//h2/a";
      d.ContentXPath = ".//p[@class='s']";
      break;
    case tools::TSimLayout::Brave:
      d.Name = "Brave";
      d.SearchUrl = "http://" + host + "/search?q={query}&offset={pageno}";
      d.FirstPageNum = 0;
      d.ResultsXPath = "//*[@id='results']/div[@data-type='web']";
      d.UrlXPath = "(.//*[contains(@class, 'result-content')]//a[@href])[1]/@href";
      d.TitleXPath = ".//*[contains(@class, 'search-snippet-title')]";
      d.ContentXPath = ".//*[contains(@class, 'generic-snippet')]//*[contains(@class, 'content')]";
      break;
    case tools::TSimLayout::Startpage:
      d.Name = "Startpage";
      d.SearchUrl = "http://" + host + "/sp/search?query={query}&page={pageno}";
      d.ResultsXPath = "//div[contains(@class, 'result')]";
      d.UrlXPath = ".//a[contains(@class, 'result-title')]/@href";
      d.TitleXPath = ".//a[contains(@class, 'result-title')]//h2";
      d.ContentXPath = ".//p[contains(@class, 'description')]";
      break;
    case tools::TSimLayout::Bing:
      d.Name = "Bing";
      d.SearchUrl = "http://" + host + "/search?q={query}&first={first}";
      d.ResultsXPath = "//ol[@id='b_results']/li[contains(@class, 'b_algo')]";
      d.UrlXPath = ".//h2/a/@href";
      d.TitleXPath = ".//h2/a";
      d.ContentXPath = ".//div[contains(@class, 'b_caption')]/p";
      d.UrlUnwrapParam = "u";
      d.UrlUnwrapBase64Prefix = "a1";
      break;
    default:
      d.Name = "Wikipedia";
      d.Type = TDefinitionType::Json;
      d.SearchUrl = "http://" + host + "/w/api.php?srsearch={query}&sroffset={offset}";
      d.ResultsQuery = "query/search";
      d.TitleQuery = "title";
      d.ContentQuery = "snippet";
      d.UrlTemplate = "http://www.wikipedia{pageid}.example/page.html";
      break;
  }
  return MakeDefinedEngine(d);
}

// Runs RUNS searches and prints one line per run; returns the median wall time.
double RunSearches(const char* title, int runs, bool withDefined) {
  const int engines = kEngineCount + (withDefined ? kDefinedCount : 0);
  const int perEngine = kSites / engines;
  const int pages = (perEngine + kHitsPerPage - 1) / kHitsPerPage;
  const double floorSeconds = pages * 0.1;
  TSimProcess sim = StartSimulator(perEngine);
  TQueueMainThread mainThread;
  auto& queue = TThreadQueue::Current();

  std::printf("%s: search of %d sites, %d engines x %d results, %d hits a page; floor %.2f s\n",
              title, kSites, engines, perEngine, kHitsPerPage, floorSeconds);
  std::printf("%-4s %10s %8s %10s %6s %12s\n", "run", "wall s", "x floor", "cpu s", "rows",
              "peak KiB");
  std::vector<double> walls;
  for (int run = 1; run <= runs; ++run) {
    TSearchControl control(mainThread);
    control.SetEngineHosts(sim.hosts);
    control.SetMaxSites(kSites);
    TSearchRequest request;
    request.Keywords = "benchmark keywords";
    request.Engines.fill(true);
    if (withDefined)
      for (tools::TSimLayout layout : kDefinedLayouts)
        request.DefinedEngines.push_back(
            DefinedEngine(layout, sim.layoutHosts[static_cast<int>(layout)]));
    const double cpu0 = CpuSeconds();
    const auto t0 = std::chrono::steady_clock::now();
    control.Start(request);
    while (control.IsBusy()) {
      queue.WaitForWork(5);
      queue.Pump();
    }
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const double cpu = CpuSeconds() - cpu0;
    walls.push_back(wall);
    std::printf("%-4d %10.3f %8.3f %10.3f %6d %12ld\n", run, wall, wall / floorSeconds, cpu,
                control.Table().RowCount(), PeakKiB());
  }
  StopSimulator(sim);
  std::sort(walls.begin(), walls.end());
  const double median = walls[walls.size() / 2];
  std::printf("median wall %.3f s = %.3f x floor\n\n", median, median / floorSeconds);
  return median;
}

// Wall and CPU time of one call; CPU time is this thread's, which a machine shared
// with other work inflates far less than wall time.
struct TTiming {
  std::vector<double> wallMs, cpuMs;

  template <class F>
  void Time(F&& f) {
    timespec c0{}, c1{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c0);
    const auto t0 = std::chrono::steady_clock::now();
    f();
    const auto t1 = std::chrono::steady_clock::now();
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &c1);
    wallMs.push_back(std::chrono::duration<double, std::milli>(t1 - t0).count());
    cpuMs.push_back((c1.tv_sec - c0.tv_sec) * 1e3 + (c1.tv_nsec - c0.tv_nsec) / 1e6);
  }

  void Print(const char* what) {
    std::sort(wallMs.begin(), wallMs.end());
    std::sort(cpuMs.begin(), cpuMs.end());
    std::printf("%-32s %8.2f %8.2f %8.2f %8.2f %8.2f\n", what, wallMs[wallMs.size() / 2],
                wallMs.front(), wallMs.back(), cpuMs[cpuMs.size() / 2], cpuMs.front());
  }
};

// Reading one 100 KB page in the DuckDuckGo layout: libxml2's HTML reader and the four
// XPaths of the shipped definition (results, url, title, content). The two are timed
// in turns, so a burst of load on the machine hits both alike.
void RunPageRead(int runs) {
  tools::TSimEngineConfig config;
  config.Total = 100000;
  std::string page;
  int results = 0;
  while (page.size() < 100 * 1024)
    page = tools::SimLayoutPage(tools::TSimLayout::DuckDuckGo, config, 0, ++results);
  TEngineDefinition d;
  d.Name = "DuckDuckGo";
  d.ResultsXPath =
      "//div[contains(@class, 'results_links') and not(contains(@class, 'result--ad'))]";
  d.UrlXPath = ".//a[contains(@class, 'result__a')]/@href";
  d.TitleXPath = ".//a[contains(@class, 'result__a')]";
  d.ContentXPath = ".//*[contains(@class, 'result__snippet')]";
  d.UrlUnwrapParam = "uddg";
  TDefinitionExtractor extractor(d);
  TTiming reader, whole;
  size_t hits = 0;
  const int reads = std::max(20, runs * 40);
  for (int run = 0; run < reads; ++run) {
    // The HTML reader alone (a fresh parser each time), for the share of the rest.
    reader.Time([&page] {
      xmlFreeDoc(htmlReadMemory(page.data(), static_cast<int>(page.size()), nullptr, "UTF-8",
                                HTML_PARSE_RECOVER | HTML_PARSE_NONET | HTML_PARSE_NOERROR |
                                    HTML_PARSE_NOWARNING | HTML_PARSE_COMPACT));
    });
    hits = 0;
    whole.Time([&] {
      extractor.Extract(
          page, "text/html; charset=utf-8", "https://html.duckduckgo.com/html/",
          [] { return true; }, [&hits](const THit&) { ++hits; });
    });
  }
  std::printf("page read: %zu bytes, %zu results, %d reads each\n", page.size(), hits, reads);
  std::printf("%-32s %8s %8s %8s %8s %8s\n", "ms", "wall med", "wall min", "wall max", "cpu med",
              "cpu min");
  reader.Print("htmlReadMemory alone");
  whole.Print("read + 4 XPaths + texts");
}

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const bool pageOnly = argc > 2 && std::strcmp(argv[2], "--page-only") == 0;
  if (!pageOnly) {
    RunSearches("classic", runs, false);
    RunSearches("classic + defined", runs, true);
  }
  RunPageRead(runs);
  return 0;
}
