#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "html/TagSplitter.h"

namespace quellion {
namespace {

struct TSplitCase {
  std::string text;
  std::string name;
  std::vector<std::string> attributes;
};

TEST(TagSplitterTest, Cases) {
  const TSplitCase cases[] = {
      {"a href=\"x y\" target=_blank", "a", {"href=x y", "target=_blank"}},
      {"img src = \"a.gif\"", "img", {"src", "=a.gif"}},
      {"td\r\nwidth=5", "td", {"width=5"}},
      {"td\nwidth=5", "tdwidth=5", {}},
      {"body\nbgcolor=#ffffff\nlink=#0000CC", "bodybgcolor=#fffffflink=#0000CC", {}},
      {"p class='x\"y'", "p", {"class=x\"y"}},
      {"p title=\"it's\"", "p", {"title=it's"}},
      {"input checked", "input", {"checked"}},
      {"a title=\"x y", "a", {"title=x y"}},
      {"a title='x\ny z", "a", {"title=x\ny z"}},
      {"<br>", "br", {}},
      {"<", "<", {}},
      {">", ">", {}},
      {"<>", ">", {}},  // the ">" is not removed: one character is left
      {"<a>", "a", {}},
      {"", "", {}},
      {"   ", "", {}},
      {"\t\r \n", "", {}},
      {"a=", "a=", {}},
      {"a =  \n\t\r b", "a", {"=b"}},
      {"a b=\n  c d", "a", {"b=c", "d"}},
      {"  A  HREF=X  ", "A", {"HREF=X"}},
      {"a\tb\rc", "a", {"b", "c"}},
      {"a x=\"\"", "a", {"x="}},
      {"a \"\" b", "a", {"b"}},  // an empty quoted token is not emitted
      {"a x=\"1\"y", "a", {"x=1y"}},
      {"a x=\"a=b c\"", "a", {"x=a=b c"}},
      {"a x='a b'  y=\"c d\"", "a", {"x=a b", "y=c d"}},
      {"a &amp;=1", "a", {"&amp;=1"}},
  };
  for (const auto& c : cases) {
    std::vector<std::string> attributes;
    std::string name = "stale";
    SplitTag(c.text, attributes, name);
    EXPECT_EQ(name, c.name) << "text: " << c.text;
    EXPECT_EQ(attributes, c.attributes) << "text: " << c.text;
  }
}

TEST(TagSplitterTest, AppendsToTheGivenListWithoutEmptyingIt) {
  std::vector<std::string> attributes{"kept"};
  std::string name;
  SplitTag("a b c", attributes, name);
  EXPECT_EQ(name, "a");
  EXPECT_EQ(attributes, (std::vector<std::string>{"kept", "b", "c"}));
}

TEST(TagSplitterTest, LongValuesAndManyAttributes) {
  const std::string value(1 << 20, 'v');
  std::vector<std::string> attributes;
  std::string name;
  SplitTag("a x=\"" + value + "\"", attributes, name);
  ASSERT_EQ(attributes.size(), 1u);
  EXPECT_EQ(attributes[0], "x=" + value);

  std::string many = "a";
  for (int i = 0; i < 10000; ++i)
    many += " k" + std::to_string(i) + "=v";
  attributes.clear();
  SplitTag(many, attributes, name);
  ASSERT_EQ(attributes.size(), 10000u);
  EXPECT_EQ(attributes.back(), "k9999=v");
}

}  // namespace
}  // namespace quellion
