#include "platform/XdgDirs.h"

#include <pwd.h>
#include <unistd.h>

#include <cstdlib>

namespace quellion {
namespace {

std::string AbsoluteOr(const char* variable, const std::string& fallback) {
  const char* value = std::getenv(variable);
  return value && value[0] == '/' ? std::string(value) : fallback;
}

}  // namespace

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

std::string XdgConfigHome() {
  return AbsoluteOr("XDG_CONFIG_HOME", HomeFolder() + "/.config");
}

std::string XdgDataHome() {
  return AbsoluteOr("XDG_DATA_HOME", HomeFolder() + "/.local/share");
}

std::string XdgStateHome() {
  return AbsoluteOr("XDG_STATE_HOME", HomeFolder() + "/.local/state");
}

std::vector<std::string> XdgDataDirs() {
  std::vector<std::string> dirs;
  const char* value = std::getenv("XDG_DATA_DIRS");
  const std::string list = value ? value : "";
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(':', start);
    if (end == std::string::npos)
      end = list.size();
    const std::string dir = list.substr(start, end - start);
    if (!dir.empty() && dir[0] == '/')
      dirs.push_back(dir);
    start = end + 1;
  }
  if (dirs.empty())
    dirs = {"/usr/local/share", "/usr/share"};
  return dirs;
}

}  // namespace quellion
