#pragma once

#include <string>
#include <vector>

namespace quellion {

// The XDG base directories. A variable that is unset, empty or not an absolute path
// reads as its default; so does every relative entry of a list.

// $HOME, else the password database's home, else /tmp.
std::string HomeFolder();
// $XDG_CONFIG_HOME, default ~/.config: what the user chooses.
std::string XdgConfigHome();
// $XDG_DATA_HOME, default ~/.local/share: data the user installed for himself.
std::string XdgDataHome();
// $XDG_DATA_DIRS, default /usr/local/share:/usr/share: data installed for everyone,
// most important first.
std::vector<std::string> XdgDataDirs();
// $XDG_STATE_HOME, default ~/.local/state: what the program learns as it runs.
std::string XdgStateHome();

}  // namespace quellion
