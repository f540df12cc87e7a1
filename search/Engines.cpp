#include "search/Engines.h"

#include "platform/TextUtil.h"

namespace quellion {
namespace {

const std::array<std::string, kEngineCount> kNames = {
    std::string(kEngineNames[0]), std::string(kEngineNames[1]), std::string(kEngineNames[2]),
    std::string(kEngineNames[3]), std::string(kEngineNames[4])};
const std::array<std::string, kEngineCount> kHosts = {
    "www.altavista.com", "www.excite.com", "www.hotbot.com", "www.alltheweb.com", "www.google.com"};

}  // namespace

const std::string& EngineName(TEngine engine) {
  return kNames[EngineIndex(engine)];
}

const std::string& DefaultEngineHost(TEngine engine) {
  return kHosts[EngineIndex(engine)];
}

std::optional<TEngine> ParseEngineName(std::string_view name) {
  for (TEngine engine : kAllEngines)
    if (SameTextAscii(name, EngineName(engine)))
      return engine;
  return std::nullopt;
}

TEngineHosts DefaultEngineHosts() {
  return kHosts;
}

}  // namespace quellion
