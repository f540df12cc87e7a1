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

// The shipped definitions' folder: the source tree's data/engines when the program
// runs from its build tree, else <datadir>/tarnwick-quellion/engines.
std::string ShippedEngineFolder();
// $XDG_CONFIG_HOME/tarnwick-quellion/engines ($HOME/.config when it is unset or relative).
std::string UserEngineFolder();

// Reads every *.json file directly in each folder (a folder that does not exist is
// no error). Never raises for a file's sake: broken files end up in Invalid.
TEngineCatalog LoadEngineCatalog(const std::string& shippedFolder, const std::string& userFolder);
// The two folders above.
TEngineCatalog LoadEngineCatalog();

}  // namespace quellion
