// Splits arbitrary bytes as a start tag's text. Tokens only ever lose characters
// (quotes, blanks, line feeds and the outer brackets), never gain them.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "html/TagSplitter.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> attributes;
  std::string name;
  quellion::SplitTag(text, attributes, name);
  size_t total = name.size();
  for (const auto& attribute : attributes) {
    if (attribute.empty())
      std::abort();
    total += attribute.size();
  }
  if (total > size)
    std::abort();
  if (name.empty() && !attributes.empty())
    std::abort();
  return 0;
}
