// quellion-cli url, extract and search, run in-process with their output captured.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <nlohmann/json.hpp>
#include <sstream>
#include <thread>

#include "cli/CliCommon.h"
#include "tests/support/CliRunner.h"
#include "tests/support/TempDir.h"
#include "tests/support/WaitFor.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion::cli {
namespace {

using tools::TEngineSimulator;
using tools::TSimConfig;
using tools::TSimMode;

using test::Lines;
using test::RunCli;
using test::TCliRun;

TEST(UrlCommand, PrintsOneRequestAddress) {
  const struct {
    std::vector<std::string> args;
    std::string line;
  } cases[] = {
      {{"url", "altavista", "new york"},
       "http://www.altavista.com/cgi-bin/query?pg=q&text=yes&q=new+york&kl=XX&stype=stext"},
      {{"url", "AltaVista", "--language", "9", "--counter", "11", "x"},
       "http://www.altavista.com/cgi-bin/query?pg=q&text=yes&q=x&kl=de&stype=stext&stq=11"},
      {{"url", "excite", "--host", "127.0.0.1:81", " a+b "},
       "http://127.0.0.1:81/search.gw?c=web&s=+a%2Bb+&showSummary=true&start=0&perPage=10"},
      {{"url", "excite", "--counter", "4", "it's"},
       "http://www.excite.com/search.gw?c=web&s=it%27s&showSummary=true&start=4&perPage=10"},
      {{"url", "HOTBOT", "--counter", "11", "q"}, "http://www.hotbot.com/?MT=q&II=11&RPN=3&SQ=1"},
      {{"url", "alltheweb", "--language", "-1", "q"},
       "http://www.alltheweb.com/cgi-bin/advsearch?terms=3&type=all&query=q&exec=FAST+Search"
       "&lang=any&hits=10&nooc=on"},
      {{"url", "google", "--counter", "10", "--", "--q"},
       "http://www.google.com/search?as_qt=w&as_q=--q&lr=&num=10&btnG=Google+Search&start=10"},
  };
  for (const auto& c : cases) {
    const TCliRun run = RunCli(c.args);
    EXPECT_EQ(kExitOk, run.status) << run.err;
    EXPECT_EQ(c.line + "\n", run.out);
    EXPECT_EQ("", run.err);
  }
}

TEST(SearchCommands, BadUsageExitsTwo) {
  const std::vector<std::vector<std::string>> cases = {
      {"url"},
      {"url", "altavista"},
      {"url", "lycos", "q"},
      {"url", "google", "--counter", "x", "q"},
      {"url", "google", "--bogus", "q"},
      {"url", "google", "a", "b"},
      {"extract"},
      {"extract", "lycos"},
      {"extract", "google", "--max-sites"},
      {"search"},
      {"search", "   "},
      {"search", "--engines", "google,lycos", "q"},
      {"search", "--host", "google", "q"},
      {"search", "--max-sites", "ten", "q"},
      {"search", "--json", "--csv", "q"},
  };
  for (const auto& args : cases) {
    const TCliRun run = RunCli(args);
    EXPECT_EQ(kExitUsage, run.status) << args[0] << " " << run.err;
    EXPECT_EQ(0u, run.err.rfind("quellion-cli: ", 0)) << run.err;
    EXPECT_EQ("", run.out);
  }
}

std::string GoogleBlock(const std::string& url, const std::string& title) {
  return "<p><A HREF=http://" + url + ">" + title + "</A><font size=-1><br>d\t1<br>\n";
}

TEST(ExtractCommand, OffersEveryHitAndCarriesTaskStateAcrossFiles) {
  const test::TTempDir files("search-cli");
  const std::string first = files.Write(
      "1.html", GoogleBlock("a.example/", "A \"q\"") + GoogleBlock("b.example/", "B") +
                    GoogleBlock("a.example/", "A again") + GoogleBlock("c.example/", "C"));
  // A block with an empty URL sets the stop mark: nothing of the next file is read.
  const std::string second =
      files.Write("2.html", "<p><A HREF=x>stop</A>" + GoogleBlock("d/", "D"));
  const std::string third = files.Write("3.html", GoogleBlock("e.example/", "E"));
  const TCliRun run = RunCli({"extract", "google", "--max-sites", "3", first, second, third});
  EXPECT_EQ(kExitOk, run.status) << run.err;
  EXPECT_EQ(
      (std::vector<std::string>{"+\tA \\\"q\\\"\ta.example/\td\\t1", "+\tB\tb.example/\td\\t1",
                                "-\tA again\ta.example/\td\\t1", "+\tC\tc.example/\td\\t1"}),
      Lines(run.out));
  EXPECT_EQ("", run.err);
}

TEST(ExtractCommand, TaskEndedStopsAtThatFile) {
  const test::TTempDir files("search-cli");
  const std::string good = files.Write(
      "good.html", "<html><body>\n<li><a>T</a><span>D</span><font>Location -- www.t/</font>");
  const std::string bad = files.Write("bad.html", "no html here");
  const TCliRun run = RunCli({"extract", "hotbot", good, bad, good});
  EXPECT_EQ(kExitTaskEnded, run.status);
  EXPECT_EQ("+\tT\twww.t/\tD\n", run.out);
  EXPECT_EQ("task ended\n", run.err);

  const TCliRun fromStdin = RunCli({"extract", "hotbot"}, "<html><body>\n<li><a>S</a></li>");
  EXPECT_EQ(kExitOk, fromStdin.status);
  EXPECT_EQ("", fromStdin.out);

  const TCliRun missing = RunCli({"extract", "hotbot", "/nonexistent/page.html"});
  EXPECT_EQ(kExitFailed, missing.status);
}

class SearchCommand : public ::testing::Test {
 protected:
  void StartSimulator(const TSimConfig& config) {
    simulator_ = std::make_unique<TEngineSimulator>(config);
    simulator_->Start();
  }
  std::string HostArg(TEngine engine) const {
    std::string name = EngineName(engine);
    for (char& c : name)
      c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return name + "=" + simulator_->Host(engine);
  }
  std::unique_ptr<TEngineSimulator> simulator_;
};

TEST_F(SearchCommand, PrintsTheTableAndTheStatusTexts) {
  TSimConfig config;
  config[EngineIndex(TEngine::Hotbot)].Total = 4;
  StartSimulator(config);
  const TCliRun run = RunCli({"search", "--engines", "Hotbot", "--max-sites", "5", "--host",
                              HostArg(TEngine::Hotbot), "new york"});
  EXPECT_EQ(kExitOk, run.status) << run.err;
  EXPECT_EQ((std::vector<std::string>{
                "0\tHotbot\tHotbot result 0\twww.hotbot0.example/page.html\tDescription 0 from "
                "Hotbot",
                "1\tHotbot\tHotbot result 1\twww.hotbot1.example/page.html\tDescription 1 from "
                "Hotbot",
                "2\tHotbot\tHotbot result 2\twww.hotbot2.example/page.html\tDescription 2 from "
                "Hotbot",
                "3\tHotbot\tHotbot result 3\twww.hotbot3.example/page.html\tDescription 3 from "
                "Hotbot"}),
            Lines(run.out));
  EXPECT_EQ((std::vector<std::string>{"Searching  -  Found 0 sites", "Searching  -  Found 1 sites",
                                      "Searching  -  Found 2 sites", "Searching  -  Found 3 sites",
                                      "Searching  -  Found 4 sites",
                                      "Search Complete  -  Found 4 sites"}),
            Lines(run.err));
  EXPECT_EQ(2, simulator_->RequestCount(TEngine::Hotbot));
}

TEST_F(SearchCommand, JsonDecodesTextForDisplayAndMaxSitesIsBroughtIntoRange) {
  TSimConfig config;
  config[EngineIndex(TEngine::Google)].TitleSuffix = " caf\xe9";      // Windows-1252
  config[EngineIndex(TEngine::Excite)].TitleSuffix = " caf\xc3\xa9";  // UTF-8
  config[EngineIndex(TEngine::Excite)].DelayMs = 200;
  StartSimulator(config);
  const TCliRun run =
      RunCli({"search", "--json", "--engines", "google,excite", "--max-sites", "3", "--host",
              HostArg(TEngine::Google), "--host", HostArg(TEngine::Excite), "q"});
  ASSERT_EQ(kExitOk, run.status) << run.err;
  const auto list = nlohmann::json::parse(run.out);
  ASSERT_TRUE(list.is_array());
  ASSERT_EQ(10u, list.size());  // 3 is brought up to 10
  for (size_t i = 0; i < list.size(); ++i) {
    EXPECT_EQ(static_cast<int>(i), list[i]["index"].get<int>());
    const std::string engine = list[i]["engine"];
    const std::string title = list[i]["title"];
    EXPECT_EQ(title.substr(title.size() - 6), " caf\xc3\xa9") << title;
    EXPECT_TRUE(engine == "Google" || engine == "Excite");
    EXPECT_EQ(0u, list[i]["url"].get<std::string>().rfind("http://www.", 0)) << list[i]["url"];
    EXPECT_TRUE(list[i].contains("description"));
  }
}

TEST_F(SearchCommand, CsvPrintsAHeaderAndOneQuotedRecordPerRow) {
  TSimConfig config;
  config[EngineIndex(TEngine::Hotbot)].Total = 3;
  config[EngineIndex(TEngine::Hotbot)].TitleSuffix = ", \"caf\xe9\"";  // Windows-1252
  StartSimulator(config);
  const TCliRun run =
      RunCli({"search", "--csv", "--engines", "hotbot", "--host", HostArg(TEngine::Hotbot), "q"});
  ASSERT_EQ(kExitOk, run.status) << run.err;
  EXPECT_EQ(
      "index,engine,title,url,description,engines\r\n"
      "0,Hotbot,\"Hotbot result 0, \"\"caf\xc3\xa9\"\"\",http://www.hotbot0.example/page.html,"
      "Description 0 from Hotbot,Hotbot\r\n"
      "1,Hotbot,\"Hotbot result 1, \"\"caf\xc3\xa9\"\"\",http://www.hotbot1.example/page.html,"
      "Description 1 from Hotbot,Hotbot\r\n"
      "2,Hotbot,\"Hotbot result 2, \"\"caf\xc3\xa9\"\"\",http://www.hotbot2.example/page.html,"
      "Description 2 from Hotbot,Hotbot\r\n",
      run.out);
  EXPECT_EQ("Search Complete  -  Found 3 sites", Lines(run.err).back());
}

// Three engines spell shared pages differently; each page is one row naming every
// engine that found it, and --sort agreement puts the most agreed rows first.
TEST_F(SearchCommand, EnginesThatAgreeShareOneRowAndSortFirst) {
  TSimConfig config;
  auto& altavista = config[EngineIndex(TEngine::Altavista)];
  auto& excite = config[EngineIndex(TEngine::Excite)];
  auto& google = config[EngineIndex(TEngine::Google)];
  altavista.Total = excite.Total = google.Total = 5;
  altavista.Overlap = 3;  // shared0 to shared2
  excite.Overlap = 3;
  excite.OverlapPrefix = "SHARED";  // no "www.", another letter case
  google.Overlap = 1;               // shared0 only
  google.OverlapPrefix = "Www.Shared";
  excite.DelayMs = 150;  // Altavista, then Excite, then Google
  google.DelayMs = 300;
  StartSimulator(config);
  const auto search = [&](std::vector<std::string> extra) {
    std::vector<std::string> args = {"search",
                                     "--engines",
                                     "altavista,excite,google",
                                     "--host",
                                     HostArg(TEngine::Altavista),
                                     "--host",
                                     HostArg(TEngine::Excite),
                                     "--host",
                                     HostArg(TEngine::Google),
                                     "--max-sites",
                                     "100"};
    args.insert(args.end(), extra.begin(), extra.end());
    args.push_back("q");
    return RunCli(args);
  };

  const TCliRun json = search({"--json", "--report"});
  ASSERT_EQ(kExitOk, json.status) << json.err;
  const auto list = nlohmann::json::parse(json.out);
  // 5 + 5 + 5 results: shared0 found three times, shared1 and shared2 twice.
  ASSERT_EQ(11u, list.size()) << json.out;
  const nlohmann::json all = {"Altavista", "Excite", "Google"};
  const nlohmann::json two = {"Altavista", "Excite"};
  EXPECT_EQ("http://www.shared0.example/page.html", list[0]["url"]);  // as it first came
  EXPECT_EQ("Altavista", list[0]["engine"]);
  EXPECT_EQ(all, list[0]["engines"]);
  EXPECT_EQ(two, list[1]["engines"]);
  EXPECT_EQ(two, list[2]["engines"]);
  for (size_t i = 3; i < list.size(); ++i)
    EXPECT_EQ(nlohmann::json({list[i]["engine"]}), list[i]["engines"]) << list[i];
  // Joined hits are not added hits, and a page that only brings them again ends paging.
  const auto err = Lines(json.err);
  EXPECT_NE(err.end(),
            std::find(err.begin(), err.end(), "report: Excite pages=2 hits=2 end=no-new-hits"))
      << json.err;

  const TCliRun csv = search({"--csv"});
  ASSERT_EQ(kExitOk, csv.status) << csv.err;
  const auto records = Lines(csv.out);
  ASSERT_EQ(12u, records.size());
  EXPECT_EQ("index,engine,title,url,description,engines\r", records[0]);
  EXPECT_EQ(
      "0,Altavista,Altavista result 0,http://www.shared0.example/page.html,"
      "Description 0 from Altavista,Altavista;Excite;Google\r",
      records[1]);

  // The tab-separated form is unchanged. Sorted: the row all three found, then those
  // two found, then single finds by best position (Google's result 1 is its 2nd).
  const TCliRun sorted = search({"--sort", "agreement"});
  ASSERT_EQ(kExitOk, sorted.status) << sorted.err;
  const auto rows = Lines(sorted.out);
  ASSERT_EQ(11u, rows.size());
  EXPECT_EQ(
      "0\tAltavista\tAltavista result 0\twww.shared0.example/page.html\t"
      "Description 0 from Altavista",
      rows[0]);
  EXPECT_EQ(0u, rows[1].find("1\tAltavista\tAltavista result 1\twww.shared1.")) << rows[1];
  EXPECT_EQ(0u, rows[2].find("2\tAltavista\tAltavista result 2\twww.shared2.")) << rows[2];
  EXPECT_NE(std::string::npos, rows[3].find("\tGoogle\tGoogle result 1\t")) << sorted.out;

  const TCliRun bad = search({"--sort", "rank"});
  EXPECT_EQ(kExitUsage, bad.status);
  EXPECT_NE(std::string::npos, bad.err.find("--sort wants agreement or arrival"));
}

TEST_F(SearchCommand, InterruptStopsTheSearchAndPrintsWhatWasFound) {
  TSimConfig config;
  config[EngineIndex(TEngine::Excite)].Mode = TSimMode::Silent;
  StartSimulator(config);
  std::thread interrupter([&] {
    if (test::WaitFor(
            [&] {
              return simulator_->RequestCount(TEngine::Excite) == 1 &&
                     simulator_->RequestCount(TEngine::Google) >= 1;
            },
            10000))
      ::kill(::getpid(), SIGINT);
  });
  const TCliRun run = RunCli({"search", "--engines", "excite,google", "--max-sites", "20", "--host",
                              HostArg(TEngine::Excite), "--host", HostArg(TEngine::Google), "q"});
  interrupter.join();
  EXPECT_EQ(kExitOk, run.status) << run.err;
  const auto statuses = Lines(run.err);
  ASSERT_FALSE(statuses.empty());
  const auto rows = Lines(run.out);
  EXPECT_EQ("Search Complete  -  Found " + std::to_string(rows.size()) + " sites", statuses.back());
  for (const auto& row : rows)
    EXPECT_NE(std::string::npos, row.find("\tGoogle\t")) << row;
}

}  // namespace
}  // namespace quellion::cli
