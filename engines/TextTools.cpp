#include "engines/TextTools.h"

#include <cstdint>
#include <cstring>

#include "platform/TextEncoding.h"
#include "platform/TextUtil.h"

namespace quellion {
namespace {

// Decodes the character reference at text[pos] ('&'); returns its length, 0 when
// it is not one this reads.
size_t DecodeReference(std::string_view text, size_t pos, std::string& out) {
  const size_t semi = text.find(';', pos);
  if (semi == std::string_view::npos || semi - pos > 12)
    return 0;
  const std::string_view body = text.substr(pos + 1, semi - pos - 1);
  if (body.size() >= 2 && body[0] == '#') {
    uint32_t cp = 0;
    const bool hex = body[1] == 'x' || body[1] == 'X';
    const std::string_view digits = body.substr(hex ? 2 : 1);
    if (digits.empty())
      return 0;
    for (char c : digits) {
      const int v = hex ? HexDigitValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
      if (v < 0)
        return 0;
      cp = cp * (hex ? 16 : 10) + static_cast<uint32_t>(v);
      if (cp > 0x10FFFF)
        return 0;
    }
    if (cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF))
      return 0;
    AppendUtf8(out, cp);
    return semi - pos + 1;
  }
  static const struct {
    const char* name;
    uint32_t cp;
  } kNamed[] = {{"amp", '&'},       {"lt", '<'},       {"gt", '>'},
                {"quot", '"'},      {"apos", '\''},    {"nbsp", 0xA0},
                {"hellip", 0x2026}, {"mdash", 0x2014}, {"ndash", 0x2013}};
  for (const auto& entity : kNamed) {
    if (body == entity.name) {
      AppendUtf8(out, entity.cp);
      return semi - pos + 1;
    }
  }
  return 0;
}

bool StartsTag(std::string_view text, size_t pos) {
  if (pos + 1 >= text.size())
    return false;
  const char c = text[pos + 1];
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '/' || c == '!' || c == '?';
}

// Inline markup (<span class=searchmatch>, <b>) must not split a word; line and
// block tags stand between words.
bool SeparatesWords(std::string_view tag) {
  if (!tag.empty() && tag[0] == '/')
    tag.remove_prefix(1);
  size_t len = 0;
  while (len < tag.size() &&
         ((tag[len] >= 'a' && tag[len] <= 'z') || (tag[len] >= 'A' && tag[len] <= 'Z') ||
          (tag[len] >= '0' && tag[len] <= '9')))
    ++len;
  const std::string name = ToLowerAscii(tag.substr(0, len));
  static const char* const kBlocks[] = {"br", "p", "div", "li", "tr", "td", "h1", "h2", "h3", "hr"};
  for (const char* block : kBlocks)
    if (name == block)
      return true;
  return false;
}

}  // namespace

std::string CollapseWhiteSpace(std::string_view text) {
  TCollapsedText collapsed;
  collapsed.Append(text);
  return collapsed.Take();
}

void TCollapsedText::Append(std::string_view piece) {
  size_t pos = 0;
  while (pos < piece.size()) {
    if (IsSpaceAscii(piece[pos])) {
      pendingSpace_ = !text_.empty();
      ++pos;
      continue;
    }
    size_t end = pos + 1;
    while (end < piece.size() && !IsSpaceAscii(piece[end]))
      ++end;
    if (pendingSpace_)
      text_ += ' ';
    pendingSpace_ = false;
    text_.append(piece.substr(pos, end - pos));
    pos = end;
  }
}

std::string TCollapsedText::Take() {
  std::string text = std::move(text_);
  text_.clear();
  pendingSpace_ = false;
  return text;
}

std::string PlainText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  size_t pos = 0;
  while (pos < text.size()) {
    const char c = text[pos];
    if (c == '<' && StartsTag(text, pos)) {
      const size_t close = text.find('>', pos);
      if (close == std::string_view::npos)
        break;  // a tag cut off at the end
      if (SeparatesWords(text.substr(pos + 1, close - pos - 1)))
        out += ' ';
      pos = close + 1;
      continue;
    }
    if (c == '&') {
      const size_t used = DecodeReference(text, pos, out);
      if (used > 0) {
        pos += used;
        continue;
      }
    }
    out += c;
    ++pos;
  }
  return CollapseWhiteSpace(out);
}

std::string PercentDecode(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 2 < text.size() && HexDigitValue(text[i + 1]) >= 0 &&
        HexDigitValue(text[i + 2]) >= 0) {
      out += static_cast<char>(HexDigitValue(text[i + 1]) * 16 + HexDigitValue(text[i + 2]));
      i += 2;
    } else {
      out += text[i];
    }
  }
  return out;
}

std::string PercentEncode(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  for (unsigned char c : text) {
    if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
        c == '.' || c == '_' || c == '~') {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::string QueryParameter(std::string_view address, std::string_view name) {
  const size_t q = address.find('?');
  if (q == std::string_view::npos || name.empty())
    return {};
  std::string_view query = address.substr(q + 1);
  query = query.substr(0, query.find('#'));
  size_t pos = 0;
  while (pos <= query.size()) {
    size_t end = query.find('&', pos);
    if (end == std::string_view::npos)
      end = query.size();
    const std::string_view pair = query.substr(pos, end - pos);
    if (pair.size() > name.size() && pair.substr(0, name.size()) == name &&
        pair[name.size()] == '=')
      return PercentDecode(pair.substr(name.size() + 1));
    pos = end + 1;
  }
  return {};
}

}  // namespace quellion
