#pragma once

#include <string>
#include <vector>

namespace quellion {

// What `quellion`'s command line asks for. It is read before the application object
// exists, so that --help and --version answer without a display.
struct TProgramOptions {
  enum class TAction { Run, Help, Version, BadUsage };

  TAction Action = TAction::Run;
  bool Demo = false;
  // For BadUsage: what was wrong, one line without the program's name.
  std::string Error;

  // args[0] is the program. Qt's own options for graphical programs (-platform xcb,
  // --style=Fusion, ...) are accepted and left for the application object.
  static TProgramOptions Parse(const std::vector<std::string>& args);
};

// "Usage: quellion ..." with the options, for --help and after a usage error.
const char* ProgramUsage();

}  // namespace quellion
