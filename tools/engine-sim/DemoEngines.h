#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/EngineDefinition.h"
#include "engines/EngineSource.h"
#include "search/Engines.h"

namespace quellion {

namespace tools {
class TEngineSimulator;
}
class TDefinedEngine;

// The demo's hosts of defined engines: a definition's name in lower case
// ("duckduckgo", "mojeek", "wikipedia", "searxng") to "127.0.0.1:<port>".
using TDemoDefinedHosts = std::map<std::string, std::string>;

// The ticked definitions as the demo runs them: each one whose name has a simulated
// layout asks that layout's port (its address's scheme and host are replaced; the rest,
// paging and extraction stay as defined); the others are left out, since nothing on
// loopback answers for them. The definitions themselves are not changed.
std::vector<std::shared_ptr<const TDefinedEngine>> DemoDefinedEngines(
    const std::vector<TEngineDefinition>& ticked, const TDemoDefinedHosts& hosts);

// `quellion --demo`: the bundled engine simulator serves every engine on loopback for
// this run, so the program can be tried without a network. The window takes its
// engines from here instead of the stored hosts, which stay unread and unwritten. The
// simulator runs on its own thread inside the process and stops when this object goes
// (after the window).
class TDemoEngines final : public TEngineSource {
 public:
  // Starts the simulator; throws EException when its ports cannot be bound.
  TDemoEngines();
  // Points at a simulator already running (benchmarks size their own); borrowed, it
  // must outlive this object.
  explicit TDemoEngines(const tools::TEngineSimulator& running);
  ~TDemoEngines() override;
  TDemoEngines(const TDemoEngines&) = delete;
  TDemoEngines& operator=(const TDemoEngines&) = delete;

  // "127.0.0.1:<port>" for every engine.
  TEngineHosts Hosts() const override;
  // DemoDefinedEngines at this simulator's layouts.
  std::vector<std::shared_ptr<const TDefinedEngine>> DefinedEngines(
      const std::vector<TEngineDefinition>& ticked) const override;
  bool IsDemo() const override { return true; }

  // The simulated layouts of today's engines, for DemoDefinedEngines.
  TDemoDefinedHosts DefinedHosts() const;

 private:
  std::unique_ptr<tools::TEngineSimulator> ownSimulator_;
  const tools::TEngineSimulator* simulator_;
};

}  // namespace quellion
