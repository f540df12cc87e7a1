#include "cli/StoredDefaults.h"

#include <algorithm>
#include <cstdint>

namespace quellion::cli {

namespace {

// The settings values' names, by EngineIndex.
constexpr std::array<const char*, kEngineCount> kEngineValueNames = {
    "Altavista", "Excite", "Hotbot", "AllTheWeb", "Google"};
constexpr int kLanguageCount = 26;
constexpr std::int32_t kLargestPortText = 99999;  // the port box holds five digits

}  // namespace

TStoredDefaults ReadStoredDefaults(const TRegistry& registry) {
  TStoredDefaults d;
  // Each value stands alone: missing or of another type, it keeps its default.
  if (const TRegistryKey* key = registry.FindKey(HKEY_CURRENT_USER, kQuellionKeyName)) {
    for (int i = 0; i < kEngineCount; ++i)
      key->ReadBool(kEngineValueNames[i], d.Engines[i]);
    std::int32_t language = 0;
    if (key->ReadInteger("LanguageIndex", language) == TRegReadStatus::rsOk) {
      d.LanguageIndex = language >= 0 && language < kLanguageCount ? language : -1;
    }
    std::int32_t maxSites = 0;
    if (key->ReadInteger("MaxSites", maxSites) == TRegReadStatus::rsOk) {
      d.MaxSites = std::clamp<std::int32_t>(maxSites, 10, 1000);
    }
    key->ReadString("ProxyUserName", d.ProxyUserName);
    key->ReadString("ProxyName", d.ProxyName);
    std::int32_t port = 0;
    if (key->ReadInteger("ProxyPort", port) == TRegReadStatus::rsOk && port >= 0 &&
        port <= kLargestPortText) {
      d.ProxyPort = std::to_string(port);
    }
    key->ReadString("ProxyPassword", d.ProxyPassword);
  }
  if (const TRegistryKey* hosts = registry.FindKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName)) {
    for (int i = 0; i < kEngineCount; ++i)
      hosts->ReadString(kEngineValueNames[i], d.EngineHosts[i]);
  }
  return d;
}

TStoredDefaults ReadStoredDefaults() {
  return ReadStoredDefaults(TRegistry::CurrentUser());
}

}  // namespace quellion::cli
