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
  const TSettingSpec& spec = SettingSpec(setting);
  if (value >= spec.Min && value <= spec.Max)
    return value;
  switch (spec.OutOfRange) {
    case TOutOfRange::orClamp:
      return std::clamp(value, spec.Min, spec.Max);
    case TOutOfRange::orNothing:
      return -1;
    case TOutOfRange::orDefault:
      break;
  }
  return spec.Default;
}

bool ReadBoolSetting(const TRegistryKey* key, TSetting setting) {
  const TSettingSpec& spec = SettingSpec(setting);
  bool value = spec.Default != 0;
  if (!key || key->ReadBool(std::string(spec.Name), value) != TRegReadStatus::rsOk)
    return spec.Default != 0;
  return value;
}

std::int32_t ReadIntegerSetting(const TRegistryKey* key, TSetting setting) {
  const TSettingSpec& spec = SettingSpec(setting);
  std::int32_t value = spec.Default;
  if (!key || key->ReadInteger(std::string(spec.Name), value) != TRegReadStatus::rsOk)
    return spec.Default;
  return LimitSetting(setting, value);
}

std::string ReadTextSetting(const TRegistryKey* key, TSetting setting) {
  std::string text;
  if (!key || key->ReadString(std::string(SettingSpec(setting).Name), text) != TRegReadStatus::rsOk)
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

}  // namespace quellion
