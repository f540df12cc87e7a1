#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "platform/MainThread.h"
#include "search/ResultTable.h"
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
  EXPECT_EQ(std::string(250, 'a'), row.URL);
  EXPECT_EQ(std::string(250, 'D'), row.Description);
  EXPECT_EQ(std::string(50, 'E'), row.SearchEngine);
  // Agrees in the first 250 characters: the same address as stored.
  EXPECT_FALSE(table.AppendUnique("t", long300b, "d", "Excite", 10));
  EXPECT_FALSE(table.AppendUnique("t", std::string(250, 'a'), "d", "Excite", 10));
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
