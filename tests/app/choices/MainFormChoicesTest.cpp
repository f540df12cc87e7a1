#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <functional>
#include <memory>

#include "app/choices/MainFormChoices.h"
#include "settings/Registry.h"
#include "tests/support/SettingsSandbox.h"

namespace quellion {
namespace {

const char* const kNamedValues[] = {
    "HintDescription", "HintURL",   "FullInfo",      "VerifyLinks",   "Altavista",   "Excite",
    "Hotbot",          "AllTheWeb", "Google",        "LanguageIndex", "TabSelected", "MaxSites",
    "ProxyName",       "ProxyPort", "ProxyUserName", "ProxyPassword"};

const std::string kHead =
    "Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion]\n";

// Stands in for the main window: the controls by name, with the design's values (only
// Altavista ticked, Hotbot hidden, Search page, Max Sites 10..1000 step 10, a five-digit
// port box).
class ChoicesForm {
 public:
  ChoicesForm() : form(std::make_unique<QWidget>()) {
    auto* pages = Add<QTabWidget>("PageControl");
    for (const char* caption : {"Search", "Engines", "Configure"}) {
      pages->addTab(new QWidget, QString::fromLatin1(caption));
    }
    for (const char* name : {"HintDescriptionCheckBox", "HintURLCheckBox", "FullInfoCheckBox",
                             "VerifyCheckBox", "AltavistaCheckBox", "ExciteCheckBox",
                             "HotBotCheckBox", "AllTheWebCheckBox", "GoogleCheckBox"}) {
      Add<QCheckBox>(name);
    }
    Box("AltavistaCheckBox")->setChecked(true);
    Box("HotBotCheckBox")->setVisible(false);
    Box("VerifyCheckBox")->setEnabled(false);
    auto* language = Add<QComboBox>("LanguageComboBox");
    language->setEditable(true);
    language->setInsertPolicy(QComboBox::NoInsert);
    for (int i = 0; i < 26; ++i)
      language->addItem(i == 0 ? "any language" : QString("L%1").arg(i));
    auto* spin = Add<QSpinBox>("SpinEdit1");
    spin->setRange(10, 1000);
    spin->setSingleStep(10);
    spin->setValue(10);
    for (const char* name : {"ProxyName", "ProxyPort", "ProxyUserName", "ProxyPassword"}) {
      Add<QLineEdit>(name);
    }
    Edit("ProxyPort")->setMaxLength(5);
    Add<QWidget>("Panel5");
  }

  template <class W>
  W* Add(const char* name) {
    auto* w = new W(form.get());
    w->setObjectName(QString::fromLatin1(name));
    return w;
  }
  QCheckBox* Box(const char* name) const { return form->findChild<QCheckBox*>(name); }
  QLineEdit* Edit(const char* name) const { return form->findChild<QLineEdit*>(name); }
  QComboBox* Language() const { return form->findChild<QComboBox*>("LanguageComboBox"); }
  QTabWidget* Pages() const { return form->findChild<QTabWidget*>("PageControl"); }
  QSpinBox* MaxSites() const { return form->findChild<QSpinBox*>("SpinEdit1"); }
  bool Panel5Shown() const { return !form->findChild<QWidget*>("Panel5")->isHidden(); }

  std::unique_ptr<QWidget> form;
};

class MainFormChoices : public test::SettingsSandbox {
 protected:
  // One window life: created, choices restored, changed by `use`, stored as the window
  // does (choices, then the bar's 84-byte record, then one flush).
  void RunWindow(const std::function<void(ChoicesForm&)>& use = nullptr) {
    TRegistry::ResetCurrentUser();
    ChoicesForm window;
    TRegistry& reg = TRegistry::CurrentUser();
    RestoreFormChoices(*window.form, reg);
    if (use)
      use(window);
    StoreFormChoices(*window.form, reg);
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)->WriteBinary("", BarRecord());
    ASSERT_TRUE(reg.Flush()) << reg.LastError();
    TRegistry::ResetCurrentUser();
  }

  static std::string BarRecord() {
    std::string record(84, '\0');
    record[0] = 84;
    record[4] = 5;  // abeFloat
    return record;
  }

  // Restores a fresh window from a registry file holding kHead + lines.
  static void RestoreFrom(const std::string& lines, ChoicesForm& window) {
    TRegistry reg("/nonexistent-folder/never-written.reg");
    ParseRegistryText(kHead + lines, reg.Root());
    RestoreFormChoices(*window.form, reg);
  }
};

TEST_F(MainFormChoices, FirstStartGivesEveryDefault) {
  ChoicesForm window;
  TRegistry& reg = TRegistry::CurrentUser();
  RestoreFormChoices(*window.form, reg);
  for (const char* name : {"HintDescriptionCheckBox", "HintURLCheckBox", "FullInfoCheckBox"}) {
    EXPECT_TRUE(window.Box(name)->isChecked()) << name;
  }
  // The classic engines' hosts serve no pages today: they start unticked.
  for (const char* name : {"AltavistaCheckBox", "ExciteCheckBox", "HotBotCheckBox",
                           "AllTheWebCheckBox", "GoogleCheckBox"}) {
    EXPECT_FALSE(window.Box(name)->isChecked()) << name;
  }
  EXPECT_FALSE(window.Box("VerifyCheckBox")->isChecked());
  EXPECT_TRUE(window.Panel5Shown());
  EXPECT_EQ(window.MaxSites()->value(), 10);
  EXPECT_EQ(window.Language()->currentIndex(), 0);
  EXPECT_EQ(window.Language()->currentText(), "any language");
  EXPECT_EQ(window.Pages()->currentIndex(), 0);
  EXPECT_EQ(window.Edit("ProxyPort")->text(), "80");
  for (const char* name : {"ProxyName", "ProxyUserName", "ProxyPassword"}) {
    EXPECT_EQ(window.Edit(name)->text(), "") << name;
  }
  // The key now exists, but nothing is written before the window goes.
  EXPECT_NE(reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName), nullptr);
  EXPECT_FALSE(Exists(FilePath));
}

TEST_F(MainFormChoices, StoreAfterFirstStartHoldsSixteenValuesAndTheBarRecord) {
  RunWindow();
  TRegistry reg(FilePath);
  const TRegistryKey* key = reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  ASSERT_NE(key, nullptr);
  std::vector<std::string> expected{""};
  expected.insert(expected.end(), std::begin(kNamedValues), std::end(kNamedValues));
  EXPECT_EQ(key->ValueNames(), expected);
  EXPECT_EQ(key->FindValue("")->Type, REG_BINARY);
  EXPECT_EQ(key->FindValue("")->Data.size(), 84u);

  struct Expect {
    const char* name;
    std::uint32_t type;
    std::string data;
  };
  const std::string one("\x01\x00\x00\x00", 4), zero(4, '\0');
  const Expect stored[] = {
      {"HintDescription", REG_DWORD, one}, {"HintURL", REG_DWORD, one},
      {"FullInfo", REG_DWORD, one},        {"VerifyLinks", REG_DWORD, zero},
      {"Altavista", REG_DWORD, zero},      {"Excite", REG_DWORD, zero},
      {"Hotbot", REG_DWORD, zero},         {"AllTheWeb", REG_DWORD, zero},
      {"Google", REG_DWORD, zero},         {"LanguageIndex", REG_DWORD, zero},
      {"TabSelected", REG_DWORD, zero},    {"MaxSites", REG_DWORD, std::string("\x0a\0\0\0", 4)},
      {"ProxyName", REG_SZ, ""},           {"ProxyPort", REG_DWORD, std::string("\x50\0\0\0", 4)},
      {"ProxyUserName", REG_SZ, ""},       {"ProxyPassword", REG_SZ, ""},
  };
  for (const Expect& e : stored) {
    SCOPED_TRACE(e.name);
    EXPECT_EQ(key->FindValue(e.name)->Type, e.type);
    EXPECT_EQ(key->FindValue(e.name)->Data, e.data);
  }
}

// The stored value on the left, what the window shows on the right.
TEST_F(MainFormChoices, EdgeCasesOfStoredValues) {
  struct Case {
    const char* lines;
    std::function<void(const ChoicesForm&)> check;
  };
  const Case cases[] = {
      {"\"MaxSites\"=dword:00000005\n", [](auto& w) { EXPECT_EQ(w.MaxSites()->value(), 10); }},
      {"\"MaxSites\"=dword:000007d0\n", [](auto& w) { EXPECT_EQ(w.MaxSites()->value(), 1000); }},
      {"\"MaxSites\"=dword:ffffffff\n", [](auto& w) { EXPECT_EQ(w.MaxSites()->value(), 10); }},
      {"\"MaxSites\"=dword:00000096\n", [](auto& w) { EXPECT_EQ(w.MaxSites()->value(), 150); }},
      {"\"MaxSites\"=hex(4):64,00,00,00,00\n",
       [](auto& w) { EXPECT_EQ(w.MaxSites()->value(), 10); }},  // larger than 4 bytes
      {"\"ProxyPort\"=dword:00001f90\n",
       [](auto& w) { EXPECT_EQ(w.Edit("ProxyPort")->text(), "8080"); }},
      {"\"ProxyPort\"=\"8080\"\n", [](auto& w) { EXPECT_EQ(w.Edit("ProxyPort")->text(), "80"); }},
      {"\"ProxyPort\"=dword:ffffffff\n",
       [](auto& w) { EXPECT_EQ(w.Edit("ProxyPort")->text(), "80"); }},
      {"\"FullInfo\"=dword:00000000\n",
       [](auto& w) {
         EXPECT_FALSE(w.Box("FullInfoCheckBox")->isChecked());
         EXPECT_FALSE(w.Panel5Shown());
       }},
      {"\"FullInfo\"=\"0\"\n",
       [](auto& w) {
         EXPECT_TRUE(w.Box("FullInfoCheckBox")->isChecked());
         EXPECT_TRUE(w.Panel5Shown());
       }},
      {"\"Hotbot\"=dword:00000000\n\"Google\"=dword:00000007\n",
       [](auto& w) {
         EXPECT_FALSE(w.Box("HotBotCheckBox")->isChecked());
         EXPECT_TRUE(w.Box("GoogleCheckBox")->isChecked());
       }},
      {"\"TabSelected\"=dword:00000002\n",
       [](auto& w) { EXPECT_EQ(w.Pages()->currentIndex(), 2); }},
      {"\"TabSelected\"=dword:00000003\n",
       [](auto& w) { EXPECT_EQ(w.Pages()->currentIndex(), 0); }},
      {"\"TabSelected\"=dword:ffffffff\n",
       [](auto& w) { EXPECT_EQ(w.Pages()->currentIndex(), 0); }},
      {"\"LanguageIndex\"=dword:00000019\n",
       [](auto& w) { EXPECT_EQ(w.Language()->currentIndex(), 25); }},
      {"\"LanguageIndex\"=dword:0000001a\n",
       [](auto& w) {
         EXPECT_EQ(w.Language()->currentIndex(), -1);
         EXPECT_EQ(w.Language()->currentText(), "");
       }},
      {"\"ProxyName\"=dword:00000001\n\"ProxyPassword\"=\"s\xE9same\"\n",
       [](auto& w) {
         EXPECT_EQ(w.Edit("ProxyName")->text(), "");
         EXPECT_EQ(w.Edit("ProxyPassword")->text(), QString::fromUtf8("s\xC3\xA9same"));
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.lines);
    ChoicesForm window;
    RestoreFrom(c.lines, window);
    c.check(window);
  }
}

// A broken value costs that value only: every other one is still read.
TEST_F(MainFormChoices, EachValueIsReadOnItsOwn) {
  const std::string all =
      "\"HintDescription\"=dword:00000000\n\"HintURL\"=dword:00000000\n"
      "\"FullInfo\"=dword:00000000\n\"VerifyLinks\"=dword:00000001\n"
      "\"Altavista\"=dword:00000001\n\"Excite\"=dword:00000001\n\"Hotbot\"=dword:00000001\n"
      "\"AllTheWeb\"=dword:00000001\n\"Google\"=dword:00000001\n"
      "\"LanguageIndex\"=dword:00000009\n\"TabSelected\"=dword:00000001\n"
      "\"MaxSites\"=dword:000000c8\n\"ProxyName\"=\"proxy\"\n\"ProxyPort\"=dword:00000c38\n"
      "\"ProxyUserName\"=\"me\"\n\"ProxyPassword\"=\"pw\"\n";
  for (const char* broken : kNamedValues) {
    SCOPED_TRACE(broken);
    // The broken value gets a type that no reading accepts.
    TRegistry reg("/nonexistent-folder/never-written.reg");
    ParseRegistryText(kHead + all, reg.Root());
    reg.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, false)
        ->WriteValue(broken, TRegValue{REG_MULTI_SZ, std::string(1, '\0')});
    ChoicesForm window;
    RestoreFormChoices(*window.form, reg);
    const std::string b = broken;
    auto boolOr = [&](const char* value, bool stored, bool def) {
      return b == value ? def : stored;
    };
    EXPECT_EQ(window.Box("HintDescriptionCheckBox")->isChecked(),
              boolOr("HintDescription", false, true));
    EXPECT_EQ(window.Box("HintURLCheckBox")->isChecked(), boolOr("HintURL", false, true));
    EXPECT_EQ(window.Box("FullInfoCheckBox")->isChecked(), boolOr("FullInfo", false, true));
    EXPECT_EQ(window.Panel5Shown(), boolOr("FullInfo", false, true));
    EXPECT_EQ(window.Box("VerifyCheckBox")->isChecked(), boolOr("VerifyLinks", true, false));
    EXPECT_EQ(window.Box("AltavistaCheckBox")->isChecked(), boolOr("Altavista", true, false));
    EXPECT_EQ(window.Box("ExciteCheckBox")->isChecked(), boolOr("Excite", true, false));
    EXPECT_EQ(window.Box("HotBotCheckBox")->isChecked(), boolOr("Hotbot", true, false));
    EXPECT_EQ(window.Box("AllTheWebCheckBox")->isChecked(), boolOr("AllTheWeb", true, false));
    EXPECT_EQ(window.Box("GoogleCheckBox")->isChecked(), boolOr("Google", true, false));
    EXPECT_EQ(window.Language()->currentIndex(), b == "LanguageIndex" ? 0 : 9);
    EXPECT_EQ(window.Pages()->currentIndex(), b == "TabSelected" ? 0 : 1);
    EXPECT_EQ(window.MaxSites()->value(), b == "MaxSites" ? 10 : 200);
    EXPECT_EQ(window.Edit("ProxyName")->text(), b == "ProxyName" ? "" : "proxy");
    EXPECT_EQ(window.Edit("ProxyPort")->text(), b == "ProxyPort" ? "80" : "3128");
    EXPECT_EQ(window.Edit("ProxyUserName")->text(), b == "ProxyUserName" ? "" : "me");
    EXPECT_EQ(window.Edit("ProxyPassword")->text(), b == "ProxyPassword" ? "" : "pw");
  }
}

TEST_F(MainFormChoices, ChoicesComeBackAtTheNextStart) {
  RunWindow([](ChoicesForm& w) {
    w.Box("HintURLCheckBox")->setChecked(false);
    w.Box("FullInfoCheckBox")->setChecked(false);
    w.Box("ExciteCheckBox")->setChecked(false);
    w.Box("HotBotCheckBox")->setChecked(false);
    w.Box("GoogleCheckBox")->setChecked(true);
    w.Language()->setCurrentIndex(8);
    w.Pages()->setCurrentIndex(2);
    w.MaxSites()->setValue(340);
    w.Edit("ProxyName")->setText("proxy.example");
    w.Edit("ProxyPort")->setText("3128");
    w.Edit("ProxyUserName")->setText(QString::fromUtf8("j\xC3\xBCrgen"));
    w.Edit("ProxyPassword")->setText("p\"w\\d");
  });
  ChoicesForm window;
  RestoreFormChoices(*window.form, TRegistry::CurrentUser());
  EXPECT_TRUE(window.Box("HintDescriptionCheckBox")->isChecked());
  EXPECT_FALSE(window.Box("HintURLCheckBox")->isChecked());
  EXPECT_FALSE(window.Box("FullInfoCheckBox")->isChecked());
  EXPECT_FALSE(window.Panel5Shown());
  EXPECT_FALSE(window.Box("ExciteCheckBox")->isChecked());
  EXPECT_FALSE(window.Box("HotBotCheckBox")->isChecked());
  EXPECT_TRUE(window.Box("GoogleCheckBox")->isChecked());
  EXPECT_EQ(window.Language()->currentIndex(), 8);
  EXPECT_EQ(window.Pages()->currentIndex(), 2);
  EXPECT_EQ(window.MaxSites()->value(), 340);
  EXPECT_EQ(window.Edit("ProxyName")->text(), "proxy.example");
  EXPECT_EQ(window.Edit("ProxyPort")->text(), "3128");
  EXPECT_EQ(window.Edit("ProxyUserName")->text(), QString::fromUtf8("j\xC3\xBCrgen"));
  EXPECT_EQ(window.Edit("ProxyPassword")->text(), "p\"w\\d");
  EXPECT_EQ(LineEditBytes(*window.Edit("ProxyUserName")), "j\xC3\xBCrgen");
}

TEST_F(MainFormChoices, StoredTextBytesStayRawUnlessEdited) {
  WriteFile(FilePath, kHead + "\"ProxyUserName\"=\"j\xFCrgen\"\n\"ProxyPassword\"=\"s\xE9same\"\n");
  RunWindow([](ChoicesForm& w) {
    EXPECT_EQ(w.Edit("ProxyUserName")->text(), QString::fromUtf8("j\xC3\xBCrgen"));
    w.Edit("ProxyPassword")->setText(QString::fromUtf8("n\xC3\xA9w"));
  });
  TRegistry reg(FilePath);
  const TRegistryKey* key = reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  std::string s;
  EXPECT_EQ(key->ReadString("ProxyUserName", s), TRegReadStatus::rsOk);
  EXPECT_EQ(s, "j\xFCrgen");  // untouched: the Windows-1252 bytes as they were
  EXPECT_EQ(key->ReadString("ProxyPassword", s), TRegReadStatus::rsOk);
  EXPECT_EQ(s, "n\xC3\xA9w");  // typed: UTF-8
}

TEST_F(MainFormChoices, WhatTheBoxesHoldWhenStored) {
  struct Case {
    const char* what;
    std::function<void(ChoicesForm&)> set;
    const char* value;
    std::int32_t stored;
  };
  const Case cases[] = {
      {"empty port box", [](auto& w) { w.Edit("ProxyPort")->clear(); }, "ProxyPort", 80},
      {"port 8080", [](auto& w) { w.Edit("ProxyPort")->setText("8080"); }, "ProxyPort", 8080},
      {"port with blanks", [](auto& w) { w.Edit("ProxyPort")->setText(" 443 "); }, "ProxyPort",
       443},
      {"port that is no number", [](auto& w) { w.Edit("ProxyPort")->setText("8a"); }, "ProxyPort",
       80},
      {"typed language name", [](auto& w) { w.Language()->setEditText("L3"); }, "LanguageIndex", 3},
      {"typed unknown language", [](auto& w) { w.Language()->setEditText("Klingon"); },
       "LanguageIndex", -1},
      {"no language", [](auto& w) { w.Language()->setCurrentIndex(-1); }, "LanguageIndex", -1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    ChoicesForm window;
    TRegistryKey key("Tarnwick Quellion");
    RestoreFormChoices(*window.form, key);
    c.set(window);
    StoreFormChoices(*window.form, key);
    std::int32_t v = 0;
    EXPECT_EQ(key.ReadInteger(c.value, v), TRegReadStatus::rsOk);
    EXPECT_EQ(v, c.stored);
  }
}

TEST_F(MainFormChoices, StoringRebuildsTheKeyWithoutForeignValues) {
  WriteFile(FilePath, kHead +
                          "@=hex:01,02\n\"Foreign\"=\"x\"\n\"MaxSites\"=dword:00000014\n"
                          "\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion\\Sub]\n\"y\"=\"y\"\n"
                          "\n[HKEY_CURRENT_USER\\Software\\Tarnwick Quellion Engines]\n"
                          "\"Google\"=\"127.0.0.1:9\"\n");
  RunWindow();
  TRegistry reg(FilePath);
  const TRegistryKey* key = reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName);
  EXPECT_EQ(key->ValueNames().size(), 17u);
  EXPECT_FALSE(key->ValueExists("Foreign"));
  EXPECT_TRUE(key->SubKeyNames().empty());
  EXPECT_EQ(key->FindValue("")->Data, BarRecord());
  std::uint32_t d = 0;
  EXPECT_EQ(key->ReadDword("MaxSites", d), TRegReadStatus::rsOk);
  EXPECT_EQ(d, 20u);
  // The engine hosts live beside the key and are read, never rebuilt.
  std::string host;
  EXPECT_EQ(reg.FindKey(HKEY_CURRENT_USER, kQuellionEnginesKeyName)->ReadString("Google", host),
            TRegReadStatus::rsOk);
  EXPECT_EQ(host, "127.0.0.1:9");
}

TEST_F(MainFormChoices, DamagedFileGivesWhatItCanAndIsKeptAside) {
  const std::string damaged = kHead +
                              "\"FullInfo\"=dword:00000000\n\x01\x02garbage\n"
                              "\"MaxSites\"=dword:00000064\n\"ProxyName\"=\"cut sho";
  WriteFile(FilePath, damaged);
  RunWindow([](ChoicesForm& w) {
    EXPECT_FALSE(w.Box("FullInfoCheckBox")->isChecked());
    EXPECT_EQ(w.MaxSites()->value(), 100);
    EXPECT_EQ(w.Edit("ProxyName")->text(), "");
    EXPECT_FALSE(w.Box("GoogleCheckBox")->isChecked());
  });
  EXPECT_EQ(ReadFile(FilePath + ".bad"), damaged);
  TRegistry reg(FilePath);
  EXPECT_FALSE(reg.LoadReport().Damaged);
  EXPECT_EQ(reg.FindKey(HKEY_CURRENT_USER, kQuellionKeyName)->ValueNames().size(), 17u);
}

}  // namespace
}  // namespace quellion
