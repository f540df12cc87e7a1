#pragma once

// The registry editor's export format: reading a file's text into a key tree and writing a
// key tree as text. See docs/settings.md for the format as this program writes and reads it.

#include <string>
#include <vector>

#include "settings/RegistryKey.h"

namespace quellion {

// Result of reading a registry file's text.
struct TRegParseReport {
  bool Damaged = false;               // something could not be read (or the header was wrong)
  std::vector<std::string> Problems;  // "line N: ..." for the first few faults
};

// Reads export-format text into root (which stands for HKEY_CURRENT_USER; sections naming
// other roots are skipped). Never throws on bad input: whatever can be read is used.
TRegParseReport ParseRegistryText(const std::string& text, TRegistryKey& root);
// The export-format text of root and everything below it.
std::string FormatRegistryText(const TRegistryKey& root);

}  // namespace quellion
