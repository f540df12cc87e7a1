#include <gtest/gtest.h>

#include "search/ClassicRules.h"
#include "tests/search/HitPrinter.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion {
namespace {

struct TOutcome {
  std::vector<THit> hits;
  bool taskEnded = false;
};

TOutcome Extract(TClassicRules& extractor, const std::string& page) {
  TOutcome outcome;
  try {
    extractor.Extract(page, {}, [&](const THit& hit) { outcome.hits.push_back(hit); });
  } catch (const ERuleFailed&) {
    outcome.taskEnded = true;
  }
  return outcome;
}

TOutcome Extract(TEngine engine, const std::string& page) {
  TClassicRules extractor(engine);
  return Extract(extractor, page);
}

std::string AltavistaEntry(const std::string& open, const std::string& title,
                           const std::string& urlText, const std::string& desc) {
  return open + "<dt><a href=x><b>" + title + "</b></a></dt><dd>" + desc +
         "</dd><font><b>URL:</b>" + urlText + "</font></dl>\n";
}

TEST(AltavistaRule, EntriesAreBodyChildrenStartingWithLowerCaseDl) {
  const std::string page =
      "<html><body>\n" + AltavistaEntry("<dl>", "One", "Xabcdefgh12345678", "First") +
      AltavistaEntry("<DL>", "Caps", "Xcapscaps12345678", "Never") +
      AltavistaEntry("<dl>", "Short", "X12345678", "Nine characters") +
      // A font with one child: no hit, and the walk goes on.
      "<dl><dt><a><b>Lone</b></a></dt><dd>d</dd><font>Xlonelone12345678</font></dl>\n" +
      // Two dt/dd pairs: one hit, from the first pair.
      "<dl><dt><a><b>Pair1</b></a></dt><dd>P1</dd><dt><a><b>Pair2</b></a></dt><dd>P2</dd>"
      "<font><b>u</b>Xpairpair12345678</font></dl>\n" +
      // Attribute text glued on by a line feed: "dlclass=x" starts with "dl".
      AltavistaEntry("<dl\nclass=x>", "Glued", "Xgluedurl12345678", "Last") + "</body></html>";
  const TOutcome outcome = Extract(TEngine::Altavista, page);
  EXPECT_FALSE(outcome.taskEnded);
  EXPECT_EQ((std::vector<THit>{{"One", "abcdefgh", "First"},
                               {"Short", "", "Nine characters"},
                               {"Pair1", "pairpair", "P1"},
                               {"Glued", "gluedurl", "Last"}}),
            outcome.hits);
}

TEST(TreeRules, APageWithoutHtmlOrBodyEndsTheTask) {
  for (TEngine engine :
       {TEngine::Altavista, TEngine::Excite, TEngine::Hotbot, TEngine::AllTheWeb}) {
    EXPECT_TRUE(Extract(engine, "").taskEnded) << EngineName(engine);
    EXPECT_TRUE(Extract(engine, "<p>no html</p>").taskEnded) << EngineName(engine);
    EXPECT_TRUE(Extract(engine, "<html><head></head></html>").taskEnded) << EngineName(engine);
  }
}

const char* const kExciteBody =
    "<body\nbgcolor=#ffffff\nlink=#0000CC\ntext=#000000\nvlink=#770066\nalink=#0000CC\n"
    "topmargin=5\nmarginheight=5>";

std::string ExcitePage(const std::string& body, int tables, const std::string& cell) {
  std::string page = "<html>" + body;
  for (int i = 0; i < tables - 1; ++i)
    page += "<table><tr><td>x</td></tr></table>";
  if (tables > 0)
    page += "<table><tr><td>a</td></tr><tr><td>b</td><td>" + cell + "</td></tr></table>";
  return page + "</body></html>";
}

std::string ListEntry(const std::string& title, const std::string& fontText,
                      const std::string& desc) {
  return "<li><a>" + title + "</a><span>" + desc + "</span><font>" + fontText + "</font></li>";
}

TEST(ExciteRule, FollowsTheMarkedBodyTablesRowsAndCells) {
  const std::string list = "<ul>" + ListEntry("Zero", "Location -- www.zero/", "never") + "\n" +
                           ListEntry("One", "Location -- www.one/", "First") +
                           ListEntry("Short", "Location -- ", "twelve") + "</ul>";
  EXPECT_EQ((std::vector<THit>{{"One", "www.one/", "First"}, {"Short", "", "twelve"}}),
            Extract(TEngine::Excite, ExcitePage(kExciteBody, 5, list)).hits);

  // Body attributes separated by spaces: the name does not match, the task ends.
  EXPECT_TRUE(Extract(TEngine::Excite,
                      ExcitePage("<body bgcolor=#ffffff link=#0000CC text=#000000 vlink=#770066 "
                                 "alink=#0000CC topmargin=5 marginheight=5>",
                                 5, list))
                  .taskEnded);
  EXPECT_TRUE(Extract(TEngine::Excite, ExcitePage(kExciteBody, 4, list)).taskEnded);
  // No ul in the cell: the page yields nothing, the task goes on.
  const TOutcome noList = Extract(TEngine::Excite, ExcitePage(kExciteBody, 5, "no list"));
  EXPECT_FALSE(noList.taskEnded);
  EXPECT_TRUE(noList.hits.empty());
}

TEST(HotbotRule, ListEntriesFromTheSecondBodyChild) {
  const std::string page = "<html><body>" + ListEntry("Zero", "Location -- www.zero/", "x") +
                           ListEntry("One", "Location -- www.one/", "First") +
                           "<li><a>NoFont</a><span>s</span></li>" +
                           ListEntry("Two", "Location -- www.two/", "Second") + "</body></html>";
  EXPECT_EQ((std::vector<THit>{{"One", "www.one/", "First"}, {"Two", "www.two/", "Second"}}),
            Extract(TEngine::Hotbot, page).hits);
}

TEST(AllTheWebRule, WalksTheNestedEntriesAndKeepsItsVariables) {
  TClassicRules extractor(TEngine::AllTheWeb);
  // The first entry of the task has a single span: offered with an empty URL.
  EXPECT_EQ(
      (std::vector<THit>{{"First", "", "only description"}}),
      Extract(extractor, "<html><body><dl><dt><a>First</a><dd><span>only description</span></dl>")
          .hits);
  const std::string page =
      "<html><body><dl>"
      "<dt><a>One</a><dd><span>D1</span><span>http://skipped</span><span>http://www.one/</span>"
      "<dt><a>Two</a><dd><span>D2</span>"
      "<dt><a>Three</a><dd><span>D3</span><span>http://www.three/</span>"
      "</dl></body></html>";
  // Two's dd has no second span: it keeps One's URL.
  EXPECT_EQ(
      (std::vector<THit>{
          {"One", "www.one/", "D1"}, {"Two", "www.one/", "D2"}, {"Three", "www.three/", "D3"}}),
      Extract(extractor, page).hits);
}

TEST(AllTheWebRule, ClosedEntriesAndEntriesWithoutAnchorEndThePage) {
  EXPECT_EQ(1u, Extract(TEngine::AllTheWeb,
                        "<html><body><dl><dt><a>A</a></dt><dd><span>d</span><span>http://a/"
                        "</span></dd><dt><a>B</a></dt><dd><span>e</span></dd></dl>")
                    .hits.size());
  const TOutcome bare =
      Extract(TEngine::AllTheWeb,
              "<html><body><dl><dt><a>A</a><dd><span>d</span><dt>bare<dd><span>never</span></dl>");
  EXPECT_FALSE(bare.taskEnded);
  EXPECT_EQ(1u, bare.hits.size());
  // An entry without dd skips the entry and then ends the task.
  const TOutcome noDd = Extract(TEngine::AllTheWeb, "<html><body><dl><dt><a>A</a></dl>");
  EXPECT_TRUE(noDd.taskEnded);
  EXPECT_TRUE(noDd.hits.empty());
  // No dl at all: the page ends.
  EXPECT_FALSE(Extract(TEngine::AllTheWeb, "<html><body>nothing</body></html>").taskEnded);
}

// Entries that nest inside each other's unclosed anchors make every title the text of
// the whole rest of the page; the walk's work budget ends such a page instead of
// letting it run for hours.
TEST(AllTheWebRule, AHostileNestingEndsThePageInsteadOfRunningQuadratic) {
  std::string page = "<html><body><dl>";
  for (int i = 0; i < 10000; ++i)
    page += "<dt><a>t<dd><span>d</span>";
  TClassicRules extractor(TEngine::AllTheWeb);
  const TOutcome outcome = Extract(extractor, page);
  EXPECT_FALSE(outcome.taskEnded);
  ASSERT_FALSE(outcome.hits.empty());
  EXPECT_LT(outcome.hits.size(), 10000u);  // the budget ended the page early
  EXPECT_EQ("d", outcome.hits[0].Description);
}

// The simulator's pages are what the rules expect, for every engine.
TEST(SimulatorPages, EveryEngineYieldsItsResultsInOrder) {
  tools::TSimEngineConfig config;
  config.Total = 30;
  config.Overlap = 3;
  for (TEngine engine : kAllEngines) {
    const TOutcome outcome = Extract(engine, tools::SimResultPage(engine, config, 5, 10));
    ASSERT_FALSE(outcome.taskEnded) << EngineName(engine);
    ASSERT_EQ(10u, outcome.hits.size()) << EngineName(engine);
    for (int i = 0; i < 10; ++i) {
      EXPECT_EQ(tools::SimResultTitle(engine, config, 5 + i), outcome.hits[i].Title);
      EXPECT_EQ(tools::SimResultURL(engine, config, 5 + i), outcome.hits[i].URL);
      EXPECT_EQ(tools::SimResultDescription(engine, config, 5 + i), outcome.hits[i].Description);
    }
  }
}

}  // namespace
}  // namespace quellion
