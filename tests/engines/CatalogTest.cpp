#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <utility>
#include <vector>

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

TEST(EngineCatalog, AnEarlierShippedFolderHidesTheSameNameInLaterOnes) {
  test::TTempDir first, second;
  first.Write("a.json", Definition("Alpha", "first.test"));
  second.Write("alpha.json", Definition("ALPHA", "second.test"));
  second.Write("b.json", Definition("Beta", "second.test"));
  const TEngineCatalog catalog = LoadEngineCatalog({first.Path(), second.Path()}, "");
  ASSERT_EQ(catalog.Engines.size(), 2u);
  EXPECT_EQ(catalog.Find("alpha")->SourceFile, first.Path() + "/a.json");
  EXPECT_EQ(catalog.Find("beta")->SourceFile, second.Path() + "/b.json");
  EXPECT_TRUE(catalog.Invalid.empty());  // another folder's copy is no fault
}

// Sets environment variables for one scope and puts them back.
class TScopedEnv {
 public:
  void Set(const char* name, const char* value) {
    const char* old = getenv(name);
    saved_.emplace_back(name, old ? std::optional<std::string>(old) : std::nullopt);
    if (value)
      setenv(name, value, 1);
    else
      unsetenv(name);
  }
  ~TScopedEnv() {
    for (auto it = saved_.rbegin(); it != saved_.rend(); ++it) {
      if (it->second)
        setenv(it->first.c_str(), it->second->c_str(), 1);
      else
        unsetenv(it->first.c_str());
    }
  }

 private:
  std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

TEST(EngineCatalog, ShippedFoldersFollowTheXdgDataRulesThenTheProgramsOwn) {
  const std::string e = "/tarnwick-quellion/engines";
  struct Case {
    const char* dataHome;
    const char* dataDirs;
    const char* program;
    std::vector<std::string> folders;
  };
  const Case cases[] = {
      {"/h/data",
       "/x:/y",
       "/opt/q/bin/quellion-cli",
       {"/h/data" + e, "/x" + e, "/y" + e, "/opt/q/share" + e}},
      // unset: the defaults; /usr/bin/../share is /usr/share, read once
      {nullptr,
       nullptr,
       "/usr/bin/quellion",
       {"/home/u/.local/share" + e, "/usr/local/share" + e, "/usr/share" + e}},
      // relative entries do not count; a list of none reads as the default
      {"rel",
       "a:b",
       "/usr/local/bin/quellion",
       {"/home/u/.local/share" + e, "/usr/local/share" + e, "/usr/share" + e}},
      {"/d", ":/only:", "", {"/d" + e, "/only" + e}},
  };
  for (const Case& c : cases) {
    TScopedEnv env;
    env.Set("HOME", "/home/u");
    env.Set("XDG_DATA_HOME", c.dataHome);
    env.Set("XDG_DATA_DIRS", c.dataDirs);
    EXPECT_EQ(ShippedEngineFoldersFor(c.program), c.folders) << c.program;
  }
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
