#include "settings/RegistryText.h"

#include <cstdio>

#include "platform/TextUtil.h"

// The file is 8-bit: its structure is ASCII and every text value's bytes are written raw
// between the quotes (only \ and " are escaped), so what the program stored is what it reads
// back, whatever the bytes' encoding. Text holding NUL, CR or LF cannot live on one quoted
// line and is written as hex(1): with the same raw bytes. Lines end with LF; CR LF is read too.

namespace quellion {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";
constexpr std::size_t kMaxProblems = 20;
constexpr std::size_t kHexLineWidth = 78;

bool HasLineBreakOrNul(const std::string& s) {
  return s.find_first_of(std::string("\0\r\n", 3)) != std::string::npos;
}

bool IsBlank(char c) {
  return c == ' ' || c == '\t';
}

std::string TrimRight(const std::string& s) {
  std::size_t end = s.size();
  while (end > 0 && (IsBlank(s[end - 1]) || s[end - 1] == '\r'))
    --end;
  return s.substr(0, end);
}

std::string TrimLeft(const std::string& s) {
  std::size_t begin = 0;
  while (begin < s.size() && IsBlank(s[begin]))
    ++begin;
  return s.substr(begin);
}

class TParser {
 public:
  TParser(const std::string& text, TRegistryKey& root) : text_(text), root_(root) {}

  TRegParseReport Run() {
    SplitLines();
    bool headerSeen = false;
    for (next_ = 0; next_ < lines_.size();) {
      std::size_t number = next_ + 1;
      std::string line = TrimRight(lines_[next_++]);
      if (!headerSeen) {
        if (TrimLeft(line).empty())
          continue;
        headerSeen = true;
        if (line == kHeader || line == kHeader4)
          continue;
        Problem(number, "not a registry file header");
      }
      ParseLine(number, line);
    }
    if (!headerSeen && !text_.empty())
      Problem(1, "no registry file header");
    return std::move(report_);
  }

 private:
  void SplitLines() {
    std::size_t start = 0;
    while (start < text_.size()) {
      std::size_t end = text_.find('\n', start);
      if (end == std::string::npos) {
        // A hand-edited file often lacks its final line feed. The last line is read like
        // any other: cut short inside a value, it does not parse and counts as damage.
        end = text_.size();
      }
      lines_.push_back(text_.substr(start, end - start));
      start = end + 1;
    }
  }

  void Problem(std::size_t line, const std::string& what) {
    report_.Damaged = true;
    if (report_.Problems.size() < kMaxProblems) {
      report_.Problems.push_back("line " + std::to_string(line) + ": " + what);
    }
  }

  void ParseLine(std::size_t number, const std::string& raw) {
    std::string line = TrimLeft(raw);
    if (line.empty() || line[0] == ';')
      return;
    if (line[0] == '[') {
      ParseSection(number, line);
      return;
    }
    if (line[0] == '"' || line[0] == '@') {
      ParseValue(number, line);
      return;
    }
    Problem(number, "unreadable line");
  }

  void ParseSection(std::size_t number, const std::string& line) {
    current_ = nullptr;
    sectionSeen_ = true;
    if (line.size() < 2 || line.back() != ']') {
      Problem(number, "unreadable key line");
      return;
    }
    std::string path = line.substr(1, line.size() - 2);
    if (!path.empty() && path[0] == '-')
      return;  // a deletion entry: nothing to hold
    std::size_t slash = path.find('\\');
    std::string root = ToLowerAscii(path.substr(0, slash));
    if (root != ToLowerAscii(kCurrentUserRootName) && root != "hkcu")
      return;  // another root: not kept here
    std::string rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    current_ = root_.OpenKey(rest, true);
    if (!current_)
      Problem(number, "unreadable or too deep key path");
  }

  // Reads a quoted string starting at line[pos] == '"'; pos ends after the closing quote.
  static bool ReadQuoted(const std::string& line, std::size_t& pos, std::string& out) {
    ++pos;
    out.clear();
    while (pos < line.size()) {
      char c = line[pos++];
      if (c == '"')
        return true;
      if (c == '\\') {
        if (pos >= line.size())
          return false;
        c = line[pos++];
      }
      out.push_back(c);
    }
    return false;
  }

  void ParseValue(std::size_t number, const std::string& line) {
    std::size_t pos = 0;
    std::string name;
    if (line[0] == '@') {
      pos = 1;
    } else if (!ReadQuoted(line, pos, name)) {
      Problem(number, "unreadable value name");
      return;
    }
    while (pos < line.size() && IsBlank(line[pos]))
      ++pos;
    if (pos >= line.size() || line[pos] != '=') {
      Problem(number, "value line without '='");
      return;
    }
    ++pos;
    while (pos < line.size() && IsBlank(line[pos]))
      ++pos;
    std::string data = line.substr(pos);

    TRegValue value;
    if (!data.empty() && data[0] == '"') {
      std::size_t p = 0;
      std::string text;
      if (!ReadQuoted(data, p, text) || !TrimLeft(data.substr(p)).empty()) {
        Problem(number, "unreadable text value");
        return;
      }
      value = TRegValue{REG_SZ, std::move(text)};
    } else if (data == "-") {
      return;  // a deletion entry
    } else if (data.compare(0, 6, "dword:") == 0) {
      std::string digits = data.substr(6);
      std::uint32_t v = 0;
      bool ok = digits.size() == 8;
      for (char c : digits) {
        int d = HexDigitValue(c);
        if (d < 0)
          ok = false;
        v = (v << 4) | static_cast<std::uint32_t>(d < 0 ? 0 : d);
      }
      if (!ok) {
        Problem(number, "unreadable dword value");
        return;
      }
      value = TRegValue{REG_DWORD, DwordBytes(v)};
    } else if (data.compare(0, 3, "hex") == 0) {
      if (!ParseHex(number, data, value))
        return;
    } else {
      Problem(number, "unreadable value");
      return;
    }
    if (!current_) {
      // Values of skipped sections (other roots, deletions) are dropped quietly; values
      // before any key line are a fault.
      if (!sectionSeen_)
        Problem(number, "value outside any key");
      return;
    }
    if (HasLineBreakOrNul(name)) {
      Problem(number, "unreadable value name");
      return;
    }
    current_->WriteValue(name, std::move(value));
  }

  // hex:xx,xx,...  or  hex(N):xx,...  with "\" continuing the list on the next line.
  bool ParseHex(std::size_t number, const std::string& first, TRegValue& value) {
    std::size_t pos = 3;
    std::uint32_t type = REG_BINARY;
    if (pos < first.size() && first[pos] == '(') {
      std::size_t close = first.find(')', pos);
      if (close == std::string::npos || close == pos + 1 || close - pos - 1 > 8) {
        Problem(number, "unreadable value type");
        return false;
      }
      type = 0;
      for (std::size_t i = pos + 1; i < close; ++i) {
        int d = HexDigitValue(first[i]);
        if (d < 0) {
          Problem(number, "unreadable value type");
          return false;
        }
        type = (type << 4) | static_cast<std::uint32_t>(d);
      }
      pos = close + 1;
    }
    if (pos >= first.size() || first[pos] != ':') {
      Problem(number, "unreadable hex value");
      return false;
    }
    std::string list = first.substr(pos + 1);
    // Join continuation lines.
    while (!list.empty() && list.back() == '\\') {
      list.pop_back();
      if (next_ >= lines_.size()) {
        Problem(number, "hex value cut short");
        return false;
      }
      list += TrimLeft(TrimRight(lines_[next_++]));
    }
    std::string bytes;
    if (!TrimLeft(list).empty()) {
      std::size_t begin = 0;
      while (true) {
        std::size_t comma = list.find(',', begin);
        std::string token = TrimLeft(TrimRight(
            list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin)));
        int hi = token.size() == 2 ? HexDigitValue(token[0]) : -1;
        int lo = token.size() == 2 ? HexDigitValue(token[1]) : -1;
        if (hi < 0 || lo < 0) {
          Problem(number, "unreadable hex byte");
          return false;
        }
        bytes.push_back(static_cast<char>(hi * 16 + lo));
        if (comma == std::string::npos)
          break;
        begin = comma + 1;
      }
    }
    value = TRegValue{type, std::move(bytes)};
    return true;
  }

  const std::string& text_;
  TRegistryKey& root_;
  std::vector<std::string> lines_;
  std::size_t next_ = 0;
  TRegistryKey* current_ = nullptr;
  bool sectionSeen_ = false;
  TRegParseReport report_;
};

std::string QuoteText(const std::string& s) {
  std::string out = "\"";
  for (char c : s) {
    if (c == '\\' || c == '"')
      out.push_back('\\');
    out.push_back(c);
  }
  out.push_back('"');
  return out;
}

void AppendHex(std::string& out, std::size_t lineLength, const std::string& bytes) {
  static const char* digits = "0123456789abcdef";
  for (std::size_t i = 0; i < bytes.size(); ++i) {
    bool last = i + 1 == bytes.size();
    if (lineLength + (last ? 2 : 3) > kHexLineWidth) {
      out += "\\\n  ";
      lineLength = 2;
    }
    unsigned char b = static_cast<unsigned char>(bytes[i]);
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 15]);
    if (!last)
      out.push_back(',');
    lineLength += last ? 2 : 3;
  }
}

void AppendValue(std::string& out, const std::string& name, const TRegValue& value) {
  std::size_t lineStart = out.size();
  out += name.empty() ? std::string("@") : QuoteText(name);
  out.push_back('=');
  if (value.Type == REG_SZ && !HasLineBreakOrNul(value.Data)) {
    out += QuoteText(value.Data);
  } else if (value.Type == REG_DWORD && value.Data.size() == 4) {
    static const char* digits = "0123456789abcdef";
    out += "dword:";
    for (int i = 3; i >= 0; --i) {
      unsigned char b = static_cast<unsigned char>(value.Data[i]);
      out.push_back(digits[b >> 4]);
      out.push_back(digits[b & 15]);
    }
  } else {
    if (value.Type == REG_BINARY) {
      out += "hex:";
    } else {
      char type[16];
      std::snprintf(type, sizeof type, "hex(%x):", static_cast<unsigned>(value.Type));
      out += type;
    }
    AppendHex(out, out.size() - lineStart, value.Data);
  }
  out.push_back('\n');
}

void AppendKey(std::string& out, const std::string& path, const TRegistryKey& key, bool isRoot) {
  if (!isRoot || !key.ValueNames().empty()) {
    out += "\n[" + path + "]\n";
    // The default value first, as the registry editor lists it.
    if (const TRegValue* def = key.FindValue(""))
      AppendValue(out, "", *def);
    for (const std::string& name : key.ValueNames()) {
      if (!name.empty())
        AppendValue(out, name, *key.FindValue(name));
    }
  }
  for (const std::string& sub : key.SubKeyNames()) {
    AppendKey(out, path + "\\" + sub, *key.SubKey(sub), false);
  }
}

}  // namespace

TRegParseReport ParseRegistryText(const std::string& text, TRegistryKey& root) {
  std::string body = text;
  if (body.compare(0, 3, "\xEF\xBB\xBF") == 0)
    body.erase(0, 3);
  return TParser(body, root).Run();
}

std::string FormatRegistryText(const TRegistryKey& root) {
  // Key depth is bounded by kMaxKeyDepth, so the recursion in AppendKey is too.
  std::string out = kHeader;
  out += "\n";
  AppendKey(out, kCurrentUserRootName, root, true);
  return out;
}

}  // namespace quellion
