#pragma once

// The main window's remembered choices: the named values of kSettings beside the bar's record in
// "Software\Tarnwick Quellion". The controls are found by object name under the form
// (HintDescriptionCheckBox, ..., LanguageComboBox, PageControl, SpinEdit1, ProxyName,
// ProxyPort, ProxyUserName, ProxyPassword, Panel5), so any widget tree with those names
// will do; a control that is not there is skipped when reading and stored with its
// default when writing. GUI thread only.

#include <string>

class QLineEdit;
class QWidget;

namespace quellion {

class TRegistry;
class TRegistryKey;

// Reads the values in their fixed order, each on its own: a value that is missing, of
// another type or (for integers) not 4 bytes gives its control the default. Right after
// "FullInfo", Panel5 is shown exactly when "Full Info" is ticked.
void RestoreFormChoices(QWidget& form, const TRegistryKey& key);
// Writes the values in their fixed order (kStoreOrder) into key (the caller has emptied it).
void StoreFormChoices(const QWidget& form, TRegistryKey& key);

// The same against the store, as the window does it. Restore opens the key, creating it
// (in memory) when missing. Store deletes the key with everything in it, the bar's record
// included, and rebuilds it with the values; the bar's record and Flush() follow.
void RestoreFormChoices(QWidget& form, TRegistry& registry);
void StoreFormChoices(const QWidget& form, TRegistry& registry);

// The 8-bit text a line edit stands for: the bytes it was restored from while its text is
// unchanged (stored text that is not UTF-8 is shown decoded as Windows-1252, and must not
// come back re-encoded), else its text as UTF-8.
std::string LineEditBytes(const QLineEdit& edit);

}  // namespace quellion
