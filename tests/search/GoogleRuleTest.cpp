#include <gtest/gtest.h>

#include "search/GoogleRule.h"
#include "tests/search/HitPrinter.h"

namespace quellion {
namespace {

std::vector<THit> Google(const std::string& page, TGoogleState& state,
                         const std::function<bool()>& mayRead = {}) {
  std::vector<THit> hits;
  ExtractGoogle(page, state, mayRead, [&](const THit& hit) { hits.push_back(hit); });
  return hits;
}

std::vector<THit> Google(const std::string& page) {
  TGoogleState state;
  return Google(page, state);
}

std::string Block(const std::string& url, const std::string& title, const std::string& desc) {
  return "<p><A HREF=http://" + url + ">" + title + "</A><font size=-1><br>" + desc +
         "<br><font color=green>" + url + "</font></font>\n";
}

TEST(StripTags, RemovesSpansWhileTheFirstCloseFollowsTheFirstOpen) {
  const struct {
    std::string in, out;
  } cases[] = {
      {"a > b <i>c</i>", "a > b <i>c</i>"},
      {"<b>x</b>y", "xy"},
      {"a <b", "a <b"},
      {"<a href=x><b>Big</b> Page", "Big Page"},
      {"x<>y", "xy"},
      {"<<b>>", ">"},
      {"", ""},
      {"plain", "plain"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.out, StripTags(c.in)) << c.in;
}

TEST(GoogleRule, TakesTitleURLAndDescriptionAtTheirFixedPlaces) {
  EXPECT_EQ((std::vector<THit>{{"Page", "abc.html", ""}}),
            Google("<p><A HREF=xxxxxxxabc.html>Page</A> ..."));
  EXPECT_EQ((std::vector<THit>{{"Big Page", "abc.html", "Words here"}}),
            Google("<p><A HREF=xxxxxxxabc.html><b>Big</b> Page</A><font size=-1><br>Words "
                   "<i>here</i><br>rest"));
  EXPECT_EQ((std::vector<THit>{{"One", "www.one.example/", "First"},
                               {"Two", "www.two.example/", "Second"}}),
            Google("<html>head" + Block("www.one.example/", "One", "First") +
                   Block("www.two.example/", "Two", "Second")));
  EXPECT_TRUE(Google("<p><a HREF=xxxxxxxabc.html>Page</A>").empty());
}

TEST(GoogleRule, ABlockWithoutTheMarkerTakesTheNextBlocksDescription) {
  // The marker is looked for in all the remaining text: the first block's description
  // comes after the second block's marker, and the second block is cut away with it.
  const std::string page = "<p><A HREF=http://www.one.example/>One</A> no marker here " +
                           Block("www.two.example/", "Two", "Second") +
                           Block("www.three.example/", "Three", "Third");
  EXPECT_EQ((std::vector<THit>{{"One", "www.one.example/", "Second"},
                               {"Three", "www.three.example/", "Third"}}),
            Google(page));
  // With no marker anywhere the description starts after the block's 17th character.
  EXPECT_EQ((std::vector<THit>{{"One", "abc.html", "c.html>One</A> tail"}}),
            Google("<p><A HREF=xxxxxxxabc.html>One</A> tail<br>"));
}

TEST(GoogleRule, AnEmptyURLSetsTheStopMarkForTheRestOfTheTask) {
  TGoogleState state;
  const std::string page = Block("www.one.example/", "One", "d") + "<p><A HREF=x>Short</A>" +
                           Block("www.three.example/", "Three", "d");
  EXPECT_EQ(1u, Google(page, state).size());
  EXPECT_TRUE(state.StopMark);
  EXPECT_TRUE(Google(Block("www.four.example/", "Four", "d"), state).empty());
}

TEST(GoogleRule, AtMostOneHundredBlocksAndAskedBeforeEachBlock) {
  std::string page;
  for (int i = 0; i < 120; ++i)
    page += Block("www.s" + std::to_string(i) + ".example/", "T", "d");
  EXPECT_EQ(100u, Google(page).size());

  TGoogleState state;
  int asked = 0;
  const auto hits = Google(page, state, [&] { return ++asked <= 3; });
  EXPECT_EQ(3u, hits.size());
  EXPECT_EQ(4, asked);
  EXPECT_FALSE(state.StopMark);
}

TEST(GoogleRule, AnErrorInTheSinkEndsThePageQuietly) {
  TGoogleState state;
  int seen = 0;
  ExtractGoogle(Block("a.example/x", "A", "d") + Block("b.example/y", "B", "d"), state, {},
                [&](const THit&) {
                  ++seen;
                  throw std::runtime_error("storing failed");
                });
  EXPECT_EQ(1, seen);
}

}  // namespace
}  // namespace quellion
