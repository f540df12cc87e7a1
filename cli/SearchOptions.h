#pragma once

// Internal to quellion-cli: argument reading shared by url, extract and search.

#include <optional>
#include <string>
#include <vector>

#include "cli/CliCommon.h"
#include "search/Engines.h"

namespace quellion::cli {

// ENGINE as the commands take it (any letter case); EUsageError otherwise.
inline TEngine ParseEngineArgument(const std::string& text) {
  if (auto engine = ParseEngineName(text))
    return *engine;
  throw EUsageError("unknown engine '" + text +
                    "' (altavista, excite, hotbot, alltheweb or google)");
}

// Walks the arguments of one command: options with a value and positional words.
// "--" ends the options; everything after it is positional.
class TArgReader {
 public:
  explicit TArgReader(const std::vector<std::string>& args) : args_(args) {}

  bool Done() const { return pos_ >= args_.size(); }
  // True when the next argument is an option (starts with "--") and options are not
  // over; steps over a "--" that ends them.
  bool AtOption() {
    if (optionsOver_ || Done())
      return false;
    const std::string& a = args_[pos_];
    if (a == "--") {
      optionsOver_ = true;
      ++pos_;
      return false;
    }
    return a.size() > 2 && a.compare(0, 2, "--") == 0;
  }
  const std::string& Next() { return args_[pos_++]; }
  // Collects positional words into words up to the next option and returns that
  // option; std::nullopt once the arguments are used up.
  std::optional<std::string> NextOption(std::vector<std::string>& words) {
    while (!Done()) {
      if (AtOption())
        return Next();
      if (!Done())
        words.push_back(Next());
    }
    return std::nullopt;
  }
  // The value of the option just read; EUsageError when it is missing.
  std::string Value(const std::string& option) {
    if (Done())
      throw EUsageError("missing value for " + option);
    return args_[pos_++];
  }

 private:
  const std::vector<std::string>& args_;
  size_t pos_ = 0;
  bool optionsOver_ = false;
};

}  // namespace quellion::cli
