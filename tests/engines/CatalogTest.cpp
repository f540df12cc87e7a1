#include <gtest/gtest.h>

#include <string>

#include "engines/EngineCatalog.h"
#include "tests/engines/EngineTestSupport.h"

namespace quellion {
namespace {

std::string Definition(const std::string& name, const std::string& host) {
  return R"({"name": ")" + name + R"(", "type": "html", "search_url": "http://)" + host +
         R"(/?q={query}", "url_xpath": "//a/@href", "title_xpath": "//a"})";
}

TEST(EngineCatalog, UserFilesReplaceShippedOnesAndBrokenOnesAreListed) {
  test::TTempDir shipped, user;
  shipped.Write("alpha.json", Definition("Alpha", "shipped.test"));
  shipped.Write("beta.json", Definition("beta", "shipped.test"));
  shipped.Write("notes.txt", "not a definition");
  shipped.Write("fixtures/page.json", Definition("Nested", "x.test"));
  shipped.Write("twice.json", Definition("ALPHA", "again.test"));
  user.Write("my-beta.json", Definition("Beta", "user.test"));
  user.Write("broken.json", "{\"name\": \"Gamma\",");
  user.Write("badxpath.json", R"({"name": "Delta", "type": "html",
      "search_url": "http://d.test/?q={query}", "url_xpath": "//a[", "title_xpath": "//a"})");
  user.Write("extra.json", R"({"name": "Eps", "type": "html", "search_url": "http://e/?q={query}",
      "url_xpath": "//a/@href", "title_xpath": "//a", "colour": "red"})");

  const TEngineCatalog catalog = LoadEngineCatalog(shipped.Path(), user.Path());
  ASSERT_EQ(catalog.Engines.size(), 3u);
  EXPECT_EQ(catalog.Engines[0].Name, "Alpha");
  EXPECT_EQ(catalog.Engines[1].Name, "Beta");
  EXPECT_EQ(catalog.Engines[1].SourceFile, user.Path() + "/my-beta.json");
  EXPECT_EQ(catalog.Engines[2].Name, "Eps");
  ASSERT_NE(catalog.Find("bEtA"), nullptr);
  EXPECT_EQ(catalog.Find("beta")->SearchUrl, "http://user.test/?q={query}");
  EXPECT_EQ(catalog.Find("Nested"), nullptr);

  ASSERT_EQ(catalog.Invalid.size(), 3u);
  EXPECT_EQ(catalog.Invalid[0].File, shipped.Path() + "/twice.json");
  EXPECT_NE(catalog.Invalid[0].Reason.find("already defined by " + shipped.Path() + "/alpha.json"),
            std::string::npos);
  EXPECT_EQ(catalog.Invalid[1].File, user.Path() + "/badxpath.json");
  EXPECT_EQ(catalog.Invalid[1].Name, "Delta");
  EXPECT_EQ(catalog.Invalid[2].File, user.Path() + "/broken.json");
  EXPECT_NE(catalog.Invalid[2].Reason.find("bad JSON: parse error at line 1"), std::string::npos);
  ASSERT_NE(catalog.FindInvalid("delta"), nullptr);
  EXPECT_EQ(catalog.Warnings,
            std::vector<std::string>{user.Path() + "/extra.json: unknown key 'colour'"});
}

TEST(EngineCatalog, MissingFoldersAreEmpty) {
  const TEngineCatalog catalog = LoadEngineCatalog("/nonexistent/a", "");
  EXPECT_TRUE(catalog.Engines.empty());
  EXPECT_TRUE(catalog.Invalid.empty());
}

TEST(EngineCatalog, UserFolderFollowsXdgConfigHome) {
  const char* old = getenv("XDG_CONFIG_HOME");
  const std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", "/tmp/quellion-xdg", 1);
  EXPECT_EQ(UserEngineFolder(), "/tmp/quellion-xdg/tarnwick-quellion/engines");
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
}

}  // namespace
}  // namespace quellion
