#include "search/ResultExport.h"

#include <nlohmann/json.hpp>

#include "platform/TextEncoding.h"
#include "platform/TextUtil.h"
#include "search/RowAddress.h"

namespace quellion {
namespace {

void AppendCsvField(std::string& out, const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) {
    out += text;
    return;
  }
  out += '"';
  for (char c : text) {
    if (c == '"')
      out += '"';
    out += c;
  }
  out += '"';
}

// Text and attribute values alike; controls that HTML does not allow in a page become
// the replacement character.
std::string HtmlEscaped(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '\t':
      case '\n':
      case '\r':
        out += c;
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F)
          out += "\xEF\xBF\xBD";
        else
          out += c;
    }
  }
  return out;
}

std::string Shown(const std::string& bytes) {
  return DecodeForDisplay(bytes);
}

std::string JoinedEngines(const TResultRecord& row, std::string_view separator) {
  std::string out;
  for (const std::string& name : RowEngineNames(row)) {
    if (!out.empty())
      out += separator;
    out += name;
  }
  return out;
}

}  // namespace

std::vector<std::string> RowEngineNames(const TResultRecord& row) {
  std::vector<std::string> names;
  for (const TEngineFind& find : row.Engines)
    names.push_back(find.Engine);
  if (names.empty())
    names.push_back(row.SearchEngine);
  return names;
}

std::string ResultsToCsv(const std::vector<TResultRecord>& rows) {
  std::string out = "index,engine,title,url,description,engines\r\n";
  for (const TResultRecord& row : rows) {
    out += std::to_string(row.Index);
    const std::string address = FullAddress(row.URL);
    for (const std::string* field : {&row.SearchEngine, &row.Title, &address, &row.Description}) {
      out += ',';
      // CSV is often read on a terminal: controls other than TAB and the line breaks that
      // quoting carries are replaced.
      AppendCsvField(out, ShownOnTerminal(*field, "\t\r\n"));
    }
    out += ',';
    AppendCsvField(out, Shown(JoinedEngines(row, ";")));
    out += "\r\n";
  }
  return out;
}

std::string ResultsToJson(const std::vector<TResultRecord>& rows) {
  nlohmann::json list = nlohmann::json::array();
  for (const TResultRecord& row : rows) {
    nlohmann::json engines = nlohmann::json::array();
    for (const std::string& name : RowEngineNames(row))
      engines.push_back(Shown(name));
    list.push_back({{"index", row.Index},
                    {"engine", Shown(row.SearchEngine)},
                    {"title", Shown(row.Title)},
                    {"url", Shown(FullAddress(row.URL))},
                    {"description", Shown(row.Description)},
                    {"engines", std::move(engines)}});
  }
  return list.dump();
}

std::string ResultsToHtml(const std::vector<TResultRecord>& rows, std::string_view heading) {
  const std::string title = HtmlEscaped(Shown(std::string(heading)));
  std::string out =
      "<!DOCTYPE html>\n"
      "<html>\n"
      "<head>\n"
      "<meta charset=\"utf-8\">\n"
      "<title>" +
      title +
      "</title>\n"
      "<style>body { font-family: sans-serif; } li { margin-bottom: 0.6em; }"
      " .engine { color: #666; font-size: small; }</style>\n"
      "</head>\n"
      "<body>\n"
      "<h1>" +
      title + "</h1>\n<ol>\n";
  for (const TResultRecord& row : rows) {
    const std::string address = HtmlEscaped(Shown(FullAddress(row.URL)));
    const std::string text = row.Title.empty() ? address : HtmlEscaped(Shown(row.Title));
    out += "<li><a href=\"" + address + "\" rel=\"noreferrer noopener\">" + text +
           "</a> <span class=\"engine\">" + HtmlEscaped(Shown(JoinedEngines(row, ", "))) +
           "</span>";
    if (!row.Description.empty())
      out += "<br>" + HtmlEscaped(Shown(row.Description));
    out += "</li>\n";
  }
  out += "</ol>\n</body>\n</html>\n";
  return out;
}

std::string ExportResults(const std::vector<TResultRecord>& rows, TExportFormat format,
                          std::string_view htmlHeading) {
  switch (format) {
    case TExportFormat::Csv:
      return ResultsToCsv(rows);
    case TExportFormat::Json:
      return ResultsToJson(rows) + "\n";
    case TExportFormat::Html:
      return ResultsToHtml(rows, htmlHeading);
  }
  return {};
}

std::optional<TExportFormat> ExportFormatForFileName(std::string_view fileName) {
  const size_t dot = fileName.rfind('.');
  if (dot == std::string_view::npos)
    return std::nullopt;
  const std::string suffix = ToLowerAscii(fileName.substr(dot + 1));
  if (suffix.find('/') != std::string::npos)
    return std::nullopt;  // a dot in a folder's name, not in the file's
  if (suffix == "csv")
    return TExportFormat::Csv;
  if (suffix == "json")
    return TExportFormat::Json;
  if (suffix == "html" || suffix == "htm")
    return TExportFormat::Html;
  return std::nullopt;
}

const char* ExportSuffix(TExportFormat format) {
  switch (format) {
    case TExportFormat::Csv:
      return ".csv";
    case TExportFormat::Json:
      return ".json";
    case TExportFormat::Html:
      return ".html";
  }
  return "";
}

}  // namespace quellion
