#include "app/DemoMode.h"

#include "engines/DefinedEngine.h"
#include "platform/TextUtil.h"
#include "tools/engine-sim/EngineSimulator.h"

namespace quellion {
namespace {

// Enough hits per engine to fill a large Max Sites, a few shared between engines (so
// that duplicates are seen to be dropped), and a short pause per page so that the rows
// visibly stream in.
tools::TSimEngineConfig DemoEngineConfig() {
  tools::TSimEngineConfig engine;
  engine.HitsPerPage = 10;
  engine.Total = 200;
  engine.Overlap = 5;
  engine.DelayMs = 40;
  return engine;
}

tools::TSimConfig DemoConfig() {
  tools::TSimConfig config;
  config.fill(DemoEngineConfig());
  return config;
}

tools::TSimLayoutConfig DemoLayoutConfig() {
  tools::TSimLayoutConfig config;
  config.fill(DemoEngineConfig());
  return config;
}

// "https://{lang}.example.org/path?q" with host "127.0.0.1:8" -> "http://127.0.0.1:8/path?q".
std::string ReplaceSchemeAndHost(const std::string& address, const std::string& host) {
  const size_t scheme = address.find("://");
  const size_t authority = scheme == std::string::npos ? 0 : scheme + 3;
  const size_t path = address.find_first_of("/?#", authority);
  return "http://" + host + (path == std::string::npos ? std::string("/") : address.substr(path));
}

}  // namespace

std::vector<std::shared_ptr<const TDefinedEngine>> DemoDefinedEngines(
    const std::vector<TEngineDefinition>& ticked, const TDemoDefinedHosts& hosts) {
  std::vector<std::shared_ptr<const TDefinedEngine>> engines;
  for (const TEngineDefinition& definition : ticked) {
    const auto host = hosts.find(ToLowerAscii(definition.Name));
    if (host == hosts.end())
      continue;
    TEngineDefinition demo = definition;
    demo.SearchUrl = ReplaceSchemeAndHost(definition.SearchUrl, host->second);
    engines.push_back(MakeDefinedEngine(demo));
  }
  return engines;
}

TDemoEngines::TDemoEngines()
    : simulator_(std::make_unique<tools::TEngineSimulator>(DemoConfig(), DemoLayoutConfig())) {
  simulator_->Start();
}

TDemoEngines::~TDemoEngines() = default;

TEngineHosts TDemoEngines::Hosts() const {
  return simulator_->Hosts();
}

TDemoDefinedHosts TDemoEngines::DefinedHosts() const {
  TDemoDefinedHosts hosts;
  for (tools::TSimLayout layout : tools::kAllSimLayouts)
    hosts[tools::SimLayoutName(layout)] = simulator_->LayoutHost(layout);
  return hosts;
}

bool TDemoEngines::Requested(const QStringList& arguments) {
  // The first argument is the program.
  return arguments.indexOf(QStringLiteral("--demo"), 1) >= 1;
}

}  // namespace quellion
