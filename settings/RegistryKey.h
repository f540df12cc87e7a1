#pragma once

// The key tree of the per-user registry stand-in: keys holding typed values and subkeys.
//
// Rules that govern this file:
// - Names of keys and values compare without regard to ASCII letter case and keep the case
//   they were created with, as the registry does. The empty value name is the key's default
//   (unnamed) value.
// - Value data are raw bytes. REG_DWORD is 4 bytes little-endian; REG_SZ is the text's 8-bit
//   bytes without a terminating NUL. Types the program does not use are kept as read.
// - Not thread-safe: use one tree from one thread.

#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

namespace quellion {

// Registry value types (the platform's numbers, as they appear in hex(N): lines).
inline constexpr std::uint32_t REG_NONE = 0;
inline constexpr std::uint32_t REG_SZ = 1;
inline constexpr std::uint32_t REG_EXPAND_SZ = 2;
inline constexpr std::uint32_t REG_BINARY = 3;
inline constexpr std::uint32_t REG_DWORD = 4;
inline constexpr std::uint32_t REG_MULTI_SZ = 7;
inline constexpr std::uint32_t REG_QWORD = 11;

// Root key handles. Only the current user's root exists here.
using HKEY = std::uintptr_t;
inline constexpr HKEY HKEY_CURRENT_USER = 0x80000001u;
inline constexpr const char* kCurrentUserRootName = "HKEY_CURRENT_USER";

// Deepest key path accepted (the registry's own limit); deeper paths are refused.
inline constexpr int kMaxKeyDepth = 512;

struct TRegValue {
  std::uint32_t Type = REG_NONE;
  std::string Data;  // raw bytes
};

// Outcome of a typed read. A value of another type, or of the right type with data of the
// wrong size, is rsWrongType; the output argument is left untouched unless rsOk.
enum class TRegReadStatus { rsOk, rsMissing, rsWrongType };

class TRegistryKey {
 public:
  explicit TRegistryKey(std::string name);
  ~TRegistryKey();
  TRegistryKey(const TRegistryKey&) = delete;
  TRegistryKey& operator=(const TRegistryKey&) = delete;

  const std::string& Name() const { return name_; }

  // Values. "" names the default value.
  bool ValueExists(const std::string& name) const;
  const TRegValue* FindValue(const std::string& name) const;  // nullptr when missing
  // Names in the order the values were first written (or read from the file).
  std::vector<std::string> ValueNames() const;

  // REG_DWORD with exactly 4 bytes.
  TRegReadStatus ReadDword(const std::string& name, std::uint32_t& value) const;
  // The same DWORD taken as signed.
  TRegReadStatus ReadInteger(const std::string& name, std::int32_t& value) const;
  // The same DWORD; true when non-zero.
  TRegReadStatus ReadBool(const std::string& name, bool& value) const;
  // REG_SZ or REG_EXPAND_SZ; the text ends at its first NUL byte, if any.
  TRegReadStatus ReadString(const std::string& name, std::string& value) const;
  // REG_BINARY or REG_NONE (untyped), any length, including 0.
  TRegReadStatus ReadBinary(const std::string& name, std::string& bytes) const;

  // Writing replaces a value of the same name whatever its type, keeping its place in the
  // order. Names may hold any byte except NUL, CR and LF (EException otherwise).
  void WriteValue(const std::string& name, TRegValue value);
  void WriteDword(const std::string& name, std::uint32_t value);
  void WriteInteger(const std::string& name, std::int32_t value);
  void WriteBool(const std::string& name, bool value);  // 1 or 0
  void WriteString(const std::string& name, const std::string& text);
  void WriteBinary(const std::string& name, const std::string& bytes);
  bool DeleteValue(const std::string& name);  // false when it did not exist

  // Subkeys. A path is a backslash-separated relative path; empty components are skipped.
  // The returned pointer stays valid until that key or one above it is deleted (or the store
  // is destroyed). nullptr when missing (without create) or when the path is too deep or
  // holds a NUL, CR or LF byte.
  TRegistryKey* OpenKey(const std::string& path, bool create);
  const TRegistryKey* FindKey(const std::string& path) const;
  // Deletes the key at path with all its values and subkeys; false when it did not exist.
  bool DeleteKey(const std::string& path);
  std::vector<std::string> SubKeyNames() const;   // in creation order
  TRegistryKey* SubKey(const std::string& name);  // direct child by name, or nullptr
  const TRegistryKey* SubKey(const std::string& name) const;

 private:
  std::string name_;
  int depth_ = 0;  // keys above this one
  std::vector<std::pair<std::string, TRegValue>> values_;
  std::unordered_map<std::string, std::size_t> valueIndex_;  // folded name -> position
  std::vector<std::unique_ptr<TRegistryKey>> subKeys_;
  std::unordered_map<std::string, std::size_t> subKeyIndex_;
};

// The 4 little-endian bytes of a REG_DWORD.
std::string DwordBytes(std::uint32_t value);

}  // namespace quellion
