#pragma once

#include <string>

namespace quellion {

// The parts of a URL as ParseUrl splits them (all empty for an empty input).
struct TUrlParts {
  std::string Proto, User, Pass, Host, Port, Path;
  bool operator==(const TUrlParts&) const = default;
};

// Splits scheme, user information, host, port and path the way the HTTP client
// reads its URL and "location" values: tolerant, never fails, every part a piece of
// the input.
TUrlParts ParseUrl(const std::string& url);

}  // namespace quellion
