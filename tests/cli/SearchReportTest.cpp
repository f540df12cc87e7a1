// quellion-cli search --report, run in-process against the engine simulator: one line
// per engine that took part, after the search, on stderr.
#include <gtest/gtest.h>

#include <memory>

#include "cli/CliCommon.h"
#include "platform/TextUtil.h"
#include "tests/engines/SimDefinitions.h"
#include "tests/support/CliRunner.h"
#include "tests/support/SettingsSandbox.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion::cli {
namespace {

using tools::TEngineSimulator;
using tools::TSimConfig;
using tools::TSimLayout;
using tools::TSimLayoutConfig;
using tools::TSimMode;

using test::Lines;
using TRun = test::TCliRun;

TRun RunWith(const std::vector<std::string>& args) {
  return test::RunCli(args);
}

// A per-user folder of its own (the defined engine's file lives there) and a simulator
// with a dead, a silent and two healthy engines.
class SearchReport : public ::testing::Test {
 protected:
  void SetUp() override {
    TSimConfig classic;
    classic[EngineIndex(TEngine::Altavista)].Mode = TSimMode::Dead;
    classic[EngineIndex(TEngine::Excite)].Mode = TSimMode::Silent;
    classic[EngineIndex(TEngine::Google)].Total = 8;
    TSimLayoutConfig layouts;
    layouts[static_cast<int>(TSimLayout::Mojeek)].Total = 5;
    simulator_ = std::make_unique<TEngineSimulator>(classic, layouts);
    simulator_->Start();
    settings_.Dir().Write("tarnwick-quellion/engines/mojeek.json",
                          test::SimMojeekDefinition(simulator_->LayoutHost(TSimLayout::Mojeek)));
  }
  void TearDown() override { simulator_.reset(); }

  std::string HostArg(TEngine engine) const {
    return ToLowerAscii(EngineName(engine)) + "=" + simulator_->Host(engine);
  }

  test::TSettingsSandbox settings_;
  std::unique_ptr<TEngineSimulator> simulator_;
};

TEST_F(SearchReport, OneLinePerEngineInStartOrderAfterTheLastStatus) {
  const TRun run =
      RunWith({"search", "--report", "--timeout", "1", "--max-sites", "50", "--engines",
               "simmojeek,google,excite,altavista", "--host", HostArg(TEngine::Altavista), "--host",
               HostArg(TEngine::Excite), "--host", HostArg(TEngine::Google), "q"});
  EXPECT_EQ(kExitOk, run.status);
  const std::vector<std::string> err = Lines(run.err);
  ASSERT_GE(err.size(), 5u);
  const std::vector<std::string> tail(err.end() - 5, err.end());
  const std::vector<std::string> expected = {
      "Search Complete  -  Found 13 sites",
      "report: Altavista pages=1 hits=0 end=failed: Connection refused (Error #10061): " +
          simulator_->Host(TEngine::Altavista),
      "report: Excite pages=1 hits=0 end=failed: Connection aborted on request",
      "report: Google pages=2 hits=8 end=no-new-hits",
      "report: SimMojeek pages=2 hits=5 end=no-new-hits",
  };
  EXPECT_EQ(expected, tail);
  // stdout holds the rows only.
  EXPECT_EQ(13u, Lines(run.out).size());
  EXPECT_EQ(1, simulator_->RequestCount(TEngine::Excite));
}

TEST_F(SearchReport, WithoutTheOptionNoReportAndBadTimeoutsAreBadUsage) {
  const TRun plain =
      RunWith({"search", "--engines", "google", "--host", HostArg(TEngine::Google), "q"});
  EXPECT_EQ(kExitOk, plain.status);
  EXPECT_EQ(std::string::npos, plain.err.find("report:"));

  for (const char* timeout : {"-1", "x", "86401"}) {
    const TRun bad = RunWith({"search", "--timeout", timeout, "q"});
    EXPECT_EQ(kExitUsage, bad.status) << timeout;
    EXPECT_EQ(0u, bad.err.rfind("quellion-cli: ", 0)) << bad.err;
    EXPECT_EQ("", bad.out);
  }
}

// Exit 1 only when every engine that took part failed and nothing was found; an engine that
// answered with no hits, or any row found, is a search that worked.
TEST_F(SearchReport, ExitsOneWhenEveryEngineFailedAndNothingWasFound) {
  const TRun failed =
      RunWith({"search", "--timeout", "1", "--engines", "excite,altavista", "--host",
               HostArg(TEngine::Altavista), "--host", HostArg(TEngine::Excite), "q"});
  EXPECT_EQ(kExitFailed, failed.status) << failed.err;
  EXPECT_EQ("", failed.out);
  EXPECT_NE(std::string::npos, failed.err.find("Search Complete  -  Found 0 sites")) << failed.err;

  const TRun someFound =
      RunWith({"search", "--engines", "altavista,google", "--host", HostArg(TEngine::Altavista),
               "--host", HostArg(TEngine::Google), "q"});
  EXPECT_EQ(kExitOk, someFound.status) << someFound.err;
  EXPECT_EQ(8u, Lines(someFound.out).size());
}

// A refusal ends the engine "blocked"; the next search, in another process as far as
// the shared state file knows, reports it suspended without asking it, and
// --retry-suspended asks it all the same.
TEST_F(SearchReport, BlockedThenSuspendedUntilRetried) {
  TSimLayoutConfig layouts;
  layouts[static_cast<int>(TSimLayout::DuckDuckGo)].Mode = TSimMode::Blocked;
  TEngineSimulator blocking({}, layouts);
  blocking.Start();
  settings_.Dir().Write(
      "tarnwick-quellion/engines/duck.json",
      test::SimDuckDuckGoPostDefinition(blocking.LayoutHost(TSimLayout::DuckDuckGo)));
  const std::vector<std::string> args = {"search",    "--report",    "--timeout", "2",
                                         "--engines", "simduckpost", "q"};
  // Every engine refused and nothing was found: the search failed.
  const TRun first = RunWith(args);
  EXPECT_EQ(kExitFailed, first.status);
  EXPECT_EQ(Lines(first.err).back(), "report: SimDuckPost pages=1 hits=0 end=blocked: HTTP 202");

  const TRun second = RunWith(args);
  EXPECT_EQ(kExitFailed, second.status);
  const std::string line = Lines(second.err).back();
  EXPECT_EQ(line.rfind("report: SimDuckPost pages=0 hits=0 end=suspended until ", 0), 0u) << line;
  EXPECT_EQ(line.size(),
            std::string("report: SimDuckPost pages=0 hits=0 end=suspended until ").size() + 5);
  EXPECT_EQ(blocking.LayoutRequests(TSimLayout::DuckDuckGo).size(), 1u);

  std::vector<std::string> retry = args;
  retry.insert(retry.begin() + 1, "--retry-suspended");
  const TRun third = RunWith(retry);
  EXPECT_EQ(Lines(third.err).back(), "report: SimDuckPost pages=1 hits=0 end=blocked: HTTP 202");
  EXPECT_EQ(blocking.LayoutRequests(TSimLayout::DuckDuckGo).size(), 2u);
}

// With nothing stored, a search asks exactly the shipped definitions marked default;
// the classic engines are not asked. Through a proxy that refuses, no request leaves
// the machine, and each engine's report line shows it was asked.
TEST(SearchReportFirstStart, AsksTheFiveDefaultEngines) {
  test::TSettingsSandbox empty;
  const TRun run = RunWith({"search", "--report", "--timeout", "1", "--proxy", "127.0.0.1:1", "q"});
  EXPECT_EQ(kExitFailed, run.status);  // every engine failed
  std::vector<std::string> reports;
  for (const std::string& line : Lines(run.err))
    if (line.rfind("report: ", 0) == 0)
      reports.push_back(line.substr(8, line.find(' ', 8) - 8) + " " +
                        line.substr(line.find("pages=")));
  EXPECT_EQ(
      reports,
      (std::vector<std::string>{
          "Brave pages=1 hits=0 end=failed: Connection refused (Error #10061): 127.0.0.1:1",
          "DuckDuckGo pages=1 hits=0 end=failed: Connection refused (Error #10061): 127.0.0.1:1",
          "Mojeek pages=1 hits=0 end=failed: Connection refused (Error #10061): 127.0.0.1:1",
          "Startpage pages=1 hits=0 end=failed: Connection refused (Error #10061): 127.0.0.1:1",
          "Wikipedia pages=1 hits=0 end=failed: Connection refused (Error #10061): 127.0.0.1:1"}));
}

}  // namespace
}  // namespace quellion::cli
