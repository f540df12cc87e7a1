#pragma once

#include <array>
#include <string>

#include "search/Engines.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"

namespace quellion::cli {

// The window's stored choices as quellion-cli's defaults, read by the same rules as the
// window reads them (settings/SettingsSchema.h). Reading never writes: not the key, not the
// file (a damaged file is used as far as it can be read and left as it is).
struct TStoredDefaults {
  // Engine choices by EngineIndex; true where no readable value says otherwise.
  std::array<bool, kEngineCount> Engines{true, true, true, true, true};
  // 0 to 25; -1 when the stored index selects no language (outside 0 to 25, or -1 stored).
  int LanguageIndex = SettingRow(TSetting::LanguageIndex).Default;
  int MaxSites = SettingRow(TSetting::MaxSites).Default;  // brought into 10 to 1000
  std::string ProxyName;
  // Decimal text as the port box shows it.
  std::string ProxyPort = std::to_string(SettingRow(TSetting::ProxyPort).Default);
  std::string ProxyUserName;
  std::string ProxyPassword;
  // From "Software\Tarnwick Quellion Engines"; "" where no host is stored, meaning the
  // compiled-in DefaultEngineHost.
  TEngineHosts EngineHosts;
};

TStoredDefaults ReadStoredDefaults(const TRegistry& registry);
// From the process's store (TRegistry::CurrentUser()).
TStoredDefaults ReadStoredDefaults();

}  // namespace quellion::cli
