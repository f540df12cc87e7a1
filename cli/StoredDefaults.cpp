#include "cli/StoredDefaults.h"

namespace quellion::cli {

TStoredDefaults ReadStoredDefaults(const TRegistry& registry) {
  TStoredDefaults d;
  // Each value stands alone: missing or of another type, it reads as its default.
  const TRegistryKey* key = registry.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  for (TEngine engine : kAllEngines)
    d.Engines[EngineIndex(engine)] = ReadBoolSetting(key, EngineSetting(engine));
  d.LanguageIndex = ReadIntegerSetting(key, TSetting::LanguageIndex);
  d.MaxSites = ReadIntegerSetting(key, TSetting::MaxSites);
  d.ProxyUserName = ReadTextSetting(key, TSetting::ProxyUserName);
  d.ProxyName = ReadTextSetting(key, TSetting::ProxyName);
  d.ProxyPort = std::to_string(ReadIntegerSetting(key, TSetting::ProxyPort));
  d.ProxyPassword = ReadTextSetting(key, TSetting::ProxyPassword);
  d.EngineHosts = ReadStoredEngineHosts(registry);
  return d;
}

TStoredDefaults ReadStoredDefaults() {
  return ReadStoredDefaults(TRegistry::CurrentUser());
}

}  // namespace quellion::cli
