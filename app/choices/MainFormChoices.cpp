#include "app/choices/MainFormChoices.h"

#include <QByteArray>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTabWidget>
#include <QVariant>
#include <QWidget>
#include <cstdint>

#include "platform/TextEncoding.h"
#include "settings/Registry.h"
#include "settings/SettingsSchema.h"

namespace quellion {

namespace {

// Where a restored line edit keeps the bytes its text was decoded from.
constexpr const char* kStoredBytesProperty = "quellionStoredBytes";

// The control that shows each value, by TSetting.
constexpr const char* kControlNames[kSettingCount] = {
    "HintDescriptionCheckBox", "HintURLCheckBox",  "FullInfoCheckBox", "VerifyCheckBox",
    "AltavistaCheckBox",       "ExciteCheckBox",   "HotBotCheckBox",   "AllTheWebCheckBox",
    "GoogleCheckBox",          "LanguageComboBox", "PageControl",      "SpinEdit1",
    "ProxyUserName",           "ProxyName",        "ProxyPort",        "ProxyPassword",
};

template <class W>
W* Find(const QWidget& form, TSetting setting) {
  return form.findChild<W*>(QString::fromLatin1(kControlNames[static_cast<int>(setting)]),
                            Qt::FindChildrenRecursively);
}

std::string ValueName(TSetting setting) {
  return std::string(SettingRow(setting).Name);
}

// The number in the port box; an empty box (or one holding no number) is stored as the
// default port.
std::int32_t PortOf(const QLineEdit* edit) {
  const std::int32_t fallback = SettingRow(TSetting::ProxyPort).Default;
  if (!edit)
    return fallback;
  const QString text = edit->text().trimmed();
  if (text.isEmpty() || text.size() > 9)
    return fallback;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      return fallback;
  }
  return text.toInt();
}

// The selected position, -1 when none. The box is editable: typed text that is not the
// selected entry's name selects the entry of that name, or none.
std::int32_t LanguageIndexOf(const QComboBox* box) {
  if (!box)
    return SettingRow(TSetting::LanguageIndex).Default;
  const int index = box->currentIndex();
  if (!box->isEditable() || (index >= 0 && box->itemText(index) == box->currentText())) {
    return index;
  }
  return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}

void RestoreInteger(QWidget& form, const TRegistryKey& key, TSetting setting) {
  const std::int32_t value = ReadIntegerSetting(&key, setting);
  switch (setting) {
    case TSetting::LanguageIndex:
      if (auto* box = Find<QComboBox>(form, setting))
        box->setCurrentIndex(value < box->count() ? value : -1);
      break;
    case TSetting::TabSelected:
      // A page index outside the pages would leave no page active; a tab widget always
      // shows one, so the first ("Search") stands in, as for a missing value.
      if (auto* pages = Find<QTabWidget>(form, setting); pages && pages->count() > 0)
        pages->setCurrentIndex(value < pages->count() ? value : 0);
      break;
    case TSetting::MaxSites:
      if (auto* spin = Find<QSpinBox>(form, setting))
        spin->setValue(value);
      break;
    case TSetting::ProxyPort:
      if (auto* port = Find<QLineEdit>(form, setting))
        port->setText(QString::number(value));
      break;
    default:
      break;
  }
}

std::int32_t IntegerToStore(const QWidget& form, TSetting setting) {
  switch (setting) {
    case TSetting::LanguageIndex:
      return LanguageIndexOf(Find<QComboBox>(form, setting));
    case TSetting::TabSelected:
      if (const auto* pages = Find<QTabWidget>(form, setting))
        return pages->currentIndex();
      break;
    case TSetting::MaxSites:
      if (const auto* spin = Find<QSpinBox>(form, setting))
        return spin->value();
      break;
    case TSetting::ProxyPort:
      return PortOf(Find<QLineEdit>(form, setting));
    default:
      break;
  }
  return SettingRow(setting).Default;
}

void RestoreText(QWidget& form, const TRegistryKey& key, TSetting setting) {
  const std::string bytes = ReadTextSetting(&key, setting);
  auto* edit = Find<QLineEdit>(form, setting);
  if (!edit)
    return;
  edit->setText(QString::fromStdString(DecodeForDisplay(bytes)));
  edit->setProperty(kStoredBytesProperty, QByteArray::fromStdString(bytes));
}

}  // namespace

std::string LineEditBytes(const QLineEdit& edit) {
  const QVariant stored = edit.property(kStoredBytesProperty);
  if (stored.isValid()) {
    const std::string bytes = stored.toByteArray().toStdString();
    if (QString::fromStdString(DecodeForDisplay(bytes)) == edit.text())
      return bytes;
  }
  return edit.text().toStdString();
}

void RestoreFormChoices(QWidget& form, const TRegistryKey& key) {
  for (const TSettingRow& row : kSettings) {
    switch (row.Type) {
      case TSettingType::stBoolean:
        if (auto* box = Find<QCheckBox>(form, row.Id))
          box->setChecked(ReadBoolSetting(&key, row.Id));
        break;
      case TSettingType::stInteger:
        RestoreInteger(form, key, row.Id);
        break;
      case TSettingType::stText:
        RestoreText(form, key, row.Id);
        break;
    }
    if (row.Id == TSetting::FullInfo) {
      if (auto* panel = form.findChild<QWidget*>(QStringLiteral("Panel5"))) {
        const auto* box = Find<QCheckBox>(form, TSetting::FullInfo);
        panel->setVisible(box ? box->isChecked() : row.Default != 0);
      }
    }
  }
}

void StoreFormChoices(const QWidget& form, TRegistryKey& key) {
  for (TSetting setting : kStoreOrder) {
    const TSettingRow& row = SettingRow(setting);
    switch (row.Type) {
      case TSettingType::stBoolean: {
        const auto* box = Find<QCheckBox>(form, setting);
        key.WriteBool(ValueName(setting), box ? box->isChecked() : row.Default != 0);
        break;
      }
      case TSettingType::stInteger:
        key.WriteInteger(ValueName(setting), IntegerToStore(form, setting));
        break;
      case TSettingType::stText: {
        const auto* edit = Find<QLineEdit>(form, setting);
        key.WriteString(ValueName(setting), edit ? LineEditBytes(*edit) : std::string());
        break;
      }
    }
  }
}

void RestoreFormChoices(QWidget& form, TRegistry& registry) {
  if (TRegistryKey* key = registry.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)) {
    RestoreFormChoices(form, *key);
  }
}

void StoreFormChoices(const QWidget& form, TRegistry& registry) {
  registry.DeleteKey(HKEY_CURRENT_USER, kQuellionKeyName);
  if (TRegistryKey* key = registry.OpenKey(HKEY_CURRENT_USER, kQuellionKeyName, true)) {
    StoreFormChoices(form, *key);
  }
}

}  // namespace quellion
