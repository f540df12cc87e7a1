#include "settings/Registry.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <filesystem>

#include "platform/XdgDirs.h"

// The store's file is replaced, never rewritten in place: a temporary file in the same
// folder, fsync, rename, fsync of the folder. A damaged file is kept aside once, just before
// the first write replaces it.

namespace quellion {

namespace {

// Larger files are not ours: only this much is read.
constexpr std::size_t kMaxFileSize = 4 * 1024 * 1024;
// Temporary files left by a writer that was killed are removed after this long.
constexpr std::time_t kStaleTempSeconds = 600;

std::string ErrnoText(const std::string& what, int err) {
  return what + ": " + std::strerror(err);
}

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

// Why the entry at path may not be replaced, or empty when it may: only a regular file (or
// nothing) is ours to replace. A symbolic link is never followed, so the store cannot be
// turned into a write to some other file, a FIFO or a device.
std::string NotOursToReplace(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode))
    return {};
  const char* what = S_ISLNK(st.st_mode)   ? "a symbolic link"
                     : S_ISDIR(st.st_mode) ? "a folder"
                                           : "not a regular file";
  return path + " is " + what + "; settings not saved";
}

std::unique_ptr<TRegistry>& CurrentUserSlot() {
  static std::unique_ptr<TRegistry> slot;
  return slot;
}

}  // namespace

TRegistry::TRegistry(std::string filePath)
    : filePath_(std::move(filePath)), root_(std::make_unique<TRegistryKey>(kCurrentUserRootName)) {
  // Non-blocking open: a FIFO or device in the file's place must not hang the program.
  // Nor is a symbolic link followed: the file is read only where it would be written.
  int fd = ::open(filePath_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW);
  if (fd < 0) {
    if (errno != ENOENT && errno != ENOTDIR) {
      loadReport_.Damaged = true;
      loadReport_.Problems.push_back(ErrnoText("cannot read " + filePath_, errno));
      damagedFilePending_ = true;
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
    loadReport_.Damaged = true;
    loadReport_.Problems.push_back("cannot read " + filePath_ + ": not a readable file");
    damagedFilePending_ = true;
    return;
  }
  bool tooLarge = bytes.size() > kMaxFileSize;
  if (tooLarge)
    bytes.resize(kMaxFileSize);
  loadReport_ = ParseRegistryText(bytes, *root_);
  if (tooLarge) {
    loadReport_.Damaged = true;
    loadReport_.Problems.push_back("file larger than " + std::to_string(kMaxFileSize) +
                                   " bytes; the rest was not read");
  }
  if (loadReport_.Damaged) {
    damagedFilePending_ = true;
    loadedBytes_ = std::move(bytes);
  }
}

TRegistry::~TRegistry() = default;

std::string TRegistry::DefaultFilePath() {
  return XdgConfigHome() + "/tarnwick-quellion/registry.reg";
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
  return root_->OpenKey(path, create);
}

const TRegistryKey* TRegistry::FindKey(HKEY root, const std::string& path) const {
  if (root != HKEY_CURRENT_USER)
    return nullptr;
  return root_->FindKey(path);
}

bool TRegistry::DeleteKey(HKEY root, const std::string& path) {
  if (root != HKEY_CURRENT_USER)
    return false;
  return root_->DeleteKey(path);
}

bool TRegistry::KeepDamagedFileAside(const std::string& path) {
  std::string bad = path + ".bad";
  // unlink and link act on the names themselves: a link in either place is not followed.
  if (::unlink(bad.c_str()) != 0 && errno != ENOENT) {
    lastError_ = ErrnoText("cannot replace " + bad, errno);
    return false;
  }
  // A hard link keeps the damaged file whole, however large; the loaded bytes are the
  // fallback where links are not possible.
  if (::link(path.c_str(), bad.c_str()) == 0) {
    int fd = ::open(bad.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY);
    if (fd >= 0) {
      ::fchmod(fd, 0600);
      ::close(fd);
    }
    return true;
  }
  // Nothing left to keep, or nothing readable was in its place.
  if (errno == ENOENT || loadedBytes_.empty())
    return true;
  return WriteFileAtomically(bad, loadedBytes_, lastError_);
}

bool TRegistry::Flush() {
  lastError_.clear();
  const std::string& path = filePath_;
  lastError_ = NotOursToReplace(path);
  if (!lastError_.empty())
    return false;
  std::string text = FormatRegistryText(*root_);
  // Storing is a chain of steps that may each flush; what is already on disk is not
  // written again.
  if (writtenOnce_ && text == lastWritten_) {
    struct stat st {};
    if (::lstat(path.c_str(), &st) == 0 && st.st_ino == writtenInode_ &&
        st.st_dev == writtenDevice_) {
      return true;
    }
  }
  if (damagedFilePending_) {
    if (!KeepDamagedFileAside(path))
      return false;
  }
  if (!WriteFileAtomically(path, text, lastError_))
    return false;
  struct stat st {};
  writtenOnce_ = ::lstat(path.c_str(), &st) == 0;
  writtenInode_ = st.st_ino;
  writtenDevice_ = st.st_dev;
  damagedFilePending_ = false;
  loadedBytes_.clear();
  loadedBytes_.shrink_to_fit();
  lastWritten_ = std::move(text);
  return true;
}

}  // namespace quellion
