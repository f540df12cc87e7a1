#pragma once

#include <array>
#include <memory>
#include <string>
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
};

struct TSimEngineConfig {
  int HitsPerPage = 10;
  int Total = 100;  // results this engine has in all
  int Overlap = 0;  // its first Overlap results carry the same addresses on every engine
  int DelayMs = 0;  // wait before answering each request
  TSimMode Mode = TSimMode::Normal;
  int Port = 0;             // 0: a free port chosen by the system
  std::string TitleSuffix;  // appended to every title (e.g. non-ASCII bytes)
};

using TSimConfig = std::array<TSimEngineConfig, kEngineCount>;

// The address of the i-th result (0-based) of an engine, without "http://".
std::string SimResultURL(TEngine engine, const TSimEngineConfig& config, int i);
std::string SimResultTitle(TEngine engine, const TSimEngineConfig& config, int i);
std::string SimResultDescription(TEngine engine, const TSimEngineConfig& config, int i);

// The first result a request target asks for, from the engine's paging key.
int SimOffsetFor(TEngine engine, const std::string& target);

// The page body the simulator sends for results [first, first + count).
std::string SimResultPage(TEngine engine, const TSimEngineConfig& config, int first, int count);

class TEngineSimulator {
 public:
  explicit TEngineSimulator(const TSimConfig& config = {});
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

  // Request targets (the path and query of each request line) received so far.
  std::vector<std::string> Requests(TEngine engine) const;
  int RequestCount(TEngine engine) const;
  // Connections accepted so far (also those that never sent a whole request).
  int ConnectionCount(TEngine engine) const;

 private:
  struct TImpl;
  std::unique_ptr<TImpl> impl_;
};

}  // namespace quellion::tools
