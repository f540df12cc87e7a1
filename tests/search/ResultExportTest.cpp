#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "search/ResultExport.h"

namespace quellion {
namespace {

TResultRecord Row(int index, std::string engine, std::string title, std::string url,
                  std::string description) {
  TResultRecord row;
  row.Index = index;
  row.SearchEngine = std::move(engine);
  row.Title = std::move(title);
  row.URL = std::move(url);
  row.Description = std::move(description);
  return row;
}

// An RFC 4180 reader, strict about what the writer promises: CRLF between records, quotes
// only around whole fields, doubled quotes inside them.
std::vector<std::vector<std::string>> ReadCsv(const std::string& text) {
  std::vector<std::vector<std::string>> records;
  std::vector<std::string> record;
  std::string field;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '"') {
      for (++i; i < text.size(); ++i) {
        if (text[i] == '"') {
          if (i + 1 < text.size() && text[i + 1] == '"') {
            field += '"';
            ++i;
          } else {
            ++i;
            break;
          }
        } else {
          field += text[i];
        }
      }
    }
    while (i < text.size() && text[i] != ',' && text[i] != '\r') {
      EXPECT_NE('\n', text[i]) << "a bare line feed outside quotes";
      EXPECT_NE('"', text[i]) << "a quote inside an unquoted field";
      field += text[i++];
    }
    if (i < text.size() && text[i] == ',') {
      record.push_back(std::move(field));
      field.clear();
      ++i;
    } else if (i < text.size()) {
      EXPECT_EQ("\r\n", text.substr(i, 2));
      record.push_back(std::move(field));
      field.clear();
      records.push_back(std::move(record));
      record.clear();
      i += 2;
    }
  }
  EXPECT_TRUE(record.empty() && field.empty()) << "the last line is not ended";
  return records;
}

TEST(ResultExport, CsvQuotesWhatNeedsItAndDecodesText) {
  struct Case {
    std::string stored, written, read;
  } cases[] = {
      {"plain", "plain", "plain"},
      {"", "", ""},
      {"  spaced  ", "  spaced  ", "  spaced  "},
      {"a,b", "\"a,b\"", "a,b"},
      {"say \"hi\"", "\"say \"\"hi\"\"\"", "say \"hi\""},
      {"\"", "\"\"\"\"", "\""},
      {"two\nlines", "\"two\nlines\"", "two\nlines"},
      {"crlf\r\nend", "\"crlf\r\nend\"", "crlf\r\nend"},
      {"caf\xe9 \x80", "caf\xc3\xa9 \xe2\x82\xac", "caf\xc3\xa9 \xe2\x82\xac"},  // Windows-1252
      {"caf\xc3\xa9", "caf\xc3\xa9", "caf\xc3\xa9"},                             // UTF-8 kept
      {"tab\there", "tab\there", "tab\there"},
      // Controls that would drive a terminal, C1 ones too (valid UTF-8 U+009B), are replaced.
      {std::string("esc\x1b[2Jbel\x07nul\0del\x7f", 19),
       "esc\xef\xbf\xbd[2Jbel\xef\xbf\xbdnul\xef\xbf\xbd"
       "del\xef\xbf\xbd",
       "esc\xef\xbf\xbd[2Jbel\xef\xbf\xbdnul\xef\xbf\xbd"
       "del\xef\xbf\xbd"},
      {"csi\xc2\x9b"
       "31m",
       "csi\xef\xbf\xbd"
       "31m",
       "csi\xef\xbf\xbd"
       "31m"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.stored);
    const std::string csv = ResultsToCsv({Row(7, "Google", c.stored, "u.example/", "d")});
    EXPECT_EQ("index,engine,title,url,description,engines\r\n7,Google," + c.written +
                  ",http://u.example/,d,Google\r\n",
              csv);
    const auto records = ReadCsv(csv);
    ASSERT_EQ(2u, records.size());
    EXPECT_EQ((std::vector<std::string>{"7", "Google", c.read, "http://u.example/", "d", "Google"}),
              records[1]);
  }
}

// Addresses are written whole: an http row gets its "http://" back, an https row keeps
// its own scheme, a row without an address stays empty.
TEST(ResultExport, CsvOfSeveralRowsReadsBackFieldForField) {
  std::vector<TResultRecord> rows = {
      Row(0, "Altavista", "A, \"quoted\"", "a.example/?q=1,2", "line one\nline two"),
      Row(1, "Excite", "", "", ""), Row(12, "AllTheWeb", "\xe9t\xe9", "b.example/\xe9", "\""),
      Row(13, "Wikipedia", "W", "https://c.example/wiki/X", "w")};
  rows[0].Engines = {{"Altavista", 1}, {"Google", 4}};
  rows[2].Engines = {{"AllTheWeb", 2}, {"Search, \"Co\"", 1}};  // quoted as a whole
  const auto records = ReadCsv(ResultsToCsv(rows));
  ASSERT_EQ(5u, records.size());
  EXPECT_EQ((std::vector<std::string>{"index", "engine", "title", "url", "description", "engines"}),
            records[0]);
  EXPECT_EQ((std::vector<std::string>{"0", "Altavista", "A, \"quoted\"", "http://a.example/?q=1,2",
                                      "line one\nline two", "Altavista;Google"}),
            records[1]);
  EXPECT_EQ((std::vector<std::string>{"1", "Excite", "", "", "", "Excite"}), records[2]);
  EXPECT_EQ(
      (std::vector<std::string>{"12", "AllTheWeb", "\xc3\xa9t\xc3\xa9", "http://b.example/\xc3\xa9",
                                "\"", "AllTheWeb;Search, \"Co\""}),
      records[3]);
  EXPECT_EQ((std::vector<std::string>{"13", "Wikipedia", "W", "https://c.example/wiki/X", "w",
                                      "Wikipedia"}),
            records[4]);
  EXPECT_EQ("index,engine,title,url,description,engines\r\n", ResultsToCsv({}));
}

TEST(ResultExport, JsonHasTheMembersOfTheCliAndDecodesText) {
  std::vector<TResultRecord> rows = {Row(3, "Google", "caf\xe9 \"q\"", "x.example/", "ctl\x01\n"),
                                     Row(4, "Excite", "caf\xc3\xa9", "y.example/", ""),
                                     Row(5, "Wikipedia", "W", "https://z.example/w", "")};
  rows[1].Engines = {{"Excite", 2}, {"Google", 1}, {"Mojeek", 5}};
  const std::string text = ResultsToJson(rows);
  EXPECT_EQ(std::string::npos, text.find('\n'));
  const auto list = nlohmann::json::parse(text);
  ASSERT_EQ(3u, list.size());
  EXPECT_EQ(nlohmann::json({{"index", 3},
                            {"engine", "Google"},
                            {"title", "caf\xc3\xa9 \"q\""},
                            {"url", "http://x.example/"},
                            {"description", "ctl\x01\n"},
                            {"engines", {"Google"}}}),
            list[0]);
  EXPECT_EQ("caf\xc3\xa9", list[1]["title"]);
  EXPECT_EQ(nlohmann::json({"Excite", "Google", "Mojeek"}), list[1]["engines"]);
  EXPECT_EQ("https://z.example/w", list[2]["url"]);
  EXPECT_EQ("[]", ResultsToJson({}));
  EXPECT_EQ(text + "\n", ExportResults(rows, TExportFormat::Json));
}

TEST(ResultExport, HtmlEscapesEveryText) {
  std::vector<TResultRecord> rows = {Row(0, "Go<o>gle", "<script>alert('x')</script> & co",
                                         "a.example/\"><b>x", "<i>desc</i>\x01"),
                                     Row(1, "Excite", "", "b.example/?a=1&b=2", ""),
                                     Row(2, "AllTheWeb", "caf\xe9", "c.example/", "plain"),
                                     Row(3, "Wikipedia", "W", "https://d.example/w", "")};
  rows[2].Engines = {{"AllTheWeb", 1}, {"<Brave>", 3}};
  const std::string html = ResultsToHtml(rows, "Results for <q> & \"r\"");
  EXPECT_EQ(0u, html.find("<!DOCTYPE html>\n"));
  EXPECT_NE(std::string::npos, html.find("<meta charset=\"utf-8\">"));
  EXPECT_NE(std::string::npos,
            html.find("<title>Results for &lt;q&gt; &amp; &quot;r&quot;</title>"));
  EXPECT_NE(std::string::npos,
            html.find("<li><a href=\"http://a.example/&quot;&gt;&lt;b&gt;x\" "
                      "rel=\"noreferrer noopener\">&lt;script&gt;alert(&#39;x&#39;)&lt;/"
                      "script&gt; &amp; co</a> <span class=\"engine\">Go&lt;o&gt;gle</span>"
                      "<br>&lt;i&gt;desc&lt;/i&gt;\xEF\xBF\xBD</li>"))
      << html;
  // Without a title the address is the link's text; without a description no line break.
  EXPECT_NE(std::string::npos,
            html.find("<li><a href=\"http://b.example/?a=1&amp;b=2\" rel=\"noreferrer "
                      "noopener\">http://b.example/?a=1&amp;b=2</a> <span "
                      "class=\"engine\">Excite</span></li>"))
      << html;
  EXPECT_NE(std::string::npos,
            html.find(">caf\xc3\xa9</a> <span class=\"engine\">AllTheWeb, &lt;Brave&gt;</span>"))
      << html;
  // An https row keeps its own scheme.
  EXPECT_NE(std::string::npos, html.find("<a href=\"https://d.example/w\" "));
  EXPECT_EQ(std::string::npos, html.find("http://https:"));
  EXPECT_EQ(std::string::npos, html.find("<script"));
  EXPECT_EQ(std::string::npos, html.find("<b>"));
  EXPECT_EQ(html.size() - 16, html.rfind("</body>\n</html>\n"));
}

TEST(ResultExport, FormatFollowsTheFileNameSuffix) {
  const struct {
    const char* name;
    std::optional<TExportFormat> format;
  } cases[] = {
      {"results.csv", TExportFormat::Csv},
      {"/tmp/a.b/Results.CSV", TExportFormat::Csv},
      {"r.json", TExportFormat::Json},
      {"r.html", TExportFormat::Html},
      {"r.HTM", TExportFormat::Html},
      {"r.txt", std::nullopt},
      {"results", std::nullopt},
      {"/tmp/a.csv/results", std::nullopt},
      {"", std::nullopt},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.format, ExportFormatForFileName(c.name)) << c.name;
  for (TExportFormat format : {TExportFormat::Csv, TExportFormat::Json, TExportFormat::Html})
    EXPECT_EQ(format, ExportFormatForFileName(std::string("x") + ExportSuffix(format)));
}

}  // namespace
}  // namespace quellion
