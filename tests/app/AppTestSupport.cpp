#include "tests/app/AppTestSupport.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QTest>

#include "app/MainForm.h"
#include "settings/Registry.h"
#include "ui_MainForm.h"

namespace quellion::test {

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
  // The defined engines ticked by default would ask the real engines.
  for (QCheckBox* box : ui.GroupBox1->findChildren<QCheckBox*>())
    if (box->objectName().startsWith(QStringLiteral("DefinedEngine_")))
      box->setChecked(false);
}

}  // namespace quellion::test
