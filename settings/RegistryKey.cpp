#include "settings/RegistryKey.h"

#include "platform/Exception.h"
#include "platform/TextUtil.h"

namespace quellion {

namespace {

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

}  // namespace

std::string DwordBytes(std::uint32_t v) {
  std::string bytes(4, '\0');
  for (int i = 0; i < 4; ++i)
    bytes[i] = static_cast<char>((v >> (8 * i)) & 0xFF);
  return bytes;
}

TRegistryKey::TRegistryKey(std::string name) : name_(std::move(name)) {}

TRegistryKey::~TRegistryKey() = default;

bool TRegistryKey::ValueExists(const std::string& name) const {
  return FindValue(name);
}

const TRegValue* TRegistryKey::FindValue(const std::string& name) const {
  auto it = valueIndex_.find(ToLowerAscii(name));
  return it == valueIndex_.end() ? nullptr : &values_[it->second].second;
}

std::vector<std::string> TRegistryKey::ValueNames() const {
  std::vector<std::string> names;
  names.reserve(values_.size());
  for (const auto& [name, value] : values_)
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
  std::string folded = ToLowerAscii(name);
  auto it = valueIndex_.find(folded);
  if (it != valueIndex_.end()) {
    values_[it->second].second = std::move(value);
    return;
  }
  valueIndex_.emplace(std::move(folded), values_.size());
  values_.emplace_back(name, std::move(value));
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
  auto it = valueIndex_.find(ToLowerAscii(name));
  if (it == valueIndex_.end())
    return false;
  std::size_t pos = it->second;
  valueIndex_.erase(it);
  values_.erase(values_.begin() + static_cast<std::ptrdiff_t>(pos));
  for (auto& [folded, index] : valueIndex_) {
    if (index > pos)
      --index;
  }
  return true;
}

TRegistryKey* TRegistryKey::SubKey(const std::string& name) {
  auto it = subKeyIndex_.find(ToLowerAscii(name));
  return it == subKeyIndex_.end() ? nullptr : subKeys_[it->second].get();
}

const TRegistryKey* TRegistryKey::SubKey(const std::string& name) const {
  return const_cast<TRegistryKey*>(this)->SubKey(name);
}

std::vector<std::string> TRegistryKey::SubKeyNames() const {
  std::vector<std::string> names;
  names.reserve(subKeys_.size());
  for (const auto& key : subKeys_)
    names.push_back(key->name_);
  return names;
}

TRegistryKey* TRegistryKey::OpenKey(const std::string& path, bool create) {
  std::vector<std::string> parts = SplitPath(path);
  if (depth_ + static_cast<int>(parts.size()) > kMaxKeyDepth)
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
      child->depth_ = key->depth_ + 1;
      next = child.get();
      key->subKeyIndex_.emplace(ToLowerAscii(part), key->subKeys_.size());
      key->subKeys_.push_back(std::move(child));
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
  auto it = parent->subKeyIndex_.find(ToLowerAscii(last));
  if (it == parent->subKeyIndex_.end())
    return false;
  std::size_t pos = it->second;
  parent->subKeyIndex_.erase(it);
  parent->subKeys_.erase(parent->subKeys_.begin() + static_cast<std::ptrdiff_t>(pos));
  for (auto& [folded, index] : parent->subKeyIndex_) {
    if (index > pos)
      --index;
  }
  return true;
}

}  // namespace quellion
