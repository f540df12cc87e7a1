#include <gtest/gtest.h>

#include <string>

#include "engines/EngineDefinition.h"
#include "tests/engines/EngineTestSupport.h"

namespace quellion {
namespace {

const char* const kHtmlMinimal =
    R"({"name": "Tiny", "type": "html", "search_url": "http://e.test/?q={query}",
        "url_xpath": "//a/@href", "title_xpath": "//a"})";

TEST(DefinitionLoad, ReadsEveryKeyWithCommentsAndDefaults) {
  const TDefinitionLoad load = ParseDefinition(R"(
    // a comment line
    {
      "name": "Full", /* inline comment */
      "type": "json",
      "search_url": "https://e.test/api?q={query}&p={pageno}&o={offset}&l={lang}",
      "paging": true, "first_page_num": 0, "page_size": 25,
      "languages": {"German": "de-DE"}, "lang_all": "all",
      "headers": {"X-Api": "k"},
      "results_query": "data/items", "url_query": "link", "title_query": "name",
      "content_query": "text", "url_unwrap_param": "u", "enabled": false
    })");
  ASSERT_TRUE(load.Definition) << load.Error;
  const TEngineDefinition& d = *load.Definition;
  EXPECT_EQ(d.Name, "Full");
  EXPECT_EQ(d.Type, TDefinitionType::Json);
  EXPECT_TRUE(d.Paging);
  EXPECT_EQ(d.FirstPageNum, 0);
  EXPECT_EQ(d.PageSize, 25);
  ASSERT_EQ(d.Languages.size(), 1u);
  EXPECT_EQ(d.Languages[0].second, "de-DE");
  EXPECT_EQ(d.LangAll, "all");
  EXPECT_EQ(d.Headers.size(), 1u);
  EXPECT_EQ(d.ResultsQuery, "data/items");
  EXPECT_FALSE(d.Enabled);
  EXPECT_TRUE(load.Warnings.empty());

  const TDefinitionLoad minimal = ParseDefinition(kHtmlMinimal);
  ASSERT_TRUE(minimal.Definition) << minimal.Error;
  EXPECT_FALSE(minimal.Definition->Paging);
  EXPECT_EQ(minimal.Definition->FirstPageNum, 1);
  EXPECT_EQ(minimal.Definition->PageSize, 10);
  EXPECT_TRUE(minimal.Definition->Enabled);
}

TEST(DefinitionLoad, UnknownKeysAreWarningsOnly) {
  const TDefinitionLoad load = ParseDefinition(
      R"({"name": "W", "type": "html", "search_url": "http://e.test/?q={query}",
          "url_xpath": "//a/@href", "title_xpath": "//a", "shortcut": "w", "timeout": 3})");
  ASSERT_TRUE(load.Definition) << load.Error;
  EXPECT_EQ(load.Warnings,
            (std::vector<std::string>{"unknown key 'shortcut'", "unknown key 'timeout'"}));
}

struct TInvalidCase {
  const char* what;
  std::string text;
  const char* reason;  // a part of the reason
};

std::string Html(const std::string& extra) {
  return R"({"name": "Bad", "type": "html", "search_url": "http://e.test/?q={query}",
             "url_xpath": "//a/@href", "title_xpath": "//a")" +
         extra + "}";
}

// The keys of today's engines: POST with a form body, the address unwrappers, what
// "blocked" looks like, the rest and the first-start tick.
TEST(DefinitionLoad, PostUnwrappingBlockedAndDefault) {
  const TDefinitionLoad load = ParseDefinition(
      R"({"name": "P", "type": "html", "search_url": "https://e.test/html/", "method": "POST",
          "post_body": "q={query}&s={offset}&dc={first}", "url_xpath": "//a/@href",
          "title_xpath": "//a", "url_unwrap_param": "u", "url_unwrap_base64_prefix": "a1",
          "url_unwrap_segment": "RU=", "blocked_status": [202, 429],
          "blocked_xpath": "//title[. = 'Captcha']", "rest_minutes": 30, "default": true})");
  ASSERT_TRUE(load.Definition) << load.Error;
  const TEngineDefinition& d = *load.Definition;
  EXPECT_TRUE(d.Post);
  EXPECT_EQ(d.PostBody, "q={query}&s={offset}&dc={first}");
  EXPECT_EQ(d.UrlUnwrapBase64Prefix, "a1");
  EXPECT_EQ(d.UrlUnwrapSegment, "RU=");
  EXPECT_EQ(d.BlockedStatus, (std::vector<int>{202, 429}));
  EXPECT_EQ(d.BlockedXPath, "//title[. = 'Captcha']");
  EXPECT_EQ(d.RestMinutes, 30);
  EXPECT_TRUE(d.Default);
  EXPECT_TRUE(load.Warnings.empty());

  const TDefinitionLoad minimal = ParseDefinition(kHtmlMinimal);
  ASSERT_TRUE(minimal.Definition);
  EXPECT_FALSE(minimal.Definition->Post);
  EXPECT_FALSE(minimal.Definition->Default);
  EXPECT_EQ(minimal.Definition->RestMinutes, 10);

  // A body without POST is not sent, and says so.
  const TDefinitionLoad getWithBody = ParseDefinition(Html(R"(, "post_body": "x=1")"));
  ASSERT_TRUE(getWithBody.Definition);
  EXPECT_TRUE(getWithBody.Definition->PostBody.empty());
  EXPECT_EQ(getWithBody.Warnings.size(), 1u);
}

TEST(DefinitionLoad, InvalidDefinitionsSayWhy) {
  std::string nineLangs;
  for (int i = 0; i < 9; ++i)
    nineLangs += "{lang}";
  const TInvalidCase cases[] = {
      {"bad JSON", "{\n  \"name\": \"X\",\n  \"type\" \"html\"\n}",
       "bad JSON: parse error at line 3, column "},
      {"not an object", "[1, 2]", "one JSON object"},
      {"empty file", "", "bad JSON"},
      {"missing name", R"({"type": "html", "search_url": "http://e/?q={query}"})",
       "missing required key 'name'"},
      {"missing type", R"({"name": "X", "search_url": "http://e/?q={query}"})",
       "missing required key 'type'"},
      {"missing search_url", R"({"name": "X", "type": "html"})",
       "missing required key 'search_url'"},
      {"unknown type", R"({"name": "X", "type": "xml", "search_url": "http://e/?q={query}"})",
       "unknown 'type' 'xml'"},
      {"html without url_xpath",
       R"({"name": "X", "type": "html", "search_url": "http://e/?q={query}", "title_xpath": "//a"})",
       "missing required key 'url_xpath'"},
      {"json without url", R"({"name": "X", "type": "json", "search_url": "http://e/?q={query}",
                              "title_query": "t"})",
       "'url_query' (or 'url_template')"},
      {"XPath that does not compile", Html(R"(, "content_xpath": "//div[@class='x'")"),
       "'content_xpath' is not a valid XPath"},
      {"results XPath that does not compile", Html(R"(, "results_xpath": "//*[")"),
       "'results_xpath' is not a valid XPath"},
      {"wrong value type", Html(R"(, "paging": "yes")"), "'paging' must be true or false"},
      {"page_size 0", Html(R"(, "page_size": 0)"), "'page_size' must be between"},
      {"huge number", Html(R"(, "first_page_num": 18446744073709551615)"),
       "'first_page_num' must be between"},
      {"name of a classic engine",
       R"({"name": "google", "type": "html", "search_url": "http://e/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "built-in engine"},
      {"name with a comma",
       R"({"name": "a,b", "type": "html", "search_url": "http://e/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "commas"},
      {"name with a tab and a line feed",
       R"({"name": "a\n\tb", "type": "html", "search_url": "http://e/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "control characters"},
      {"name with a zero-width space",
       R"({"name": "Goo\u200bgle", "type": "html", "search_url": "http://e/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "invisible"},
      {"name with a right-to-left override",
       R"({"name": "abc\u202Egnp.exe", "type": "html", "search_url": "http://e/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "direction-changing"},
      {"name with a C1 control",
       R"({"name": "x\u009by", "type": "html", "search_url": "http://e/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "control"},
      {"search_url without scheme",
       R"({"name": "X", "type": "html", "search_url": "e.test/?q={query}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "http:// or https://"},
      {"unknown placeholder",
       R"({"name": "X", "type": "html", "search_url": "http://e/?q={query}&n={count}",
           "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "unknown placeholder {count}"},
      {"header that would split the request", Html(R"(, "headers": {"X-A": "1\r\nEvil: 2"})"),
       "line break"},
      {"header the program sets", Html(R"(, "headers": {"Host": "elsewhere"})"),
       "set by the program"},
      {"languages not strings", Html(R"(, "languages": {"English": 1})"),
       "'languages' must be an object of strings"},
      {"lang_all that would add a header line",
       Html(R"(, "lang_all": "x HTTP/1.0\r\nX-Injected: yes\r\nY:")"),
       "'lang_all' has a line break"},
      {"search_url that expands without bound",
       R"({"name": "X", "type": "html", "url_xpath": "//a/@href", "title_xpath": "//a",
           "search_url": "http://e/?q={query})" +
           nineLangs + R"("})",
       "more than 8 placeholders"},
      {"lang_all too long", Html(R"(, "lang_all": ")" + std::string(257, 'x') + "\""),
       "'lang_all' has a value longer than 256 bytes"},
      {"language code with NUL", Html(R"(, "languages": {"English": "en\u0000"})"),
       "'languages' has a line break or NUL"},
      {"unknown method", Html(R"(, "method": "PUT")"), "unknown 'method' 'PUT'"},
      {"POST without a query anywhere",
       R"({"name": "X", "type": "html", "search_url": "http://e/", "method": "POST",
           "post_body": "s={offset}", "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "neither 'search_url' nor 'post_body' has {query}"},
      {"unknown placeholder in the body",
       R"({"name": "X", "type": "html", "search_url": "http://e/", "method": "POST",
           "post_body": "q={query}&n={count}", "url_xpath": "//a/@href", "title_xpath": "//a"})",
       "'post_body' has an unknown placeholder {count}"},
      {"status that is none", Html(R"(, "blocked_status": [202, 99])"),
       "'blocked_status' must be a list of HTTP statuses"},
      {"status list as a number", Html(R"(, "blocked_status": 202)"),
       "'blocked_status' must be a list"},
      {"blocked XPath that does not compile", Html(R"(, "blocked_xpath": "//title[")"),
       "'blocked_xpath' is not a valid XPath"},
      {"base64 prefix without its parameter", Html(R"(, "url_unwrap_base64_prefix": "a1")"),
       "needs 'url_unwrap_param'"},
      {"negative rest", Html(R"(, "rest_minutes": -1)"), "'rest_minutes' must be between"},
      {"post_body that would add a header line",
       R"({"name": "X", "type": "html", "search_url": "http://e/", "method": "POST",
           "post_body": "q={query}\r\nX-Injected: yes", "url_xpath": "//a/@href",
           "title_xpath": "//a"})",
       "'post_body' contains a blank or control character"},
      {"post_body that expands without bound",
       R"({"name": "X", "type": "html", "search_url": "http://e/", "method": "POST",
           "url_xpath": "//a/@href", "title_xpath": "//a", "post_body": "q={query})" +
           nineLangs + R"("})",
       "'post_body' has more than 8 placeholders"},
  };
  for (const TInvalidCase& c : cases) {
    const TDefinitionLoad load = ParseDefinition(c.text);
    EXPECT_FALSE(load.Definition) << c.what;
    EXPECT_NE(load.Error.find(c.reason), std::string::npos)
        << c.what << ": reason was '" << load.Error << "'";
  }
}

TEST(DefinitionLoad, InvalidFileKeepsItsNameWhenReadable) {
  const TDefinitionLoad load = ParseDefinition(Html(R"(, "title_xpath": "//a[")"));
  EXPECT_FALSE(load.Definition);
  EXPECT_EQ(load.Name, "Bad");
}

TEST(DefinitionLoad, FilesOverOneMiBAreRefusedUnread) {
  test::TTempDir dir;
  std::string big = kHtmlMinimal;
  big.insert(big.size() - 1, ", \"padding\": \"" + std::string(kMaxDefinitionSize, 'x') + "\"");
  const TDefinitionLoad tooBig = LoadDefinitionFile(dir.Write("big.json", big));
  EXPECT_FALSE(tooBig.Definition);
  EXPECT_EQ(tooBig.Error, "file is larger than 1 MiB");

  const TDefinitionLoad ok = LoadDefinitionFile(dir.Write("tiny.json", kHtmlMinimal));
  ASSERT_TRUE(ok.Definition) << ok.Error;
  EXPECT_EQ(ok.Definition->SourceFile, dir.Path() + "/tiny.json");

  const TDefinitionLoad missing = LoadDefinitionFile(dir.Path() + "/none.json");
  EXPECT_NE(missing.Error.find("cannot read"), std::string::npos);
}

}  // namespace
}  // namespace quellion
