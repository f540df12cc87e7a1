#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "tests/support/peers/NginxProcess.h"
#include "tests/support/peers/PeerProcess.h"

namespace quellion::test {

// Real peers, each started in its own temporary folder on a free loopback port and
// stopped in the destructor. A missing program makes the constructor throw, so the
// test fails loudly instead of skipping.

// nginx serving files from its folder's www/ (index.html is "<html>nginx</html>\n"),
// with /moved answering "return 301 /index.html" and /moved-absolute answering 301
// to the absolute address of /index.html.
class TNginxPeer {
 public:
  TNginxPeer();
  uint16_t Port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }
  std::string Url(const std::string& path = "/") const { return "http://" + HostPort() + path; }
  // Adds a file under www/ (before or after the start).
  void AddFile(const std::string& name, const std::string& content) const {
    nginx_.AddFile(name, content);
  }
  // A file of size zero bytes under www/ without holding it in memory.
  void AddSparseFile(const std::string& name, uint64_t size) const {
    nginx_.AddSparseFile(name, size);
  }
  static const char* IndexBody() { return TNginxProcess::IndexBody(); }

 private:
  TNginxProcess nginx_;
  uint16_t port_ = 0;
};

// tinyproxy with Basic authentication (user, password). It answers a wrong password
// with 401 and missing credentials with 407.
class TTinyproxyPeer {
 public:
  TTinyproxyPeer(const std::string& user, const std::string& password);
  ~TTinyproxyPeer();
  uint16_t Port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  TTempDir dir_;
  uint16_t port_ = 0;
  std::unique_ptr<TChildProcess> process_;
};

// squid with basic_ncsa_auth over an htpasswd file holding (user, password); answers
// HTTP/1.1 and refuses missing or wrong credentials with 407.
class TSquidPeer {
 public:
  TSquidPeer(const std::string& user, const std::string& password);
  ~TSquidPeer();
  uint16_t Port() const { return port_; }
  std::string HostPort() const { return "127.0.0.1:" + std::to_string(port_); }

 private:
  TTempDir dir_;
  std::string serviceName_;
  uint16_t port_ = 0;
  std::unique_ptr<TChildProcess> process_;
};

}  // namespace quellion::test
