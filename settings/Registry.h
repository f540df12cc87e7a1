#pragma once

// The per-user registry stand-in: HKEY_CURRENT_USER as a tree of keys (RegistryKey.h), kept
// in one file in the registry editor's export format (RegistryText.h). The whole file is
// read once when the store is created; nothing reaches the disk until Flush(), which
// replaces the file atomically. Not thread-safe: use one store from one thread (the GUI
// thread, or the CLI's main).

#include <cstdint>
#include <memory>
#include <string>

#include "settings/RegistryKey.h"
#include "settings/RegistryText.h"

namespace quellion {

// Keys of this program under HKEY_CURRENT_USER.
inline constexpr const char* kQuellionKeyName = "Software\\Tarnwick Quellion";
inline constexpr const char* kQuellionEnginesKeyName = "Software\\Tarnwick Quellion Engines";

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
  TRegistryKey& Root() { return *root_; }
  const TRegistryKey& Root() const { return *root_; }

  // Writes the whole registry to the file: temporary file in the same folder (mode 0600),
  // fsync, rename over the file, fsync of the folder. Creates the folder (0700) if needed.
  // False (with LastError() saying why) when it could not; the old file is then untouched.
  // Only a regular file is replaced: anything else in its place (a symbolic link, a folder,
  // a FIFO, a device) is left alone, nothing is written, and Flush() says so.
  // Nothing is written when nothing changed since this store's last successful Flush() and
  // the file it wrote is still in place.
  bool Flush();

  const std::string& FilePath() const { return filePath_; }
  const TRegParseReport& LoadReport() const { return loadReport_; }
  const std::string& LastError() const { return lastError_; }

 private:
  bool KeepDamagedFileAside(const std::string& path);

  std::string filePath_;
  std::unique_ptr<TRegistryKey> root_;
  TRegParseReport loadReport_;
  std::string loadedBytes_;  // kept only while a damaged file still waits to be set aside
  bool damagedFilePending_ = false;
  // The last successful Flush(): its text and the file it made.
  std::string lastWritten_;
  bool writtenOnce_ = false;
  std::uint64_t writtenInode_ = 0;
  std::uint64_t writtenDevice_ = 0;
  std::string lastError_;
};

}  // namespace quellion
