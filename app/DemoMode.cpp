#include "app/DemoMode.h"

#include "tools/engine-sim/EngineSimulator.h"

namespace quellion {
namespace {

// Enough hits per engine to fill a large Max Sites, a few shared between engines (so
// that duplicates are seen to be dropped), and a short pause per page so that the rows
// visibly stream in.
tools::TSimConfig DemoConfig() {
  tools::TSimConfig config;
  for (tools::TSimEngineConfig& engine : config) {
    engine.HitsPerPage = 10;
    engine.Total = 200;
    engine.Overlap = 5;
    engine.DelayMs = 40;
  }
  return config;
}

}  // namespace

TDemoEngines::TDemoEngines() : simulator_(std::make_unique<tools::TEngineSimulator>(DemoConfig())) {
  simulator_->Start();
}

TDemoEngines::~TDemoEngines() = default;

TEngineHosts TDemoEngines::Hosts() const {
  return simulator_->Hosts();
}

bool TDemoEngines::Requested(const QStringList& arguments) {
  // The first argument is the program.
  return arguments.indexOf(QStringLiteral("--demo"), 1) >= 1;
}

}  // namespace quellion
