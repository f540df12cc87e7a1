#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "tests/support/CliRunner.h"
#include "tests/support/TempDir.h"

namespace quellion {
namespace {

using test::RunCli;
using test::TCliRun;

const std::string kPage = "<A HREF=\"x\">\n<br/>t\"\\\x01</a></q><!-- c -->\xe9<i>tail";

TEST(HtmlCliTest, ParsePrintsTheTreeIndentedWithWarningsOnStderr) {
  const TCliRun r = RunCli({"parse"}, kPage);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "1 \"A\" \"\" \"HREF=x\"\n"
            "  2 \"PCDATA\" \"\\n\"\n"
            "  1 \"br\" \"\" /\n"
            "  2 \"PCDATA\" \"t\\\"\\\\\\x01\"\n"
            "3 \"!\" \"c\"\n"
            "2 \"PCDATA\" \"\xe9\"\n"
            "1 \"i\" \"\"\n");
  EXPECT_EQ(r.err, "warning: End tag found without matching start tag: </q> [Row:2,Col:17]\n");
  EXPECT_EQ(RunCli({"parse", "-"}, kPage).out, r.out);
}

TEST(HtmlCliTest, ParseEventsPrintsEventsInOrderInsteadOfTheTree) {
  const TCliRun r = RunCli({"parse", "--events"}, kPage);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "start \"A\"\n"
            "start \"br\"\n"
            "tag \"br\"\n"
            "tag \"A\"\n"
            "end \"a\"\n"
            "warning \"End tag found without matching start tag: </q> [Row:2,Col:17]\"\n"
            "end \"q\"\n"
            "start \"i\"\n");
  EXPECT_EQ(r.err, "warning: End tag found without matching start tag: </q> [Row:2,Col:17]\n");
}

TEST(HtmlCliTest, ParseNestedAndEmptyPages) {
  EXPECT_EQ(RunCli({"parse"}, "<a><b><c>x</c></b></a>").out,
            "1 \"a\" \"\"\n  1 \"b\" \"\"\n    1 \"c\" \"\"\n      2 \"PCDATA\" \"x\"\n");
  const TCliRun empty = RunCli({"parse"}, "");
  EXPECT_EQ(empty.status, 0);
  EXPECT_EQ(empty.out, "");
  EXPECT_EQ(empty.err, "");
}

TEST(HtmlCliTest, SplitPrintsNameThenAttributes) {
  struct TCase {
    std::vector<std::string> args;
    std::string input;
    std::string out;
  };
  const TCase cases[] = {
      {{"split", "a href=\"x y\" target=_blank"}, "", "\"a\"\n\"href=x y\"\n\"target=_blank\"\n"},
      {{"split", "a t=\"x\ty\" \"q\\\""}, "", "\"a\"\n\"t=x\\ty\"\n\"q\\\\\"\n"},
      {{"split"}, "td\r\nwidth=5", "\"td\"\n\"width=5\"\n"},
      {{"split"}, "td\nwidth=5\n", "\"tdwidth=5\"\n"},
      {{"split", "-"}, "", "\"-\"\n"},
      {{"split", "--", "--x y"}, "", "\"--x\"\n\"y\"\n"},
      {{"split", "--", "--help"}, "", "\"--help\"\n"},
      {{"split"}, "", "\"\"\n"},
      {{"split", "   "}, "", "\"\"\n"},
  };
  for (const auto& c : cases) {
    const TCliRun r = RunCli(c.args, c.input);
    EXPECT_EQ(r.status, 0) << c.args.back();
    EXPECT_EQ(r.out, c.out) << c.args.back();
    EXPECT_EQ(r.err, "");
  }
}

TEST(HtmlCliTest, BadUsageAndUnreadableFiles) {
  struct TCase {
    std::vector<std::string> args;
    int status;
    std::string err;
  };
  const TCase cases[] = {
      {{"parse", "--bogus"}, 2, "quellion-cli: parse: unknown option '--bogus'\n"},
      {{"parse", "a", "b"}, 2, "quellion-cli: parse: too many arguments (one FILE at most)\n"},
      {{"split", "--bogus"}, 2, "quellion-cli: split: unknown option '--bogus'\n"},
      {{"split", "a", "b"}, 2, "quellion-cli: split: too many arguments (one TEXT at most)\n"},
      {{"parse", "/nonexistent/page.html"},
       1,
       "quellion-cli: cannot read /nonexistent/page.html: No such file or directory\n"},
      {{"parse", "/tmp"}, 1, "quellion-cli: cannot read /tmp: Is a directory\n"},
      {{"extract", "google", "/tmp"}, 1, "quellion-cli: cannot read /tmp: Is a directory\n"},
      {{"parse", "/dev/zero"}, 1, "quellion-cli: cannot read /dev/zero: larger than 64 MiB\n"},
      {{"extract", "google", "/dev/zero"},
       1,
       "quellion-cli: cannot read /dev/zero: larger than 64 MiB\n"},
      {{"split"}, 1, "quellion-cli: cannot read standard input: larger than 64 MiB\n"},
  };
  const std::string endless(64 * 1024 * 1024 + 1, '<');  // standard input of the split row
  for (const auto& c : cases) {
    const TCliRun r = RunCli(c.args, c.args.size() == 1 ? endless : std::string());
    EXPECT_EQ(r.status, c.status) << c.args.back();
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  for (const char* command : {"parse", "split"}) {
    const TCliRun help = RunCli({command, "--help"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out.rfind(std::string("Usage: quellion-cli ") + command, 0), 0u);
  }
}

// The built program reads a file and writes exactly what the in-process command does.
TEST(HtmlCliTest, ProgramParsesAFile) {
  const test::TTempDir folder("html-cli");
  const std::string path = folder.Write("page.html", kPage);
  const std::string command =
      std::string("'") + QUELLION_CLI_PATH + "' parse '" + path + "' 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string out;
  char buffer[4096];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0)
    out.append(buffer, n);
  const int status = pclose(pipe);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_EQ(out, RunCli({"parse"}, kPage).out);
}

}  // namespace
}  // namespace quellion
