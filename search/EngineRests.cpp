#include "search/EngineRests.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <mutex>
#include <string_view>

#include "platform/XdgDirs.h"

namespace quellion {
namespace {

// The file is small: a few lines of "<until> <engine name>".
constexpr size_t kMaxRestsFileSize = 64 * 1024;

// Tasks of one search may be blocked at the same time; their read-change-write of the
// file goes one after the other.
std::mutex& FileMutex() {
  static std::mutex mutex;
  return mutex;
}

std::string FolderOf(const std::string& file) {
  const size_t slash = file.rfind('/');
  return slash == std::string::npos ? std::string(".") : file.substr(0, slash);
}

// Creates the folder and its missing parents (mode 0700).
bool EnsureFolder(const std::string& folder, std::string& error) {
  for (size_t pos = 1; pos <= folder.size(); ++pos) {
    if (pos != folder.size() && folder[pos] != '/')
      continue;
    const std::string part = folder.substr(0, pos);
    if (::mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) {
      error = "cannot create " + part + ": " + std::strerror(errno);
      return false;
    }
  }
  return true;
}

std::string ReadSmallFile(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (fd < 0)
    return {};
  struct stat st {};
  std::string text;
  if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) &&
      static_cast<unsigned long long>(st.st_size) <= kMaxRestsFileSize) {
    text.resize(kMaxRestsFileSize + 1);
    size_t got = 0;
    for (;;) {
      const ssize_t n = ::read(fd, text.data() + got, text.size() - got);
      if (n > 0) {
        got += static_cast<size_t>(n);
        if (got == text.size())
          break;
      } else if (n < 0 && errno == EINTR) {
        continue;
      } else {
        break;
      }
    }
    text.resize(got > kMaxRestsFileSize ? 0 : got);
  }
  ::close(fd);
  return text;
}

TEngineRests Parse(const std::string& text, int64_t now) {
  TEngineRests rests;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t end = text.find('\n', pos);
    if (end == std::string::npos)
      end = text.size();
    const std::string_view line(text.data() + pos, end - pos);
    pos = end + 1;
    const size_t blank = line.find(' ');
    if (blank == std::string_view::npos || blank + 1 >= line.size())
      continue;
    int64_t until = 0;
    const auto [ptr, ec] = std::from_chars(line.data(), line.data() + blank, until);
    if (ec != std::errc() || ptr != line.data() + blank)
      continue;
    std::string name(line.substr(blank + 1));
    bool clean = true;
    for (char c : name)
      clean = clean && static_cast<unsigned char>(c) >= 0x20 && c != 0x7F;
    if (!clean || until <= now)
      continue;
    bool seen = false;
    for (auto& [known, knownUntil] : rests)
      if (known == name) {
        knownUntil = std::max(knownUntil, until);
        seen = true;
      }
    if (!seen)
      rests.emplace_back(std::move(name), until);
  }
  return rests;
}

bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR)
      continue;
    if (n <= 0)
      return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The new file is made beside the old one and renamed over it: a symbolic link at the
// file's name is replaced, never followed.
bool WriteAtomically(const std::string& file, const std::string& bytes, std::string& error) {
  const std::string temp = file + ".tmp" + std::to_string(::getpid());
  const int fd =
      ::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    error = "cannot write " + temp + ": " + std::strerror(errno);
    return false;
  }
  bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, bytes) && ::fsync(fd) == 0;
  if (!ok)
    error = "cannot write " + temp + ": " + std::strerror(errno);
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(temp.c_str(), file.c_str()) != 0) {
    error = "cannot replace " + file + ": " + std::strerror(errno);
    ok = false;
  }
  if (!ok) {
    ::unlink(temp.c_str());
    return false;
  }
  const int dirFd = ::open(FolderOf(file).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dirFd >= 0) {
    ::fsync(dirFd);
    ::close(dirFd);
  }
  return true;
}

}  // namespace

std::string DefaultEngineRestsFile() {
  return XdgStateHome() + "/tarnwick-quellion/engine-rests";
}

TEngineRests ReadEngineRests(const std::string& file, int64_t now) {
  if (file.empty())
    return {};
  return Parse(ReadSmallFile(file), now);
}

int64_t RestEnd(const TEngineRests& rests, const std::string& engine) {
  for (const auto& [name, until] : rests)
    if (name == engine)
      return until;
  return 0;
}

bool SetEngineRest(const std::string& file, const std::string& engine, int64_t until, int64_t now,
                   std::string& error) {
  std::lock_guard lock(FileMutex());
  TEngineRests rests = Parse(ReadSmallFile(file), now);
  std::erase_if(rests, [&engine](const auto& rest) { return rest.first == engine; });
  if (until > now)
    rests.emplace_back(engine, until);
  std::string text;
  for (const auto& [name, end] : rests)
    text += std::to_string(end) + " " + name + "\n";
  if (!EnsureFolder(FolderOf(file), error))
    return false;
  return WriteAtomically(file, text, error);
}

std::string RestEndText(int64_t until) {
  const std::time_t t = static_cast<std::time_t>(until);
  std::tm local{};
  if (!::localtime_r(&t, &local))
    return "??:??";
  char text[8];
  std::snprintf(text, sizeof text, "%02d:%02d", local.tm_hour, local.tm_min);
  return text;
}

int64_t RestClockNow() {
  return static_cast<int64_t>(std::time(nullptr));
}

}  // namespace quellion
