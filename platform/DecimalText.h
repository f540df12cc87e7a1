#pragma once

#include <cstdint>
#include <string>

namespace quellion {

// Decimal text to a 32-bit integer: leading blanks and a sign allowed, nothing after
// the digits. Anything else raises EException "'<text>' is not a valid integer value".
int32_t DecimalToInt32(const std::string& text);

// A length field such as Content-Length: digits only (blanks around them allowed), at
// most 2^63 - 1. False for anything else (a sign, trailing text, an overflow).
bool ParseDecimalLength(const std::string& text, int64_t& value);

}  // namespace quellion
