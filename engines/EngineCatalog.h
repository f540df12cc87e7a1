#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "engines/EngineDefinition.h"

namespace quellion {

// A definition file that was not loaded, and why.
struct TInvalidDefinition {
  std::string File;    // the file's path
  std::string Name;    // its "name" when that could be read, else ""
  std::string Reason;  // e.g. "bad JSON: parse error at line 3, column 7: ..."
};

// Every defined engine the program knows: the shipped definitions, replaced by the
// user's own where a user file has the same name (letter case ignored).
struct TEngineCatalog {
  std::vector<TEngineDefinition> Engines;   // ordered by name, letter case ignored
  std::vector<TInvalidDefinition> Invalid;  // in the order the files were read
  std::vector<std::string> Warnings;        // "<file>: <text>"

  // Letter case ignored; nullptr when there is none.
  const TEngineDefinition* Find(std::string_view name) const;
  const TInvalidDefinition* FindInvalid(std::string_view name) const;
};

// The folders the shipped definitions are read from, most important first. From the
// build tree: the source tree's data/engines alone. Installed: every data folder of the
// XDG rules ($XDG_DATA_HOME, then each of $XDG_DATA_DIRS), then the folder beside the
// program (<dir of the binary>/../share), each + /tarnwick-quellion/engines, so an
// unpacked or moved install finds its own. A folder named twice is read once.
std::vector<std::string> ShippedEngineFolders();
// The same list for a given program path (the installed case; for tests).
std::vector<std::string> ShippedEngineFoldersFor(const std::string& programPath);
// $XDG_CONFIG_HOME/tarnwick-quellion/engines ($HOME/.config when it is unset or relative).
std::string UserEngineFolder();

// Reads every *.json file directly in each folder (a folder that does not exist is
// no error). Never raises for a file's sake: broken files end up in Invalid. A name in
// an earlier shipped folder hides the same name in later ones; the user folder's
// files replace shipped ones of the same name.
TEngineCatalog LoadEngineCatalog(const std::vector<std::string>& shippedFolders,
                                 const std::string& userFolder);
TEngineCatalog LoadEngineCatalog(const std::string& shippedFolder, const std::string& userFolder);
// ShippedEngineFolders() and UserEngineFolder().
TEngineCatalog LoadEngineCatalog();

}  // namespace quellion
