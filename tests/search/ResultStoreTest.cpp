#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "platform/MainThread.h"
#include "search/ResultTable.h"
#include "search/RowAddress.h"
#include "search/SearchControl.h"

namespace quellion {
namespace {

TEST(ResultTable, ClosedUntilEmptiedAndIndexRestartsAtZero) {
  TResultTable table;
  EXPECT_FALSE(table.IsOpen());
  EXPECT_FALSE(table.AppendUnique("t", "u", "d", "Google", 10));
  table.Empty();
  for (int i = 0; i < 10; ++i)
    EXPECT_TRUE(table.AppendUnique("t", "u" + std::to_string(i), "d", "Google", 100));
  EXPECT_EQ(0, table.Row(0)->Index);
  EXPECT_EQ(9, table.Row(9)->Index);
  table.Empty();
  EXPECT_EQ(0, table.RowCount());
  EXPECT_TRUE(table.AppendUnique("t", "again", "d", "Google", 100));
  EXPECT_EQ(0, table.Row(0)->Index);
  const TResultRecord row = *table.Row(0);
  EXPECT_EQ(0, row.Color);
  EXPECT_FALSE(row.Checked.has_value());
  EXPECT_EQ("Google", row.SearchEngine);
}

TEST(ResultTable, LimitDuplicateAndCutRules) {
  TResultTable table;
  table.Empty();
  const std::string long300a = std::string(250, 'a') + std::string(50, 'x');
  const std::string long300b = std::string(250, 'a') + std::string(50, 'y');
  EXPECT_TRUE(table.AppendUnique(std::string(230, 'T'), long300a, std::string(260, 'D'),
                                 std::string(60, 'E'), 10));
  const TResultRecord row = *table.Row(0);
  EXPECT_EQ(std::string(200, 'T'), row.Title);
  // The address is kept whole: a cut address would be a broken link.
  EXPECT_EQ(long300a, row.URL);
  EXPECT_EQ(std::string(250, 'D'), row.Description);
  EXPECT_EQ(std::string(50, 'E'), row.SearchEngine);
  // Agrees in the first 250 characters: the same address for the duplicate test.
  EXPECT_FALSE(table.AppendUnique("t", long300b, "d", "Excite", 10));
  EXPECT_FALSE(table.AppendUnique("t", std::string(250, 'a'), "d", "Excite", 10));
  EXPECT_TRUE(table.AppendUnique("t", std::string(249, 'a'), "d", "Excite", 10));
  // Letter case counts.
  EXPECT_TRUE(table.AppendUnique("t", "www.a.example/X", "d", "Altavista", 10));
  EXPECT_TRUE(table.AppendUnique("t", "www.a.example/x", "d", "Altavista", 10));
  for (int i = table.RowCount(); i < 10; ++i)
    EXPECT_TRUE(table.AppendUnique("t", "n" + std::to_string(i), "d", "Google", 10));
  EXPECT_FALSE(table.AppendUnique("t", "brand-new", "d", "Google", 10));
  EXPECT_TRUE(table.AppendUnique("t", "brand-new", "d", "Google", 20));  // limit raised
  EXPECT_FALSE(table.AppendUnique("t", "other", "d", "Google", 5));      // lowered below count
  EXPECT_EQ(11, table.RowCount());
}

// Texts are cut between characters when they are UTF-8, so the kept part still reads
// as UTF-8; other text is cut by bytes.
TEST(ResultTable, TextIsCutBetweenCharacters) {
  const std::string e2 = "\xC3\xA9";          // é, two bytes
  const std::string e3 = "\xE2\x82\xAC";      // €, three bytes
  const std::string e4 = "\xF0\x9F\x98\x80";  // an emoji, four bytes
  struct Case {
    const char* name;
    std::string title, stored;
  } cases[] = {
      {"two-byte across the end", std::string(199, 'a') + e2, std::string(199, 'a')},
      {"two-byte inside", std::string(198, 'a') + e2 + "b", std::string(198, 'a') + e2},
      {"three-byte across the end", std::string(198, 'a') + e3, std::string(198, 'a')},
      {"four-byte across the end", std::string(197, 'a') + e4 + "z", std::string(197, 'a')},
      {"Windows-1252 by bytes", std::string(199, 'a') + "\xC3\xE9x",
       std::string(199, 'a') + "\xC3"},
      {"short stays", "caf" + e2, "caf" + e2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TResultTable table;
    table.Empty();
    ASSERT_TRUE(table.AppendUnique(c.title, "u", std::string(249, 'd') + e2,
                                   std::string(49, 'e') + e3, 10));
    EXPECT_EQ(c.stored, table.Row(0)->Title);
    EXPECT_EQ(std::string(249, 'd'), table.Row(0)->Description);
    EXPECT_EQ(std::string(49, 'e'), table.Row(0)->SearchEngine);
    table.SetDescription(0, std::string(248, 'x') + e3);
    EXPECT_EQ(std::string(248, 'x'), table.Row(0)->Description);
  }
}

// Only web addresses become rows: http (stored without its scheme) and https.
TEST(ResultTable, OnlyWebAddressesBecomeRows) {
  const struct {
    const char* url;
    bool added;
  } cases[] = {
      {"www.a.example/x", true},
      {"https://a.example/", true},
      {"HTTPS://b.example/", true},
      {"http://c.example/", true},
      {"localhost:8080/x", true},
      {"d.example:80", true},
      {"", true},
      {"javascript:alert(1)", false},
      {"JavaScript:alert(1)", false},
      {"data:text/html,<script>x</script>", false},
      {"file:///etc/passwd", false},
      {"vbscript:msgbox(1)", false},
      {"mailto:a@b.example", false},
      {"ftp://e.example/", false},
      {"about:blank", false},
  };
  for (const auto& c : cases) {
    TResultTable table;
    table.Empty();
    EXPECT_EQ(c.added, table.AppendUnique("t", c.url, "d", "Wikipedia", 10)) << c.url;
    EXPECT_EQ(c.added ? 1 : 0, table.RowCount()) << c.url;
  }
}

// The stored form and the whole address: "http://" comes off when a row is stored and
// back on when it is followed; any other address stays as it is.
TEST(RowAddress, StoredAndFullAddress) {
  const struct {
    const char* given;
    const char* stored;
    const char* full;
  } cases[] = {
      {"http://a.test/", "a.test/", "http://a.test/"},
      {"HTTP://a.test/", "a.test/", "http://a.test/"},
      {"https://a.test/", "https://a.test/", "https://a.test/"},
      {"HTTPS://a.test/", "HTTPS://a.test/", "HTTPS://a.test/"},
      {"www.a.test/x?y=1", "www.a.test/x?y=1", "http://www.a.test/x?y=1"},
      {"localhost:8080/x", "localhost:8080/x", "http://localhost:8080/x"},
      {"http://https.test:443", "https.test:443", "http://https.test:443"},
      {"", "", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(StoredAddress(c.given), c.stored) << c.given;
    EXPECT_EQ(FullAddress(c.stored), c.full) << c.given;
  }
}

TEST(ResultTable, AppendKeepsTheCurrentRow) {
  TResultTable table;
  table.Empty();
  EXPECT_EQ(-1, table.CurrentRow());
  for (int i = 0; i < 5; ++i)
    table.AppendUnique("t", "u" + std::to_string(i), "d", "Hotbot", 10);
  EXPECT_EQ(0, table.CurrentRow());
  table.SetCurrentRow(3);
  table.AppendUnique("t", "u9", "d", "Hotbot", 10);
  EXPECT_EQ(3, table.CurrentRow());
  table.MoveBy(100);
  EXPECT_EQ(5, table.CurrentRow());
  table.SetCurrentRow(-4);
  EXPECT_EQ(0, table.CurrentRow());
}

TEST(ResultTable, RowEditsAndChangeNotices) {
  TResultTable table;
  std::vector<int> notices;
  table.OnRowsChanged = [&](int rows) { notices.push_back(rows); };
  table.Empty();
  table.AppendUnique("t", "u", "d", "Excite", 10);
  table.AppendUnique("t", "u", "d", "Excite", 10);  // refused: no notice
  table.SetChecked(0, true);
  table.SetColor(0, TResultTable::kVisitedColor);
  table.SetDescription(0, std::string(300, 'z'));
  table.SetChecked(7, true);  // no such row: no effect
  EXPECT_EQ(true, table.Row(0)->Checked);
  EXPECT_EQ(16776960, table.Row(0)->Color);
  EXPECT_EQ(250u, table.Row(0)->Description.size());
  table.Close();
  EXPECT_EQ((std::vector<int>{0, 1, 0}), notices);
}

// Several engines adding at once: the limit and the duplicate rule hold under the
// caller lock, and the first adder's engine name stays.
TEST(AddHit, ConcurrentEnginesNeverExceedTheLimitNorDuplicate) {
  TQueueMainThread mainThread;
  TSearchControl control(mainThread);
  control.Table().Empty();
  control.SetMaxSites(150);
  const char* engines[] = {"Altavista", "Excite", "Hotbot", "AllTheWeb", "Google"};
  std::vector<std::thread> threads;
  std::atomic<int> accepted{0};
  for (const char* engine : engines) {
    threads.emplace_back([&, engine] {
      for (int i = 0; i < 100; ++i) {
        // The first 40 addresses are offered by every engine.
        const std::string url =
            i < 40 ? "shared" + std::to_string(i) : std::string(engine) + std::to_string(i);
        if (control.AddHit("t", url, "d", engine))
          accepted++;
      }
    });
  }
  for (auto& t : threads)
    t.join();
  const auto rows = control.Table().Rows();
  EXPECT_EQ(150u, rows.size());
  EXPECT_EQ(150, accepted.load());
  std::set<std::string> urls;
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_TRUE(urls.insert(rows[i].URL).second) << rows[i].URL;
    EXPECT_EQ(static_cast<int>(i), rows[i].Index);
  }
}

TEST(AddHit, SameAddressFromTwoEnginesKeepsTheFirstName) {
  TQueueMainThread mainThread;
  TSearchControl control(mainThread);
  control.Table().Empty();
  EXPECT_TRUE(control.AddHit("a", "www.x.example/", "d", "Google"));
  EXPECT_FALSE(control.AddHit("b", "www.x.example/", "e", "Excite"));
  EXPECT_EQ("Google", control.Table().Row(0)->SearchEngine);
  EXPECT_EQ("a", control.Table().Row(0)->Title);
}

}  // namespace
}  // namespace quellion
