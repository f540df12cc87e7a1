// Whole searches with engines given as data, through search control, the task
// runner, the fetch loop and the result store, against the simulator on loopback.
#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engines/DefinedEngine.h"
#include "engines/EngineDefinition.h"
#include "platform/MainThread.h"
#include "search/SearchControl.h"
#include "tests/engines/EngineTestSupport.h"
#include "tests/engines/SimDefinitions.h"
#include "tests/support/WaitFor.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion {
namespace {

using tools::TEngineSimulator;
using tools::TSimConfig;
using tools::TSimLayout;
using tools::TSimLayoutConfig;

std::shared_ptr<const TDefinedEngine> Engine(const std::string& text) {
  return test::DefinedEngine(text);
}

class DefinedSearch : public ::testing::Test {
 protected:
  void Start(const TSimConfig& classic, const TSimLayoutConfig& layouts) {
    simulator_ = std::make_unique<TEngineSimulator>(classic, layouts);
    simulator_->Start();
    control_ = std::make_unique<TSearchControl>(mainThread_);
    control_->SetEngineHosts(simulator_->Hosts());
  }
  std::string Host(TSimLayout layout) const { return simulator_->LayoutHost(layout); }

  void Search(TSearchRequest request, int maxSites) {
    request.Keywords = "new york";
    control_->SetMaxSites(maxSites);
    ASSERT_TRUE(control_->Start(request));
    ASSERT_TRUE(test::WaitFor([this] { return !control_->IsBusy(); }, 20000));
  }
  std::vector<TResultRecord> Rows() const { return control_->Table().Rows(); }

  void TearDown() override {
    control_.reset();
    if (simulator_)
      simulator_->Stop();
  }

  TQueueMainThread mainThread_;
  std::unique_ptr<TEngineSimulator> simulator_;
  std::unique_ptr<TSearchControl> control_;
};

TEST_F(DefinedSearch, HtmlOffsetPagingStopsAfterThePageThatAddsNothing) {
  TSimLayoutConfig layouts;
  layouts[0].Total = 25;  // pages of 10, 10, 5, then an empty one
  Start({}, layouts);
  TSearchRequest request;
  request.LanguageIndex = 9;  // German
  request.DefinedEngines = {Engine(test::SimDuckDuckGoDefinition(Host(TSimLayout::DuckDuckGo)))};
  Search(request, 1000);

  const std::vector<TResultRecord> rows = Rows();
  ASSERT_EQ(rows.size(), 25u);
  for (int i = 0; i < 25; ++i) {
    EXPECT_EQ(rows[i].URL, "www.duckduckgo" + std::to_string(i) + ".example/page.html");
    EXPECT_EQ(rows[i].Title, "duckduckgo result " + std::to_string(i));
    EXPECT_EQ(rows[i].Description, "Description " + std::to_string(i) + " from duckduckgo");
    EXPECT_EQ(rows[i].SearchEngine, "SimDuck");
  }
  // A short page is no reason to stop; the page that added nothing is.
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::DuckDuckGo),
            (std::vector<std::string>{
                "/html/?q=new+york&s=0&kl=de-de", "/html/?q=new+york&s=10&kl=de-de",
                "/html/?q=new+york&s=20&kl=de-de", "/html/?q=new+york&s=30&kl=de-de"}));
  const std::string head = simulator_->LayoutRequestHeads(TSimLayout::DuckDuckGo).at(0);
  EXPECT_NE(head.find("\r\nUser-Agent: Custom Agent/1\r\n"), std::string::npos) << head;
  EXPECT_NE(head.find("\r\nX-Test: yes\r\n"), std::string::npos) << head;
  EXPECT_EQ(head.find("Mozilla/3.0"), std::string::npos);
}

TEST_F(DefinedSearch, JsonNestedResultsAndPageNumbers) {
  TSimLayoutConfig layouts;
  layouts[2].Total = 12;  // Wikipedia
  layouts[3].Total = 15;  // SearXNG
  Start({}, layouts);
  TSearchRequest request;
  request.DefinedEngines = {Engine(test::SimWikipediaDefinition(Host(TSimLayout::Wikipedia))),
                            Engine(test::SimSearxngDefinition(Host(TSimLayout::Searxng)))};
  Search(request, 1000);

  std::set<std::string> wiki, searx;
  for (const TResultRecord& row : Rows()) {
    if (row.SearchEngine == "SimWiki") {
      wiki.insert(row.URL);
      EXPECT_EQ(row.Description.rfind("Description ", 0), 0u)
          << "markup left in: " << row.Description;
    } else {
      searx.insert(row.URL);
    }
  }
  EXPECT_EQ(wiki.size(), 12u);
  EXPECT_EQ(searx.size(), 15u);
  EXPECT_TRUE(wiki.count("www.wikipedia11.example/page.html"));
  EXPECT_TRUE(searx.count("www.searxng14.example/page.html"));
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::Searxng),
            (std::vector<std::string>{"/search?q=new+york&format=json&pageno=1",
                                      "/search?q=new+york&format=json&pageno=2",
                                      "/search?q=new+york&format=json&pageno=3"}));
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::Wikipedia).size(), 3u);
}

TEST_F(DefinedSearch, MaxSitesNoPagingAndDuplicatesWithClassicEngines) {
  TSimConfig classic;
  classic[EngineIndex(TEngine::Altavista)].Overlap = 5;
  TSimLayoutConfig layouts;
  layouts[1].Overlap = 5;  // Mojeek shares its first five addresses with Altavista
  Start(classic, layouts);

  TSearchRequest request;
  request.Engines[EngineIndex(TEngine::Altavista)] = true;
  request.DefinedEngines = {Engine(test::SimMojeekDefinition(Host(TSimLayout::Mojeek))),
                            Engine(test::SimDuckDuckGoDefinition(Host(TSimLayout::DuckDuckGo),
                                                                 /*paging=*/false))};
  Search(request, 40);
  const std::vector<TResultRecord> rows = Rows();
  EXPECT_EQ(rows.size(), 40u);
  std::set<std::string> urls;
  for (const TResultRecord& row : rows)
    urls.insert(row.URL);
  EXPECT_EQ(urls.size(), rows.size()) << "a duplicate address was added";
  // Without paging: one page, whatever it added.
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::DuckDuckGo).size(), 1u);
  // Max Sites is tested before every request: at most one page past the limit each.
  EXPECT_LE(simulator_->LayoutRequests(TSimLayout::Mojeek).size(), 4u);

  // Max Sites 10 and a first page of ten new hits: no second page.
  TSearchRequest full;
  full.DefinedEngines = {Engine(test::SimMojeekDefinition(Host(TSimLayout::Mojeek)))};
  const size_t before = simulator_->LayoutRequests(TSimLayout::Mojeek).size();
  Search(full, 10);
  EXPECT_EQ(Rows().size(), 10u);
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::Mojeek).size(), before + 1);
}

TEST_F(DefinedSearch, StopDuringAFetchAbortsWithinAStep) {
  TSimLayoutConfig layouts;
  layouts[3].Mode = tools::TSimMode::Silent;
  Start({}, layouts);
  TSearchRequest request;
  request.Keywords = "x";
  request.DefinedEngines = {Engine(test::SimSearxngDefinition(Host(TSimLayout::Searxng)))};
  ASSERT_TRUE(control_->Start(request));
  ASSERT_TRUE(test::WaitFor(
      [this] { return simulator_->LayoutRequests(TSimLayout::Searxng).size() == 1; }, 5000));
  const auto stopAt = std::chrono::steady_clock::now();
  control_->Stop();
  ASSERT_TRUE(test::WaitFor([this] { return !control_->IsBusy(); }, 5000));
  EXPECT_LT(std::chrono::steady_clock::now() - stopAt, std::chrono::seconds(2));
  EXPECT_TRUE(Rows().empty());
}

}  // namespace
}  // namespace quellion
