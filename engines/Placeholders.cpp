#include "engines/Placeholders.h"

namespace quellion {

std::string ExpandPlaceholders(std::string_view pattern, const TPlaceholderValue& value) {
  std::string out;
  out.reserve(pattern.size() + 16);
  size_t pos = 0;
  while (pos < pattern.size()) {
    const size_t open = pattern.find('{', pos);
    const size_t close = open == std::string_view::npos ? open : pattern.find('}', open);
    if (close == std::string_view::npos) {
      out.append(pattern.substr(pos));
      break;
    }
    out.append(pattern.substr(pos, open - pos));
    if (!value(pattern.substr(open + 1, close - open - 1), out))
      out.append(pattern.substr(open, close - open + 1));
    pos = close + 1;
  }
  return out;
}

}  // namespace quellion
