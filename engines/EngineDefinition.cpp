#include "engines/EngineDefinition.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "engines/LibXml.h"
#include "platform/TextEncoding.h"
#include "platform/TextUtil.h"
#include "search/Engines.h"

namespace quellion {
namespace {

using nlohmann::json;

const char* const kKnownKeys[] = {
    "name",
    "type",
    "search_url",
    "paging",
    "first_page_num",
    "page_size",
    "languages",
    "lang_all",
    "headers",
    "results_xpath",
    "url_xpath",
    "title_xpath",
    "content_xpath",
    "results_query",
    "url_query",
    "title_query",
    "content_query",
    "url_template",
    "url_unwrap_param",
    "enabled",
    "default",
    "method",
    "post_body",
    "url_unwrap_base64_prefix",
    "url_unwrap_segment",
    "blocked_status",
    "blocked_xpath",
    "blocked_query",
    "rest_minutes",
};

// Raised while reading one definition; its message is the reason it is invalid.
struct TInvalid {
  std::string Reason;
};

std::string String(const json& root, const char* key, bool required) {
  const auto it = root.find(key);
  if (it == root.end()) {
    if (required)
      throw TInvalid{std::string("missing required key '") + key + "'"};
    return {};
  }
  if (!it->is_string())
    throw TInvalid{std::string("'") + key + "' must be a string"};
  return it->get<std::string>();
}

bool Bool(const json& root, const char* key, bool fallback) {
  const auto it = root.find(key);
  if (it == root.end())
    return fallback;
  if (!it->is_boolean())
    throw TInvalid{std::string("'") + key + "' must be true or false"};
  return it->get<bool>();
}

int Int(const json& root, const char* key, int fallback, int low, int high) {
  const auto it = root.find(key);
  if (it == root.end())
    return fallback;
  if (!it->is_number_integer())
    throw TInvalid{std::string("'") + key + "' must be a whole number"};
  const long long value = it->is_number_unsigned() && it->get<unsigned long long>() > 1u << 30
                              ? (1LL << 40)
                              : it->get<long long>();
  if (value < low || value > high)
    throw TInvalid{std::string("'") + key + "' must be between " + std::to_string(low) + " and " +
                   std::to_string(high)};
  return static_cast<int>(value);
}

std::vector<std::pair<std::string, std::string>> StringMap(const json& root, const char* key) {
  std::vector<std::pair<std::string, std::string>> result;
  const auto it = root.find(key);
  if (it == root.end())
    return result;
  if (!it->is_object())
    throw TInvalid{std::string("'") + key + "' must be an object of strings"};
  for (const auto& [name, value] : it->items()) {
    if (!value.is_string())
      throw TInvalid{std::string("'") + key + "' must be an object of strings ('" + name +
                     "' is not a string)"};
    result.emplace_back(name, value.get<std::string>());
  }
  return result;
}

bool IsTokenChar(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
         std::strchr("!#$%&'*+-.^_`|~", c) != nullptr;
}

// A header line is written into the request as it is: its name must be a token and
// its value must not end the line or the request early.
void CheckHeader(const std::string& name, const std::string& value) {
  if (name.empty())
    throw TInvalid{"a header name is empty"};
  for (char c : name)
    if (!IsTokenChar(c))
      throw TInvalid{"header name '" + name + "' is not a valid HTTP header name"};
  for (char c : value)
    if (c == '\r' || c == '\n' || c == '\0')
      throw TInvalid{"header '" + name + "' has a line break in its value"};
  static const char* const kReserved[] = {"host", "proxy-authorization", "content-length"};
  for (const char* reserved : kReserved)
    if (SameTextAscii(name, reserved))
      throw TInvalid{"header '" + name + "' is set by the program and cannot be given"};
}

// A value that goes into a request (it is percent-encoded there, but a line break or NUL in
// it is a mistake or an attack, never a language code).
void CheckRequestText(const char* key, const std::string& value) {
  for (char c : value)
    if (c == '\r' || c == '\n' || c == '\0')
      throw TInvalid{std::string("'") + key + "' has a line break or NUL in a value"};
}

// Bounds on what goes into a built address: a value (encoded, up to three times as long)
// and the patterns with their placeholders, so no address grows beyond some ten KiB.
constexpr size_t kMaxDefinitionValue = 256;
constexpr size_t kMaxPattern = 2048;
constexpr size_t kMaxPlaceholders = 8;

void CheckLength(const char* key, const std::string& value, size_t limit) {
  if (value.size() > limit)
    throw TInvalid{std::string("'") + key + "' has a value longer than " + std::to_string(limit) +
                   " bytes"};
}

// The number of {...} in a pattern, refused above kMaxPlaceholders.
void CheckPlaceholderCount(const char* key, const std::string& pattern) {
  size_t count = 0;
  for (size_t pos = pattern.find('{'); pos != std::string::npos; pos = pattern.find('{', pos + 1))
    ++count;
  if (count > kMaxPlaceholders)
    throw TInvalid{std::string("'") + key + "' has more than " + std::to_string(kMaxPlaceholders) +
                   " placeholders"};
}

// The placeholders of a request template (search_url, post_body) are known ones.
void CheckPlaceholders(const char* key, const std::string& text) {
  CheckLength(key, text, kMaxPattern);
  CheckPlaceholderCount(key, text);
  for (char c : text)
    if (static_cast<unsigned char>(c) <= 0x20 || c == 0x7F)
      throw TInvalid{std::string("'") + key + "' contains a blank or control character"};
  size_t pos = 0;
  while ((pos = text.find('{', pos)) != std::string::npos) {
    const size_t end = text.find('}', pos);
    if (end == std::string::npos)
      throw TInvalid{std::string("'") + key + "' has a '{' without '}'"};
    const std::string name = text.substr(pos + 1, end - pos - 1);
    if (name != "query" && name != "pageno" && name != "offset" && name != "first" &&
        name != "lang")
      throw TInvalid{std::string("'") + key + "' has an unknown placeholder {" + name + "}"};
    pos = end + 1;
  }
}

void CheckSearchUrl(const std::string& url, const std::string& body) {
  if (url.rfind("http://", 0) != 0 && url.rfind("https://", 0) != 0)
    throw TInvalid{"'search_url' must start with http:// or https://"};
  CheckPlaceholders("search_url", url);
  CheckPlaceholders("post_body", body);
  if (url.find("{query}") == std::string::npos && body.find("{query}") == std::string::npos)
    throw TInvalid{body.empty() ? "'search_url' has no {query}"
                                : "neither 'search_url' nor 'post_body' has {query}"};
}

std::vector<int> StatusList(const json& root, const char* key) {
  std::vector<int> result;
  const auto it = root.find(key);
  if (it == root.end())
    return result;
  if (!it->is_array())
    throw TInvalid{std::string("'") + key + "' must be a list of HTTP statuses"};
  for (const json& value : *it) {
    if (!value.is_number_integer() || value.get<long long>() < 100 || value.get<long long>() > 599)
      throw TInvalid{std::string("'") + key + "' must be a list of HTTP statuses (100 to 599)"};
    result.push_back(value.get<int>());
  }
  return result;
}

void CheckXPath(const char* key, const std::string& expression) {
  if (expression.empty())
    return;
  if (!CompileXPath(expression))
    throw TInvalid{std::string("'") + key + "' is not a valid XPath: " + expression};
}

// Characters that make one name look like another, or hide where it ends: C1 controls,
// bidirectional marks, embeddings, overrides and isolates, zero-width and other invisible
// characters, the byte order mark. `text` is UTF-8.
bool HasHiddenCharacter(const std::string& text) {
  for (size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const size_t len = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    uint32_t cp = len == 1 ? c : len == 2 ? (c & 0x1F) : len == 3 ? (c & 0x0F) : (c & 0x07);
    for (size_t k = 1; k < len && i + k < text.size(); ++k)
      cp = (cp << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += len;
    if ((cp >= 0x80 && cp <= 0x9F) || cp == 0xAD || cp == 0x34F || cp == 0x61C ||
        (cp >= 0x115F && cp <= 0x1160) || cp == 0x180E || (cp >= 0x200B && cp <= 0x200F) ||
        (cp >= 0x202A && cp <= 0x202E) || (cp >= 0x2060 && cp <= 0x206F) || cp == 0x3164 ||
        (cp >= 0xFE00 && cp <= 0xFE0F) || cp == 0xFEFF || (cp >= 0xFFF0 && cp <= 0xFFFB) ||
        (cp >= 0xE0000 && cp <= 0xE0FFF))
      return true;
  }
  return false;
}

void CheckName(const std::string& name) {
  if (name.empty())
    throw TInvalid{"'name' is empty"};
  if (name.size() > 50)
    throw TInvalid{"'name' is longer than 50 characters"};
  for (char c : name)
    if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == ',')
      throw TInvalid{"'name' must not contain commas or control characters"};
  if (HasHiddenCharacter(DecodeForDisplay(name)))
    throw TInvalid{"'name' must not contain control, direction-changing or invisible characters"};
  if (name.front() == ' ' || name.back() == ' ')
    throw TInvalid{"'name' must not start or end with a blank"};
  if (ParseEngineName(name))
    throw TInvalid{"'name' " + name + " is a built-in engine's name"};
}

std::string JsonErrorText(const json::parse_error& e) {
  // "[json.exception.parse_error.101] parse error at line 2, column 5: ..."
  std::string text = e.what();
  const size_t close = text.find("] ");
  if (text.rfind("[json.exception", 0) == 0 && close != std::string::npos)
    text.erase(0, close + 2);
  return "bad JSON: " + text;
}

TEngineDefinition Read(const json& root, TDefinitionLoad& load) {
  if (!root.is_object())
    throw TInvalid{"the file must hold one JSON object"};
  TEngineDefinition d;
  // The name first, so that an invalid file can still be named in messages.
  if (auto it = root.find("name"); it != root.end() && it->is_string())
    load.Name = it->get<std::string>();
  for (const auto& [key, value] : root.items()) {
    bool known = false;
    for (const char* k : kKnownKeys)
      known = known || key == k;
    if (!known)
      load.Warnings.push_back("unknown key '" + key + "'");
  }
  d.Name = String(root, "name", true);
  CheckName(d.Name);
  const std::string type = String(root, "type", true);
  if (type == "html")
    d.Type = TDefinitionType::Html;
  else if (type == "json")
    d.Type = TDefinitionType::Json;
  else
    throw TInvalid{"unknown 'type' '" + type + "' (html or json)"};
  d.SearchUrl = String(root, "search_url", true);
  const std::string method = String(root, "method", false);
  if (method == "POST")
    d.Post = true;
  else if (!method.empty() && method != "GET")
    throw TInvalid{"unknown 'method' '" + method + "' (GET or POST)"};
  d.PostBody = String(root, "post_body", false);
  if (!d.Post && root.contains("post_body"))
    load.Warnings.push_back("'post_body' is sent only with \"method\": \"POST\"; ignored");
  if (!d.Post)
    d.PostBody.clear();
  CheckSearchUrl(d.SearchUrl, d.PostBody);
  d.Paging = Bool(root, "paging", false);
  d.FirstPageNum = Int(root, "first_page_num", 1, -1000000, 1000000);
  d.PageSize = Int(root, "page_size", 10, 1, 1000000);
  d.Languages = StringMap(root, "languages");
  d.LangAll = String(root, "lang_all", false);
  CheckLength("lang_all", d.LangAll, kMaxDefinitionValue);
  for (const auto& [name, code] : d.Languages)
    CheckLength("languages", code, kMaxDefinitionValue);
  CheckRequestText("lang_all", d.LangAll);
  for (const auto& [name, code] : d.Languages)
    CheckRequestText("languages", code);
  d.Headers = StringMap(root, "headers");
  for (const auto& [name, value] : d.Headers)
    CheckHeader(name, value);
  d.UrlTemplate = String(root, "url_template", false);
  CheckLength("url_template", d.UrlTemplate, kMaxPattern);
  CheckPlaceholderCount("url_template", d.UrlTemplate);
  d.UrlUnwrapParam = String(root, "url_unwrap_param", false);
  d.UrlUnwrapBase64Prefix = String(root, "url_unwrap_base64_prefix", false);
  if (root.contains("url_unwrap_base64_prefix") && d.UrlUnwrapParam.empty())
    throw TInvalid{"'url_unwrap_base64_prefix' needs 'url_unwrap_param'"};
  d.UrlUnwrapSegment = String(root, "url_unwrap_segment", false);
  if (root.contains("url_unwrap_segment") && d.UrlUnwrapSegment.empty())
    throw TInvalid{"'url_unwrap_segment' is empty"};
  d.BlockedStatus = StatusList(root, "blocked_status");
  d.RestMinutes = Int(root, "rest_minutes", 10, 0, 7 * 24 * 60);
  d.Enabled = Bool(root, "enabled", true);
  d.Default = Bool(root, "default", false);

  if (d.Type == TDefinitionType::Html) {
    d.ResultsXPath = String(root, "results_xpath", false);
    d.UrlXPath = String(root, "url_xpath", true);
    d.TitleXPath = String(root, "title_xpath", true);
    d.ContentXPath = String(root, "content_xpath", false);
    CheckXPath("results_xpath", d.ResultsXPath);
    CheckXPath("url_xpath", d.UrlXPath);
    CheckXPath("title_xpath", d.TitleXPath);
    CheckXPath("content_xpath", d.ContentXPath);
    d.BlockedXPath = String(root, "blocked_xpath", false);
    CheckXPath("blocked_xpath", d.BlockedXPath);
    if (root.contains("blocked_query"))
      load.Warnings.push_back("'blocked_query' is for json definitions; ignored");
    if (d.UrlXPath.empty())
      throw TInvalid{"'url_xpath' is empty"};
    if (d.TitleXPath.empty())
      throw TInvalid{"'title_xpath' is empty"};
    for (const char* key : {"results_query", "url_query", "title_query", "content_query"})
      if (root.contains(key))
        load.Warnings.push_back(std::string("'") + key + "' is for json definitions; ignored");
  } else {
    d.ResultsQuery = String(root, "results_query", false);
    d.UrlQuery = String(root, "url_query", false);
    d.TitleQuery = String(root, "title_query", true);
    d.ContentQuery = String(root, "content_query", false);
    d.BlockedQuery = String(root, "blocked_query", false);
    if (root.contains("blocked_xpath"))
      load.Warnings.push_back("'blocked_xpath' is for html definitions; ignored");
    if (d.UrlQuery.empty() && d.UrlTemplate.empty())
      throw TInvalid{"missing required key 'url_query' (or 'url_template')"};
    if (d.TitleQuery.empty())
      throw TInvalid{"'title_query' is empty"};
    for (const char* key : {"results_xpath", "url_xpath", "title_xpath", "content_xpath"})
      if (root.contains(key))
        load.Warnings.push_back(std::string("'") + key + "' is for html definitions; ignored");
  }
  if (!d.UrlTemplate.empty() && d.UrlTemplate.find('{') == std::string::npos)
    load.Warnings.push_back("'url_template' has no {field}: every result gets the same address");
  return d;
}

}  // namespace

TDefinitionLoad ParseDefinition(std::string_view text) {
  TDefinitionLoad load;
  try {
    const json root = json::parse(text.begin(), text.end(), nullptr, true, true);
    load.Definition = Read(root, load);
  } catch (const json::parse_error& e) {
    load.Error = JsonErrorText(e);
  } catch (const TInvalid& e) {
    load.Error = e.Reason;
  } catch (const std::exception& e) {
    load.Error = e.what();
  }
  if (!load.Definition)
    load.Warnings.clear();  // the error says enough
  return load;
}

TDefinitionLoad LoadDefinitionFile(const std::string& path) {
  TDefinitionLoad load;
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) {
    load.Error = std::string("cannot read: ") + std::strerror(errno);
    return load;
  }
  if (!S_ISREG(st.st_mode)) {
    load.Error = "not a regular file";
    return load;
  }
  if (static_cast<unsigned long long>(st.st_size) > kMaxDefinitionSize) {
    load.Error = "file is larger than 1 MiB";
    return load;
  }
  std::ifstream file(path, std::ios::binary);
  if (!file) {
    load.Error = std::string("cannot read: ") + std::strerror(errno);
    return load;
  }
  // Read at most one byte past the cap: the file may have grown since stat.
  std::string text(kMaxDefinitionSize + 1, '\0');
  file.read(text.data(), static_cast<std::streamsize>(text.size()));
  text.resize(static_cast<size_t>(file.gcount()));
  if (file.bad()) {
    load.Error = "cannot read: read error";
    return load;
  }
  if (text.size() > kMaxDefinitionSize) {
    load.Error = "file is larger than 1 MiB";
    return load;
  }
  load = ParseDefinition(text);
  if (load.Definition)
    load.Definition->SourceFile = path;
  return load;
}

}  // namespace quellion
