#include "settings/SettingsSchema.h"

#include <algorithm>

namespace quellion {

// The table is indexed by TSetting.
static_assert([] {
  for (std::size_t i = 0; i < kSettings.size(); ++i) {
    if (static_cast<std::size_t>(kSettings[i].Id) != i)
      return false;
  }
  return true;
}());

std::int32_t LimitSetting(TSetting setting, std::int32_t value) {
  const TSettingRow& row = SettingRow(setting);
  if (value >= row.Min && value <= row.Max)
    return value;
  switch (row.OutOfRange) {
    case TOutOfRange::orClamp:
      return std::clamp(value, row.Min, row.Max);
    case TOutOfRange::orNothing:
      return -1;
    case TOutOfRange::orDefault:
      break;
  }
  return row.Default;
}

bool ReadBoolSetting(const TRegistryKey* key, TSetting setting) {
  const TSettingRow& row = SettingRow(setting);
  bool value = row.Default != 0;
  if (!key || key->ReadBool(std::string(row.Name), value) != TRegReadStatus::rsOk)
    return row.Default != 0;
  return value;
}

std::int32_t ReadIntegerSetting(const TRegistryKey* key, TSetting setting) {
  const TSettingRow& row = SettingRow(setting);
  std::int32_t value = row.Default;
  if (!key || key->ReadInteger(std::string(row.Name), value) != TRegReadStatus::rsOk)
    return row.Default;
  return LimitSetting(setting, value);
}

std::string ReadTextSetting(const TRegistryKey* key, TSetting setting) {
  std::string text;
  if (!key || key->ReadString(std::string(SettingRow(setting).Name), text) != TRegReadStatus::rsOk)
    return std::string();
  return text;
}

TEngineHosts ReadStoredEngineHosts(const TRegistry& registry) {
  TEngineHosts hosts;
  if (const TRegistryKey* key = registry.FindKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName)) {
    for (int i = 0; i < kEngineCount; ++i)
      key->ReadString(std::string(kEngineNames[i]), hosts[i]);
  }
  return hosts;
}

bool ReadDefinedEngineTick(const TRegistryKey* key, std::string_view name, bool fallback) {
  bool ticked = false;
  if (!key || key->ReadBool(std::string(name), ticked) != TRegReadStatus::rsOk)
    return fallback;
  return ticked;
}

void WriteDefinedEngineTick(TRegistryKey& key, std::string_view name, bool ticked) {
  key.WriteBool(std::string(name), ticked);
}

}  // namespace quellion
