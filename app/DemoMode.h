#pragma once

#include <QStringList>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "engines/EngineDefinition.h"
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
// this run, so the program can be tried without a network. It runs on its own thread
// inside the process and stops when this object goes (after the window).
class TDemoEngines {
 public:
  // Starts the simulator; throws EException when its ports cannot be bound.
  TDemoEngines();
  ~TDemoEngines();
  TDemoEngines(const TDemoEngines&) = delete;
  TDemoEngines& operator=(const TDemoEngines&) = delete;

  // "127.0.0.1:<port>" for every engine.
  TEngineHosts Hosts() const;
  // The simulated layouts of today's engines, for DemoDefinedEngines.
  TDemoDefinedHosts DefinedHosts() const;

  // Whether the program's arguments (as left by QApplication) ask for the demo.
  static bool Requested(const QStringList& arguments);

 private:
  std::unique_ptr<tools::TEngineSimulator> simulator_;
};

}  // namespace quellion
