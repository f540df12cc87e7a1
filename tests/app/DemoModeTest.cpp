// `quellion --demo` in the window, offscreen: the engines answer from the bundled
// simulator, the stored hosts are neither used nor written, the title says "Demo".
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <filesystem>
#include <fstream>
#include <set>

#include "app/MainForm.h"
#include "app/ProgramOptions.h"
#include "app/results/EngineOutcomeStrip.h"
#include "app/results/GaugeStatusBar.h"
#include "app/results/ResultsPanel.h"
#include "engines/EngineCatalog.h"
#include "platform/TextUtil.h"
#include "search/SearchControl.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"
#include "tests/app/AppTestSupport.h"
#include "tools/engine-sim/DemoEngines.h"
#include "ui_MainForm.h"

namespace quellion {
namespace {

using test::TickEngines;
using test::TSandboxSettings;
using test::WaitUntil;

TEST(DemoMode, RequestedByTheDemoArgumentOnly) {
  const struct {
    std::vector<std::string> arguments;
    bool demo;
  } cases[] = {
      {{"quellion"}, false},
      {{"quellion", "--demo"}, true},
      {{"quellion", "-style", "Fusion", "--demo"}, true},
      {{"--demo"}, false},  // the program's own name
      {{"quellion", "--demo=1"}, false},
      {{"quellion", "demo"}, false},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.demo, TProgramOptions::Parse(c.arguments).Demo) << c.arguments.back();
}

TEST(DemoMode, TheWindowSearchesTheBundledEnginesAndLeavesTheStoredHostsAlone) {
  TSandboxSettings settings;
  TEngineHosts dead;
  dead.fill("127.0.0.1:1");
  settings.SetEngineHosts(dead);
  ASSERT_TRUE(TRegistry::CurrentUser().Flush());

  {
    TDemoEngines demo;
    for (const std::string& host : demo.Hosts())
      EXPECT_EQ(0u, host.rfind("127.0.0.1:", 0)) << host;
    TMainForm form(demo);
    form.show();
    EXPECT_TRUE(form.IsDemo());
    EXPECT_EQ(form.windowTitle(), QStringLiteral("Tarnwick Quellion 2 - Demo"));
    EXPECT_EQ(form.SearchControl().EngineHosts(), demo.Hosts());
    TickEngines(form, {true, true, true, true, true});
    form.Controls().SpinEdit1->setValue(60);
    form.Controls().Edit1->setText(QStringLiteral("offline"));
    form.SearchButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return !form.SearchControl().IsBusy(); }, 30000));
    EXPECT_EQ(form.SearchControl().Table().RowCount(), 60);
    EXPECT_EQ(form.StatusBar()->statusText(), QStringLiteral("Search Complete  -  Found 60 sites"));
    // The rows read like a real search's: about the keywords, worded by each engine, on
    // .example hosts.
    std::set<std::string> titles;
    for (const TResultRecord& row : form.SearchControl().Table().Rows()) {
      EXPECT_NE(ToLowerAscii(row.Title).find("offline"), std::string::npos) << row.Title;
      EXPECT_NE(row.Description.find("offline"), std::string::npos) << row.Description;
      EXPECT_NE(row.URL.find(".example/"), std::string::npos) << row.URL;
      EXPECT_EQ(row.Title.find(" result "), std::string::npos) << row.Title;
      titles.insert(row.Title);
    }
    EXPECT_GE(titles.size(), 10u);
  }  // the window stores its settings here, then the simulator stops

  TRegistry::ResetCurrentUser();
  EXPECT_EQ(ReadStoredEngineHosts(TRegistry::CurrentUser()), dead);
  // The other choices are stored as in any run.
  std::int32_t maxSites = 0;
  TRegistryKey* key = TRegistry::CurrentUser().OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, false);
  ASSERT_NE(key, nullptr);
  key->ReadInteger("MaxSites", maxSites);
  EXPECT_EQ(maxSites, 60);

  TMainForm plain;
  EXPECT_FALSE(plain.IsDemo());
  EXPECT_EQ(plain.windowTitle(), QStringLiteral("Tarnwick Quellion 2"));
  EXPECT_EQ(plain.SearchControl().EngineHosts(), dead);
}

std::string FileText(const std::filesystem::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(DemoMode, TickedDefinedEnginesAskTheSimulatorAndTheirFilesStayAsTheyAre) {
  TSandboxSettings settings;
  // A definition of the user's own, for a site the simulator does not stand in for.
  const std::filesystem::path mine =
      std::filesystem::path(settings.Folder()) / "tarnwick-quellion" / "engines" / "mine.json";
  std::filesystem::create_directories(mine.parent_path());
  const std::string mineText = R"({"name": "Mine", "type": "json",
    "search_url": "http://127.0.0.1:1/s?q={query}", "results_query": "r", "url_query": "u",
    "title_query": "t"})";
  std::ofstream(mine) << mineText;
  std::vector<std::pair<std::filesystem::path, std::string>> shipped;
  for (const auto& entry : std::filesystem::directory_iterator(ShippedEngineFolders().front()))
    if (entry.path().extension() == ".json")
      shipped.emplace_back(entry.path(), FileText(entry.path()));
  ASSERT_EQ(8u, shipped.size());

  // SearXNG is shipped switched off: ticked or not, it takes no part.
  const std::set<std::string> defined = {"Bing",    "Brave",     "DuckDuckGo", "Mojeek",
                                         "SearXNG", "Startpage", "Wikipedia",  "Yahoo"};
  const std::set<std::string> searched = {"Bing",      "Brave",     "DuckDuckGo", "Mojeek",
                                          "Startpage", "Wikipedia", "Yahoo"};
  {
    TDemoEngines demo;
    TMainForm form(demo);
    form.show();
    TickEngines(form, {false, false, false, false, false});
    int ticked = 0;
    for (QCheckBox* box : form.Controls().GroupBox1->findChildren<QCheckBox*>()) {
      if (defined.count(box->text().toStdString()) || box->text() == QStringLiteral("Mine")) {
        box->setChecked(true);
        ++ticked;
      }
    }
    ASSERT_EQ(9, ticked);
    form.Controls().SpinEdit1->setValue(1000);
    form.Controls().Edit1->setText(QStringLiteral("offline"));
    form.SearchButtonClick();
    ASSERT_TRUE(WaitUntil([&] { return !form.SearchControl().IsBusy(); }, 60000));

    // Every simulated engine found its results; the user's own took no part.
    std::map<std::string, int> rows;
    for (const TResultRecord& row : form.SearchControl().Table().Rows())
      ++rows[row.SearchEngine];
    EXPECT_EQ(searched.size(), rows.size());
    for (const std::string& name : searched)
      EXPECT_GT(rows[name], 0) << name;
    std::set<std::string> reported;
    for (const TEngineOutcome& outcome : form.Panel4()->OutcomeStrip()->Outcomes()) {
      reported.insert(outcome.Engine);
      EXPECT_NE(TEngineEnd::Failed, outcome.End) << outcome.Line();
    }
    EXPECT_EQ(searched, reported);
  }

  // The definitions are as they were; the stored choices hold the ticks as in any run.
  for (const auto& [path, text] : shipped)
    EXPECT_EQ(text, FileText(path)) << path;
  EXPECT_EQ(mineText, FileText(mine));
  TRegistry::ResetCurrentUser();
  const TRegistryKey* key =
      TRegistry::CurrentUser().FindKey(HKEY_CURRENT_USER, kDefinedEnginesKeyName);
  ASSERT_NE(key, nullptr);
  bool mineTicked = false;
  EXPECT_EQ(TRegReadStatus::rsOk, key->ReadBool("Mine", mineTicked));
  EXPECT_TRUE(mineTicked);
}

}  // namespace
}  // namespace quellion
