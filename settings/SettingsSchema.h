#pragma once

// The remembered values: the one table of the named values the main window keeps in
// "Software\Tarnwick Quellion" (name, type, default, limits), the defined engines' ticks
// beside them, and the rules by which a stored value is read. The window's restore and
// store and quellion-cli's stored defaults all read it. No GUI toolkit; the engine names
// and the language count come from the search headers (constants only, nothing to link).

#include <array>
#include <cstdint>
#include <string>
#include <string_view>

#include "search/Engines.h"
#include "search/LanguageTable.h"
#include "settings/Registry.h"

namespace quellion {

enum class TSettingType { stBoolean, stInteger, stText };

// What a stored integer outside its limits reads as.
enum class TOutOfRange {
  orClamp,    // the nearer limit (the Max Sites spin edit brings it there)
  orDefault,  // the default (a page that does not exist; a port the box cannot show)
  orNothing,  // -1, nothing selected (a language that does not exist)
};

// The values, in the order they are read.
enum class TSetting {
  HintDescription,
  HintURL,
  FullInfo,
  VerifyLinks,
  Altavista,
  Excite,
  Hotbot,
  AllTheWeb,
  Google,
  LanguageIndex,
  TabSelected,
  MaxSites,
  ProxyUserName,
  ProxyName,
  ProxyPort,
  ProxyPassword,
};

struct TSettingRow {
  TSetting Id;
  std::string_view Name;  // the value's name in the key
  TSettingType Type;
  std::int32_t Default = 0;  // booleans 1 or 0; text values default to empty text
  std::int32_t Min = 0;      // integers: the limits, both included
  std::int32_t Max = 0;
  TOutOfRange OutOfRange = TOutOfRange::orDefault;
};

// Booleans and integers are REG_DWORD (a boolean reads true when non-zero), text is REG_SZ.
// The classic engines' hosts no longer serve their pages: they start unticked, and the
// shipped definitions marked "default" are ticked instead.
inline constexpr auto kSettings = std::to_array<TSettingRow>({
    {TSetting::HintDescription, "HintDescription", TSettingType::stBoolean, 1},
    {TSetting::HintURL, "HintURL", TSettingType::stBoolean, 1},
    {TSetting::FullInfo, "FullInfo", TSettingType::stBoolean, 1},
    {TSetting::VerifyLinks, "VerifyLinks", TSettingType::stBoolean, 0},
    {TSetting::Altavista, kEngineNames[0], TSettingType::stBoolean, 0},
    {TSetting::Excite, kEngineNames[1], TSettingType::stBoolean, 0},
    {TSetting::Hotbot, kEngineNames[2], TSettingType::stBoolean, 0},
    {TSetting::AllTheWeb, kEngineNames[3], TSettingType::stBoolean, 0},
    {TSetting::Google, kEngineNames[4], TSettingType::stBoolean, 0},
    {TSetting::LanguageIndex, "LanguageIndex", TSettingType::stInteger, 0, 0, kLanguageCount - 1,
     TOutOfRange::orNothing},
    // The pages "Search", "Engines", "Configure".
    {TSetting::TabSelected, "TabSelected", TSettingType::stInteger, 0, 0, 2,
     TOutOfRange::orDefault},
    {TSetting::MaxSites, "MaxSites", TSettingType::stInteger, 10, 10, 1000, TOutOfRange::orClamp},
    {TSetting::ProxyUserName, "ProxyUserName", TSettingType::stText},
    {TSetting::ProxyName, "ProxyName", TSettingType::stText},
    // The port box shows at most five digits.
    {TSetting::ProxyPort, "ProxyPort", TSettingType::stInteger, 80, 0, 99999,
     TOutOfRange::orDefault},
    {TSetting::ProxyPassword, "ProxyPassword", TSettingType::stText},
});
// How many values the window keeps, as the table has them.
inline constexpr int kSettingCount = static_cast<int>(kSettings.size());
static_assert(kSettingCount == static_cast<int>(TSetting::ProxyPassword) + 1,
              "one row per TSetting");

// The order in which storing writes them.
inline constexpr std::array<TSetting, kSettingCount> kStoreOrder = {
    TSetting::HintDescription, TSetting::HintURL,     TSetting::FullInfo,
    TSetting::VerifyLinks,     TSetting::Altavista,   TSetting::Excite,
    TSetting::Hotbot,          TSetting::AllTheWeb,   TSetting::Google,
    TSetting::LanguageIndex,   TSetting::TabSelected, TSetting::MaxSites,
    TSetting::ProxyName,       TSetting::ProxyPort,   TSetting::ProxyUserName,
    TSetting::ProxyPassword,
};

constexpr const TSettingRow& SettingRow(TSetting setting) {
  return kSettings[static_cast<std::size_t>(setting)];
}

// The boolean that ticks an engine.
constexpr TSetting EngineSetting(TEngine engine) {
  return static_cast<TSetting>(static_cast<int>(TSetting::Altavista) + EngineIndex(engine));
}

// An integer brought into the setting's limits by its rule.
std::int32_t LimitSetting(TSetting setting, std::int32_t value);

// Each value is read on its own: missing, of another type or (booleans and integers) not a
// DWORD of exactly 4 bytes, it reads as its default. key may be null (no key: defaults).
bool ReadBoolSetting(const TRegistryKey* key, TSetting setting);
std::int32_t ReadIntegerSetting(const TRegistryKey* key, TSetting setting);  // limited
std::string ReadTextSetting(const TRegistryKey* key, TSetting setting);      // raw bytes

// The engines' hosts stored as text values named after the engines under
// "Software\Tarnwick Quellion Engines", by EngineIndex; "" where none is stored, which means
// the engine's compiled-in host. Only read, never written.
TEngineHosts ReadStoredEngineHosts(const TRegistry& registry);

// The key where the window keeps the defined engines' ticks: one DWORD per engine name,
// 1 ticked, 0 not. quellion-cli search reads it for its default choices.
inline constexpr const char* kDefinedEnginesKeyName = "Software\\Tarnwick Quellion Defined Engines";

// Whether the defined engine called name is ticked in key (the defined engines' key, or
// null: none stored). Missing or not a DWORD of exactly 4 bytes, it reads as fallback
// (the definition's "default").
bool ReadDefinedEngineTick(const TRegistryKey* key, std::string_view name, bool fallback = false);
void WriteDefinedEngineTick(TRegistryKey& key, std::string_view name, bool ticked);

}  // namespace quellion
