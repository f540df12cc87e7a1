#pragma once

// The per-user registry stand-in: a tree of keys holding typed values, kept in one file
// in the registry editor's export format. The whole file is read once when the store is
// created; nothing reaches the disk until Flush(), which replaces the file atomically.
//
// Rules that govern this file:
// - Names of keys and values compare without regard to ASCII letter case and keep the case
//   they were created with, as the registry does. The empty value name is the key's default
//   (unnamed) value, written as @ in the file.
// - Value data are raw bytes. REG_DWORD is 4 bytes little-endian; REG_SZ is the text's 8-bit
//   bytes without a terminating NUL. Types the program does not use are kept as read.
// - Not thread-safe: use one store from one thread (the GUI thread, or the CLI's main).

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

// Keys of this program under HKEY_CURRENT_USER.
inline constexpr const char* kQuellionKeyName = "Software\\Tarnwick Quellion";
inline constexpr const char* kQuellionEnginesKeyName = "Software\\Tarnwick Quellion Engines";

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

  const std::string& Name() const { return Name_; }

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
  std::string Name_;
  int Depth_ = 0;  // keys above this one
  std::vector<std::pair<std::string, TRegValue>> Values_;
  std::unordered_map<std::string, std::size_t> ValueIndex_;  // folded name -> position
  std::vector<std::unique_ptr<TRegistryKey>> SubKeys_;
  std::unordered_map<std::string, std::size_t> SubKeyIndex_;
};

// Result of reading a registry file's text.
struct TRegParseReport {
  bool Damaged = false;               // something could not be read (or the header was wrong)
  std::vector<std::string> Problems;  // "line N: ..." for the first few faults
};

// Reads export-format text into root (which stands for HKEY_CURRENT_USER; sections naming
// other roots are skipped). Never throws on bad input: whatever can be read is used.
TRegParseReport ParseRegistryText(const std::string& text, TRegistryKey& root);
// The export-format text of root and everything below it.
std::string FormatRegistryText(const TRegistryKey& root);

// The store: HKEY_CURRENT_USER backed by one file.
class TRegistry {
 public:
  // Reads the file now; a missing file is an empty registry, a damaged one is used as far
  // as it can be read and is kept aside as <file>.bad by the next Flush().
  explicit TRegistry(std::string filePath);
  ~TRegistry();
  TRegistry(const TRegistry&) = delete;
  TRegistry& operator=(const TRegistry&) = delete;

  // $XDG_CONFIG_HOME/tarnwick-quellion/registry.reg; $HOME/.config when XDG_CONFIG_HOME is
  // unset, empty or relative.
  static std::string DefaultFilePath();

  // The process's store on DefaultFilePath(), read on first use.
  static TRegistry& CurrentUser();
  // Drops the process's store so that the next CurrentUser() reads the file again (tests,
  // after pointing XDG_CONFIG_HOME elsewhere). Pointers into the old store become invalid.
  static void ResetCurrentUser();

  // Keys under a root; nullptr for an unknown root (see TRegistryKey::OpenKey).
  TRegistryKey* OpenKey(HKEY root, const std::string& path, bool create);
  const TRegistryKey* FindKey(HKEY root, const std::string& path) const;
  bool DeleteKey(HKEY root, const std::string& path);
  TRegistryKey& Root() { return *Root_; }
  const TRegistryKey& Root() const { return *Root_; }

  // Writes the whole registry to the file: temporary file in the same folder (mode 0600),
  // fsync, rename over the file, fsync of the folder. Creates the folder (0700) if needed.
  // False (with LastError() saying why) when it could not; the old file is then untouched.
  // Nothing is written when nothing changed since this store's last successful Flush() and
  // the file it wrote is still in place.
  bool Flush();

  const std::string& FilePath() const { return FilePath_; }
  const TRegParseReport& LoadReport() const { return LoadReport_; }
  const std::string& LastError() const { return LastError_; }

 private:
  bool KeepDamagedFileAside(const std::string& path);

  std::string FilePath_;
  std::unique_ptr<TRegistryKey> Root_;
  TRegParseReport LoadReport_;
  std::string LoadedBytes_;  // kept only while a damaged file still waits to be set aside
  bool DamagedFilePending_ = false;
  // The last successful Flush(): its text and the file it made.
  std::string LastWritten_;
  bool WrittenOnce_ = false;
  std::uint64_t WrittenInode_ = 0;
  std::uint64_t WrittenDevice_ = 0;
  std::string LastError_;
};

}  // namespace quellion
