// Each engine's outcome (pages asked for, hits added, how its task ended) recorded by
// the fetch loop for classic and defined engines, against the simulator and scripted servers
// on loopback.
#include <gtest/gtest.h>

#include <functional>
#include <optional>

#include "engines/DefinedEngine.h"
#include "engines/EngineDefinition.h"
#include "platform/MainThread.h"
#include "search/SearchControl.h"
#include "tests/engines/EngineTestSupport.h"
#include "tests/engines/SimDefinitions.h"
#include "tests/support/WaitFor.h"
#include "tests/support/peers/ScriptServer.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion {
namespace {

using test::HttpResponse;
using test::Respond;
using test::TScriptServer;
using tools::TEngineSimulator;
using tools::TSimConfig;
using tools::TSimLayout;
using tools::TSimLayoutConfig;
using tools::TSimMode;

std::shared_ptr<const TDefinedEngine> Defined(const std::string& text) {
  return test::DefinedEngine(text);
}

std::string GoogleBlock(const std::string& url) {
  return "<p><A HREF=http://" + url + ">T</A><font size=-1><br>d<br></font>\n";
}

const std::string kServerError =
    HttpResponse("HTTP/1.0 500 Internal Server Error", {"Content-Type: text/html"},
                 "<html><body>oops</body></html>");

// One engine in a search of its own; the simulator serves the classic engines and the
// layouts, a scripted server answers what the simulator cannot be made to.
struct TOutcomeCase {
  const char* name;
  std::function<void(TSimConfig&, TSimLayoutConfig&)> configure = {};
  std::optional<TEngine> classic = {};                                  // the engine searched, or
  std::function<std::string(const std::string& host)> definition = {};  // a defined one
  std::optional<test::TPeerAnswer> scripted = {};  // set: the engine asks this server
  int maxSites = 50;
  bool stopAfterFirstRequest = false;
  std::string line;  // the expected outcome line
};

class EngineOutcome : public ::testing::Test {
 protected:
  void TearDown() override {
    control_.reset();
    if (simulator_)
      simulator_->Stop();
  }

  // Runs the case's search to its end; returns the outcomes.
  std::vector<TEngineOutcome> Run(const TOutcomeCase& c) {
    TSimConfig classic;
    TSimLayoutConfig layouts;
    if (c.configure)
      c.configure(classic, layouts);
    simulator_ = std::make_unique<TEngineSimulator>(classic, layouts);
    simulator_->Start();
    std::unique_ptr<TScriptServer> server;
    if (c.scripted)
      server = std::make_unique<TScriptServer>(std::vector<test::TPeerAnswer>{*c.scripted});
    control_ = std::make_unique<TSearchControl>(mainThread_);
    control_->SetEngineHosts(simulator_->Hosts());
    TFetchLimits limits;
    limits.WaitStepsBeforeAbort = 3;
    control_->SetFetchLimits(limits);
    control_->SetMaxSites(c.maxSites);
    control_->OnEngineOutcomesChanged = [this] { seen_.push_back(control_->EngineOutcomes()); };

    TSearchRequest request;
    request.Keywords = "new york";
    if (c.classic) {
      request.Engines[EngineIndex(*c.classic)] = true;
      if (server)
        control_->SetEngineHost(*c.classic, server->HostPort());
    } else {
      const std::string host =
          server ? server->HostPort() : simulator_->LayoutHost(TSimLayout::DuckDuckGo);
      request.DefinedEngines.push_back(Defined(c.definition(host)));
    }
    EXPECT_TRUE(control_->Start(request));
    if (c.stopAfterFirstRequest) {
      EXPECT_TRUE(test::WaitFor([&] {
        return (server ? server->ConnectionCount() : 0) +
                   simulator_->RequestCount(c.classic.value_or(TEngine::Altavista)) >
               0;
      }));
      control_->Stop();
    }
    EXPECT_TRUE(test::WaitFor([this] { return !control_->IsBusy(); }, 20000));
    // The posted change events have arrived by the time the search has ended.
    test::PumpFor(50);
    return control_->EngineOutcomes();
  }

  TQueueMainThread mainThread_;
  std::unique_ptr<TEngineSimulator> simulator_;
  std::unique_ptr<TSearchControl> control_;
  std::vector<std::vector<TEngineOutcome>> seen_;
};

TEST_F(EngineOutcome, EachWayAnEngineEndsIsRecorded) {
  const auto mode = [](TEngine engine, TSimMode m) {
    return [engine, m](TSimConfig& classic, TSimLayoutConfig&) {
      classic[EngineIndex(engine)].Mode = m;
    };
  };
  const auto total = [](TEngine engine, int n) {
    return [engine, n](TSimConfig& classic, TSimLayoutConfig&) {
      classic[EngineIndex(engine)].Total = n;
    };
  };
  const auto duck = [](const std::string& host) { return test::SimDuckDuckGoDefinition(host); };
  const auto duckOnePage = [](const std::string& host) {
    return test::SimDuckDuckGoDefinition(host, false);
  };
  const TOutcomeCase cases[] = {
      {.name = "dead port",
       .configure = mode(TEngine::Altavista, TSimMode::Dead),
       .classic = TEngine::Altavista,
       .line = "Altavista pages=1 hits=0 end=failed: Connection refused (Error #10061)"},
      {.name = "server error",
       .classic = TEngine::Hotbot,
       .scripted = Respond(kServerError),
       .line = "Hotbot pages=1 hits=0 end=failed: HTTP 500 Internal Server Error"},
      {.name = "never answers",
       .configure = mode(TEngine::Excite, TSimMode::Silent),
       .classic = TEngine::Excite,
       .line = "Excite pages=1 hits=0 end=failed: Connection aborted on request"},
      {.name = "table full",
       .classic = TEngine::Google,
       .maxSites = 10,
       .line = "Google pages=1 hits=10 end=table-full"},
      {.name = "table full on a later page",
       .classic = TEngine::Hotbot,
       .maxSites = 25,
       .line = "Hotbot pages=3 hits=25 end=table-full"},
      {.name = "stopped",
       .configure = mode(TEngine::Excite, TSimMode::Silent),
       .classic = TEngine::Excite,
       .stopAfterFirstRequest = true,
       .line = "Excite pages=1 hits=0 end=stopped"},
      {.name = "no new hits",
       .configure = total(TEngine::AllTheWeb, 15),
       .classic = TEngine::AllTheWeb,
       .line = "AllTheWeb pages=3 hits=15 end=no-new-hits"},
      {.name = "rule raised",
       .classic = TEngine::Excite,
       .scripted = Respond(HttpResponse("HTTP/1.0 200 OK", {}, "no html here")),
       .line = "Excite pages=1 hits=0 end=rule-ended"},
      {.name = "stop mark",
       .classic = TEngine::Google,
       .scripted = Respond(HttpResponse(
           "HTTP/1.0 200 OK", {}, GoogleBlock("www.one.example/") + "<p><A HREF=x>Short</A>")),
       .line = "Google pages=2 hits=1 end=rule-ended"},
      {.name = "defined: dead port",
       .configure =
           [](TSimConfig&, TSimLayoutConfig& layouts) {
             layouts[static_cast<int>(TSimLayout::DuckDuckGo)].Mode = TSimMode::Dead;
           },
       .definition = duck,
       .line = "SimDuck pages=1 hits=0 end=failed: Connection refused (Error #10061)"},
      {.name = "defined: server error",
       .definition = duck,
       .scripted = Respond(kServerError),
       .line = "SimDuck pages=1 hits=0 end=failed: HTTP 500 Internal Server Error"},
      {.name = "defined: table full",
       .definition = duck,
       .maxSites = 15,
       .line = "SimDuck pages=2 hits=15 end=table-full"},
      {.name = "defined: no new hits",
       .configure =
           [](TSimConfig&, TSimLayoutConfig& layouts) {
             layouts[static_cast<int>(TSimLayout::DuckDuckGo)].Total = 12;
           },
       .definition = duck,
       .line = "SimDuck pages=3 hits=12 end=no-new-hits"},
      {.name = "defined: one page without paging",
       .definition = duckOnePage,
       .line = "SimDuck pages=1 hits=10 end=no-new-hits"},
      {.name = "defined: a page it cannot read",
       .definition = duck,
       .scripted =
           Respond(HttpResponse("HTTP/1.0 200 OK", {"Content-Type: text/html"}, "<p>moved</p>")),
       .line = "SimDuck pages=1 hits=0 end=no-new-hits"},
  };
  for (const TOutcomeCase& c : cases) {
    SCOPED_TRACE(c.name);
    seen_.clear();
    const std::vector<TEngineOutcome> outcomes = Run(c);
    ASSERT_EQ(1u, outcomes.size());
    EXPECT_EQ(c.line, outcomes[0].Line());
    // The first change event shows the engine listed and running; the last one the end.
    ASSERT_GE(seen_.size(), 2u);
    ASSERT_EQ(1u, seen_.front().size());
    EXPECT_EQ("running", seen_.front()[0].Reason());
    EXPECT_EQ(0, seen_.front()[0].Pages);
    EXPECT_EQ(outcomes, seen_.back());
    TearDown();
  }
}

TEST_F(EngineOutcome, EnginesAreListedInStartOrderAndANewSearchStartsAFreshList) {
  TSimConfig classic;
  classic[EngineIndex(TEngine::Altavista)].Mode = TSimMode::Dead;
  classic[EngineIndex(TEngine::Google)].Total = 4;
  TSimLayoutConfig layouts;
  layouts[static_cast<int>(TSimLayout::Mojeek)].Total = 30;
  simulator_ = std::make_unique<TEngineSimulator>(classic, layouts);
  simulator_->Start();
  control_ = std::make_unique<TSearchControl>(mainThread_);
  control_->SetEngineHosts(simulator_->Hosts());
  control_->SetMaxSites(100);
  EXPECT_TRUE(control_->EngineOutcomes().empty());

  TSearchRequest request;
  request.Keywords = "q";
  request.Engines[EngineIndex(TEngine::Google)] = true;
  request.Engines[EngineIndex(TEngine::Altavista)] = true;
  request.DefinedEngines.push_back(
      Defined(test::SimMojeekDefinition(simulator_->LayoutHost(TSimLayout::Mojeek))));
  ASSERT_TRUE(control_->Start(request));
  ASSERT_TRUE(test::WaitFor([this] { return !control_->IsBusy(); }, 20000));
  const std::vector<TEngineOutcome> first = control_->EngineOutcomes();
  ASSERT_EQ(3u, first.size());
  EXPECT_EQ("Altavista pages=1 hits=0 end=failed: Connection refused (Error #10061)",
            first[0].Line());
  EXPECT_EQ("Google pages=2 hits=4 end=no-new-hits", first[1].Line());
  EXPECT_EQ("SimMojeek pages=4 hits=30 end=no-new-hits", first[2].Line());

  request.Engines = {};
  request.Engines[EngineIndex(TEngine::Excite)] = true;
  request.DefinedEngines.clear();
  int changes = 0;
  control_->OnEngineOutcomesChanged = [&] { ++changes; };
  ASSERT_TRUE(control_->Start(request));
  EXPECT_EQ(1, changes);  // at once, on this thread
  const std::vector<TEngineOutcome> fresh = control_->EngineOutcomes();
  ASSERT_EQ(1u, fresh.size());
  EXPECT_EQ("Excite", fresh[0].Engine);
  ASSERT_TRUE(test::WaitFor([this] { return !control_->IsBusy(); }, 20000));
  EXPECT_EQ("Excite pages=10 hits=100 end=table-full", control_->EngineOutcomes()[0].Line());
}

}  // namespace
}  // namespace quellion
