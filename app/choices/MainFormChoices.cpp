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

#include "settings/Registry.h"
#include "platform/TextEncoding.h"

namespace quellion {

namespace {

// Where a restored line edit keeps the bytes its text was decoded from.
constexpr const char* kStoredBytesProperty = "quellionStoredBytes";
constexpr std::int32_t kDefaultMaxSites = 10;
constexpr std::int32_t kDefaultProxyPort = 80;
// The port box holds at most five digits; a stored number it cannot show is unreadable.
constexpr std::int32_t kLargestPortText = 99999;

template <class W>
W* Find(const QWidget& form, const char* name) {
  return form.findChild<W*>(QString::fromLatin1(name), Qt::FindChildrenRecursively);
}

struct TBoolChoice {
  const char* Value;
  const char* Control;
  bool Default;
};

// In the order the values are read and written.
constexpr TBoolChoice kHintDescription{"HintDescription", "HintDescriptionCheckBox", true};
constexpr TBoolChoice kHintURL{"HintURL", "HintURLCheckBox", true};
constexpr TBoolChoice kFullInfo{"FullInfo", "FullInfoCheckBox", true};
constexpr TBoolChoice kLaterBools[] = {
    {"VerifyLinks", "VerifyCheckBox", false}, {"Altavista", "AltavistaCheckBox", true},
    {"Excite", "ExciteCheckBox", true},       {"Hotbot", "HotBotCheckBox", true},
    {"AllTheWeb", "AllTheWebCheckBox", true}, {"Google", "GoogleCheckBox", true},
};

void RestoreBool(QWidget& form, const TRegistryKey& key, const TBoolChoice& choice) {
  bool ticked = choice.Default;
  if (key.ReadBool(choice.Value, ticked) != TRegReadStatus::rsOk)
    ticked = choice.Default;
  if (auto* box = Find<QCheckBox>(form, choice.Control))
    box->setChecked(ticked);
}

void StoreBool(const QWidget& form, TRegistryKey& key, const TBoolChoice& choice) {
  const auto* box = Find<QCheckBox>(form, choice.Control);
  key.WriteBool(choice.Value, box ? box->isChecked() : choice.Default);
}

std::int32_t IntegerOr(const TRegistryKey& key, const char* value, std::int32_t fallback) {
  std::int32_t v = fallback;
  return key.ReadInteger(value, v) == TRegReadStatus::rsOk ? v : fallback;
}

void RestoreText(QWidget& form, const TRegistryKey& key, const char* value) {
  std::string bytes;
  if (key.ReadString(value, bytes) != TRegReadStatus::rsOk)
    bytes.clear();
  auto* edit = Find<QLineEdit>(form, value);
  if (!edit)
    return;
  edit->setText(QString::fromStdString(DecodeForDisplay(bytes)));
  edit->setProperty(kStoredBytesProperty, QByteArray::fromStdString(bytes));
}

void StoreText(const QWidget& form, TRegistryKey& key, const char* value) {
  const auto* edit = Find<QLineEdit>(form, value);
  key.WriteString(value, edit ? LineEditBytes(*edit) : std::string());
}

// The number in the port box; an empty box (or one holding no number) is stored as 80.
std::int32_t PortOf(const QLineEdit* edit) {
  if (!edit)
    return kDefaultProxyPort;
  const QString text = edit->text().trimmed();
  if (text.isEmpty() || text.size() > 9)
    return kDefaultProxyPort;
  for (QChar c : text) {
    if (c < QLatin1Char('0') || c > QLatin1Char('9'))
      return kDefaultProxyPort;
  }
  return text.toInt();
}

// The selected position, -1 when none. The box is editable: typed text that is not the
// selected entry's name selects the entry of that name, or none.
std::int32_t LanguageIndexOf(const QComboBox* box) {
  if (!box)
    return 0;
  const int index = box->currentIndex();
  if (!box->isEditable() || (index >= 0 && box->itemText(index) == box->currentText())) {
    return index;
  }
  return box->findText(box->currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
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
  RestoreBool(form, key, kHintDescription);
  RestoreBool(form, key, kHintURL);
  RestoreBool(form, key, kFullInfo);
  if (auto* panel = Find<QWidget>(form, "Panel5")) {
    const auto* box = Find<QCheckBox>(form, kFullInfo.Control);
    panel->setVisible(box ? box->isChecked() : kFullInfo.Default);
  }
  for (const TBoolChoice& choice : kLaterBools)
    RestoreBool(form, key, choice);

  if (auto* box = Find<QComboBox>(form, "LanguageComboBox")) {
    const std::int32_t index = IntegerOr(key, "LanguageIndex", 0);
    box->setCurrentIndex(index >= 0 && index < box->count() ? index : -1);
  }
  if (auto* pages = Find<QTabWidget>(form, "PageControl")) {
    // A page index outside the pages would leave no page active; a tab widget always shows
    // one, so the first ("Search") stands in, as for a missing value.
    const std::int32_t index = IntegerOr(key, "TabSelected", 0);
    if (pages->count() > 0)
      pages->setCurrentIndex(index >= 0 && index < pages->count() ? index : 0);
  }
  if (auto* spin = Find<QSpinBox>(form, "SpinEdit1")) {
    spin->setValue(IntegerOr(key, "MaxSites", kDefaultMaxSites));  // clamped to its range
  }
  RestoreText(form, key, "ProxyUserName");
  RestoreText(form, key, "ProxyName");
  if (auto* port = Find<QLineEdit>(form, "ProxyPort")) {
    std::int32_t number = IntegerOr(key, "ProxyPort", kDefaultProxyPort);
    if (number < 0 || number > kLargestPortText)
      number = kDefaultProxyPort;
    port->setText(QString::number(number));
  }
  RestoreText(form, key, "ProxyPassword");
}

void StoreFormChoices(const QWidget& form, TRegistryKey& key) {
  StoreBool(form, key, kHintDescription);
  StoreBool(form, key, kHintURL);
  StoreBool(form, key, kFullInfo);
  for (const TBoolChoice& choice : kLaterBools)
    StoreBool(form, key, choice);
  key.WriteInteger("LanguageIndex", LanguageIndexOf(Find<QComboBox>(form, "LanguageComboBox")));
  const auto* pages = Find<QTabWidget>(form, "PageControl");
  key.WriteInteger("TabSelected", pages ? pages->currentIndex() : 0);
  const auto* spin = Find<QSpinBox>(form, "SpinEdit1");
  key.WriteInteger("MaxSites", spin ? spin->value() : kDefaultMaxSites);
  StoreText(form, key, "ProxyName");
  key.WriteInteger("ProxyPort", PortOf(Find<QLineEdit>(form, "ProxyPort")));
  StoreText(form, key, "ProxyUserName");
  StoreText(form, key, "ProxyPassword");
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
