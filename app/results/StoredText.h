#pragma once

#include <QString>
#include <string>

namespace quellion {

// Text typed by the user, as the 8-bit bytes a table field stores, at most maxBytes
// long. Windows-1252 when every character has a byte there (one byte per character,
// as the fields were made for); otherwise UTF-8, cut only between characters.
// Either way DecodeForDisplay of the result shows the text typed (or its first part).
std::string EncodeForStorage(const QString& text, size_t maxBytes);

}  // namespace quellion
