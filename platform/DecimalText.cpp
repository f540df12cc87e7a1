#include "platform/DecimalText.h"

#include "platform/Exception.h"

namespace quellion {

int32_t DecimalToInt32(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-'))
    negative = text[i++] == '-';
  if (i >= text.size())
    throw EException("'" + text + "' is not a valid integer value");
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9' || value > INT32_MAX)
      throw EException("'" + text + "' is not a valid integer value");
    value = value * 10 + (text[i] - '0');
  }
  if (negative)
    value = -value;
  if (value > INT32_MAX || value < INT32_MIN)
    throw EException("'" + text + "' is not a valid integer value");
  return static_cast<int32_t>(value);
}

bool ParseDecimalLength(const std::string& text, int64_t& value) {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t'))
    ++i;
  size_t end = text.size();
  while (end > i && (text[end - 1] == ' ' || text[end - 1] == '\t'))
    --end;
  if (i == end)
    return false;
  uint64_t v = 0;
  for (; i < end; ++i) {
    if (text[i] < '0' || text[i] > '9')
      return false;
    const auto digit = static_cast<uint64_t>(text[i] - '0');
    if (v > (static_cast<uint64_t>(INT64_MAX) - digit) / 10)
      return false;
    v = v * 10 + digit;
  }
  value = static_cast<int64_t>(v);
  return true;
}

}  // namespace quellion
