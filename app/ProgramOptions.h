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
  // Whether -platform was given (it then wins over any preference of ours).
  bool PlatformGiven = false;
  // For BadUsage: what was wrong, one line without the program's name.
  std::string Error;

  // args[0] is the program. Qt's own options for graphical programs (-platform xcb,
  // --style=Fusion, ...) are accepted and left for the application object.
  static TProgramOptions Parse(const std::vector<std::string>& args);
};

// The Qt platform to ask for when none was chosen: on a Wayland session that also offers
// X11 (XWayland), "xcb", since only an X11 window manager lets the bar reserve its strip
// of the screen; otherwise "" (Qt's own choice). The arguments are the values of
// QT_QPA_PLATFORM, WAYLAND_DISPLAY and DISPLAY (nullptr: unset).
std::string PreferredPlatform(const TProgramOptions& options, const char* qpaPlatform,
                              const char* waylandDisplay, const char* display);

// "Usage: quellion ..." with the options, for --help and after a usage error.
const char* ProgramUsage();

}  // namespace quellion
