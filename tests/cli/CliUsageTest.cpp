#include <gtest/gtest.h>

#include <regex>

#include "cli/CliCommon.h"
#include "tests/support/CliRunner.h"

namespace quellion::cli {
namespace {

using test::RunCli;
using test::TCliRun;

TEST(CliUsage, BadUsageExitsTwoWithOneLineOnStderrAndNothingElse) {
  const std::vector<std::vector<std::string>> cases = {
      {"frobnicate"},
      {"--frobnicate"},
  };
  for (const auto& args : cases) {
    const TCliRun run = RunCli(args);
    EXPECT_EQ(kExitUsage, run.status);
    EXPECT_EQ(0u, run.err.rfind("quellion-cli: ", 0)) << run.err;
    EXPECT_EQ(1, std::count(run.err.begin(), run.err.end(), '\n')) << run.err;
    EXPECT_EQ("", run.out);
  }
}

TEST(CliUsage, HelpOnEveryCommandPrintsUsageAndExitsZero) {
  for (const char* help : {"--help", "-h"}) {
    for (const char* command : {"parse", "split", "url", "extract", "fetch", "search", "engines"}) {
      const TCliRun run = RunCli({command, help});
      EXPECT_EQ(kExitOk, run.status) << command << " " << help;
      EXPECT_NE(std::string::npos, run.out.find("Usage: quellion-cli")) << command;
      EXPECT_EQ("", run.err) << command;
    }
    const TCliRun top = RunCli({help});
    EXPECT_EQ(kExitOk, top.status);
    EXPECT_NE(std::string::npos, top.out.find("Commands:"));
  }
}

// Without a command, the whole usage goes to stderr, so the user sees what to type.
TEST(CliUsage, NoCommandPrintsTheUsageOnStderrAndExitsTwo) {
  const TCliRun run = RunCli({});
  EXPECT_EQ(kExitUsage, run.status);
  EXPECT_EQ("", run.out);
  EXPECT_EQ(0u, run.err.rfind("quellion-cli: missing command\n\nUsage: quellion-cli", 0))
      << run.err;
  // The commands in the order a user reaches for them.
  size_t at = 0;
  for (const char* command : {"search", "engines", "fetch", "extract", "url", "parse", "split"}) {
    const size_t found = run.err.find(std::string("\n  ") + command + " ", at);
    ASSERT_NE(std::string::npos, found) << command;
    at = found;
  }
}

// The binary's number itself is checked against the project's in CliBinaryUsage.cmake.
TEST(CliUsage, VersionPrintsOneLineAndExitsZero) {
  const TCliRun run = RunCli({"--version"});
  EXPECT_EQ(kExitOk, run.status);
  EXPECT_TRUE(std::regex_match(run.out, std::regex("quellion-cli [0-9]+(\\.[0-9]+)*\n")))
      << run.out;
  EXPECT_EQ("", run.err);
}

TEST(CliUsage, EscapeFollowsTheOutputContract) {
  struct Case {
    std::string raw, escaped;
  } cases[] = {
      {"plain text", "plain text"},     {"a\\b\"c", "a\\\\b\\\"c"},
      {"\n\r\t", "\\n\\r\\t"},          {std::string("\0\x01\x1f\x7f", 4), "\\x00\\x01\\x1f\\x7f"},
      {"\x80\xff\xe9", "\x80\xff\xe9"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(c.escaped, Escape(c.raw));
  EXPECT_EQ("\"a\\\"\"", Quoted("a\""));
}

TEST(CliUsage, NumbersAreDecimalIntegersOrUsageErrors) {
  EXPECT_EQ(10, ParseNumber("10", "--max-sites"));
  EXPECT_EQ(-5, ParseNumber("-5", "--counter"));
  for (const char* bad : {"", "ten", "10x", " 10", "99999999999"}) {
    EXPECT_THROW(ParseNumber(bad, "--max-sites"), EUsageError) << bad;
  }
}

}  // namespace
}  // namespace quellion::cli
