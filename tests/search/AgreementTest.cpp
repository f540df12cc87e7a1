// Hits of different engines for the same page join one row; the exact duplicate test
// still holds within one engine and for AppendUnique.
#include <gtest/gtest.h>

#include <string>

#include "search/AddressKey.h"
#include "search/AgreementOrder.h"
#include "search/ResultTable.h"
#include "search/RowAddress.h"

namespace quellion {
namespace {

struct TAddressPair {
  const char* first;
  const char* second;
  bool samePage;
};

// The join rule as a table: does a second engine's address join the first one's row?
const TAddressPair kPairs[] = {
    // Alike after normalising.
    {"www.a.example/page", "www.a.example/page", true},
    {"www.a.example/page", "http://www.a.example/page", true},
    {"http://www.a.example/page", "https://www.a.example/page", true},
    {"HTTPS://www.a.example/page", "http://www.a.example/page", true},
    {"www.A.Example/page", "www.a.example/page", true},
    {"www.a.example/page", "a.example/page", true},
    {"WWW.a.example/page", "https://a.example/page", true},
    {"www.a.example:80/page", "www.a.example/page", true},
    {"https://www.a.example:443/page", "http://a.example/page", true},
    {"www.a.example/page/", "www.a.example/page", true},
    {"www.a.example/", "www.a.example", true},
    {"www.a.example/page#part", "www.a.example/page", true},
    {"www.a.example/page/#part", "https://a.example/page", true},
    {"www.a.example/?q=1", "www.a.example?q=1", true},
    {"user@www.a.example/page", "user@a.example/page", true},
    // Different pages.
    {"www.a.example/Page", "www.a.example/page", false},          // path letter case
    {"www.a.example/page?q=A", "www.a.example/page?q=a", false},  // query letter case
    {"www.a.example/page?q=1", "www.a.example/page", false},
    {"www.a.example/page?x=1/", "www.a.example/page?x=1", false},  // "/" inside the query
    {"www.a.example/page//", "www.a.example/page", false},         // only one "/" goes
    {"www.a.example:8080/page", "www.a.example/page", false},
    {"https://www.a.example:80/page", "https://www.a.example/page", false},
    {"http://www.a.example:443/page", "http://www.a.example/page", false},
    {"ww.a.example/page", "a.example/page", false},
    {"www2.a.example/page", "a.example/page", false},
    {"a.example.www/page", "a.example/page", false},
    {"ftp://www.a.example/page", "www.a.example/page", false},  // (never a row: not http)
    {"www.a.example/page", "www.b.example/page", false},
    {"user@www.a.example/page", "www.a.example/page", false},
    {"[::1]:8080/page", "[::1]/page", false},
};

TEST(AgreementKey, AddressPairsJoinExactlyWhenTheyNameOnePage) {
  for (const TAddressPair& pair : kPairs) {
    SCOPED_TRACE(std::string(pair.first) + " / " + pair.second);
    EXPECT_EQ(pair.samePage, AgreementKey(pair.first) == AgreementKey(pair.second));

    // The same rule seen through the table: a second engine joins or appends.
    TResultTable table;
    table.Empty();
    if (!IsWebAddress(pair.first))
      continue;  // only http and https addresses become rows
    ASSERT_EQ(TAddOutcome::Appended, table.AppendOrJoin("first", pair.first, "d", "Brave", 3, 100));
    const TAddOutcome second = table.AppendOrJoin("second", pair.second, "e", "Mojeek", 7, 100);
    if (pair.samePage) {
      EXPECT_EQ(TAddOutcome::Joined, second);
      ASSERT_EQ(1, table.RowCount());
      const TResultRecord row = *table.Row(0);
      EXPECT_EQ(pair.first, row.URL);  // the address it first came with
      EXPECT_EQ("first", row.Title);
      EXPECT_EQ("Brave", row.SearchEngine);
      EXPECT_EQ((std::vector<TEngineFind>{{"Brave", 3}, {"Mojeek", 7}}), row.Engines);
    } else {
      EXPECT_EQ(TAddOutcome::Appended, second);
      EXPECT_EQ(2, table.RowCount());
    }
  }
}

TEST(AgreementKey, OddAddressesGiveAKeyWithoutFailing) {
  for (const char* address : {"", "/", "#", "?", "://", "http://", "https://:443", "www.", "a:b:c",
                              "[::1", "@", "http://@:80/#"}) {
    SCOPED_TRACE(address);
    EXPECT_NO_THROW(AgreementKey(address));
  }
  EXPECT_EQ(AgreementKey("http://"), AgreementKey(""));
}

TEST(AppendOrJoin, WithinOneEngineTheExactTestStays) {
  TResultTable table;
  table.Empty();
  EXPECT_EQ(TAddOutcome::Appended, table.AppendOrJoin("t", "www.a.example/", "d", "Brave", 1, 10));
  // The same engine again: another spelling of the page is another row, the same
  // spelling a duplicate.
  EXPECT_EQ(TAddOutcome::Appended, table.AppendOrJoin("t", "a.example", "d", "Brave", 2, 10));
  EXPECT_EQ(TAddOutcome::Refused, table.AppendOrJoin("t", "www.a.example/", "d", "Brave", 3, 10));
  // Another engine joins the first row of the page, once.
  EXPECT_EQ(TAddOutcome::Joined, table.AppendOrJoin("t", "a.example/", "d", "Mojeek", 4, 10));
  // What an engine joined with counts as given by it (a classic engine's next page may
  // bring it again); another spelling of its own is a row of its own.
  EXPECT_EQ(TAddOutcome::Refused, table.AppendOrJoin("t", "a.example/", "d", "Mojeek", 5, 10));
  EXPECT_EQ(TAddOutcome::Appended,
            table.AppendOrJoin("t", "http://a.example/", "d", "Mojeek", 6, 10));
  EXPECT_EQ(3, table.RowCount());
  EXPECT_EQ((std::vector<TEngineFind>{{"Brave", 1}, {"Mojeek", 4}}), table.Row(0)->Engines);
  EXPECT_EQ((std::vector<TEngineFind>{{"Brave", 2}}), table.Row(1)->Engines);
  EXPECT_EQ(1, table.Row(0)->BestPosition());
}

TEST(AppendOrJoin, ExactDuplicatesPast250BytesJoinTooAndAppendUniqueNeverJoins) {
  TResultTable table;
  table.Empty();
  const std::string a = "www.a.example/" + std::string(250, 'x') + "a";
  const std::string b = "www.a.example/" + std::string(250, 'x') + "b";
  EXPECT_TRUE(table.AppendUnique("t", a, "d", "Excite", 10));
  EXPECT_EQ(TAddOutcome::Joined, table.AppendOrJoin("t", b, "d", "Google", 1, 10));
  // AppendUnique keeps the exact test for every hit: another spelling is a new row.
  EXPECT_TRUE(table.AppendUnique("t", "a.example/p", "d", "Excite", 10));
  EXPECT_TRUE(table.AppendUnique("t", "https://a.example/p", "d", "Google", 10));
  EXPECT_FALSE(table.AppendUnique("t", "a.example/p", "d", "Google", 10));
  EXPECT_EQ(3, table.RowCount());
  EXPECT_EQ((std::vector<TEngineFind>{{"Excite", 0}}), table.Row(1)->Engines);
}

TEST(AppendOrJoin, FullOrClosedTableRefusesAndEmptyingForgetsTheKeys) {
  TResultTable table;
  EXPECT_EQ(TAddOutcome::Refused, table.AppendOrJoin("t", "a.example/", "d", "Brave", 1, 10));
  table.Empty();
  std::vector<int> joins;
  std::vector<int> appends;
  table.OnRowJoined = [&](int row) { joins.push_back(row); };
  table.OnRowsChanged = [&](int rows) { appends.push_back(rows); };
  for (int i = 0; i < 3; ++i)
    table.AppendOrJoin("t", "p" + std::to_string(i) + ".example/", "d", "Brave", i + 1, 3);
  // Full: the limit comes first, as for any hit.
  EXPECT_EQ(TAddOutcome::Refused, table.AppendOrJoin("t", "p1.example", "d", "Mojeek", 1, 3));
  EXPECT_EQ(TAddOutcome::Joined, table.AppendOrJoin("t", "p1.example", "d", "Mojeek", 1, 4));
  EXPECT_EQ((std::vector<int>{1}), joins);
  EXPECT_EQ((std::vector<int>{1, 2, 3}), appends);
  table.Empty();
  EXPECT_EQ(TAddOutcome::Appended, table.AppendOrJoin("t", "p1.example", "d", "Mojeek", 1, 4));
  EXPECT_EQ((std::vector<TEngineFind>{{"Mojeek", 1}}), table.Row(0)->Engines);
}

TResultRecord Found(int index, std::vector<TEngineFind> engines) {
  TResultRecord row;
  row.Index = index;
  row.URL = "r" + std::to_string(index);
  row.Engines = std::move(engines);
  return row;
}

TEST(SortByAgreement, MostEnginesThenBestPositionThenArrival) {
  std::vector<TResultRecord> rows = {
      Found(0, {{"A", 1}}),
      Found(1, {{"A", 2}, {"B", 9}}),
      Found(2, {{"B", 3}, {"C", 4}, {"A", 5}}),
      Found(3, {{"C", 1}, {"A", 8}}),
      Found(4, {{"B", 0}, {"C", 0}}),  // no position known: after those with one
      Found(5, {{"C", 1}}),
      Found(6, {{"A", 1}, {"B", 0}}),  // the known position counts
  };
  SortByAgreement(rows);
  std::vector<int> order;
  for (const TResultRecord& row : rows)
    order.push_back(row.Index);
  EXPECT_EQ((std::vector<int>{2, 3, 6, 1, 4, 0, 5}), order);
}

}  // namespace
}  // namespace quellion
