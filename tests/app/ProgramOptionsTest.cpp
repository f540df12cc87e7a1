// `quellion`'s command line, read before any display is opened.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/ProgramOptions.h"

namespace quellion {
namespace {

using TAction = TProgramOptions::TAction;

TEST(ProgramOptions, HelpVersionQtOptionsAndUsageErrors) {
  const struct {
    std::vector<std::string> arguments;
    TAction action;
  } cases[] = {
      {{"quellion"}, TAction::Run},
      {{"quellion", "--help"}, TAction::Help},
      {{"quellion", "-h"}, TAction::Help},
      {{"quellion", "--demo", "--version"}, TAction::Version},
      // Qt's own options, with their values, are left for the application object.
      {{"quellion", "-platform", "offscreen", "-style", "Fusion"}, TAction::Run},
      {{"quellion", "--style=Fusion", "-reverse", "-display", ":1"}, TAction::Run},
      {{"quellion", "--frobnicate"}, TAction::BadUsage},
      {{"quellion", "-platform"}, TAction::BadUsage},
      {{"quellion", "keywords"}, TAction::BadUsage},
      {{"quellion", "-"}, TAction::BadUsage},
  };
  for (const auto& c : cases) {
    const TProgramOptions options = TProgramOptions::Parse(c.arguments);
    EXPECT_EQ(c.action, options.Action) << c.arguments.back();
    EXPECT_EQ(c.action == TAction::BadUsage, !options.Error.empty()) << options.Error;
  }
  EXPECT_NE(std::string(ProgramUsage()).find("--demo"), std::string::npos);
}

// A Wayland session with XWayland runs the bar on X11, where it can dock; the user's own
// choice always wins.
TEST(ProgramOptions, PrefersX11OnWaylandOnlyWhenXWaylandIsThereAndNothingWasChosen) {
  const TProgramOptions plain = TProgramOptions::Parse({"quellion"});
  const TProgramOptions chosen = TProgramOptions::Parse({"quellion", "-platform", "wayland"});
  EXPECT_EQ("xcb", PreferredPlatform(plain, nullptr, "wayland-0", ":0"));
  EXPECT_EQ("", PreferredPlatform(plain, nullptr, "wayland-0", nullptr));  // the bar floats
  EXPECT_EQ("", PreferredPlatform(plain, nullptr, "wayland-0", ""));
  EXPECT_EQ("", PreferredPlatform(plain, "wayland", "wayland-0", ":0"));
  EXPECT_EQ("", PreferredPlatform(chosen, nullptr, "wayland-0", ":0"));
  EXPECT_EQ("", PreferredPlatform(plain, nullptr, nullptr, ":0"));  // X11: Qt picks xcb itself
}

}  // namespace
}  // namespace quellion
