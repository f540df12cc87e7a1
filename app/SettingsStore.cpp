#include "app/SettingsStore.h"

#include "app/choices/MainFormChoices.h"
#include "settings/Registry.h"

namespace quellion {

std::string SettingsKeyName() {
  return kQuellionKeyName;
}

TEngineHosts ReadEngineHosts() {
  TEngineHosts hosts = DefaultEngineHosts();
  const TRegistryKey* key =
      TRegistry::CurrentUser().FindKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName);
  if (!key)
    return hosts;
  for (TEngine engine : kAllEngines) {
    std::string host;
    if (key->ReadString(EngineName(engine), host) == TRegReadStatus::rsOk && !host.empty())
      hosts[EngineIndex(engine)] = host;
  }
  return hosts;
}

void RestoreWindowChoices(QWidget& form) {
  RestoreFormChoices(form, TRegistry::CurrentUser());
}

void StoreWindowChoices(const QWidget& form) {
  StoreFormChoices(form, TRegistry::CurrentUser());
}

bool FlushSettings() {
  return TRegistry::CurrentUser().Flush();
}

}  // namespace quellion
