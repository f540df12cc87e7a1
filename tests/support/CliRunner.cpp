#include "tests/support/CliRunner.h"

#include <sstream>

#include "cli/CliCommon.h"

namespace quellion::test {

TCliRun RunCli(const std::vector<std::string>& args, const std::string& input) {
  std::istringstream in(input);
  std::ostringstream out, err;
  const int status = cli::RunCli(args, in, out, err);
  return {status, out.str(), err.str()};
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);)
    lines.push_back(line);
  return lines;
}

}  // namespace quellion::test
