#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <memory>

#include "FakeAppBarPlatform.h"
#include "app/MainForm.h"
#include "appbar/EmulatedToolbarService.h"
#include "settings/Registry.h"
#include "tests/support/SettingsSandbox.h"

namespace quellion {
namespace {

// The real window: its choices are read once when it is created and written once when it
// is destroyed, so a restart shows what the user left.
class WindowRoundTrip : public test::SettingsSandbox {
 protected:
  std::unique_ptr<TMainForm> Start() {
    TRegistry::ResetCurrentUser();  // a new program run reads the file again
    return std::make_unique<TMainForm>(std::make_unique<test::TFakeAppBarPlatform>(&Service),
                                       Service);
  }

  template <class W>
  static W* Control(const TMainForm& form, const char* name) {
    W* w = form.findChild<W*>(QString::fromLatin1(name));
    EXPECT_NE(w, nullptr) << name;
    return w;
  }

  TEmulatedToolbarService Service{{0, 0, 1024, 768}};
};

TEST_F(WindowRoundTrip, FirstRunStoresSixteenValuesAndTheBarRecord) {
  Start().reset();
  TRegistry reg(FilePath);
  const TRegistryKey* key = reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  ASSERT_NE(key, nullptr);
  EXPECT_EQ(key->ValueNames().size(), 17u);
  std::string record;
  EXPECT_EQ(key->ReadBinary("", record), TRegReadStatus::rsOk);
  EXPECT_EQ(record.size(), 84u);
  std::uint32_t hotbot = 0;
  EXPECT_EQ(key->ReadDword("Hotbot", hotbot), TRegReadStatus::rsOk);
  EXPECT_EQ(hotbot, 0u);  // the classic engines start unticked
  EXPECT_EQ(Mode(FilePath), 0600u);
}

TEST_F(WindowRoundTrip, ChoicesMadeInTheWindowComeBackAtTheNextStart) {
  {
    auto form = Start();
    Control<QCheckBox>(*form, "HintDescriptionCheckBox")->setChecked(false);
    Control<QCheckBox>(*form, "FullInfoCheckBox")->setChecked(false);
    Control<QCheckBox>(*form, "AltavistaCheckBox")->setChecked(true);
    Control<QCheckBox>(*form, "ExciteCheckBox")->setChecked(false);
    Control<QCheckBox>(*form, "HotBotCheckBox")->setChecked(true);  // shown and tickable
    Control<QCheckBox>(*form, "GoogleCheckBox")->setChecked(false);
    Control<QComboBox>(*form, "LanguageComboBox")->setCurrentIndex(9);
    Control<QTabWidget>(*form, "PageControl")->setCurrentIndex(2);
    Control<QSpinBox>(*form, "SpinEdit1")->setValue(250);
    Control<QLineEdit>(*form, "ProxyName")->setText("proxy.local");
    Control<QLineEdit>(*form, "ProxyPort")->setText("3128");
    Control<QLineEdit>(*form, "ProxyUserName")->setText("me");
    Control<QLineEdit>(*form, "ProxyPassword")->setText("secret");
  }
  auto form = Start();
  EXPECT_FALSE(Control<QCheckBox>(*form, "HintDescriptionCheckBox")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(*form, "HintURLCheckBox")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(*form, "FullInfoCheckBox")->isChecked());
  EXPECT_TRUE(Control<QWidget>(*form, "Panel5")->isHidden());
  EXPECT_TRUE(Control<QCheckBox>(*form, "AltavistaCheckBox")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(*form, "ExciteCheckBox")->isChecked());
  EXPECT_TRUE(Control<QCheckBox>(*form, "HotBotCheckBox")->isChecked());
  EXPECT_FALSE(Control<QCheckBox>(*form, "GoogleCheckBox")->isChecked());
  EXPECT_EQ(Control<QComboBox>(*form, "LanguageComboBox")->currentIndex(), 9);
  EXPECT_EQ(Control<QComboBox>(*form, "LanguageComboBox")->currentText(), "German");
  EXPECT_EQ(Control<QTabWidget>(*form, "PageControl")->currentIndex(), 2);
  EXPECT_EQ(Control<QSpinBox>(*form, "SpinEdit1")->value(), 250);
  EXPECT_EQ(Control<QLineEdit>(*form, "ProxyName")->text(), "proxy.local");
  EXPECT_EQ(Control<QLineEdit>(*form, "ProxyPort")->text(), "3128");
  EXPECT_EQ(Control<QLineEdit>(*form, "ProxyUserName")->text(), "me");
  EXPECT_EQ(Control<QLineEdit>(*form, "ProxyPassword")->text(), "secret");
}

}  // namespace
}  // namespace quellion
