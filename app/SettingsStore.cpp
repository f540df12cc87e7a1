#include "app/SettingsStore.h"

#include "app/choices/MainFormChoices.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"

namespace quellion {

std::string SettingsKeyName() {
  return kQuellionKeyName;
}

void RestoreWindowChoices(QWidget& form) {
  RestoreFormChoices(form, TRegistry::CurrentUser());
}

void StoreWindowChoices(const QWidget& form) {
  StoreFormChoices(form, TRegistry::CurrentUser());
}

bool FlushSettings(std::string* error) {
  TRegistry& registry = TRegistry::CurrentUser();
  const bool written = registry.Flush();
  if (!written && error)
    *error = registry.LastError();
  return written;
}

}  // namespace quellion
