#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace quellion {

// Cuts the text of one start tag (what stands between "<" and ">") into tokens: the
// first becomes name, every later one is appended to attributes (not emptied first).
// Space, tab and carriage return end a token outside quotes; a line feed outside
// quotes is dropped and the text on both sides joins into one token. Quotes group
// and vanish; "=" swallows the blanks after it. No lower-casing, no entity decoding:
// an attribute is one string such as "href=index.html". name is set to "" when the
// text holds no token. Uses no shared state.
void SplitTag(std::string_view text, std::vector<std::string>& attributes, std::string& name);

}  // namespace quellion
