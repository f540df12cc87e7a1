#include <gtest/gtest.h>

#include "search/QueryBuilder.h"

namespace quellion {
namespace {

TEST(QueryBuilder, EncodesKeywordsByteByByte) {
  const struct {
    std::string keywords, encoded;
  } cases[] = {
      {"new york", "new+york"},
      {"\"new york\"", "%22new+york%22"},
      {"a+b", "a%2Bb"},
      {"it's", "it%27s"},
      {"a&b=c", "a&b=c"},
      {"50%", "50%"},
      {" x  y ", "+x++y+"},
      {"#?/\xe9", "#?/\xe9"},
      // Control bytes would end or bend the request line: percent-encoded.
      {std::string("a b\nEvil: 1\r\t\x1b\x7f\0z", 17), "a+b%0AEvil:+1%0D%09%1B%7F%00z"},
      {"", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.encoded, EncodeKeywords(c.keywords)) << c.keywords;
}

TEST(QueryBuilder, FirstPageAddressesPerEngineAndLanguage) {
  const struct {
    TEngine engine;
    int language;
    std::string address;
  } cases[] = {
      {TEngine::Altavista, 0, "http://h/cgi-bin/query?pg=q&text=yes&q=k+w&kl=XX&stype=stext"},
      {TEngine::Altavista, 9, "http://h/cgi-bin/query?pg=q&text=yes&q=k+w&kl=de&stype=stext"},
      {TEngine::Excite, 0, "http://h/search.gw?c=web&s=k+w&showSummary=true"},
      {TEngine::Excite, 25, "http://h/search.gw?c=web&s=k+w&showSummary=true"},
      {TEngine::Hotbot, 9, "http://h/?MT=k+w"},
      {TEngine::AllTheWeb, 0,
       "http://h/cgi-bin/advsearch?terms=3&type=all&query=k+w&exec=FAST+Search&lang=any"
       "&hits=10&nooc=on"},
      {TEngine::AllTheWeb, 9,
       "http://h/cgi-bin/advsearch?terms=3&type=all&query=k+w&exec=FAST+Search&lang=german"
       "&hits=10&nooc=on"},
      {TEngine::AllTheWeb, 25,
       "http://h/cgi-bin/advsearch?terms=3&type=all&query=k+w&exec=FAST+Search&lang=swedish"
       "&hits=10&nooc=on"},
      {TEngine::Google, 0, "http://h/search?as_qt=w&as_q=k+w&lr=&num=10&btnG=Google+Search"},
      {TEngine::Google, 9, "http://h/search?as_qt=w&as_q=k+w&lr=lang_de&num=10&btnG=Google+Search"},
      // No row selected: what "any language" sends.
      {TEngine::Altavista, -1, "http://h/cgi-bin/query?pg=q&text=yes&q=k+w&kl=XX&stype=stext"},
      {TEngine::AllTheWeb, 26,
       "http://h/cgi-bin/advsearch?terms=3&type=all&query=k+w&exec=FAST+Search&lang=any"
       "&hits=10&nooc=on"},
      {TEngine::Google, 1000, "http://h/search?as_qt=w&as_q=k+w&lr=&num=10&btnG=Google+Search"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.address, FirstPageAddress(c.engine, "h", "k+w", c.language))
        << EngineName(c.engine) << " " << c.language;
}

TEST(QueryBuilder, HostMayCarryAPort) {
  EXPECT_EQ("http://127.0.0.1:8080/?MT=x",
            FirstPageAddress(TEngine::Hotbot, "127.0.0.1:8080", "x", 0));
  EXPECT_EQ("http://www.google.com/search?as_qt=w&as_q=x&lr=&num=10&btnG=Google+Search",
            FirstPageAddress(TEngine::Google, DefaultEngineHost(TEngine::Google), "x", 0));
}

TEST(QueryBuilder, PageSuffixes) {
  const struct {
    TEngine engine;
    std::string first;
    int n;
    std::string later;
  } cases[] = {
      {TEngine::Altavista, "", 11, "&stq=11"},
      {TEngine::Excite, "&start=0&perPage=10", 4, "&start=4&perPage=10"},
      {TEngine::Hotbot, "", 11, "&II=11&RPN=3&SQ=1"},
      {TEngine::AllTheWeb, "", 11, "&offset=11"},
      {TEngine::Google, "", 10, "&start=10"},
      {TEngine::Google, "", -3, "&start=-3"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.first, FirstPageSuffix(c.engine)) << EngineName(c.engine);
    EXPECT_EQ(c.later, PageSuffix(c.engine, c.n)) << EngineName(c.engine);
  }
}

TEST(QueryBuilder, EngineNames) {
  EXPECT_EQ("AllTheWeb", EngineName(TEngine::AllTheWeb));
  EXPECT_EQ(TEngine::AllTheWeb, ParseEngineName("alltheweb"));
  EXPECT_EQ(TEngine::Hotbot, ParseEngineName("HOTBOT"));
  EXPECT_FALSE(ParseEngineName("all the web"));
  EXPECT_FALSE(ParseEngineName(""));
}

}  // namespace
}  // namespace quellion
