#include "settings/Registry.h"

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/Exception.h"

// The file is 8-bit: its structure is ASCII and every text value's bytes are written raw
// between the quotes (only \ and " are escaped), so what the program stored is what it reads
// back, whatever the bytes' encoding. Text holding NUL, CR or LF cannot live on one quoted
// line and is written as hex(1): with the same raw bytes. Lines end with LF; CR LF is read too.

namespace quellion {

namespace {

constexpr const char* kHeader = "Windows Registry Editor Version 5.00";
constexpr const char* kHeader4 = "REGEDIT4";
constexpr const char* kRootName = "HKEY_CURRENT_USER";
// Larger files are not ours: only this much is read.
constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
constexpr std::size_t kMaxProblems = 20;
// Temporary files left by a writer that was killed are removed after this long.
constexpr std::time_t kStaleTempSeconds = 600;
constexpr std::size_t kHexLineWidth = 78;

std::string Fold(const std::string& name) {
  std::string folded = name;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z')
      c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

bool HasLineBreakOrNul(const std::string& s) {
  return s.find_first_of(std::string("\0\r\n", 3)) != std::string::npos;
}

std::vector<std::string> SplitPath(const std::string& path) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    std::size_t end = path.find('\\', start);
    if (end == std::string::npos)
      end = path.size();
    if (end > start)
      parts.push_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string DwordBytes(std::uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return bytes;
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9')
    return c - '0';
  if (c >= 'a' && c <= 'f')
    return c - 'a' + 10;
  if (c >= 'A' && c <= 'F')
    return c - 'A' + 10;
  return -1;
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

std::string ErrnoText(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

}  // namespace

// ---------------------------------------------------------------------------------------
// TRegistryKey

TRegistryKey::TRegistryKey(std::string name) : Name_(std::move(name)) {}

TRegistryKey::~TRegistryKey() = default;

bool TRegistryKey::ValueExists(const std::string& name) const {
  return FindValue(name);
}

const TRegValue* TRegistryKey::FindValue(const std::string& name) const {
  auto it = ValueIndex_.find(Fold(name));
  return it == ValueIndex_.end() ? nullptr : &Values_[it->second].second;
}

std::vector<std::string> TRegistryKey::ValueNames() const {
  std::vector<std::string> names;
  names.reserve(Values_.size());
  for (const auto& [name, value] : Values_)
    names.push_back(name);
  return names;
}

TRegReadStatus TRegistryKey::ReadDword(const std::string& name, std::uint32_t& value) const {
  const TRegValue* v = FindValue(name);
  if (!v)
    return TRegReadStatus::rsMissing;
  if (v->Type != REG_DWORD || v->Data.size() != 4)
    return TRegReadStatus::rsWrongType;
  std::uint32_t result = 0;
  for (int i = 3; i >= 0; --i)
    result = (result << 8) | static_cast<unsigned char>(v->Data[i]);
  value = result;
  return TRegReadStatus::rsOk;
}

TRegReadStatus TRegistryKey::ReadInteger(const std::string& name, std::int32_t& value) const {
  std::uint32_t raw = 0;
  TRegReadStatus status = ReadDword(name, raw);
  if (status == TRegReadStatus::rsOk)
    value = static_cast<std::int32_t>(raw);
  return status;
}

TRegReadStatus TRegistryKey::ReadBool(const std::string& name, bool& value) const {
  std::uint32_t raw = 0;
  TRegReadStatus status = ReadDword(name, raw);
  if (status == TRegReadStatus::rsOk)
    value = raw != 0;
  return status;
}

TRegReadStatus TRegistryKey::ReadString(const std::string& name, std::string& value) const {
  const TRegValue* v = FindValue(name);
  if (!v)
    return TRegReadStatus::rsMissing;
  if (v->Type != REG_SZ && v->Type != REG_EXPAND_SZ)
    return TRegReadStatus::rsWrongType;
  value = v->Data.substr(0, v->Data.find('\0'));
  return TRegReadStatus::rsOk;
}

TRegReadStatus TRegistryKey::ReadBinary(const std::string& name, std::string& bytes) const {
  const TRegValue* v = FindValue(name);
  if (!v)
    return TRegReadStatus::rsMissing;
  if (v->Type != REG_BINARY && v->Type != REG_NONE)
    return TRegReadStatus::rsWrongType;
  bytes = v->Data;
  return TRegReadStatus::rsOk;
}

void TRegistryKey::WriteValue(const std::string& name, TRegValue value) {
  if (HasLineBreakOrNul(name))
    throw EException("Invalid registry value name");
  std::string folded = Fold(name);
  auto it = ValueIndex_.find(folded);
  if (it != ValueIndex_.end()) {
    Values_[it->second].second = std::move(value);
    return;
  }
  ValueIndex_.emplace(std::move(folded), Values_.size());
  Values_.emplace_back(name, std::move(value));
}

void TRegistryKey::WriteDword(const std::string& name, std::uint32_t value) {
  WriteValue(name, TRegValue{REG_DWORD, DwordBytes(value)});
}

void TRegistryKey::WriteInteger(const std::string& name, std::int32_t value) {
  WriteDword(name, static_cast<std::uint32_t>(value));
}

void TRegistryKey::WriteBool(const std::string& name, bool value) {
  WriteDword(name, value);
}

void TRegistryKey::WriteString(const std::string& name, const std::string& text) {
  WriteValue(name, TRegValue{REG_SZ, text});
}

void TRegistryKey::WriteBinary(const std::string& name, const std::string& bytes) {
  WriteValue(name, TRegValue{REG_BINARY, bytes});
}

bool TRegistryKey::DeleteValue(const std::string& name) {
  auto it = ValueIndex_.find(Fold(name));
  if (it == ValueIndex_.end())
    return false;
  std::size_t pos = it->second;
  ValueIndex_.erase(it);
  Values_.erase(Values_.begin() + static_cast<std::ptrdiff_t>(pos));
  for (auto& [folded, index] : ValueIndex_) {
    if (index > pos)
      --index;
  }
  return true;
}

TRegistryKey* TRegistryKey::SubKey(const std::string& name) {
  auto it = SubKeyIndex_.find(Fold(name));
  return it == SubKeyIndex_.end() ? nullptr : SubKeys_[it->second].get();
}

const TRegistryKey* TRegistryKey::SubKey(const std::string& name) const {
  return const_cast<TRegistryKey*>(this)->SubKey(name);
}

std::vector<std::string> TRegistryKey::SubKeyNames() const {
  std::vector<std::string> names;
  names.reserve(SubKeys_.size());
  for (const auto& key : SubKeys_)
    names.push_back(key->Name_);
  return names;
}

TRegistryKey* TRegistryKey::OpenKey(const std::string& path, bool create) {
  std::vector<std::string> parts = SplitPath(path);
  if (Depth_ + static_cast<int>(parts.size()) > kMaxKeyDepth)
    return nullptr;
  TRegistryKey* key = this;
  for (const std::string& part : parts) {
    if (HasLineBreakOrNul(part))
      return nullptr;
    TRegistryKey* next = key->SubKey(part);
    if (!next) {
      if (!create)
        return nullptr;
      auto child = std::make_unique<TRegistryKey>(part);
      child->Depth_ = key->Depth_ + 1;
      next = child.get();
      key->SubKeyIndex_.emplace(Fold(part), key->SubKeys_.size());
      key->SubKeys_.push_back(std::move(child));
    }
    key = next;
  }
  return key;
}

const TRegistryKey* TRegistryKey::FindKey(const std::string& path) const {
  return const_cast<TRegistryKey*>(this)->OpenKey(path, false);
}

bool TRegistryKey::DeleteKey(const std::string& path) {
  std::vector<std::string> parts = SplitPath(path);
  if (parts.empty())
    return false;
  std::string last = parts.back();
  parts.pop_back();
  TRegistryKey* parent = this;
  for (const std::string& part : parts) {
    parent = parent->SubKey(part);
    if (!parent)
      return false;
  }
  auto it = parent->SubKeyIndex_.find(Fold(last));
  if (it == parent->SubKeyIndex_.end())
    return false;
  std::size_t pos = it->second;
  parent->SubKeyIndex_.erase(it);
  parent->SubKeys_.erase(parent->SubKeys_.begin() + static_cast<std::ptrdiff_t>(pos));
  for (auto& [folded, index] : parent->SubKeyIndex_) {
    if (index > pos)
      --index;
  }
  return true;
}

// ---------------------------------------------------------------------------------------
// Reading and writing the export format

namespace {

class TParser {
 public:
  TParser(const std::string& text, TRegistryKey& root) : Text_(text), Root_(root) {}

  TRegParseReport Run() {
    SplitLines();
    bool headerSeen = false;
    for (Next_ = 0; Next_ < Lines_.size();) {
      std::size_t number = Next_ + 1;
      std::string line = TrimRight(Lines_[Next_++]);
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
    if (!headerSeen && !Text_.empty())
      Problem(1, "no registry file header");
    return std::move(Report_);
  }

 private:
  void SplitLines() {
    std::size_t start = 0;
    while (start < Text_.size()) {
      std::size_t end = Text_.find('\n', start);
      if (end == std::string::npos) {
        // A hand-edited file often lacks its final line feed. The last line is read like
        // any other: cut short inside a value, it does not parse and counts as damage.
        end = Text_.size();
      }
      Lines_.push_back(Text_.substr(start, end - start));
      start = end + 1;
    }
  }

  void Problem(std::size_t line, const std::string& what) {
    Report_.Damaged = true;
    if (Report_.Problems.size() < kMaxProblems) {
      Report_.Problems.push_back("line " + std::to_string(line) + ": " + what);
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
    Current_ = nullptr;
    SectionSeen_ = true;
    if (line.size() < 2 || line.back() != ']') {
      Problem(number, "unreadable key line");
      return;
    }
    std::string path = line.substr(1, line.size() - 2);
    if (!path.empty() && path[0] == '-')
      return;  // a deletion entry: nothing to hold
    std::size_t slash = path.find('\\');
    std::string root = Fold(path.substr(0, slash));
    if (root != Fold(kRootName) && root != "hkcu")
      return;  // another root: not kept here
    std::string rest = slash == std::string::npos ? std::string() : path.substr(slash + 1);
    Current_ = Root_.OpenKey(rest, true);
    if (!Current_)
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
        int d = HexDigit(c);
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
    if (!Current_) {
      // Values of skipped sections (other roots, deletions) are dropped quietly; values
      // before any key line are a fault.
      if (!SectionSeen_)
        Problem(number, "value outside any key");
      return;
    }
    if (HasLineBreakOrNul(name)) {
      Problem(number, "unreadable value name");
      return;
    }
    Current_->WriteValue(name, std::move(value));
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
        int d = HexDigit(first[i]);
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
      if (Next_ >= Lines_.size()) {
        Problem(number, "hex value cut short");
        return false;
      }
      list += TrimLeft(TrimRight(Lines_[Next_++]));
    }
    std::string bytes;
    if (!TrimLeft(list).empty()) {
      std::size_t begin = 0;
      while (true) {
        std::size_t comma = list.find(',', begin);
        std::string token = TrimLeft(TrimRight(
            list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin)));
        int hi = token.size() == 2 ? HexDigit(token[0]) : -1;
        int lo = token.size() == 2 ? HexDigit(token[1]) : -1;
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

  const std::string& Text_;
  TRegistryKey& Root_;
  std::vector<std::string> Lines_;
  std::size_t Next_ = 0;
  TRegistryKey* Current_ = nullptr;
  bool SectionSeen_ = false;
  TRegParseReport Report_;
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
  AppendKey(out, kRootName, root, true);
  return out;
}

// ---------------------------------------------------------------------------------------
// TRegistry

namespace {

bool WriteAll(int fd, const std::string& bytes) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0) {
      if (errno == EINTR)
        continue;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

bool EnsureFolder(const std::string& folder, std::string& error) {
  std::error_code ec;
  std::filesystem::path path(folder);
  if (path.has_parent_path())
    std::filesystem::create_directories(path.parent_path(), ec);
  if (::mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) {
    error = ErrnoText("cannot create " + folder, errno);
    return false;
  }
  return true;
}

void RemoveStaleTemporaries(const std::string& folder, const std::string& prefix) {
  std::error_code ec;
  std::time_t now = std::time(nullptr);
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    std::string name = entry.path().filename().string();
    if (name.compare(0, prefix.size(), prefix) != 0)
      continue;
    struct stat st {};
    if (::lstat(entry.path().c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        now - st.st_mtime > kStaleTempSeconds) {
      ::unlink(entry.path().c_str());
    }
  }
}

// Replaces path by a file holding bytes: a reader sees either the old file or the new one.
bool WriteFileAtomically(const std::string& path, const std::string& bytes, std::string& error) {
  std::filesystem::path target(path);
  std::string folder = target.has_parent_path() ? target.parent_path().string() : ".";
  if (!EnsureFolder(folder, error))
    return false;
  std::string prefix = "." + target.filename().string() + ".tmp-";
  RemoveStaleTemporaries(folder, prefix);
  std::string temp = folder + "/" + prefix + "XXXXXX";
  int fd = ::mkostemp(temp.data(), O_CLOEXEC);  // mode 0600
  if (fd < 0) {
    error = ErrnoText("cannot create a temporary file in " + folder, errno);
    return false;
  }
  bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (ok && ::rename(temp.c_str(), path.c_str()) != 0) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    error = ErrnoText("cannot write " + path, err);
    return false;
  }
  int dirFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

// The file a store writes: a symbolic link (settings kept elsewhere) is written through
// rather than replaced; a dangling one is replaced.
std::string WritePathFor(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode)) {
    std::error_code ec;
    std::filesystem::path resolved = std::filesystem::canonical(path, ec);
    if (!ec)
      return resolved.string();
  }
  return path;
}

std::unique_ptr<TRegistry>& CurrentUserSlot() {
  static std::unique_ptr<TRegistry> slot;
  return slot;
}

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home && home[0] == '/')
    return home;
  struct passwd pw {};
  struct passwd* result = nullptr;
  std::vector<char> buffer(16384);
  if (::getpwuid_r(::getuid(), &pw, buffer.data(), buffer.size(), &result) == 0 && result &&
      result->pw_dir && result->pw_dir[0] == '/') {
    return result->pw_dir;
  }
  return "/tmp";
}

}  // namespace

TRegistry::TRegistry(std::string filePath)
    : FilePath_(std::move(filePath)), Root_(std::make_unique<TRegistryKey>(kRootName)) {
  // Non-blocking open: a FIFO or device in the file's place must not hang the program.
  int fd = ::open(FilePath_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      LoadReport_.Damaged = true;
      LoadReport_.Problems.push_back(ErrnoText("cannot read " + FilePath_, errno));
      DamagedFilePending_ = true;
    }
    return;
  }
  struct stat st {};
  std::string bytes;
  bool readable = ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (readable) {
    char buffer[65536];
    while (bytes.size() <= kMaxFileSize) {
      ssize_t n = ::read(fd, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR)
        continue;
      if (n < 0) {
        readable = false;
        break;
      }
      if (n == 0)
        break;
      bytes.append(buffer, static_cast<std::size_t>(n));
    }
  }
  ::close(fd);
  if (!readable) {
    LoadReport_.Damaged = true;
    LoadReport_.Problems.push_back("cannot read " + FilePath_ + ": not a readable file");
    DamagedFilePending_ = true;
    return;
  }
  bool tooLarge = bytes.size() > kMaxFileSize;
  if (tooLarge)
    bytes.resize(kMaxFileSize);
  LoadReport_ = ParseRegistryText(bytes, *Root_);
  if (tooLarge) {
    LoadReport_.Damaged = true;
    LoadReport_.Problems.push_back("file larger than " + std::to_string(kMaxFileSize) +
                                   " bytes; the rest was not read");
  }
  if (LoadReport_.Damaged) {
    DamagedFilePending_ = true;
    LoadedBytes_ = std::move(bytes);
  }
}

TRegistry::~TRegistry() = default;

std::string TRegistry::DefaultFilePath() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  std::string base = (xdg && xdg[0] == '/') ? std::string(xdg) : HomeFolder() + "/.config";
  return base + "/tarnwick-quellion/registry.reg";
}

TRegistry& TRegistry::CurrentUser() {
  auto& slot = CurrentUserSlot();
  if (!slot)
    slot = std::make_unique<TRegistry>(DefaultFilePath());
  return *slot;
}

void TRegistry::ResetCurrentUser() {
  CurrentUserSlot().reset();
}

TRegistryKey* TRegistry::OpenKey(HKEY root, const std::string& path, bool create) {
  if (root != HKEY_CURRENT_USER)
    return nullptr;
  return Root_->OpenKey(path, create);
}

const TRegistryKey* TRegistry::FindKey(HKEY root, const std::string& path) const {
  if (root != HKEY_CURRENT_USER)
    return nullptr;
  return Root_->FindKey(path);
}

bool TRegistry::DeleteKey(HKEY root, const std::string& path) {
  if (root != HKEY_CURRENT_USER)
    return false;
  return Root_->DeleteKey(path);
}

bool TRegistry::KeepDamagedFileAside(const std::string& path) {
  std::string bad = path + ".bad";
  if (::unlink(bad.c_str()) != 0 && errno != ENOENT) {
    LastError_ = ErrnoText("cannot replace " + bad, errno);
    return false;
  }
  // A hard link keeps the damaged file whole, however large; the loaded bytes are the
  // fallback where links are not possible.
  if (::link(path.c_str(), bad.c_str()) == 0) {
    ::chmod(bad.c_str(), 0600);
    return true;
  }
  // Nothing left to keep, or nothing readable was in its place.
  if (errno == ENOENT || LoadedBytes_.empty())
    return true;
  return WriteFileAtomically(bad, LoadedBytes_, LastError_);
}

bool TRegistry::Flush() {
  LastError_.clear();
  const std::string path = WritePathFor(FilePath_);
  std::string text = FormatRegistryText(*Root_);
  // Storing is a chain of steps that may each flush; what is already on disk is not
  // written again.
  if (WrittenOnce_ && text == LastWritten_) {
    struct stat st {};
    if (::stat(path.c_str(), &st) == 0 && st.st_ino == WrittenInode_ &&
        st.st_dev == WrittenDevice_) {
      return true;
    }
  }
  if (DamagedFilePending_) {
    if (!KeepDamagedFileAside(path))
      return false;
  }
  if (!WriteFileAtomically(path, text, LastError_))
    return false;
  struct stat st {};
  WrittenOnce_ = ::stat(path.c_str(), &st) == 0;
  WrittenInode_ = st.st_ino;
  WrittenDevice_ = st.st_dev;
  DamagedFilePending_ = false;
  LoadedBytes_.clear();
  LoadedBytes_.shrink_to_fit();
  LastWritten_ = std::move(text);
  return true;
}

}  // namespace quellion
