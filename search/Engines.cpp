#include "search/Engines.h"

namespace quellion {
namespace {

const std::array<std::string, kEngineCount> kNames = {
    std::string(kEngineNames[0]), std::string(kEngineNames[1]), std::string(kEngineNames[2]),
    std::string(kEngineNames[3]), std::string(kEngineNames[4])};
const std::array<std::string, kEngineCount> kHosts = {
    "www.altavista.com", "www.excite.com", "www.hotbot.com", "www.alltheweb.com", "www.google.com"};

bool SameIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (size_t i = 0; i < a.size(); ++i) {
    auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c; };
    if (lower(a[i]) != lower(b[i]))
      return false;
  }
  return true;
}

}  // namespace

const std::string& EngineName(TEngine engine) {
  return kNames[EngineIndex(engine)];
}

const std::string& DefaultEngineHost(TEngine engine) {
  return kHosts[EngineIndex(engine)];
}

std::optional<TEngine> ParseEngineName(std::string_view name) {
  for (TEngine engine : kAllEngines)
    if (SameIgnoringCase(name, EngineName(engine)))
      return engine;
  return std::nullopt;
}

TEngineHosts DefaultEngineHosts() {
  return kHosts;
}

}  // namespace quellion
