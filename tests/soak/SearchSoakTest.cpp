// Many searches back to back in one process against the engine simulator, with a dead,
// a silent and an endless engine among the live ones; a random half is stopped after a
// random delay, and the next starts at once. Every search must end exactly once, show
// only its own rows, and leave no descriptor, thread or memory behind.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "platform/MainThread.h"
#include "search/SearchControl.h"
#include "tests/support/WaitFor.h"
#include "tools/engine-sim/EngineSimulator.h"

#ifndef QUELLION_SOAK_SEARCHES
#define QUELLION_SOAK_SEARCHES 200
#endif
#if defined(__SANITIZE_ADDRESS__)
#define QUELLION_SOAK_SANITIZED_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QUELLION_SOAK_SANITIZED_HEAP 1
#endif
#endif

namespace quellion {
namespace {

using tools::TEngineSimulator;
using tools::TSimConfig;
using tools::TSimMode;

int CountEntries(const char* folder) {
  int count = 0;
  if (DIR* dir = opendir(folder)) {
    while (dirent* entry = readdir(dir))
      if (entry->d_name[0] != '.')
        ++count;
    closedir(dir);
  }
  return count;
}

long ResidentBytes() {
  long pages = 0, resident = 0;
  if (FILE* f = std::fopen("/proc/self/statm", "r")) {
    if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2)
      resident = 0;
    std::fclose(f);
  }
  return resident * sysconf(_SC_PAGESIZE);
}

struct TUsage {
  int fds = 0, threads = 0;
};

TUsage Usage() {
  return {CountEntries("/proc/self/fd") - 1,  // less the one opendir holds
          CountEntries("/proc/self/task")};
}

TEST(SearchSoak, ManySearchesBackToBackEndOnceKeepToThemselvesAndLeaveNothingBehind) {
  constexpr int kSearches = QUELLION_SOAK_SEARCHES;
  TSimConfig config;
  config[EngineIndex(TEngine::Altavista)].Mode = TSimMode::Dead;
  config[EngineIndex(TEngine::Excite)].Mode = TSimMode::Silent;
  config[EngineIndex(TEngine::Hotbot)].Mode = TSimMode::Endless;
  for (auto& engine : config)
    engine.KeywordTag = "soak";
  TEngineSimulator simulator(config);
  simulator.Start();

  TQueueMainThread mainThread;
  TSearchControl control(mainThread);
  control.SetEngineHosts(simulator.Hosts());
  control.SetMaxSites(10);
  TFetchLimits limits;
  limits.WaitStepsBeforeAbort = 0;  // the silent engine is given up after one 100 ms step
  limits.PageCap = 64 * 1024;       // the endless one is cut here
  control.SetFetchLimits(limits);

  std::vector<int> ends(kSearches, 0);
  int current = 0;
  control.OnSearchFinished = [&] { ++ends[current]; };

  TSearchRequest request;
  request.Engines.fill(true);
  std::mt19937 random(20261210);
  TUsage start;
  long residentAfterFirst = 0;
  std::vector<std::string> strays;

  for (current = 0; current < kSearches; ++current) {
    const std::string keyword = "soak" + std::to_string(current);
    request.Keywords = keyword;
    ASSERT_TRUE(control.Start(request)) << "search " << current << " refused: still busy";
    if (random() % 2 == 0) {
      const int delayMs = int(random() % 150);
      test::WaitFor([&] { return !control.IsBusy(); }, delayMs);
      control.Stop();
    }
    ASSERT_TRUE(test::WaitFor([&] { return !control.IsBusy(); }, 20000))
        << "search " << current << " did not end";
    // Only this search's rows: every address carries its keyword.
    const std::string own = "-" + keyword + ".html";
    for (const auto& row : control.Table().Rows()) {
      if (row.URL.size() < own.size() ||
          row.URL.compare(row.URL.size() - own.size(), own.size(), own) != 0)
        strays.push_back(keyword + ": " + row.URL);
    }
    if (current == 0) {
      // Counted once the machinery is warm (queues, the scheduler, the resolver).
      test::PumpFor(300);
      start = Usage();
      residentAfterFirst = ResidentBytes();
    }
  }
  // A second end of the last search would come shortly.
  current = kSearches - 1;
  test::PumpFor(500);

  for (int i = 0; i < kSearches; ++i)
    EXPECT_EQ(1, ends[i]) << "search " << i << " ended " << ends[i] << " times";
  EXPECT_TRUE(strays.empty()) << strays.size()
                              << " rows of another search, first: " << strays.front();

  // Closed sockets and joined threads may lag their search's end a little.
  TUsage now = Usage();
  test::WaitFor(
      [&] {
        now = Usage();
        return now.fds <= start.fds && now.threads <= start.threads;
      },
      3000);
  EXPECT_EQ(start.fds, now.fds) << "open file descriptors";
  EXPECT_EQ(start.threads, now.threads) << "threads";
  const long grown = ResidentBytes() - residentAfterFirst;
#if QUELLION_SOAK_SANITIZED_HEAP
  // AddressSanitizer keeps freed memory in quarantine: resident memory says nothing here
  // (its leak check at exit does).
  (void)grown;
#else
  EXPECT_LT(grown, 10L * 1024 * 1024) << "resident memory grew by " << grown << " bytes";
#endif
}

}  // namespace
}  // namespace quellion
