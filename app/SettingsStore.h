#pragma once

#include <string>

class QWidget;

namespace quellion {

// The window's side of the per-user store (kept apart from the window's own source).

// "Software\Tarnwick Quellion": the key of the window's choices and the bar's record.
std::string SettingsKeyName();

// The window's named values (kSettings), read from and written to the process's store
// (app/choices finds the controls by object name). Storing first deletes the key with
// everything in it, so values the program does not know are dropped; the bar's record
// is written afterwards by the caller.
void RestoreWindowChoices(QWidget& form);
void StoreWindowChoices(const QWidget& form);

// Writes the store to its file; false when that failed (the old file then stays), with
// `error` saying why when given.
bool FlushSettings(std::string* error = nullptr);

}  // namespace quellion
