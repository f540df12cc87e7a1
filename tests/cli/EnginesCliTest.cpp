// quellion-cli engines, search --engines with defined names and extract --definition,
// run in-process with a user definition folder in a temporary XDG_CONFIG_HOME.
#include <gtest/gtest.h>

#include <sstream>

#include "engines/EngineCatalog.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"
#include "tests/engines/SimDefinitions.h"
#include "tests/support/CliRunner.h"
#include "tests/support/SettingsSandbox.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion {
namespace {

using tools::TEngineSimulator;
using tools::TSimLayout;
using tools::TSimLayoutConfig;

using test::Lines;
using test::RunCli;
using test::TCliRun;

// Each test with a settings folder of its own, where user definitions go.
class EnginesCli : public ::testing::Test {
 protected:
  std::string AddUserDefinition(const std::string& file, const std::string& text) {
    return config_.Dir().Write("tarnwick-quellion/engines/" + file, text);
  }

  test::TSettingsSandbox config_;
};

TEST_F(EnginesCli, ListsEveryEngineThenBrokenFiles) {
  const std::string mine = AddUserDefinition(
      "wiki.json", test::SimWikipediaDefinition("127.0.0.1:1").replace(10, 7, "wikipedia"));
  const std::string broken = AddUserDefinition("broken.json", "{\n  \"name\": \"Broken\"\n  ,,\n}");
  const std::string big = AddUserDefinition("big.json", std::string(kMaxDefinitionSize + 1, ' '));
  const TCliRun run = RunCli({"engines"});
  EXPECT_EQ(run.status, 0);
  const std::string shipped = ShippedEngineFolders().front();
  EXPECT_EQ(
      Lines(run.out),
      (std::vector<std::string>{
          "Altavista\tclassic\tbuilt in", "Excite\tclassic\tbuilt in", "Hotbot\tclassic\tbuilt in",
          "AllTheWeb\tclassic\tbuilt in", "Google\tclassic\tbuilt in",
          "Bing\thtml\t" + shipped + "/bing.json", "Brave\thtml\t" + shipped + "/brave.json",
          "DuckDuckGo\thtml\t" + shipped + "/duckduckgo.json",
          "Mojeek\thtml\t" + shipped + "/mojeek.json",
          "SearXNG\tjson, disabled\t" + shipped + "/searxng.json",
          "Startpage\thtml\t" + shipped + "/startpage.json",
          "wikipedia\tjson\t" + mine,  // the user's replaces the shipped Wikipedia
          "Yahoo\thtml\t" + shipped + "/yahoo.json",
          "invalid\t" + big + "\tfile is larger than 1 MiB",
          "invalid\t" + broken +
              "\tbad JSON: parse error at line 3, column 4: syntax error while parsing "
              "object key - unexpected ','; expected string literal"}));
}

// File names and warnings come from the user's files: their controls never reach the
// terminal.
TEST_F(EnginesCli, ControlCharactersOfFilesAreReplaced) {
  const std::string bad = AddUserDefinition("red\x1b[31m.json", "{}");
  std::string withKey = test::SimWikipediaDefinition("127.0.0.1:1");
  withKey.insert(withKey.find('{') + 1, "\"k\\u0007\": 1, ");
  AddUserDefinition("bell.json", withKey);
  const TCliRun run = RunCli({"engines"});
  EXPECT_EQ(run.status, 0);
  const std::string shownBad = bad.substr(0, bad.rfind('/') + 1) + "red\xef\xbf\xbd[31m.json";
  EXPECT_NE(run.out.find("invalid\t" + shownBad + "\t"), std::string::npos) << run.out;
  EXPECT_NE(run.err.find("unknown key 'k\xef\xbf\xbd'"), std::string::npos) << run.err;
  EXPECT_EQ(run.out.find('\x1b'), std::string::npos);
  EXPECT_EQ(run.err.find('\x07'), std::string::npos);
}

TEST_F(EnginesCli, SearchRunsUserDefinitionsAgainstTheSimulator) {
  TSimLayoutConfig layouts;
  layouts[0].Total = 12;
  layouts[3].Total = 3;
  TEngineSimulator simulator({}, layouts);
  simulator.Start();
  AddUserDefinition("duck.json",
                    test::SimDuckDuckGoDefinition(simulator.LayoutHost(TSimLayout::DuckDuckGo)));
  AddUserDefinition("searx.json",
                    test::SimSearxngDefinition(simulator.LayoutHost(TSimLayout::Searxng)));

  const TCliRun run =
      RunCli({"search", "--engines", "simduck,SIMSEARX", "--max-sites", "100", "new york"});
  EXPECT_EQ(run.status, 0) << run.err;
  const std::vector<std::string> lines = Lines(run.out);
  ASSERT_EQ(lines.size(), 15u) << run.out;
  int duck = 0, searx = 0;
  for (const std::string& line : lines) {
    duck += line.find("\tSimDuck\tduckduckgo result ") != std::string::npos;
    searx += line.find("\tSimSearx\tsearxng result ") != std::string::npos;
  }
  EXPECT_EQ(duck, 12);
  EXPECT_EQ(searx, 3);
  EXPECT_EQ(Lines(run.err).back(), "Search Complete  -  Found 15 sites");
  EXPECT_EQ(simulator.LayoutRequests(TSimLayout::DuckDuckGo).size(), 3u);
  simulator.Stop();
}

TEST_F(EnginesCli, WithoutEnginesTheWindowsStoredTicksAreSearched) {
  TSimLayoutConfig layouts;
  layouts[3].Total = 2;
  TEngineSimulator simulator({}, layouts);
  simulator.Start();
  AddUserDefinition("searx.json",
                    test::SimSearxngDefinition(simulator.LayoutHost(TSimLayout::Searxng)));
  AddUserDefinition("mojeek.json",
                    test::SimMojeekDefinition(simulator.LayoutHost(TSimLayout::Mojeek)));
  {
    TRegistry registry(TRegistry::DefaultFilePath());
    TRegistryKey* key = registry.OpenKey(HKEY_CURRENT_USER, kDefinedEnginesKeyName, true);
    key->WriteBool("SimSearx", true);
    key->WriteBool("SimMojeek", false);
    ASSERT_TRUE(registry.Flush());
  }
  TRegistry::ResetCurrentUser();
  // The classic engines ticked by default go to a closed loopback port.
  std::vector<std::string> args = {"search", "--max-sites", "100"};
  for (const char* engine : {"altavista", "excite", "hotbot", "alltheweb", "google"}) {
    args.push_back("--host");
    args.push_back(std::string(engine) + "=127.0.0.1:9");
  }
  args.push_back("x");
  const TCliRun run = RunCli(args);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out).size(), 2u) << run.out;
  EXPECT_EQ(simulator.LayoutRequests(TSimLayout::Searxng).size(), 2u);
  EXPECT_TRUE(simulator.LayoutRequests(TSimLayout::Mojeek).empty());
  simulator.Stop();
}

TEST_F(EnginesCli, UnknownInvalidOrSwitchedOffNamesAreBadUsage) {
  AddUserDefinition("bad.json", R"({"name": "Broken", "type": "html",
      "search_url": "http://x/?q={query}", "url_xpath": "//a[", "title_xpath": "//a"})");
  struct {
    const char* list;
    const char* message;
  } cases[] = {
      {"nosuch", "unknown engine 'nosuch'"},
      {"google,broken", "engine 'broken' is invalid: "},
      {"searxng", "engine 'SearXNG' is switched off"},
  };
  for (const auto& c : cases) {
    const TCliRun run = RunCli({"search", "--engines", c.list, "x"});
    EXPECT_EQ(run.status, 2) << c.list;
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err.rfind(std::string("quellion-cli: ") + c.message, 0), 0u) << run.err;
    EXPECT_EQ(Lines(run.err).size(), 1u);
  }
}

TEST_F(EnginesCli, ExtractWithADefinitionPrintsTheExtractFormat) {
  const std::string definition = AddUserDefinition("m.json", test::SimMojeekDefinition("m.test"));
  tools::TSimEngineConfig sim;
  sim.Total = 3;
  sim.Overlap = 1;
  const std::string page =
      config_.Dir().Write("page.html", tools::SimLayoutPage(TSimLayout::Mojeek, sim, 0, 3));
  const TCliRun run =
      RunCli({"extract", "--definition", definition, "--max-sites", "2", page, page});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{
                "+\tmojeek result 0\twww.shared0.example/page.html\tDescription 0 from mojeek",
                "+\tmojeek result 1\twww.mojeek1.example/page.html\tDescription 1 from mojeek"}));

  const std::string bad = config_.Dir().Write("bad.json", "{\"name\": 1}");
  const TCliRun invalid = RunCli({"extract", "--definition", bad, page});
  EXPECT_EQ(invalid.status, 1);
  EXPECT_EQ(invalid.err, "quellion-cli: " + bad + ": 'name' must be a string\n");

  // Relative links resolve against --url.
  const std::string rel = config_.Dir().Write("rel.html",
                                              "<ul class='results-standard'><li><a class='ob' "
                                              "href='/r'>x</a><h2><a>T</a></h2></li></ul>");
  const TCliRun relative =
      RunCli({"extract", "--definition", definition, "--url", "https://m.test/search?q=a", rel});
  EXPECT_EQ(relative.out, "+\tT\thttps://m.test/r\t\n");
}

// Only http and https addresses become rows; a wrapper holding anything else keeps
// the engine's own link, the others are printed as refused.
TEST_F(EnginesCli, ExtractRefusesAddressesThatAreNotWebAddresses) {
  std::string text = test::SimMojeekDefinition("m.test");
  text.insert(text.rfind('}'), ", \"url_unwrap_param\": \"uddg\"");
  const std::string definition = AddUserDefinition("m.json", text);
  auto entry = [](const std::string& href, const std::string& title) {
    return "<li><a class='ob' href='" + href + "'>x</a><h2><a>" + title + "</a></h2></li>";
  };
  const std::string page = config_.Dir().Write(
      "unsafe.html", "<ul class='results-standard'>" + entry("javascript:alert(1)", "J") +
                         entry("DATA:text/html,x", "D") + entry("file:///etc/passwd", "F") +
                         entry("/l/?uddg=vbscript%3Amsgbox(1)", "V") +
                         entry("/l/?uddg=https%3A%2F%2Fm.test%2Fok", "H") +
                         entry("http://m.test:8080/p", "P") + "</ul>");
  const TCliRun run = RunCli({"extract", "--definition", definition, page});
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(Lines(run.out),
            (std::vector<std::string>{"-\tJ\tjavascript:alert(1)\t", "-\tD\tDATA:text/html,x\t",
                                      "-\tF\tfile:///etc/passwd\t",
                                      "+\tV\tm.test/l/?uddg=vbscript%3Amsgbox(1)\t",
                                      "+\tH\thttps://m.test/ok\t", "+\tP\tm.test:8080/p\t"}));
}

// --language picks the definition's {lang}, as search does; a challenge page says so.
TEST_F(EnginesCli, ExtractWithADefinitionTakesALanguageAndNamesChallengePages) {
  const std::string wiki = ShippedEngineFolders().front() + "/wikipedia.json";
  const std::string answer = config_.Dir().Write(
      "wiki.json", R"j({"query": {"search": [{"title": "K\u00f6ln (Stadt)", "snippet": "x"}]}})j");
  const TCliRun german = RunCli({"extract", "--definition", wiki, "--language", "9", answer});
  EXPECT_EQ(german.out,
            "+\tK\xC3\xB6ln (Stadt)\thttps://de.wikipedia.org/wiki/K%C3%B6ln_(Stadt)\tx\n");
  const TCliRun any = RunCli({"extract", "--definition", wiki, answer});
  EXPECT_EQ(any.out,
            "+\tK\xC3\xB6ln (Stadt)\thttps://en.wikipedia.org/wiki/K%C3%B6ln_(Stadt)\tx\n");
  EXPECT_EQ(RunCli({"extract", "altavista", "--language", "9", answer}).status, 2);  // bad usage

  const std::string mojeek = ShippedEngineFolders().front() + "/mojeek.json";
  const std::string captcha =
      config_.Dir().Write("captcha.html", "<html><head><title>Captcha</title></head></html>");
  const TCliRun challenge = RunCli({"extract", "--definition", mojeek, captcha});
  EXPECT_EQ(challenge.status, 0);
  EXPECT_EQ(challenge.out, "");
  EXPECT_EQ(challenge.err, captcha + ": a challenge page (the engine would count as blocked)\n");
}

}  // namespace
}  // namespace quellion
