#include "tests/support/peers/PeerProcess.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace quellion::test {

uint16_t FreeLoopbackPort() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  if (fd < 0)
    throw std::runtime_error("socket failed");
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ||
      getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) < 0) {
    ::close(fd);
    throw std::runtime_error("bind to a free port failed");
  }
  ::close(fd);
  return ntohs(sa.sin_port);
}

std::string RequireBinary(const std::string& name, const std::vector<std::string>& candidates) {
  for (const auto& c : candidates)
    if (::access(c.c_str(), X_OK) == 0)
      return c;
  if (const char* path = std::getenv("PATH")) {
    std::stringstream dirs(path);
    std::string dir;
    while (std::getline(dirs, dir, ':')) {
      const std::string full = dir + "/" + name;
      if (::access(full.c_str(), X_OK) == 0)
        return full;
    }
  }
  throw std::runtime_error("test peer '" + name +
                           "' is not installed (scripts/install-deps.sh installs it)");
}

bool WaitForListening(uint16_t port, int timeoutMs) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  while (std::chrono::steady_clock::now() < deadline) {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in sa{};
    sa.sin_family = AF_INET;
    sa.sin_port = htons(port);
    sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) == 0;
    ::close(fd);
    if (ok)
      return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return false;
}

TChildProcess::TChildProcess(const std::vector<std::string>& argv, const std::string& logFile) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND,
                                   0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  const int r = posix_spawn(&pid_, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0) {
    pid_ = -1;
    throw std::runtime_error("cannot start " + argv[0]);
  }
}

TChildProcess::~TChildProcess() {
  Stop();
}

bool TChildProcess::Running() {
  if (pid_ <= 0)
    return false;
  int status;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

void TChildProcess::Stop() {
  if (pid_ <= 0)
    return;
  ::kill(pid_, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
  int status;
  while (waitpid(pid_, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() >= deadline) {
      ::kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
}

std::string Tail(const std::string& file, size_t maxBytes) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream data;
  data << in.rdbuf();
  const std::string s = data.str();
  return s.size() > maxBytes ? s.substr(s.size() - maxBytes) : s;
}

}  // namespace quellion::test
