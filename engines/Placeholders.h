#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace quellion {

// Appends the value of the placeholder name to out and returns true, or returns
// false to keep the placeholder as written.
using TPlaceholderValue = std::function<bool(std::string_view name, std::string& out)>;

// pattern with each "{name}" filled by value, from left to right; a '{' without a
// '}' after it, and the text after it, stay as they are.
std::string ExpandPlaceholders(std::string_view pattern, const TPlaceholderValue& value);

}  // namespace quellion
