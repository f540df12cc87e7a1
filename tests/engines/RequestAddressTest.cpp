#include <gtest/gtest.h>

#include "engines/RequestAddress.h"

namespace quellion {
namespace {

TEST(RequestAddress, PlaceholdersForEachPage) {
  TEngineDefinition d;
  d.SearchUrl = "http://e.test/s?q={query}&p={pageno}&o={offset}&l={lang}";
  d.FirstPageNum = 1;
  d.PageSize = 20;
  d.Languages = {{"German", "de-DE"}, {"fr", "fr-FR"}};
  d.LangAll = "any";
  struct {
    const char* keywords;
    int language;
    int page;
    const char* address;
  } cases[] = {
      {"new york", 0, 0, "http://e.test/s?q=new+york&p=1&o=0&l=any"},
      {"\"new york\"", 9, 1, "http://e.test/s?q=%22new+york%22&p=2&o=20&l=de-DE"},
      {"a+b it's", 8, 2, "http://e.test/s?q=a%2Bb+it%27s&p=3&o=40&l=fr-FR"},  // by code
      {"50% a&b", 1, 0, "http://e.test/s?q=50%+a&b&p=1&o=0&l=any"},  // no mapping: lang_all
      {"x", -1, 0, "http://e.test/s?q=x&p=1&o=0&l=any"},
      {"x", 26, 0, "http://e.test/s?q=x&p=1&o=0&l=any"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(RequestAddress(d, c.keywords, c.language, c.page), c.address) << c.keywords;

  d.FirstPageNum = 0;
  d.SearchUrl = "http://{lang}.e.test/?q={query}&page={pageno}";
  EXPECT_EQ(RequestAddress(d, "x", 9, 3), "http://de-DE.e.test/?q=x&page=3");
  // A value substituted is never syntax: what would start a new key, a new header line or
  // another request line is percent-encoded.
  d.LangAll = "x HTTP/1.0\r\nX: y&k=v";
  EXPECT_EQ(RequestAddress(d, "a\nb", -1, 0),
            "http://x%20HTTP%2F1.0%0D%0AX%3A%20y%26k%3Dv.e.test/?q=a%0Ab&page=0");
}

// {first} counts results from 1 ({offset} + 1); a POST's form body is filled as the
// address is.
TEST(RequestAddress, FirstAndThePostBody) {
  TEngineDefinition d;
  d.SearchUrl = "https://e.test/s?q={query}&first={first}";
  d.PageSize = 10;
  d.LangAll = "wt-wt";
  EXPECT_EQ(RequestAddress(d, "a b", 0, 0), "https://e.test/s?q=a+b&first=1");
  EXPECT_EQ(RequestAddress(d, "a b", 0, 1), "https://e.test/s?q=a+b&first=11");
  EXPECT_EQ(RequestAddress(d, "a b", 0, 2), "https://e.test/s?q=a+b&first=21");
  d.Post = true;
  d.PostBody = "q={query}&s={offset}&dc={first}&kl={lang}";
  EXPECT_EQ(RequestBody(d, "a&b c=\xC3\xA9", 0, 0), "q=a%26b+c%3D%C3%A9&s=0&dc=1&kl=wt-wt");
  EXPECT_EQ(RequestBody(d, "a&b", 0, 1), "q=a%26b&s=10&dc=11&kl=wt-wt");
}

// A placeholder the address does not know, and a brace that is never closed, are
// sent as written.
TEST(RequestAddress, UnknownPlaceholdersStayAsWritten) {
  TEngineDefinition d;
  d.FirstPageNum = 1;
  const struct {
    const char* pattern;
    const char* address;
  } cases[] = {
      {"http://e.test/{other}?q={query}", "http://e.test/{other}?q=x"},
      {"http://e.test/?q={query}&a={", "http://e.test/?q=x&a={"},
      {"http://e.test/?q={query&p={pageno}", "http://e.test/?q={query&p={pageno}"},
      {"http://e.test/?q={}{query}", "http://e.test/?q={}x"},
  };
  for (const auto& c : cases) {
    d.SearchUrl = c.pattern;
    EXPECT_EQ(RequestAddress(d, "x", 0, 0), c.address) << c.pattern;
  }
}

}  // namespace
}  // namespace quellion
