#include "platform/TextUtil.h"

#include <algorithm>

namespace quellion {

std::string ToLowerAscii(std::string_view text) {
  std::string out;
  ToLowerAsciiInto(text, out);
  return out;
}

std::string ToUpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out)
    c = ToUpperAscii(c);
  return out;
}

void ToLowerAsciiInto(std::string_view text, std::string& out) {
  out.assign(text.data(), text.size());
  for (char& c : out)
    c = ToLowerAscii(c);
}

bool SameTextAscii(std::string_view a, std::string_view b) {
  if (a.size() != b.size())
    return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (ToLowerAscii(a[i]) != ToLowerAscii(b[i]))
      return false;
  }
  return true;
}

bool StartsWithTextAscii(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() && SameTextAscii(text.substr(0, prefix.size()), prefix);
}

bool LessTextAscii(std::string_view a, std::string_view b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return ToLowerAscii(x) < ToLowerAscii(y);
  });
}

std::string_view TrimSpaceAscii(std::string_view text) {
  while (!text.empty() && IsSpaceAscii(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsSpaceAscii(text.back()))
    text.remove_suffix(1);
  return text;
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && IsBlankChar(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlankChar(text.back()))
    text.remove_suffix(1);
  return text;
}

bool IsBlankText(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsBlankChar);
}

}  // namespace quellion
