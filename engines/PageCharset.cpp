#include "engines/PageCharset.h"

#include <cctype>

#include "platform/TextUtil.h"

namespace quellion {
namespace {

// The value after "charset=" in text (from pos on), without quotes.
std::string CharsetAfter(const std::string& text, size_t pos) {
  pos += 8;  // "charset="
  while (pos < text.size() && (text[pos] == ' ' || text[pos] == '"' || text[pos] == '\''))
    ++pos;
  size_t end = pos;
  while (end < text.size() &&
         (std::isalnum(static_cast<unsigned char>(text[end])) || text[end] == '-' ||
          text[end] == '_' || text[end] == '.' || text[end] == ':'))
    ++end;
  return text.substr(pos, end - pos);
}

}  // namespace

std::string CharsetOfContentType(const std::string& contentType) {
  const std::string lower = ToLowerAscii(contentType);
  const size_t pos = lower.find("charset=");
  return pos == std::string::npos ? std::string() : CharsetAfter(contentType, pos);
}

std::string CharsetOfMeta(const std::string& page) {
  const std::string head = ToLowerAscii(std::string_view(page).substr(0, 4096));
  size_t meta = 0;
  while ((meta = head.find("<meta", meta)) != std::string::npos) {
    const size_t end = head.find('>', meta);
    const std::string tag = head.substr(meta, end == std::string::npos ? end : end - meta);
    const size_t pos = tag.find("charset=");
    if (pos != std::string::npos)
      return CharsetAfter(page.substr(meta, tag.size()), pos);
    meta += 5;
  }
  return {};
}

}  // namespace quellion
