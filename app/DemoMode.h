#pragma once

#include <QStringList>
#include <memory>

#include "search/Engines.h"

namespace quellion {

namespace tools {
class TEngineSimulator;
}

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

  // Whether the program's arguments (as left by QApplication) ask for the demo.
  static bool Requested(const QStringList& arguments);

 private:
  std::unique_ptr<tools::TEngineSimulator> simulator_;
};

}  // namespace quellion
