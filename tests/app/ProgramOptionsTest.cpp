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

}  // namespace
}  // namespace quellion
