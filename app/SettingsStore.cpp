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

bool FlushSettings() {
  return TRegistry::CurrentUser().Flush();
}

}  // namespace quellion
