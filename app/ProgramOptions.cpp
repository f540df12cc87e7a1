#include "app/ProgramOptions.h"

#include <algorithm>
#include <array>
#include <string_view>

namespace quellion {
namespace {

// The options QGuiApplication and QApplication read themselves (with one or two dashes).
constexpr std::array<std::string_view, 23> kQtOptionsWithValue = {
    "platform",
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "qwindowicon",
    "qwindowtitle",
    "session",
    "display",
    "geometry",
    "style",
    "stylesheet",
    "name",
    "title",
    "fn",
    "font",
    "bg",
    "background",
    "fg",
    "foreground",
    "btn",
    "button",
    "im",
};
constexpr std::array<std::string_view, 9> kQtFlags = {
    "reverse", "widgetcount", "nograb",        "dograb",     "sync",
    "cmap",    "testability", "qmljsdebugger", "inputstyle",
};

template <size_t N>
bool Contains(const std::array<std::string_view, N>& names, std::string_view name) {
  return std::find(names.begin(), names.end(), name) != names.end();
}

}  // namespace

TProgramOptions TProgramOptions::Parse(const std::vector<std::string>& args) {
  TProgramOptions options;
  auto bad = [&options](std::string error) {
    options.Action = TAction::BadUsage;
    options.Error = std::move(error);
    return options;
  };
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (arg == "--help" || arg == "-h") {
      options.Action = TAction::Help;
      return options;
    }
    if (arg == "--version") {
      options.Action = TAction::Version;
      return options;
    }
    if (arg == "--demo") {
      options.Demo = true;
      continue;
    }
    if (arg.size() < 2 || arg[0] != '-')
      return bad("unexpected argument '" + arg + "'");
    std::string_view name(arg);
    name.remove_prefix(name.substr(0, 2) == "--" ? 2 : 1);
    const size_t equals = name.find('=');
    const bool inlineValue = equals != std::string_view::npos;
    if (inlineValue)
      name = name.substr(0, equals);
    if (name == "platform")
      options.PlatformGiven = true;
    if (Contains(kQtOptionsWithValue, name)) {
      if (!inlineValue && ++i >= args.size())
        return bad("option '" + arg + "' needs a value");
      continue;
    }
    // -qmljsdebugger and -inputstyle carry their value after '=' only.
    if (Contains(kQtFlags, name))
      continue;
    return bad("unknown option '" + arg + "'");
  }
  return options;
}

std::string PreferredPlatform(const TProgramOptions& options, const char* qpaPlatform,
                              const char* waylandDisplay, const char* display) {
  auto set = [](const char* value) { return value != nullptr && *value != '\0'; };
  if (options.PlatformGiven || set(qpaPlatform))
    return {};
  return set(waylandDisplay) && set(display) ? "xcb" : "";
}

const char* ProgramUsage() {
  return "Usage: quellion [--demo] [Qt options]\n"
         "\n"
         "Opens the Tarnwick Quellion 2 window, which asks several web search engines at once.\n"
         "\n"
         "Options:\n"
         "  --demo      try the program without a network: a built-in stand-in on 127.0.0.1\n"
         "              answers for every engine, for this run only\n"
         "  --help      print this help and exit\n"
         "  --version   print the version and exit\n"
         "\n"
         "Qt's options for graphical programs are accepted too, for example\n"
         "-platform xcb, -display :1, -style Fusion. See quellion(1).\n";
}

}  // namespace quellion
