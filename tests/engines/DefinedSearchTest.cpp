// Whole searches with engines given as data, through search control, the task
// runner, the fetch loop and the result store, against the simulator on loopback.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <set>

#include "engines/DefinedEngine.h"
#include "engines/EngineDefinition.h"
#include "platform/MainThread.h"
#include "search/EngineRests.h"
#include "search/SearchControl.h"
#include "tests/engines/EngineTestSupport.h"
#include "tests/engines/SimDefinitions.h"
#include "tests/support/TempDir.h"
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

// Page 2 as each engine asks for it: DuckDuckGo posts s=10 and dc=11 (its "Next"
// form), Mojeek asks s=11, Bing first=11; Bing's base64-wrapped links are unwrapped.
TEST_F(DefinedSearch, PostedFormsAndOneBasedOffsets) {
  TSimLayoutConfig layouts;
  layouts[static_cast<int>(TSimLayout::DuckDuckGo)].Total = 15;
  layouts[static_cast<int>(TSimLayout::Mojeek)].Total = 15;
  layouts[static_cast<int>(TSimLayout::Bing)].Total = 15;
  Start({}, layouts);
  TSearchRequest request;
  request.DefinedEngines = {Engine(test::SimDuckDuckGoPostDefinition(Host(TSimLayout::DuckDuckGo))),
                            Engine(test::SimMojeekDefinition(Host(TSimLayout::Mojeek))),
                            Engine(test::SimBingDefinition(Host(TSimLayout::Bing)))};
  Search(request, 1000);

  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::DuckDuckGo),
            (std::vector<std::string>{"/html/?q=new+york&s=0&dc=1&kl=wt-wt",
                                      "/html/?q=new+york&s=10&dc=11&kl=wt-wt",
                                      "/html/?q=new+york&s=20&dc=21&kl=wt-wt"}));
  const std::string head = simulator_->LayoutRequestHeads(TSimLayout::DuckDuckGo).at(1);
  EXPECT_EQ(head.rfind("POST /html/ HTTP/1.0\r\n", 0), 0u) << head;
  EXPECT_NE(head.find("\r\nContent-Type: application/x-www-form-urlencoded\r\n"),
            std::string::npos);
  EXPECT_NE(head.find("\r\nContent-Length: 30\r\n"), std::string::npos) << head;
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::Mojeek),
            (std::vector<std::string>{"/search?q=new+york&s=1", "/search?q=new+york&s=11",
                                      "/search?q=new+york&s=21"}));
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::Bing),
            (std::vector<std::string>{"/search?q=new+york&first=1", "/search?q=new+york&first=11",
                                      "/search?q=new+york&first=21"}));
  std::set<std::string> urls;
  for (const TResultRecord& row : Rows())
    urls.insert(row.URL);
  EXPECT_EQ(urls.size(), 45u);
  EXPECT_TRUE(urls.count("www.bing14.example/page.html"));
  EXPECT_TRUE(urls.count("www.duckduckgo14.example/page.html"));
}

// A 202, a 429 or a challenge page ends the engine as blocked and makes it rest; the
// next search lists it as suspended without asking it, unless told to retry.
TEST_F(DefinedSearch, BlockedEnginesRestAndAreSkippedUntilRetried) {
  TSimLayoutConfig layouts;
  for (TSimLayout blocked : {TSimLayout::DuckDuckGo, TSimLayout::Mojeek, TSimLayout::Bing})
    layouts[static_cast<int>(blocked)].Mode = tools::TSimMode::Blocked;
  layouts[static_cast<int>(TSimLayout::Searxng)].Total = 5;
  Start({}, layouts);
  test::TTempDir state("quellion-rests");
  TSearchRequest request;
  request.RestsFile = state.File("sub/engine-rests");
  request.DefinedEngines = {Engine(test::SimDuckDuckGoPostDefinition(Host(TSimLayout::DuckDuckGo))),
                            Engine(test::SimMojeekDefinition(Host(TSimLayout::Mojeek))),
                            Engine(test::SimBingDefinition(Host(TSimLayout::Bing))),
                            Engine(test::SimSearxngDefinition(Host(TSimLayout::Searxng)))};
  const int64_t before = RestClockNow();
  Search(request, 1000);
  std::vector<std::string> lines;
  for (const TEngineOutcome& o : control_->EngineOutcomes())
    lines.push_back(o.Line());
  EXPECT_EQ(lines, (std::vector<std::string>{"SimDuckPost pages=1 hits=0 end=blocked: HTTP 202",
                                             "SimMojeek pages=1 hits=0 end=blocked: challenge page",
                                             "SimBing pages=1 hits=0 end=blocked: HTTP 429",
                                             "SimSearx pages=2 hits=5 end=no-new-hits"}));
  const TEngineRests rests = ReadEngineRests(request.RestsFile, before);
  EXPECT_EQ(rests.size(), 3u);
  EXPECT_GE(RestEnd(rests, "SimDuckPost"), before + 600);  // ten minutes by default
  EXPECT_LE(RestEnd(rests, "SimDuckPost"), RestClockNow() + 600);
  EXPECT_GE(RestEnd(rests, "SimBing"), before + 60);  // its own rest_minutes
  EXPECT_LE(RestEnd(rests, "SimBing"), RestClockNow() + 60);
  EXPECT_EQ(RestEnd(rests, "SimSearx"), 0);
  struct stat st {};
  ASSERT_EQ(::stat(request.RestsFile.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);

  Search(request, 1000);
  const std::vector<TEngineOutcome> second = control_->EngineOutcomes();
  ASSERT_EQ(second.size(), 4u);
  EXPECT_EQ(second[0].Line(), "SimDuckPost pages=0 hits=0 end=suspended until " +
                                  RestEndText(RestEnd(rests, "SimDuckPost")));
  EXPECT_EQ(second[1].End, TEngineEnd::Suspended);
  EXPECT_EQ(second[2].End, TEngineEnd::Suspended);
  EXPECT_EQ(second[3].End, TEngineEnd::NoNewHits);
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::DuckDuckGo).size(), 1u);
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::Mojeek).size(), 1u);

  request.RetrySuspended = true;
  Search(request, 1000);
  EXPECT_EQ(control_->EngineOutcomes()[0].End, TEngineEnd::Blocked);
  EXPECT_EQ(simulator_->LayoutRequests(TSimLayout::DuckDuckGo).size(), 2u);
}

// The rests file is read with care: damaged lines and rests that have ended count for
// nothing, a symbolic link is not followed, and ending a rest keeps the others.
TEST(EngineRests, DamagedLinesLinksAndEndedRests) {
  test::TTempDir dir("quellion-rests");
  const std::string file = dir.File("engine-rests");
  dir.Write("engine-rests",
            "2000 Ended\n5000 Good\nnonsense\n12x Bad\n\n 4000\n6000 Other Engine\n"
            "7000 Good\n");
  const TEngineRests rests = ReadEngineRests(file, 3000);
  EXPECT_EQ(rests, (TEngineRests{{"Good", 7000}, {"Other Engine", 6000}}));

  std::string error;
  ASSERT_TRUE(SetEngineRest(file, "Good", 0, 3000, error)) << error;
  EXPECT_EQ(ReadEngineRests(file, 3000), (TEngineRests{{"Other Engine", 6000}}));

  const std::string target = dir.Write("elsewhere", "9000 Linked\n");
  const std::string link = dir.File("linked-rests");
  ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
  EXPECT_TRUE(ReadEngineRests(link, 3000).empty());
  ASSERT_TRUE(SetEngineRest(link, "New", 9999, 3000, error)) << error;
  EXPECT_EQ(test::ReadFile(target), "9000 Linked\n");  // the link was replaced, not followed
  EXPECT_EQ(ReadEngineRests(link, 3000), (TEngineRests{{"New", 9999}}));

  EXPECT_TRUE(ReadEngineRests(dir.File("missing"), 0).empty());
  dir.Write("binary", std::string("\0\xff\x01 junk\n", 10));
  EXPECT_TRUE(ReadEngineRests(dir.File("binary"), 0).empty());
  EXPECT_EQ(RestEndText(RestEnd(rests, "Good")).size(), 5u);
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
