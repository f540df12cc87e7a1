#pragma once

#include <array>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "search/Engines.h"

namespace quellion::tools {

// A stand-in for the five engines' web servers on loopback, for tests, benchmarks and
// the window's offline demo (`quellion --demo`). Every engine gets its own listening port on
// 127.0.0.1 and answers any GET, direct or through a proxy, with a result page in
// that engine's layout, as the extraction rules expect, paged by the engine's own
// key. All engines are served by one thread.

enum class TSimMode {
  Normal,   // answers every request
  Dead,     // its port refuses connections
  Silent,   // accepts and reads the request, never answers
  Endless,  // answers with one page of hits, then streams filler without end
  Blocked,  // refuses as the engine does a client it takes for a robot: DuckDuckGo's
            // layout answers 202 without results, Mojeek's a page titled "Captcha",
            // every other one 429
};

struct TSimEngineConfig {
  int HitsPerPage = 10;
  int Total = 100;  // results this engine has in all
  int Overlap = 0;  // its first Overlap results carry the same addresses on every engine
  // How this engine spells the start of those shared addresses (the same pages for
  // any letter case of the host, with or without "www.").
  std::string OverlapPrefix = "www.shared";
  int DelayMs = 0;  // wait before answering each request
  TSimMode Mode = TSimMode::Normal;
  int Port = 0;             // 0: a free port chosen by the system
  std::string TitleSuffix;  // appended to every title (e.g. non-ASCII bytes)
  // When set: the run of letters and digits that starts with it in the request's query
  // (a keyword such as "soak17") is put into every result address ("...-soak17.html"),
  // so a test can tell which search a row came from.
  std::string KeywordTag;
  // Results that read like a real search's (for the demo): titles and descriptions that
  // speak of the request's keywords, worded differently by each engine, at believable
  // addresses on .example hosts. Off: the plain "<Engine> result <i>" rows tests rely on.
  bool Lifelike = false;
};

using TSimConfig = std::array<TSimEngineConfig, kEngineCount>;

// The address of the i-th result (0-based) of an engine, without "http://".
std::string SimResultURL(TEngine engine, const TSimEngineConfig& config, int i);
std::string SimResultTitle(TEngine engine, const TSimEngineConfig& config, int i);
std::string SimResultDescription(TEngine engine, const TSimEngineConfig& config, int i);

// The first result a request target asks for, from the engine's paging key.
int SimOffsetFor(TEngine engine, const std::string& target);

// The page body the simulator sends for results [first, first + count).
// tag, when not empty, goes into every address (see KeywordTag).
// keywords: the request's keywords, for Lifelike results.
std::string SimResultPage(TEngine engine, const TSimEngineConfig& config, int first, int count,
                          const std::string& tag = {}, const std::string& keywords = {});

// Layouts of today's engines that definition files describe, served beside the five
// on ports of their own: DuckDuckGo's HTML page (redirect-wrapped links, paged by the
// offset s, usually posted as a form), Mojeek's page (s from 1), Wikipedia's search
// API answer (JSON, offset sroffset), a SearXNG instance's JSON answer (page number
// pageno, from 1), Brave's page (offset = page index from 0), Startpage's (page from
// 1), Bing's (first from 1, links wrapped in base64) and Yahoo's (b from 1, links
// wrapped in an RU= path segment). A request's form body counts as part of its query.
enum class TSimLayout { DuckDuckGo, Mojeek, Wikipedia, Searxng, Brave, Startpage, Bing, Yahoo };
inline constexpr int kSimLayoutCount = 8;
inline constexpr std::array<TSimLayout, kSimLayoutCount> kAllSimLayouts = {
    TSimLayout::DuckDuckGo, TSimLayout::Mojeek,    TSimLayout::Wikipedia, TSimLayout::Searxng,
    TSimLayout::Brave,      TSimLayout::Startpage, TSimLayout::Bing,      TSimLayout::Yahoo};
using TSimLayoutConfig = std::array<TSimEngineConfig, kSimLayoutCount>;

// "duckduckgo", "mojeek", "wikipedia", "searxng", "brave", "startpage", "bing", "yahoo".
const std::string& SimLayoutName(TSimLayout layout);
// Any letter case.
std::optional<TSimLayout> ParseSimLayout(std::string_view name);
// The address of the i-th result (0-based) as a results row stores it: without
// "http://". Wikipedia's answer gives no address but the pageid i, from which a
// definition's url_template "http://www.wikipedia{pageid}.example/page.html" builds it.
std::string SimLayoutResultURL(TSimLayout layout, const TSimEngineConfig& config, int i);
std::string SimLayoutResultTitle(TSimLayout layout, const TSimEngineConfig& config, int i);
std::string SimLayoutResultDescription(TSimLayout layout, const TSimEngineConfig& config, int i);
int SimLayoutOffsetFor(TSimLayout layout, const TSimEngineConfig& config,
                       const std::string& target);
// The body and its Content-Type for results [first, first + count).
std::string SimLayoutPage(TSimLayout layout, const TSimEngineConfig& config, int first, int count,
                          const std::string& keywords = {});

// A lifelike result (TSimEngineConfig::Lifelike): title, address without "http://" and
// description of the i-th result for keywords, worded by the engine numbered seed.
struct TSimLifelikeResult {
  std::string Title, URL, Description;
};
TSimLifelikeResult SimLifelikeResult(int seed, const std::string& keywords, int i, bool shared);
std::string SimLayoutContentType(TSimLayout layout);

class TEngineSimulator {
 public:
  explicit TEngineSimulator(const TSimConfig& config = {}, const TSimLayoutConfig& layouts = {});
  ~TEngineSimulator();  // stops
  TEngineSimulator(const TEngineSimulator&) = delete;
  TEngineSimulator& operator=(const TEngineSimulator&) = delete;

  // Binds the ports and starts serving; throws EException when a port cannot be bound.
  void Start();
  void Stop();

  int Port(TEngine engine) const;
  // "127.0.0.1:<port>", ready to be an engine host.
  std::string Host(TEngine engine) const;
  TEngineHosts Hosts() const;

  // Request targets (the path and query of each request line; a form body that came
  // with it follows the query after '&', or after '?' when there was none) received so far.
  std::vector<std::string> Requests(TEngine engine) const;
  int RequestCount(TEngine engine) const;
  // Connections accepted so far (also those that never sent a whole request).
  int ConnectionCount(TEngine engine) const;

  int LayoutPort(TSimLayout layout) const;
  std::string LayoutHost(TSimLayout layout) const;
  std::vector<std::string> LayoutRequests(TSimLayout layout) const;
  // The whole request heads (request line and header lines) received so far.
  std::vector<std::string> LayoutRequestHeads(TSimLayout layout) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace quellion::tools
