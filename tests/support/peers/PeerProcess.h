#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/TempDir.h"

namespace quellion::test {

// A loopback port nobody listens on right now (bound to port 0, then released).
uint16_t FreeLoopbackPort();
// A loopback port that refuses connections (nobody listens on it).
inline uint16_t RefusedPort() {
  return FreeLoopbackPort();
}

// Full path of a peer program; throws (the test fails loudly) when it is missing.
std::string RequireBinary(const std::string& name, const std::vector<std::string>& candidates);

// True once something accepts TCP connections on 127.0.0.1:port.
bool WaitForListening(uint16_t port, int timeoutMs);

// A child process started with posix_spawn; stdout and stderr go to logFile.
// Stopped with SIGTERM (then SIGKILL) in the destructor.
class TChildProcess {
 public:
  TChildProcess(const std::vector<std::string>& argv, const std::string& logFile);
  ~TChildProcess();
  TChildProcess(const TChildProcess&) = delete;
  TChildProcess& operator=(const TChildProcess&) = delete;
  bool Running();
  void Stop();
  pid_t Pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// The last lines of a file, for error messages.
std::string Tail(const std::string& file, size_t maxBytes = 2000);

}  // namespace quellion::test
