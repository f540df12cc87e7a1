#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quellion {

// Stored text stays raw 8-bit; only display and JSON output decode it.
bool IsValidUtf8(const std::string& bytes);
// The bytes themselves when they are valid UTF-8, else their Windows-1252 reading
// converted to UTF-8.
std::string DecodeForDisplay(const std::string& bytes);
// text cut to at most maxBytes. When text is valid UTF-8 the cut falls between two
// characters, so what is kept stays valid UTF-8; other text is cut by bytes (one byte
// per character).
std::string CutText(const std::string& text, size_t maxBytes);
// Appends the code point cp (at most U+10FFFF) to out as UTF-8.
void AppendUtf8(std::string& out, uint32_t cp);
// DecodeForDisplay(bytes) fit for a terminal: C0 controls (but those in `keep`), DEL and
// the C1 controls U+0080..U+009F become U+FFFD, so no page or file can move the cursor,
// ring, or switch the terminal's modes. Bytes 0x80..0x9F of text that is not UTF-8 are
// Windows-1252 characters and stay such (its five unassigned ones are C1 controls).
std::string ShownOnTerminal(const std::string& bytes, std::string_view keep = "\t");

}  // namespace quellion
