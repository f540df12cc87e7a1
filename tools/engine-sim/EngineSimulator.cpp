#include "tools/engine-sim/EngineSimulator.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <initializer_list>
#include <list>
#include <mutex>
#include <thread>

#include "platform/Exception.h"

namespace quellion::tools {
namespace {

using Clock = std::chrono::steady_clock;

std::string Lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c + 32);
  return s;
}

// The value of key in the query of target ("" when absent); the last occurrence
// wins, as the engines' suffixes follow the fixed query.
std::string QueryValue(const std::string& target, const std::string& key) {
  std::string value;
  const size_t q = target.find('?');
  if (q == std::string::npos)
    return value;
  size_t pos = q + 1;
  while (pos <= target.size()) {
    size_t end = target.find('&', pos);
    if (end == std::string::npos)
      end = target.size();
    const std::string pair = target.substr(pos, end - pos);
    if (pair.compare(0, key.size() + 1, key + "=") == 0)
      value = pair.substr(key.size() + 1);
    pos = end + 1;
  }
  return value;
}

int ToInt(const std::string& text, int fallback) {
  if (text.empty())
    return fallback;
  char* end = nullptr;
  const long v = std::strtol(text.c_str(), &end, 10);
  return *end == '\0' ? static_cast<int>(std::clamp<long>(v, -1000000, 1000000)) : fallback;
}

std::string AltavistaEntry(const std::string& title, const std::string& url,
                           const std::string& description) {
  // The URL font's second child is " " + URL + " 1Jan-01": the rule drops the first
  // character and the last eight.
  return "<dl><dt><a href=\"http://" + url + "\"><b>" + title + "</b></a></dt><dd>" + description +
         "</dd><font color=gray><b>URL:</b> " + url + " 1Jan-01</font></dl>\n";
}

std::string ListEntry(const std::string& title, const std::string& url,
                      const std::string& description) {
  // The font's text is twelve characters of label, then the URL.
  return "<li><a href=\"http://" + url + "\">" + title + "</a><br><span>" + description +
         "</span><br><font color=green>Location -- " + url + "</font></li>\n";
}

std::string AllTheWebEntry(const std::string& title, const std::string& url,
                           const std::string& description) {
  // dt and dd are left open, so every entry's dt nests inside the previous dd.
  return "<dt><a href=\"http://" + url + "\">" + title + "</a>\n<dd><span>" + description +
         "</span><br><span>http://" + url + "</span>\n";
}

std::string GoogleEntry(const std::string& title, const std::string& url,
                        const std::string& description) {
  return "<p><A HREF=http://" + url + ">" + title + "</A><font size=-1><br>" + description +
         "<br><font color=green>" + url + " - 4k</font></font>\n";
}

const char* const kExciteBodyTag =
    "<body\nbgcolor=#ffffff\nlink=#0000CC\ntext=#000000\nvlink=#770066\nalink=#0000CC\n"
    "topmargin=5\nmarginheight=5>\n";

constexpr int kSiteCount = kEngineCount + kSimLayoutCount;

int LayoutSite(TSimLayout layout) {
  return kEngineCount + static_cast<int>(layout);
}

std::string HtmlEscape(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&')
      out += "&amp;";
    else if (c == '<')
      out += "&lt;";
    else if (c == '"')
      out += "&quot;";
    else
      out += c;
  }
  return out;
}

std::string UriComponent(const std::string& text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::string Base64Url(const std::string& text) {
  static const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-_";
  std::string out;
  size_t i = 0;
  for (; i + 2 < text.size(); i += 3) {
    const unsigned v = (static_cast<unsigned char>(text[i]) << 16) |
                       (static_cast<unsigned char>(text[i + 1]) << 8) |
                       static_cast<unsigned char>(text[i + 2]);
    for (int shift = 18; shift >= 0; shift -= 6)
      out += alphabet[(v >> shift) & 63];
  }
  if (i < text.size()) {  // no padding, as Bing writes it
    const bool two = i + 1 < text.size();
    const unsigned v = (static_cast<unsigned char>(text[i]) << 16) |
                       (two ? static_cast<unsigned char>(text[i + 1]) << 8 : 0u);
    out += alphabet[(v >> 18) & 63];
    out += alphabet[(v >> 12) & 63];
    if (two)
      out += alphabet[(v >> 6) & 63];
  }
  return out;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\')
      out += '\\';
    out += c;
  }
  return out + "\"";
}

}  // namespace

const std::string& SimLayoutName(TSimLayout layout) {
  static const std::array<std::string, kSimLayoutCount> names = {
      "duckduckgo", "mojeek", "wikipedia", "searxng", "brave", "startpage", "bing", "yahoo"};
  return names[static_cast<int>(layout)];
}

std::optional<TSimLayout> ParseSimLayout(std::string_view name) {
  for (TSimLayout layout : kAllSimLayouts)
    if (Lower(std::string(name)) == SimLayoutName(layout))
      return layout;
  return std::nullopt;
}

namespace {

// The keywords of a request: the first of keys present, '+' and %XX decoded, kept to
// letters, digits and single spaces (the pages are built by plain concatenation).
std::string RequestKeywords(const std::string& target, std::initializer_list<const char*> keys) {
  std::string raw;
  for (const char* key : keys) {
    raw = QueryValue(target, key);
    if (!raw.empty())
      break;
  }
  std::string decoded;
  for (size_t i = 0; i < raw.size(); ++i) {
    char c = raw[i];
    if (c == '+') {
      c = ' ';
    } else if (c == '%' && i + 2 < raw.size() &&
               std::isxdigit(static_cast<unsigned char>(raw[i + 1])) &&
               std::isxdigit(static_cast<unsigned char>(raw[i + 2]))) {
      c = static_cast<char>(std::stoi(raw.substr(i + 1, 2), nullptr, 16));
      i += 2;
    }
    decoded += c;
  }
  std::string words;
  for (const char c : decoded) {
    if (std::isalnum(static_cast<unsigned char>(c)))
      words += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    else if (!words.empty() && words.back() != ' ')
      words += ' ';
  }
  while (!words.empty() && words.back() == ' ')
    words.pop_back();
  return words.empty() ? "quellion" : words;
}

std::string Capitalised(std::string text) {
  if (!text.empty())
    text[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  return text;
}

std::string Slug(const std::string& words) {
  std::string slug = words;
  std::replace(slug.begin(), slug.end(), ' ', '-');
  return slug;
}

std::string Fill(const char* pattern, const std::string& keywords) {
  std::string out;
  for (const char* p = pattern; *p; ++p) {
    if (*p == '%' && p[1] == 'K') {
      out += keywords;
      ++p;
    } else if (*p == '%' && p[1] == 'C') {
      out += Capitalised(keywords);
      ++p;
    } else {
      out += *p;
    }
  }
  return out;
}

}  // namespace

TSimLifelikeResult SimLifelikeResult(int seed, const std::string& keywords, int i, bool shared) {
  static const char* const kTitles[] = {
      "%C: a beginner's guide",
      "What is %K? Everything you need to know",
      "%C news and updates",
      "The complete %K handbook",
      "%C explained in five minutes",
      "Ask the experts: %K",
      "%C forum - questions and answers",
      "Ten things to know about %K",
      "%C in pictures",
      "A short history of %K",
      "%C for families",
      "Where to learn about %K",
  };
  static const char* const kDescriptions[] = {
      "An easy introduction to %K, with pictures, a glossary and links for further reading.",
      "Our editors collect the latest articles, reports and events about %K.",
      "Practical advice on %K from people who know it well, updated every season.",
      "Questions about %K answered by our readers and volunteers.",
      "Everything about %K in one place: facts, maps and a reading list.",
      "A friendly overview of %K for newcomers, with a list of common questions.",
      "Notes and photographs about %K, gathered over many years in the field.",
  };
  static const char* const kSites[] = {
      "fieldnotes",  "openatlas",         "northwind-journal", "harbour-library",
      "quietcorner", "bluefern",          "lanternpress",      "tidewater-review",
      "meadowlark",  "ironbridge-museum", "greenvalley-edu",   "pinecone-blog",
  };
  static const char* const kSections[] = {"articles", "guides", "wiki", "news", "topics", "learn"};
  const int s = shared ? 0 : seed;
  const int n = static_cast<int>(std::size(kTitles));
  const int d = static_cast<int>(std::size(kDescriptions));
  const int sites = static_cast<int>(std::size(kSites));
  const int sections = static_cast<int>(std::size(kSections));
  TSimLifelikeResult result;
  result.Title = Fill(kTitles[(i + 5 * s) % n], keywords);
  result.Description = Fill(kDescriptions[(i * 3 + s) % d], keywords);
  const std::string site = shared ? kSites[i % sites] : kSites[(i * 5 + 7 * s) % sites];
  result.URL = "www." + site + ".example/" + kSections[(i + s) % sections] + "/" + Slug(keywords) +
               (shared ? "" : "-" + std::to_string(s)) + "-" + std::to_string(i + 1);
  return result;
}

std::string SimLayoutResultURL(TSimLayout layout, const TSimEngineConfig& config, int i) {
  if (i < config.Overlap)
    return config.OverlapPrefix + std::to_string(i) + ".example/page.html";
  return "www." + SimLayoutName(layout) + std::to_string(i) + ".example/page.html";
}

std::string SimLayoutResultTitle(TSimLayout layout, const TSimEngineConfig& config, int i) {
  return SimLayoutName(layout) + " result " + std::to_string(i) + config.TitleSuffix;
}

std::string SimLayoutResultDescription(TSimLayout layout, const TSimEngineConfig&, int i) {
  return "Description " + std::to_string(i) + " from " + SimLayoutName(layout);
}

int SimLayoutOffsetFor(TSimLayout layout, const TSimEngineConfig& config,
                       const std::string& target) {
  switch (layout) {
    case TSimLayout::DuckDuckGo:
      return std::max(0, ToInt(QueryValue(target, "s"), 0));
    case TSimLayout::Mojeek:
      return std::max(0, ToInt(QueryValue(target, "s"), 1) - 1);
    case TSimLayout::Wikipedia:
      return std::max(0, ToInt(QueryValue(target, "sroffset"), 0));
    case TSimLayout::Searxng:
      return std::max(0, ToInt(QueryValue(target, "pageno"), 1) - 1) * config.HitsPerPage;
    case TSimLayout::Brave:
      return std::max(0, ToInt(QueryValue(target, "offset"), 0)) * config.HitsPerPage;
    case TSimLayout::Startpage:
      return std::max(0, ToInt(QueryValue(target, "page"), 1) - 1) * config.HitsPerPage;
    case TSimLayout::Bing:
      return std::max(0, ToInt(QueryValue(target, "first"), 1) - 1);
    case TSimLayout::Yahoo:
      return std::max(0, ToInt(QueryValue(target, "b"), 1) - 1);
  }
  return 0;
}

std::string SimLayoutContentType(TSimLayout layout) {
  return layout == TSimLayout::Wikipedia || layout == TSimLayout::Searxng
             ? "application/json; charset=utf-8"
             : "text/html; charset=utf-8";
}

std::string SimLayoutPage(TSimLayout layout, const TSimEngineConfig& config, int first, int count,
                          const std::string& keywords) {
  const int last = std::min(config.Total, first + std::max(0, count));
  std::string entries;
  for (int i = std::max(0, first); i < last; ++i) {
    std::string title = SimLayoutResultTitle(layout, config, i);
    std::string url = "http://" + SimLayoutResultURL(layout, config, i);
    std::string description = SimLayoutResultDescription(layout, config, i);
    if (config.Lifelike) {
      TSimLifelikeResult lifelike = SimLifelikeResult(kEngineCount + static_cast<int>(layout),
                                                      keywords, i, i < config.Overlap);
      title = std::move(lifelike.Title);
      url = "http://" + lifelike.URL;
      description = std::move(lifelike.Description);
    }
    switch (layout) {
      case TSimLayout::DuckDuckGo: {
        const std::string href =
            "//duckduckgo.com/l/?uddg=" + UriComponent(url) + "&amp;rut=" + std::to_string(i);
        entries +=
            "<div class=\"result results_links results_links_deep web-result \">\n"
            "<div class=\"links_main links_deep result__body\">\n"
            "<h2 class=\"result__title\"><a rel=\"nofollow\" class=\"result__a\" href=\"" +
            href + "\">" + HtmlEscape(title) + "</a></h2>\n<a class=\"result__snippet\" href=\"" +
            href + "\">" + HtmlEscape(description) + "</a>\n</div>\n</div>\n";
        break;
      }
      case TSimLayout::Mojeek:
        entries += "<li><!--rs--><a class=\"ob\" href=\"" + HtmlEscape(url) +
                   "\"><p class=\"i\"><span class=\"url\">" + HtmlEscape(url) +
                   "</span></p></a>\n<h2><a class=\"title\" href=\"" + HtmlEscape(url) + "\">" +
                   HtmlEscape(title) + "</a></h2>\n<p class=\"s\">" + HtmlEscape(description) +
                   "</p>\n</li>\n";
        break;
      case TSimLayout::Wikipedia:
        entries +=
            std::string(entries.empty() ? "" : ",") + "{\"ns\":0,\"title\":" + JsonString(title) +
            ",\"pageid\":" + std::to_string(i) +
            ",\"snippet\":" + JsonString("<span class=\"searchmatch\">" + description + "</span>") +
            "}";
        break;
      case TSimLayout::Searxng:
        entries += std::string(entries.empty() ? "" : ",") + "{\"url\":" + JsonString(url) +
                   ",\"title\":" + JsonString(title) + ",\"content\":" + JsonString(description) +
                   ",\"engine\":\"sim\",\"score\":1.0}";
        break;
      case TSimLayout::Brave:
        entries += "<div class=\"snippet\" data-pos=\"" + std::to_string(i) +
                   "\" data-type=\"web\"><div class=\"result-content\"><a href=\"" +
                   HtmlEscape(url) + "\"><cite class=\"snippet-url\">" + HtmlEscape(url) +
                   "</cite><div class=\"title search-snippet-title\">" + HtmlEscape(title) +
                   "</div></a><div class=\"generic-snippet\"><div class=\"content\">" +
                   HtmlEscape(description) + "</div></div></div></div>\n";
        break;
      case TSimLayout::Startpage:
        entries +=
            "<div class=\"w-gl__result result\"><a class=\"result-title result-link\" href=\"" +
            HtmlEscape(url) + "\"><style>.t{color:#2e39b3}</style><h2>" + HtmlEscape(title) +
            "</h2></a><p class=\"description\">" + HtmlEscape(description) + "</p></div>\n";
        break;
      case TSimLayout::Bing:
        entries += "<li class=\"b_algo\"><h2><a href=\"https://www.bing.com/ck/a?!&amp;&amp;p=" +
                   std::to_string(i) + "&amp;u=a1" + Base64Url(url) + "&amp;ntb=1\">" +
                   HtmlEscape(title) + "</a></h2><div class=\"b_caption\"><p>" +
                   HtmlEscape(description) + "</p></div></li>\n";
        break;
      case TSimLayout::Yahoo:
        entries += "<li><div class=\"dd algo algo-sr\"><div class=\"compTitle\"><a href=\"" +
                   std::string("https://r.search.yahoo.com/_ylt=Sim/RV=2/RE=1/RO=10/RU=") +
                   UriComponent(url) + "/RK=2/RS=sim" + std::to_string(i) + "-\"><h3>" +
                   HtmlEscape(title) + "</h3></a></div><div class=\"compText\"><p>" +
                   HtmlEscape(description) + "</p></div></div></li>\n";
        break;
    }
  }
  switch (layout) {
    case TSimLayout::DuckDuckGo:
      return "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>DuckDuckGo</title>"
             "</head>\n<body>\n<div id=\"links\" class=\"results\">\n" +
             entries + "</div>\n</body></html>\n";
    case TSimLayout::Mojeek:
      return "<!DOCTYPE html>\n<html><head><meta charset=\"UTF-8\"><title>Mojeek</title></head>\n"
             "<body>\n<ul class=\"results-standard\">\n" +
             entries + "</ul>\n</body></html>\n";
    case TSimLayout::Wikipedia:
      return "{\"batchcomplete\":\"\",\"query\":{\"searchinfo\":{\"totalhits\":" +
             std::to_string(config.Total) + "},\"search\":[" + entries + "]}}";
    case TSimLayout::Searxng:
      return "{\"query\":\"sim\",\"number_of_results\":0,\"results\":[" + entries +
             "],\"answers\":[],\"suggestions\":[]}";
    case TSimLayout::Brave:
      return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Brave Search</title>"
             "</head>\n<body><main><div id=\"results\">\n" +
             entries + "</div></main></body></html>\n";
    case TSimLayout::Startpage:
      return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Startpage</title>"
             "</head>\n<body><section id=\"main\">\n" +
             entries + "</section></body></html>\n";
    case TSimLayout::Bing:
      return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Bing</title></head>\n"
             "<body><ol id=\"b_results\">\n" +
             entries + "</ol></body></html>\n";
    case TSimLayout::Yahoo:
      return "<!DOCTYPE html>\n<html><head><meta charset=\"utf-8\"><title>Yahoo</title></head>\n"
             "<body><div id=\"web\"><ol class=\"reg\">\n" +
             entries + "</ol></div></body></html>\n";
  }
  return {};
}

// The whole answer of a layout in TSimMode::Blocked.
static std::string SimLayoutBlockedAnswer(TSimLayout layout) {
  switch (layout) {
    case TSimLayout::DuckDuckGo:
      return "HTTP/1.0 202 Accepted\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
             "<!DOCTYPE html><html><head><title>DuckDuckGo</title></head><body><form "
             "id=\"challenge-form\"></form></body></html>\n";
    case TSimLayout::Mojeek:
      return "HTTP/1.0 200 OK\r\nContent-Type: text/html; charset=utf-8\r\n\r\n"
             "<!DOCTYPE html><html><head><title>Captcha</title></head><body><form "
             "action=\"/captcha\"></form></body></html>\n";
    default:
      return "HTTP/1.0 429 Too Many Requests\r\nContent-Type: text/plain\r\n\r\nslow down\n";
  }
}

std::string SimResultURL(TEngine engine, const TSimEngineConfig& config, int i) {
  if (i < config.Overlap)
    return config.OverlapPrefix + std::to_string(i) + ".example/page.html";
  return "www." + Lower(EngineName(engine)) + std::to_string(i) + ".example/page.html";
}

std::string SimResultTitle(TEngine engine, const TSimEngineConfig& config, int i) {
  return EngineName(engine) + " result " + std::to_string(i) + config.TitleSuffix;
}

std::string SimResultDescription(TEngine engine, const TSimEngineConfig& config, int i) {
  (void)config;
  return "Description " + std::to_string(i) + " from " + EngineName(engine);
}

int SimOffsetFor(TEngine engine, const std::string& target) {
  // The engines count their first-request keys from 0 (Excite, Google) and the
  // task's later counters from 1, so a whole search reads every result once.
  switch (engine) {
    case TEngine::Altavista:
      return std::max(0, ToInt(QueryValue(target, "stq"), 1) - 1);
    case TEngine::Excite:
      return std::max(0, ToInt(QueryValue(target, "start"), 0) - 1);
    case TEngine::Hotbot:
      return std::max(0, ToInt(QueryValue(target, "II"), 1) - 1);
    case TEngine::AllTheWeb:
      return std::max(0, ToInt(QueryValue(target, "offset"), 1) - 1);
    case TEngine::Google:
      return std::max(0, ToInt(QueryValue(target, "start"), 0));
  }
  return 0;
}

namespace {

// The run of letters and digits that starts with prefix in target, or "".
std::string KeywordTagIn(const std::string& target, const std::string& prefix) {
  if (prefix.empty())
    return {};
  const size_t at = target.find(prefix);
  if (at == std::string::npos)
    return {};
  size_t end = at + prefix.size();
  while (end < target.size() && std::isalnum(static_cast<unsigned char>(target[end])))
    ++end;
  return target.substr(at, end - at);
}

}  // namespace

std::string SimResultPage(TEngine engine, const TSimEngineConfig& config, int first, int count,
                          const std::string& tag, const std::string& keywords) {
  const int last = std::min(config.Total, first + std::max(0, count));
  std::string entries;
  for (int i = std::max(0, first); i < last; ++i) {
    std::string title = SimResultTitle(engine, config, i);
    std::string url = SimResultURL(engine, config, i);
    if (!tag.empty())
      url.insert(url.size() - std::string(".html").size(), "-" + tag);
    std::string description = SimResultDescription(engine, config, i);
    if (config.Lifelike) {
      TSimLifelikeResult lifelike =
          SimLifelikeResult(EngineIndex(engine), keywords, i, i < config.Overlap);
      title = std::move(lifelike.Title);
      url = std::move(lifelike.URL);
      description = std::move(lifelike.Description);
    }
    switch (engine) {
      case TEngine::Altavista:
        entries += AltavistaEntry(title, url, description);
        break;
      case TEngine::Excite:
      case TEngine::Hotbot:
        entries += ListEntry(title, url, description);
        break;
      case TEngine::AllTheWeb:
        entries += AllTheWebEntry(title, url, description);
        break;
      case TEngine::Google:
        entries += GoogleEntry(title, url, description);
        break;
    }
  }
  const std::string head = "<html><head><title>" + EngineName(engine) + " results</title></head>\n";
  switch (engine) {
    case TEngine::Altavista:
      return head + "<body>\n<p>Results</p>\n" + entries + "</body></html>\n";
    case TEngine::Excite: {
      std::string page = head + kExciteBodyTag;
      for (int t = 0; t < 4; ++t)
        page += "<table><tr><td>bar " + std::to_string(t) + "</td></tr></table>\n";
      page += "<table>\n<tr><td>Web Results</td></tr>\n<tr><td width=1></td><td>\n<ul>\n" +
              entries + "</ul>\n</td></tr>\n</table>\n</body></html>\n";
      return page;
    }
    case TEngine::Hotbot:
      return head + "<body>\n<h2>Results</h2>\n" + entries + "</body></html>\n";
    case TEngine::AllTheWeb:
      return head + "<body>\n<dl>\n" + entries + "</dl>\n</body></html>\n";
    case TEngine::Google:
      return head + "<body>\n<p>Results 1 - 10</p>\n" + entries + "</body></html>\n";
  }
  return head;
}

struct TEngineSimulator::TImpl {
  struct TConnection {
    int fd = -1;
    int site = 0;  // EngineIndex, or kEngineCount + the layout's index
    std::string in;
    std::string out;
    size_t sent = 0;
    bool requestRead = false;
    bool answered = false;  // out holds the whole answer (or filler follows)
    bool endless = false;
    Clock::time_point answerAt{};
  };

  std::array<TSimEngineConfig, kSiteCount> config;
  std::array<int, kSiteCount> listenFds = [] {
    std::array<int, kSiteCount> fds;
    fds.fill(-1);
    return fds;
  }();
  std::array<int, kSiteCount> ports{};
  int wakePipe[2] = {-1, -1};
  std::thread thread;
  std::list<TConnection> connections;

  mutable std::mutex mutex;  // guards the logs
  std::array<std::vector<std::string>, kSiteCount> requests;
  std::array<std::vector<std::string>, kSiteCount> requestHeads;
  std::array<int, kSiteCount> connectionCounts{};

  static void CloseFd(int& fd) {
    if (fd >= 0)
      ::close(fd);
    fd = -1;
  }

  static int Listen(int port, int& boundPort) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
      throw EException(std::string("engine simulator: socket: ") + strerror(errno));
    const int one = 1;
    ::setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    addr.sin_port = htons(static_cast<uint16_t>(port));
    if (::bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 || ::listen(fd, 64) != 0) {
      const int e = errno;
      ::close(fd);
      throw EException("engine simulator: cannot listen on port " + std::to_string(port) + ": " +
                       strerror(e));
    }
    socklen_t len = sizeof addr;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&addr), &len);
    boundPort = ntohs(addr.sin_port);
    return fd;
  }

  void Accept(int site) {
    for (;;) {
      const int fd = ::accept4(listenFds[site], nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0)
        return;
      {
        std::lock_guard lock(mutex);
        ++connectionCounts[site];
      }
      TConnection c;
      c.fd = fd;
      c.site = site;
      connections.push_back(std::move(c));
    }
  }

  static std::string RequestTarget(const std::string& head) {
    const size_t sp1 = head.find(' ');
    if (sp1 == std::string::npos)
      return {};
    const size_t sp2 = head.find_first_of(" \r\n", sp1 + 1);
    std::string target =
        head.substr(sp1 + 1, sp2 == std::string::npos ? std::string::npos : sp2 - sp1 - 1);
    // Through a proxy the target may be absolute: keep the path and query.
    const size_t scheme = target.find("://");
    if (scheme != std::string::npos) {
      const size_t path = target.find('/', scheme + 3);
      target = path == std::string::npos ? "/" : target.substr(path);
    }
    return target;
  }

  // The head's end, and the body's length a Content-Length line announces.
  static size_t BodyLength(const std::string& head) {
    const std::string lower = Lower(head);
    const size_t at = lower.find("\ncontent-length:");
    if (at == std::string::npos)
      return 0;
    size_t pos = at + 16;
    while (pos < lower.size() && lower[pos] == ' ')
      ++pos;
    const size_t end = lower.find_first_of("\r\n", pos);
    return static_cast<size_t>(std::max(0, ToInt(lower.substr(pos, end - pos), 0)));
  }

  void RequestComplete(TConnection& c, size_t headEnd) {
    c.requestRead = true;
    std::string target = RequestTarget(c.in);
    const std::string form = c.in.substr(headEnd);
    if (!form.empty())
      target += (target.find('?') == std::string::npos ? "?" : "&") + form;
    c.in.resize(headEnd);
    {
      std::lock_guard lock(mutex);
      requests[c.site].push_back(target);
      requestHeads[c.site].push_back(c.in);
    }
    const TSimEngineConfig& cfg = config[c.site];
    if (cfg.Mode == TSimMode::Silent)
      return;
    const bool isLayout = c.site >= kEngineCount;
    const auto engine = static_cast<TEngine>(c.site);
    const auto layout = static_cast<TSimLayout>(c.site - kEngineCount);
    if (cfg.Mode == TSimMode::Blocked) {
      c.out = isLayout ? SimLayoutBlockedAnswer(layout)
                       : SimLayoutBlockedAnswer(TSimLayout::Searxng);  // 429
      c.answerAt = Clock::now() + std::chrono::milliseconds(std::max(0, cfg.DelayMs));
      c.answered = true;
      return;
    }
    const std::string tag = KeywordTagIn(target, cfg.KeywordTag);
    const std::string keywords = !cfg.Lifelike ? std::string()
                                 : isLayout    ? RequestKeywords(target, {"q", "srsearch"})
                                 : engine == TEngine::Excite
                                     ? RequestKeywords(target, {"s"})
                                     : RequestKeywords(target, {"q", "as_q", "query", "MT"});
    auto page = [&](int first) {
      return isLayout ? SimLayoutPage(layout, cfg, first, cfg.HitsPerPage, keywords)
                      : SimResultPage(engine, cfg, first, cfg.HitsPerPage, tag, keywords);
    };
    std::string body;
    if (cfg.Mode == TSimMode::Endless) {
      body = page(0);
      // Leave the page open: drop the closing tags so the filler lands in the body.
      const size_t end = body.rfind("</body>");
      if (end != std::string::npos)
        body.resize(end);
      c.endless = true;
    } else {
      body =
          page(isLayout ? SimLayoutOffsetFor(layout, cfg, target) : SimOffsetFor(engine, target));
    }
    const std::string type = isLayout ? SimLayoutContentType(layout) : "text/html";
    c.out = "HTTP/1.0 200 OK\r\nContent-Type: " + type + "\r\nServer: quellion-engine-sim\r\n\r\n" +
            body;
    c.answerAt = Clock::now() + std::chrono::milliseconds(std::max(0, cfg.DelayMs));
    c.answered = true;
  }

  // Returns false when the connection is finished.
  bool Read(TConnection& c) {
    char buffer[4096];
    for (;;) {
      const ssize_t n = ::recv(c.fd, buffer, sizeof buffer, 0);
      if (n > 0) {
        if (!c.requestRead) {
          c.in.append(buffer, static_cast<size_t>(n));
          size_t headEnd = std::string::npos;
          if (const size_t crlf = c.in.find("\r\n\r\n"); crlf != std::string::npos)
            headEnd = crlf + 4;
          else if (const size_t lf = c.in.find("\n\n"); lf != std::string::npos)
            headEnd = lf + 2;
          if (headEnd != std::string::npos &&
              c.in.size() >= headEnd + BodyLength(c.in.substr(0, headEnd)))
            RequestComplete(c, headEnd);
          else if (c.in.size() > 65536)
            return false;
        }
        continue;
      }
      if (n == 0)
        return false;  // the client closed (or aborted)
      return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR;
    }
  }

  bool Write(TConnection& c) {
    for (;;) {
      if (c.sent >= c.out.size()) {
        if (!c.endless)
          return false;  // whole answer sent: closing ends the body
        static const std::string filler = [] {
          std::string f;
          while (f.size() < 65536)
            f += "filler text without end ";
          return f;
        }();
        c.out = filler;
        c.sent = 0;
      }
      const ssize_t n = ::send(c.fd, c.out.data() + c.sent, c.out.size() - c.sent, MSG_NOSIGNAL);
      if (n > 0) {
        c.sent += static_cast<size_t>(n);
        continue;
      }
      return n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR);
    }
  }

  void Loop() {
    std::vector<pollfd> fds;
    std::vector<TConnection*> owners;
    for (;;) {
      fds.clear();
      owners.clear();
      fds.push_back({wakePipe[0], POLLIN, 0});
      owners.push_back(nullptr);
      for (int e = 0; e < kSiteCount; ++e) {
        if (listenFds[e] < 0)
          continue;
        fds.push_back({listenFds[e], POLLIN, 0});
        owners.push_back(nullptr);
      }
      const size_t firstConnection = fds.size();
      int timeout = -1;
      const auto now = Clock::now();
      for (TConnection& c : connections) {
        short events = POLLIN;
        if (c.answered) {
          if (c.answerAt <= now) {
            events |= POLLOUT;
          } else {
            const auto wait =
                std::chrono::duration_cast<std::chrono::milliseconds>(c.answerAt - now).count() + 1;
            timeout =
                timeout < 0 ? static_cast<int>(wait) : std::min(timeout, static_cast<int>(wait));
          }
        }
        fds.push_back({c.fd, events, 0});
        owners.push_back(&c);
      }
      if (::poll(fds.data(), fds.size(), timeout) < 0 && errno != EINTR)
        return;
      if (fds[0].revents)
        return;  // Stop
      for (size_t i = 1; i < firstConnection; ++i) {
        if (!(fds[i].revents & POLLIN))
          continue;
        for (int site = 0; site < kSiteCount; ++site)
          if (listenFds[site] == fds[i].fd)
            Accept(site);
      }
      for (size_t i = firstConnection; i < fds.size(); ++i) {
        TConnection& c = *owners[i];
        bool keep = true;
        if (fds[i].revents & (POLLIN | POLLHUP | POLLERR))
          keep = Read(c);
        if (keep && (fds[i].revents & POLLOUT))
          keep = Write(c);
        if (!keep)
          CloseFd(c.fd);
      }
      connections.remove_if([](const TConnection& c) { return c.fd < 0; });
    }
  }
};

TEngineSimulator::TEngineSimulator(const TSimConfig& config, const TSimLayoutConfig& layouts)
    : impl_(std::make_unique<TImpl>()) {
  std::copy(config.begin(), config.end(), impl_->config.begin());
  std::copy(layouts.begin(), layouts.end(), impl_->config.begin() + kEngineCount);
}

TEngineSimulator::~TEngineSimulator() {
  Stop();
}

void TEngineSimulator::Start() {
  if (impl_->thread.joinable())
    return;
  try {
    for (int i = 0; i < kSiteCount; ++i) {
      impl_->listenFds[i] = TImpl::Listen(impl_->config[i].Port, impl_->ports[i]);
      // A dead engine keeps a port nobody listens on: connections are refused.
      if (impl_->config[i].Mode == TSimMode::Dead)
        TImpl::CloseFd(impl_->listenFds[i]);
    }
    if (::pipe2(impl_->wakePipe, O_CLOEXEC | O_NONBLOCK) != 0)
      throw EException("engine simulator: pipe failed");
  } catch (...) {
    for (int& fd : impl_->listenFds)
      TImpl::CloseFd(fd);
    throw;
  }
  impl_->thread = std::thread([impl = impl_.get()] { impl->Loop(); });
}

void TEngineSimulator::Stop() {
  if (!impl_->thread.joinable())
    return;
  const char byte = 1;
  [[maybe_unused]] ssize_t w = ::write(impl_->wakePipe[1], &byte, 1);
  impl_->thread.join();
  for (auto& c : impl_->connections)
    TImpl::CloseFd(c.fd);
  impl_->connections.clear();
  for (int& fd : impl_->listenFds)
    TImpl::CloseFd(fd);
  TImpl::CloseFd(impl_->wakePipe[0]);
  TImpl::CloseFd(impl_->wakePipe[1]);
}

int TEngineSimulator::Port(TEngine engine) const {
  return impl_->ports[EngineIndex(engine)];
}

std::string TEngineSimulator::Host(TEngine engine) const {
  return "127.0.0.1:" + std::to_string(Port(engine));
}

TEngineHosts TEngineSimulator::Hosts() const {
  TEngineHosts hosts;
  for (TEngine e : kAllEngines)
    hosts[EngineIndex(e)] = Host(e);
  return hosts;
}

std::vector<std::string> TEngineSimulator::Requests(TEngine engine) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests[EngineIndex(engine)];
}

int TEngineSimulator::RequestCount(TEngine engine) const {
  std::lock_guard lock(impl_->mutex);
  return static_cast<int>(impl_->requests[EngineIndex(engine)].size());
}

int TEngineSimulator::ConnectionCount(TEngine engine) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->connectionCounts[EngineIndex(engine)];
}

int TEngineSimulator::LayoutPort(TSimLayout layout) const {
  return impl_->ports[LayoutSite(layout)];
}

std::string TEngineSimulator::LayoutHost(TSimLayout layout) const {
  return "127.0.0.1:" + std::to_string(LayoutPort(layout));
}

std::vector<std::string> TEngineSimulator::LayoutRequests(TSimLayout layout) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requests[LayoutSite(layout)];
}

std::vector<std::string> TEngineSimulator::LayoutRequestHeads(TSimLayout layout) const {
  std::lock_guard lock(impl_->mutex);
  return impl_->requestHeads[LayoutSite(layout)];
}

}  // namespace quellion::tools
