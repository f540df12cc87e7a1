#pragma once

#include <string>

#include "search/Engines.h"

class QWidget;

namespace quellion {

// The window's side of the per-user store (kept apart from the window's own source).

// "Software\Tarnwick Quellion": the key of the window's choices and the bar's record.
std::string SettingsKeyName();

// The engines' web search hosts: the text values "Altavista", "Excite", "Hotbot",
// "AllTheWeb" and "Google" of "Software\Tarnwick Quellion Engines"; an engine without a
// (non-empty text) value keeps its default host. Only read, never written.
TEngineHosts ReadEngineHosts();

// The window's named values (kSettings), read from and written to the process's store
// (app/choices finds the controls by object name). Storing first deletes the key with
// everything in it, so values the program does not know are dropped; the bar's record
// is written afterwards by the caller.
void RestoreWindowChoices(QWidget& form);
void StoreWindowChoices(const QWidget& form);

// Writes the store to its file; false when that failed (the old file then stays).
bool FlushSettings();

}  // namespace quellion
