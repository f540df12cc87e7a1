// The defined engines' tick boxes on the Engines page.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>

#include "app/DefinedEnginesBox.h"
#include "search/DefinedEngine.h"
#include "settings/Registry.h"
#include "tests/support/TempDir.h"

namespace quellion {
namespace {

class DefinedEnginesBoxTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Write("a.json", R"({"name": "Alpha", "type": "html", "search_url": "http://a/?q={query}",
                        "url_xpath": "//a/@href", "title_xpath": "//a"})");
    Write("b.json", R"({"name": "Beta", "type": "json", "search_url": "http://b/?q={query}",
                        "url_query": "u", "title_query": "t", "enabled": false})");
    Write("c.json", R"({"name": "Gamma", "type": "html", "search_url": "http://c/?q={query}",
                        "url_xpath": "//a[", "title_xpath": "//a"})");
    Write("d.json", "{ broken");
  }
  void Write(const std::string& name, const std::string& text) { folder_.Write(name, text); }
  test::TTempDir folder_{"quellion-box"};
};

TEST_F(DefinedEnginesBoxTest, ListsEnginesAndDisablesTheUnusableOnes) {
  QGroupBox group;
  group.resize(217, 433);
  TDefinedEnginesBox box(&group, LoadEngineCatalog(folder_.Path(), ""));
  EXPECT_EQ(box.geometry(), QRect(8, 96, 201, 329));
  group.show();  // a hidden widget hears of its resizing only when shown
  group.resize(300, 200);
  EXPECT_EQ(box.geometry(), QRect(8, 96, 284, 96));

  struct {
    const char* text;
    bool enabled;
    const char* tooltip;  // a part of it
  } cases[] = {
      {"Alpha", true, "/a.json"},
      {"Beta", false, "Switched off in "},
      {"Gamma", false, "'url_xpath' is not a valid XPath"},
      {"d.json", false, "bad JSON"},
  };
  for (const auto& c : cases) {
    QCheckBox* check = box.Box(QString::fromUtf8(c.text));
    ASSERT_NE(check, nullptr) << c.text;
    EXPECT_EQ(check->isEnabled(), c.enabled) << c.text;
    EXPECT_TRUE(check->toolTip().contains(QString::fromUtf8(c.tooltip)))
        << c.text << ": " << check->toolTip().toStdString();
  }
}

TEST_F(DefinedEnginesBoxTest, TicksAreRememberedInTheirOwnKey) {
  TRegistry registry(folder_.Path() + "/registry.reg");
  registry.OpenKey(HKEY_CURRENT_USER, TDefinedEnginesBox::kKeyName, true)
      ->WriteBool("Removed Engine", true);
  QGroupBox group;
  {
    TDefinedEnginesBox box(&group, LoadEngineCatalog(folder_.Path(), ""));
    box.Restore(registry);
    EXPECT_FALSE(box.Box("Alpha")->isChecked());
    EXPECT_TRUE(box.TickedEngines().empty());
    box.Box("Alpha")->setChecked(true);
    box.Store(registry);
  }
  TDefinedEnginesBox again(&group, LoadEngineCatalog(folder_.Path(), ""));
  again.Restore(registry);
  EXPECT_TRUE(again.Box("Alpha")->isChecked());
  ASSERT_EQ(again.TickedEngines().size(), 1u);
  EXPECT_EQ(again.TickedEngines()[0]->Name(), "Alpha");
  bool kept = false;
  registry.FindKey(HKEY_CURRENT_USER, TDefinedEnginesBox::kKeyName)
      ->ReadBool("Removed Engine", kept);
  EXPECT_TRUE(kept);
  // The remembered values' key is not touched.
  EXPECT_EQ(registry.FindKey(HKEY_CURRENT_USER, kQuellionKeyName), nullptr);
}

// Without a stored tick a definition is ticked as its "default" says; a stored tick
// wins either way.
TEST_F(DefinedEnginesBoxTest, DefaultsTickOnlyWhereNothingIsStored) {
  Write("e.json", R"({"name": "Epsilon", "type": "html", "search_url": "http://e/?q={query}",
                      "url_xpath": "//a/@href", "title_xpath": "//a", "default": true})");
  Write("f.json", R"({"name": "Phi", "type": "html", "search_url": "http://f/?q={query}",
                      "url_xpath": "//a/@href", "title_xpath": "//a", "default": true})");
  Write("g.json", R"({"name": "Beta2", "type": "html", "search_url": "http://g/?q={query}",
                      "url_xpath": "//a/@href", "title_xpath": "//a", "default": true,
                      "enabled": false})");
  QGroupBox group;
  TRegistry empty(folder_.Path() + "/empty.reg");
  TDefinedEnginesBox first(&group, LoadEngineCatalog(folder_.Path(), ""));
  first.Restore(empty);
  std::vector<std::string> ticked;
  for (const TEngineDefinition& d : first.TickedDefinitions())
    ticked.push_back(d.Name);
  EXPECT_EQ(ticked, (std::vector<std::string>{"Epsilon", "Phi"}));

  TRegistry stored(folder_.Path() + "/stored.reg");
  TRegistryKey* key = stored.OpenKey(HKEY_CURRENT_USER, TDefinedEnginesBox::kKeyName, true);
  key->WriteBool("Epsilon", false);
  key->WriteBool("Alpha", true);
  key->WriteString("Phi", "1");  // not a DWORD: as if nothing were stored
  TDefinedEnginesBox later(&group, LoadEngineCatalog(folder_.Path(), ""));
  later.Restore(stored);
  EXPECT_TRUE(later.Box("Alpha")->isChecked());
  EXPECT_FALSE(later.Box("Epsilon")->isChecked());
  EXPECT_TRUE(later.Box("Phi")->isChecked());
  EXPECT_FALSE(later.Box("Beta2")->isChecked());
}

}  // namespace
}  // namespace quellion
