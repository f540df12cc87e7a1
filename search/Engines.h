#pragma once

#include <array>
#include <optional>
#include <string>
#include <string_view>

namespace quellion {

// The five engines, in the order search control starts their tasks.
enum class TEngine { Altavista, Excite, Hotbot, AllTheWeb, Google };

inline constexpr int kEngineCount = 5;
inline constexpr std::array<TEngine, kEngineCount> kAllEngines = {
    TEngine::Altavista, TEngine::Excite, TEngine::Hotbot, TEngine::AllTheWeb, TEngine::Google};

inline constexpr int EngineIndex(TEngine engine) {
  return static_cast<int>(engine);
}

// The engines' names by EngineIndex (see EngineName).
inline constexpr std::array<std::string_view, kEngineCount> kEngineNames = {
    "Altavista", "Excite", "Hotbot", "AllTheWeb", "Google"};

// The engine's name: the SearchEngine value of its rows and the name of its settings
// values ("Altavista", "Excite", "Hotbot", "AllTheWeb", "Google").
const std::string& EngineName(TEngine engine);

// The engine's historical web search host, the compiled-in default of its setting.
const std::string& DefaultEngineHost(TEngine engine);

// Accepts the engine names above and the CLI's lower-case forms, in any letter case.
std::optional<TEngine> ParseEngineName(std::string_view name);

// One web search host per engine ("host" or "host:port"), indexed by EngineIndex.
using TEngineHosts = std::array<std::string, kEngineCount>;
TEngineHosts DefaultEngineHosts();

}  // namespace quellion
