#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engines/DefinitionExtractor.h"
#include "engines/TextTools.h"
#include "tests/engines/EngineTestSupport.h"

namespace quellion {
namespace {

TEngineDefinition Html(const std::string& results, const std::string& url, const std::string& title,
                       const std::string& content = "") {
  TEngineDefinition d;
  d.Name = "T";
  d.Type = TDefinitionType::Html;
  d.SearchUrl = "http://engine.test/search?q={query}";
  d.ResultsXPath = results;
  d.UrlXPath = url;
  d.TitleXPath = title;
  d.ContentXPath = content;
  return d;
}

TEngineDefinition Json(const std::string& results, const std::string& url, const std::string& title,
                       const std::string& content = "") {
  TEngineDefinition d;
  d.Name = "J";
  d.Type = TDefinitionType::Json;
  d.SearchUrl = "http://engine.test/api?q={query}";
  d.ResultsQuery = results;
  d.UrlQuery = url;
  d.TitleQuery = title;
  d.ContentQuery = content;
  return d;
}

TEST(HtmlExtraction, RelativeRulesTextsAndAddresses) {
  TDefinitionExtractor extractor(Html("//div[@class='r']", "./a/@href", "./a", "./p"));
  const std::string page =
      "<html><body>"
      "<div class='r'><a href='/one?x=1&amp;y=2'>First\n   <b>hit</b></a><p>Text &amp; more\t"
      "  here</p></div>"
      "<div class='ad'><a href='http://ads.test/'>Ad</a></div>"
      "<div class='r'><a href='//other.test/two'>Second</a></div>"        // no p: empty content
      "<div class='r'><a>No address</a><p>skipped</p></div>"              // no href: skipped
      "<div class='r'><a href='https://secure.test/3'>Third</a><p>c</p>"  // unclosed
      "</body></html>";
  const std::vector<THit> hits = test::ExtractAll(extractor, page);
  const std::vector<THit> expected = {
      {"First hit", "engine.test/one?x=1&y=2", "Text & more here"},
      {"Second", "other.test/two", ""},
      {"Third", "https://secure.test/3", "c"},
  };
  EXPECT_EQ(hits, expected);
}

// A title or description from several nodes: their texts in order, one space between
// them even where the markup has none; a comment's text is no part of an element's.
// An address comes from the first node only.
TEST(HtmlExtraction, TextsOfSeveralNodesAreJoinedByOneSpace) {
  TDefinitionExtractor extractor(Html("//li", ".//a/@href", ".//b", "./span|./i"));
  const std::string page =
      "<ul><li><a href='http://one.test/'><b>One</b><b>Two</b></a><a href='http://no.test/'>"
      "<b> </b><b>\n Three <!-- not --></b></a><span>x</span><i>y</i>"
      "<span>z<em>w</em></span></li></ul>";
  const std::vector<THit> hits = test::ExtractAll(extractor, page);
  const std::vector<THit> expected = {{"One Two Three", "one.test/", "x y zw"}};
  EXPECT_EQ(hits, expected);
}

TEST(HtmlExtraction, WithoutResultsXPathListsArePairedByPosition) {
  TDefinitionExtractor extractor(Html("", "//h3/a/@href", "//h3/a", "//p[@class='s']"));
  const std::string page =
      "<h3><a href='http://a.test/'>A</a></h3><p class='s'>sa</p>"
      "<h3><a href='http://b.test/'>B</a></h3>";
  const std::vector<THit> expected = {{"A", "a.test/", "sa"}, {"B", "b.test/", ""}};
  EXPECT_EQ(test::ExtractAll(extractor, page), expected);
}

TEST(HtmlExtraction, RedirectWrappersAreUnwrapped) {
  TEngineDefinition d = Html("//li", ".//a/@href", ".//a");
  d.UrlUnwrapParam = "uddg";
  TDefinitionExtractor extractor(d);
  const std::string page =
      "<ul><li><a href='//redirect.test/l/?uddg=https%3A%2F%2Fexample.org%2Fa%3Fb%3Dc&amp;rut=1'>"
      "Wrapped</a></li>"
      "<li><a href='https://plain.test/'>Not wrapped</a></li></ul>";
  const std::vector<THit> expected = {{"Wrapped", "https://example.org/a?b=c", ""},
                                      {"Not wrapped", "https://plain.test/", ""}};
  EXPECT_EQ(test::ExtractAll(extractor, page, "", "https://engine.test/html/?q=x"), expected);
}

// Bing's base64 wrapper and Yahoo's RU= path segment; whatever is unwrapped must be
// an http or https address, else the link stays as it was.
TEST(HtmlExtraction, Base64AndPathSegmentWrappers) {
  TEngineDefinition bing = Html("//li", ".//a/@href", ".//a");
  bing.UrlUnwrapParam = "u";
  bing.UrlUnwrapBase64Prefix = "a1";
  TDefinitionExtractor bingExtractor(bing);
  const std::string bingPage =
      "<ul><li><a href='https://b.test/ck/a?p=1&amp;u=a1aHR0cHM6Ly94LnRlc3QvP2E9MQ&amp;ntb=1'>Pad"
      "</a></li><li><a href='https://b.test/ck/a?u=a1aHR0cDovL3kudGVzdC8-fg==&amp;ntb=1'>Safe</a>"
      "</li><li><a href='https://b.test/ck/a?u=a1Zm9vOmJhcg&amp;ntb=1'>Scheme</a></li>"
      "<li><a href='https://b.test/ck/a?u=b1aHR0cDovL3oudGVzdC8&amp;ntb=1'>Prefix</a></li>"
      "<li><a href='https://b.test/ck/a?u=a1%25%25%25'>Junk</a></li></ul>";
  const std::vector<THit> bingHits = {
      {"Pad", "https://x.test/?a=1", ""},
      {"Safe", "y.test/>~", ""},
      {"Scheme", "https://b.test/ck/a?u=a1Zm9vOmJhcg&ntb=1", ""},
      {"Prefix", "https://b.test/ck/a?u=b1aHR0cDovL3oudGVzdC8&ntb=1", ""},
      {"Junk", "https://b.test/ck/a?u=a1%25%25%25", ""}};
  EXPECT_EQ(test::ExtractAll(bingExtractor, bingPage), bingHits);

  TEngineDefinition yahoo = Html("//li", ".//a/@href", ".//a");
  yahoo.UrlUnwrapSegment = "RU=";
  TDefinitionExtractor yahooExtractor(yahoo);
  const std::string yahooPage =
      "<ul><li><a href='https://r.y.test/_ylt=A;_ylu=B/RV=2/RU=https%3a%2f%2fx.test%2fa%3fb%3d1/"
      "RK=2/RS=z-'>Wrapped</a></li>"
      "<li><a href='https://r.y.test/RV=2/RU=%2flocal/RK=0'>Relative</a></li>"
      "<li><a href='https://plain.test/RU/'>Plain</a></li></ul>";
  const std::vector<THit> yahooHits = {{"Wrapped", "https://x.test/a?b=1", ""},
                                       {"Relative", "https://r.y.test/RV=2/RU=%2flocal/RK=0", ""},
                                       {"Plain", "https://plain.test/RU/", ""}};
  EXPECT_EQ(test::ExtractAll(yahooExtractor, yahooPage), yahooHits);
}

// A challenge page yields no hit and says so; an ordinary page does not.
TEST(Extraction, ChallengePagesAreRecognised) {
  TEngineDefinition d = Html("//li", ".//a/@href", ".//a");
  d.BlockedXPath = "//title[normalize-space() = 'Captcha']";
  TDefinitionExtractor html(d);
  std::vector<THit> hits;
  const auto sink = [&hits](const THit& hit) { hits.push_back(hit); };
  const auto always = [] { return true; };
  EXPECT_TRUE(html.Extract("<title> Captcha </title><ul><li><a href='http://a.test/'>A</a></ul>",
                           "", "", always, sink));
  EXPECT_TRUE(hits.empty());
  EXPECT_FALSE(
      html.Extract("<title>Captcha solving - results</title><ul><li>"
                   "<a href='http://a.test/'>A</a></ul>",
                   "", "", always, sink));
  EXPECT_EQ(hits.size(), 1u);

  TEngineDefinition j = Json("results", "u", "t");
  j.BlockedQuery = "error/captcha";
  TDefinitionExtractor json(j);
  EXPECT_TRUE(json.Extract(R"({"error": {"captcha": "x"}})", "", "", always, sink));
  EXPECT_FALSE(json.Extract(R"({"error": {"other": 1}, "results": []})", "", "", always, sink));
}

TEST(HtmlExtraction, EncodingFromHeaderThenMetaElseUtf8) {
  TDefinitionExtractor extractor(Html("//p", "./a/@href", "./a"));
  const std::string latin1 = "<p><a href='http://x.test/'>Caf\xE9</a></p>";
  const std::string utf8 = "<p><a href='http://x.test/'>Caf\xC3\xA9</a></p>";
  struct {
    const char* what;
    std::string page;
    std::string contentType;
  } cases[] = {
      {"header", latin1, "text/html; charset=ISO-8859-1"},
      {"quoted header", latin1, "text/html; Charset=\"iso-8859-1\""},
      {"meta charset", "<meta charset='windows-1252'>" + latin1, ""},
      {"meta http-equiv",
       "<meta http-equiv='Content-Type' content='text/html; charset=ISO-8859-1'>" + latin1, ""},
      {"header beats meta", "<meta charset='ISO-8859-1'>" + utf8, "text/html; charset=utf-8"},
      {"no declaration", utf8, "text/html"},
      {"unknown charset falls back", utf8, "text/html; charset=x-no-such-thing"},
  };
  for (const auto& c : cases) {
    const std::vector<THit> hits = test::ExtractAll(extractor, c.page, c.contentType);
    ASSERT_EQ(hits.size(), 1u) << c.what;
    EXPECT_EQ(hits[0].Title, "Caf\xC3\xA9") << c.what;
  }
}

TEST(HtmlExtraction, StopsWhenToldAndSurvivesJunk) {
  TDefinitionExtractor extractor(Html("//a", "./@href", "."));
  std::string page;
  for (int i = 0; i < 5; ++i)
    page += "<a href='http://h" + std::to_string(i) + ".test/'>x</a>";
  int asked = 0;
  std::vector<THit> hits;
  extractor.Extract(
      page, "", "http://e.test/", [&] { return ++asked <= 2; },
      [&](const THit& h) { hits.push_back(h); });
  EXPECT_EQ(hits.size(), 2u);

  for (const std::string& junk : {std::string(), std::string("\0\0\xff<<<", 6),
                                  std::string("<a href=\"http://ok.test/\">ok")}) {
    const std::vector<THit> found = test::ExtractAll(extractor, junk);
    EXPECT_LE(found.size(), 1u);
  }
}

// Nested result blocks make every result's relative rule walk the rest of the page: the
// page's XPath work is bounded, and the extractor says why it ended early.
TEST(HtmlExtraction, APageTooCostlyEndsWithAReason) {
  std::string nest;
  for (int i = 0; i < 250; ++i)
    nest += "<div class='r'><a class='a' href='/x'>t</a>";
  for (int i = 0; i < 250; ++i)
    nest += "</div>";
  std::string page;
  for (int i = 0; i < 40; ++i)
    page += nest;
  TDefinitionExtractor extractor(
      Html("//div[contains(@class, 'r')]", ".//a[contains(@class, 'a')]/@href", "."));
  std::vector<THit> hits;
  extractor.Extract(
      page, "", "http://e.test/", [] { return true; }, [&](const THit& h) { hits.push_back(h); });
  EXPECT_NE(extractor.Failure().find("too costly"), std::string::npos) << extractor.Failure();
  EXPECT_LT(hits.size(), 250u * 40);

  TDefinitionExtractor cheap(Html("//div[contains(@class, 'r')]", "./a/@href", "."));
  EXPECT_EQ(test::ExtractAll(cheap, nest).size(), 250u);
  EXPECT_EQ(cheap.Failure(), "");
}

TEST(JsonExtraction, NestedResultsPathsAndMarkup) {
  TDefinitionExtractor extractor(Json("data/web/items", "link/href", "name", "snippet"));
  const std::string answer = R"({"data": {"web": {"items": [
      {"link": {"href": "https://a.test/"}, "name": "<b>A</b>lpha", "snippet": "one &amp; <em>two</em>"},
      {"link": {"href": "/relative"}, "name": "Beta", "snippet": ["x", "y", {"z": 1}]},
      {"name": "No link"},
      {"link": {"href": "http://c.test/"}, "name": 42}
  ]}}})";
  const std::vector<THit> expected = {{"Alpha", "https://a.test/", "one & two"},
                                      {"Beta", "engine.test/relative", "x y"},
                                      {"42", "c.test/", ""}};
  EXPECT_EQ(test::ExtractAll(extractor, answer, "", "http://engine.test/api?q=x"), expected);
}

TEST(JsonExtraction, UrlTemplateArrayIndexAndBadAnswers) {
  TEngineDefinition d = Json("pages/0/hits", "", "title", "");
  d.UrlTemplate = "https://{lang}.wiki.test/wiki/{title}?id={meta/id}";
  TDefinitionExtractor extractor(d, "de");
  const std::string answer = R"({"pages": [{"hits": [
      {"title": "New York", "meta": {"id": 7}},
      {"title": "No id"}
  ]}, {"hits": [{"title": "second page", "meta": {"id": 1}}]}]})";
  const std::vector<THit> expected = {
      {"New York", "https://de.wiki.test/wiki/New%20York?id=7", ""}};
  EXPECT_EQ(test::ExtractAll(extractor, answer), expected);

  // {field:wiki}: the address as the wiki writes it.
  TEngineDefinition wiki = Json("hits", "", "title", "");
  wiki.UrlTemplate = "https://{lang}.wiki.test/wiki/{title:wiki}";
  TDefinitionExtractor wikiExtractor(wiki, "en");
  const std::vector<THit> wikiHits = {
      {"Perito Moreno, Santa Cruz", "https://en.wiki.test/wiki/Perito_Moreno,_Santa_Cruz", ""},
      {"Star Wars: Episode IV \xE2\x80\x93 A New Hope (film) 'x' 50%?#&",
       "https://en.wiki.test/wiki/"
       "Star_Wars:_Episode_IV_%E2%80%93_A_New_Hope_(film)_'x'_50%25%3F%23%26",
       ""}};
  EXPECT_EQ(test::ExtractAll(wikiExtractor,
                             R"({"hits": [{"title": "Perito Moreno, Santa Cruz"},
                                 {"title": "Star Wars: Episode IV \u2013 A New Hope (film) 'x' 50%?#&"}]})"),
            wikiHits);

  for (const char* bad : {"", "{", "[]", "{\"pages\": 3}", "\"text\"", "{\"a\":\"\xff\"}"})
    EXPECT_TRUE(test::ExtractAll(extractor, bad).empty()) << bad;
}

TEST(JsonExtraction, ResultsAtTheTopLevel) {
  TDefinitionExtractor extractor(Json("", "u", "t"));
  const std::vector<THit> expected = {{"T", "x.test/", ""}};
  EXPECT_EQ(test::ExtractAll(extractor, R"([{"u": "http://x.test/", "t": "T"}])"), expected);
}

// Hostile pages nest without end; nothing may recurse on their depth.
TEST(Extraction, DeepNestingDoesNotExhaustTheStack) {
  const int depth = 300000;
  std::string html;
  for (int i = 0; i < depth; ++i)
    html += "<div>";
  html += "<a href='http://deep.test/'>deep</a>";
  TDefinitionExtractor htmlExtractor(Html("//div[a]", "./a/@href", "."));
  EXPECT_LE(test::ExtractAll(htmlExtractor, html).size(), 1u);

  std::string json(depth, '[');
  json += std::string(depth, ']');
  TDefinitionExtractor jsonExtractor(Json("", "u", "t"));
  EXPECT_TRUE(test::ExtractAll(jsonExtractor, json).empty());
  std::string objects;
  for (int i = 0; i < depth; ++i)
    objects += "{\"u\":";
  objects += "1" + std::string(depth, '}');
  EXPECT_TRUE(test::ExtractAll(jsonExtractor, objects).size() <= 1u);
}

TEST(TextTools, PlainTextAndPercentCoding) {
  struct {
    const char* in;
    const char* out;
  } plain[] = {
      {"<span class=\"m\">New</span>ark", "Newark"},
      {"a<br>b", "a b"},
      {"  a \n\t b  ", "a b"},
      {"&lt;b&gt; is &quot;bold&quot; &#39;&#x41;&#66;", "<b> is \"bold\" 'AB"},
      {"&unknown; &#0; &#xD800; 3 < 4", "&unknown; &#0; &#xD800; 3 < 4"},
      {"cut <a href='x'", "cut"},
      {"&hellip;", "\xE2\x80\xA6"},
  };
  for (const auto& c : plain)
    EXPECT_EQ(PlainText(c.in), c.out) << c.in;

  EXPECT_EQ(PercentDecode("a%2Fb%zz%4"), "a/b%zz%4");
  EXPECT_EQ(PercentEncode("a b/c~"), "a%20b%2Fc~");
  EXPECT_EQ(QueryParameter("http://x/l/?a=1&uddg=http%3A%2F%2Fy%2F#frag", "uddg"), "http://y/");
  EXPECT_EQ(QueryParameter("http://x/l/?xuddg=1", "uddg"), "");
  EXPECT_EQ(WikiTitleEncode("Perito Moreno, Santa Cruz"), "Perito_Moreno,_Santa_Cruz");
  EXPECT_EQ(Base64UrlDecode("aHR0cDovL3kudGVzdC8-fg"), "http://y.test/>~");
  EXPECT_EQ(Base64UrlDecode("aHR0cDovL3kudGVzdC8+fg=="), "http://y.test/>~");
  EXPECT_EQ(Base64UrlDecode(""), "");
  EXPECT_FALSE(Base64UrlDecode("a"));
  EXPECT_FALSE(Base64UrlDecode("aGk*"));
  EXPECT_EQ(PathSegmentValue("https://r.test/a/RU=x%2fy/RK=1", "RU="), "x/y");
  EXPECT_EQ(PathSegmentValue("https://r.test/a?RU=x", "RU="), "");
}

}  // namespace
}  // namespace quellion
