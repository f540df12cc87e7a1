#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace quellion {

// An engine given as data: one JSON definition file. Key names follow the widely
// used generic xpath/json engine settings, so such definitions port by hand.
enum class TDefinitionType { Html, Json };

struct TEngineDefinition {
  std::string Name;  // shown, used by --engines, stored as the rows' engine
  TDefinitionType Type = TDefinitionType::Html;
  // Placeholders: {query} {pageno} {offset} {first} {lang}.
  std::string SearchUrl;
  // "POST": the page is asked for by posting PostBody (form fields, the same
  // placeholders as SearchUrl) to SearchUrl.
  bool Post = false;
  std::string PostBody;
  bool Paging = false;
  int FirstPageNum = 1;
  int PageSize = 10;
  // The language list's names (or codes) as written, mapped to the engine's code.
  std::vector<std::pair<std::string, std::string>> Languages;
  std::string LangAll;
  std::vector<std::pair<std::string, std::string>> Headers;
  // html
  std::string ResultsXPath, UrlXPath, TitleXPath, ContentXPath;
  // json: member paths with '/' between members
  std::string ResultsQuery, UrlQuery, TitleQuery, ContentQuery;
  std::string UrlTemplate;     // {field} of a result (json); used when there is no url query
  std::string UrlUnwrapParam;  // query parameter of a redirect wrapper holding the address
  // The parameter's value is this prefix and the address in URL-safe base64.
  std::string UrlUnwrapBase64Prefix;
  // The path segment that starts with this ("RU=") holds the address, percent-encoded.
  std::string UrlUnwrapSegment;
  // Answers that mean the engine refuses to serve this client for a while: these HTTP
  // statuses, or a page on which BlockedXPath (html) or BlockedQuery (json) finds
  // something. The engine then rests RestMinutes.
  std::vector<int> BlockedStatus;
  std::string BlockedXPath, BlockedQuery;
  int RestMinutes = 10;
  bool Enabled = true;
  bool Default = false;  // ticked on a first start

  std::string SourceFile;  // the file it was read from ("" when read from text)
};

// The outcome of reading one definition: a definition, or the reason it is invalid.
// Unknown keys and other doubtful but harmless things are warnings.
struct TDefinitionLoad {
  std::optional<TEngineDefinition> Definition;
  std::string Error;                  // set exactly when Definition is empty
  std::string Name;                   // the "name" value when it could be read, even if invalid
  std::vector<std::string> Warnings;  // e.g. "unknown key 'foo'"
};

// Definition files larger than this are refused unread.
inline constexpr size_t kMaxDefinitionSize = size_t{1} << 20;

// Reads a definition from JSON text (comments allowed). XPaths are compiled here, so
// one that does not compile makes the definition invalid.
TDefinitionLoad ParseDefinition(std::string_view text);
// Reads a definition file: over kMaxDefinitionSize bytes or unreadable is invalid.
TDefinitionLoad LoadDefinitionFile(const std::string& path);

}  // namespace quellion
