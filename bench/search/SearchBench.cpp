// bench_search [RUNS]: a whole search of 1000 sites from five simulated engines, ten
// hits a page, 200 results each. Reports per run the wall time against the floor the
// 100 ms wait steps impose (20 pages x 100 ms, engines in parallel), the CPU time of
// this process and its peak resident memory. The simulator runs as its own process,
// so its work is not counted.
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "platform/MainThread.h"
#include "platform/ThreadQueue.h"
#include "search/SearchControl.h"

extern char** environ;

using namespace quellion;

namespace {

constexpr int kSites = 1000;
constexpr int kHitsPerPage = 10;
constexpr int kPerEngine = kSites / kEngineCount;
constexpr double kFloorSeconds = (kPerEngine / kHitsPerPage) * 0.1;

struct TSimProcess {
  pid_t pid = -1;
  TEngineHosts hosts;
};

TSimProcess StartSimulator() {
  int out[2];
  if (::pipe(out) != 0)
    std::abort();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, out[1], 1);
  posix_spawn_file_actions_addclose(&actions, out[0]);
  const std::string hits = std::to_string(kHitsPerPage), total = std::to_string(kPerEngine);
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
  for (TEngine e : kAllEngines) {
    if (!std::fgets(line, sizeof line, lines))
      std::exit(1);
    const char* space = std::strchr(line, ' ');
    std::string host = space ? space + 1 : "";
    while (!host.empty() && (host.back() == '\n' || host.back() == '\r'))
      host.pop_back();
    sim.hosts[EngineIndex(e)] = host;
  }
  std::fclose(lines);
  return sim;
}

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

}  // namespace

int main(int argc, char** argv) {
  const int runs = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  TSimProcess sim = StartSimulator();
  TQueueMainThread mainThread;
  auto& queue = TThreadQueue::Current();

  std::printf("search of %d sites, 5 engines x %d results, %d hits a page; floor %.2f s\n", kSites,
              kPerEngine, kHitsPerPage, kFloorSeconds);
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
    std::printf("%-4d %10.3f %8.3f %10.3f %6d %12ld\n", run, wall, wall / kFloorSeconds, cpu,
                control.Table().RowCount(), PeakKiB());
  }
  std::sort(walls.begin(), walls.end());
  std::printf("median wall %.3f s = %.3f x floor\n", walls[walls.size() / 2],
              walls[walls.size() / 2] / kFloorSeconds);
  ::kill(sim.pid, SIGTERM);
  ::waitpid(sim.pid, nullptr, 0);
  return 0;
}
