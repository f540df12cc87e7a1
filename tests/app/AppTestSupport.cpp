#include "tests/app/AppTestSupport.h"

#include <stdlib.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QTest>
#include <filesystem>

#include "app/MainForm.h"
#include "settings/Registry.h"
#include "ui_MainForm.h"

namespace quellion::test {

TSandboxSettings::TSandboxSettings() {
  std::string pattern = (std::filesystem::temp_directory_path() / "quellion-app-XXXXXX").string();
  folder_ = mkdtemp(pattern.data());
  if (const char* old = getenv("XDG_CONFIG_HOME")) {
    hadPrevious_ = true;
    previous_ = old;
  }
  setenv("XDG_CONFIG_HOME", folder_.c_str(), 1);
  TRegistry::ResetCurrentUser();
}

TSandboxSettings::~TSandboxSettings() {
  TRegistry::ResetCurrentUser();
  if (hadPrevious_)
    setenv("XDG_CONFIG_HOME", previous_.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  std::error_code ignored;
  std::filesystem::remove_all(folder_, ignored);
}

void TSandboxSettings::SetEngineHosts(const TEngineHosts& hosts) {
  TRegistryKey* key =
      TRegistry::CurrentUser().OpenKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName, true);
  for (TEngine engine : kAllEngines)
    key->WriteString(EngineName(engine), hosts[EngineIndex(engine)]);
}

bool WaitUntil(const std::function<bool()>& pred, int timeoutMs) {
  return QTest::qWaitFor(pred, timeoutMs);
}

void TickEngines(TMainForm& form, const std::array<bool, kEngineCount>& ticked) {
  Ui::MainForm& ui = form.Controls();
  ui.AltavistaCheckBox->setChecked(ticked[EngineIndex(TEngine::Altavista)]);
  ui.ExciteCheckBox->setChecked(ticked[EngineIndex(TEngine::Excite)]);
  ui.HotBotCheckBox->setChecked(ticked[EngineIndex(TEngine::Hotbot)]);
  ui.AllTheWebCheckBox->setChecked(ticked[EngineIndex(TEngine::AllTheWeb)]);
  ui.GoogleCheckBox->setChecked(ticked[EngineIndex(TEngine::Google)]);
}

}  // namespace quellion::test
