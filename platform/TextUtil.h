#pragma once

// Small helpers for 8-bit text. Letter case means the ASCII letters A to Z only; every
// other byte, those above 127 included, is left as it is and compared exactly.

#include <string>
#include <string_view>

namespace quellion {

constexpr char ToLowerAscii(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
constexpr char ToUpperAscii(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}

std::string ToLowerAscii(std::string_view text);
std::string ToUpperAscii(std::string_view text);
// Replaces out's contents by text lower-cased, reusing out's buffer (hot loops).
void ToLowerAsciiInto(std::string_view text, std::string& out);

// Equality ignoring the case of the ASCII letters.
bool SameTextAscii(std::string_view a, std::string_view b);
// True when text begins with prefix, ignoring the case of the ASCII letters.
bool StartsWithTextAscii(std::string_view text, std::string_view prefix);
// Byte-wise ordering with the ASCII letters compared as lower case (sorting names).
bool LessTextAscii(std::string_view a, std::string_view b);

// The value of a hexadecimal digit (either letter case), or -1 for any other byte.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
}

// Blanks in the sense of the classic Trim: every byte from 0 to 32 (controls and space).
constexpr bool IsBlankChar(char c) {
  return static_cast<unsigned char>(c) <= 32;
}
// text without its leading and trailing blanks. The view points into text.
std::string_view TrimBlanks(std::string_view text);

// ASCII white space: space, tab, line feed, vertical tab, form feed, carriage return.
constexpr bool IsSpaceAscii(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}
// text without its leading and trailing ASCII white space. The view points into text.
std::string_view TrimSpaceAscii(std::string_view text);
// True when text is empty or holds blanks only.
bool IsBlankText(std::string_view text);

}  // namespace quellion
