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

std::string WikiTitleEncode(std::string_view text) {
  static const char* hex = "0123456789ABCDEF";
  std::string out;
  out.reserve(text.size() + 8);
  for (unsigned char c : text) {
    if (c == ' ') {
      out += '_';
    } else if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') ||
               std::string_view("-._~,()':/").find(static_cast<char>(c)) !=
                   std::string_view::npos) {
      out += static_cast<char>(c);
    } else {
      out += '%';
      out += hex[c >> 4];
      out += hex[c & 0xF];
    }
  }
  return out;
}

std::optional<std::string> Base64UrlDecode(std::string_view text) {
  while (!text.empty() && text.back() == '=')
    text.remove_suffix(1);
  if (text.size() % 4 == 1)
    return std::nullopt;
  std::string out;
  out.reserve(text.size() * 3 / 4);
  uint32_t bits = 0;
  int count = 0;
  for (char c : text) {
    int v;
    if (c >= 'A' && c <= 'Z')
      v = c - 'A';
    else if (c >= 'a' && c <= 'z')
      v = c - 'a' + 26;
    else if (c >= '0' && c <= '9')
      v = c - '0' + 52;
    else if (c == '-' || c == '+')
      v = 62;
    else if (c == '_' || c == '/')
      v = 63;
    else
      return std::nullopt;
    bits = (bits << 6) | static_cast<uint32_t>(v);
    count += 6;
    if (count >= 8) {
      count -= 8;
      out += static_cast<char>((bits >> count) & 0xFF);
    }
  }
  return out;
}

std::string PathSegmentValue(std::string_view address, std::string_view prefix) {
  if (prefix.empty())
    return {};
  size_t start = address.find("://");
  start = start == std::string_view::npos ? 0 : start + 3;
  std::string_view path = address.substr(start);
  path = path.substr(0, path.find_first_of("?#"));
  size_t pos = path.find('/');
  while (pos != std::string_view::npos) {
    const size_t end = path.find('/', pos + 1);
    const std::string_view segment = path.substr(
        pos + 1, end == std::string_view::npos ? std::string_view::npos : end - pos - 1);
    if (segment.substr(0, prefix.size()) == prefix)
      return PercentDecode(segment.substr(prefix.size()));
    pos = end;
  }
  return {};
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
