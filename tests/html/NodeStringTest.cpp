#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "html/NodeLists.h"
#include "html/NodeString.h"

namespace quellion {
namespace {

// Lengths around the inline capacity and a long one: each form must keep every byte,
// zero bytes included.
TEST(NodeStringTest, KeepsEveryLengthExactly) {
  const size_t inlineMax = TNodeString::kInlineCapacity;
  for (size_t n : {size_t{0}, size_t{1}, inlineMax - 1, inlineMax, inlineMax + 1, size_t{5000}}) {
    std::string value;
    for (size_t i = 0; i < n; ++i)
      value.push_back(static_cast<char>(i % 7 == 3 ? '\0' : 'a' + i % 26));
    TNodeString s;
    s = value;
    EXPECT_EQ(s.size(), n);
    EXPECT_EQ(s.empty(), n == 0);
    EXPECT_EQ(std::string_view(s), value);
    EXPECT_EQ(s.str(), value);
    TNodeString copy = s;
    TNodeString moved = std::move(copy);
    EXPECT_EQ(moved, value);
    EXPECT_TRUE(copy.empty());  // NOLINT(bugprone-use-after-move): moved-from is empty
    s.clear();
    EXPECT_TRUE(s.empty());
    EXPECT_EQ(moved, s + value);
  }
}

TEST(NodeStringTest, AssignsFromItselfAndComparesWithEveryStringKind) {
  TNodeString s;
  s = "a long value that lives on the heap";
  s = std::string_view(s).substr(2, 10);  // a view into its own block
  EXPECT_EQ(s, "long value");
  s = std::string_view(s).substr(5);  // now inline, still from its own bytes
  EXPECT_EQ(s, "value");
  const TNodeString& same = s;
  s = same;
  EXPECT_EQ(s, std::string("value"));
  EXPECT_TRUE("value" == s);
  EXPECT_NE(s, "valu");
  EXPECT_NE(s, TNodeString(std::string_view("value!")));
  EXPECT_EQ("<" + s + ">", "<value>");
  std::string out = "x";
  out += s;
  EXPECT_EQ(out, "xvalue");
  std::ostringstream printed;
  printed << s;
  EXPECT_EQ(printed.str(), "value");
}

TEST(AttributeListTest, PacksEntriesIncludingEmptyOnesAndCopiesFromItself) {
  TAttributeList list;
  list = std::vector<std::string>{"href=http://example.com/a", "", "b"};
  ASSERT_EQ(list.size(), 3u);
  EXPECT_EQ(list[0], "href=http://example.com/a");
  EXPECT_EQ(list[1], "");
  EXPECT_EQ(list.back(), "b");
  EXPECT_THROW(list.at(3), std::out_of_range);
  list.push_back(list[0]);  // a view into the list's own block
  EXPECT_EQ(list, (std::vector<std::string>{"href=http://example.com/a", "", "b",
                                            "href=http://example.com/a"}));
  const TAttributeList& alias = list;
  list = alias;
  EXPECT_EQ(list.size(), 4u);
  list = std::vector<std::string>{};
  EXPECT_TRUE(list.empty());
  EXPECT_EQ(list.begin(), list.end());
}

}  // namespace
}  // namespace quellion
