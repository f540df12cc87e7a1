#pragma once

#include <string>
#include <vector>

namespace quellion::test {

// What one in-process run of quellion-cli gave.
struct TCliRun {
  int status;
  std::string out, err;
};

// Runs quellion-cli's command line args (without the program name) in this process,
// with input as its standard input, and captures both output streams.
TCliRun RunCli(const std::vector<std::string>& args, const std::string& input = "");

// An output's lines, without their line ends.
std::vector<std::string> Lines(const std::string& text);

}  // namespace quellion::test
