#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/peers/NginxProcess.h"
#include "tests/support/peers/PeerProcess.h"

namespace quellion::test {

// A test CA and server certificates made with the openssl command at run time
// (EC P-256 keys, so it takes a fraction of a second): "good" (CA-signed, for
// localhost and 127.0.0.1), "other" (CA-signed, for other.example only), "self"
// (self-signed, for localhost) and "expired" (CA-signed, for localhost, valid in
// January 2020 only). Throws when openssl is missing or fails.
class TTestCertificates {
 public:
  TTestCertificates();
  const std::string& CaFile() const { return caFile_; }
  std::string Cert(const std::string& name) const { return dir_.File(name + ".pem"); }
  std::string Key(const std::string& name) const { return dir_.File(name + ".key"); }

 private:
  TTempDir dir_;
  std::string caFile_;
};

// nginx with TLS on four loopback ports, one per certificate above, and a plain
// HTTP port, all serving files from one www/ (index.html is "<html>nginx</html>\n").
// /to-https on the plain port relocates to https://localhost:<good>/index.html and
// /to-http on the good port to http://127.0.0.1:<plain>/index.html.
class TTlsNginxPeer {
 public:
  explicit TTlsNginxPeer(const TTestCertificates& certificates);
  uint16_t Port(const std::string& certificate) const;  // "good", "other", "self", "expired"
  uint16_t PlainPort() const { return plainPort_; }
  // https://localhost:<port of certificate>/path
  std::string Url(const std::string& certificate, const std::string& path = "/") const;
  void AddFile(const std::string& name, const std::string& content) const {
    nginx_.AddFile(name, content);
  }
  void AddSparseFile(const std::string& name, uint64_t size) const {
    nginx_.AddSparseFile(name, size);
  }

 private:
  TNginxProcess nginx_;
  std::vector<std::pair<std::string, uint16_t>> ports_;
  uint16_t plainPort_ = 0;
};

// A scripted TLS server on 127.0.0.1 (OpenSSL, its own thread) for answers nginx
// will not give: after the handshake it waits for the request header, sends raw and
// then closes (or, with hold, keeps the connection until the client closes it).
class TTlsScriptServer {
 public:
  // forged: bytes written to the connection itself after raw, outside the session
  // (a record the client must refuse).
  TTlsScriptServer(const TTestCertificates& certificates, std::string raw, bool hold,
                   std::string forged = {});
  ~TTlsScriptServer();
  uint16_t Port() const { return port_; }
  std::string Url(const std::string& path = "/") const;
  // Connections (held ones) that the client ended with a TLS close notice.
  int CloseNotices() const { return closeNotices_.load(); }

 private:
  void Serve();
  std::atomic<int> closeNotices_{0};
  std::string cert_, key_, raw_, forged_;
  bool hold_;
  int listenFd_ = -1;
  uint16_t port_ = 0;
  std::thread thread_;
  int wake_[2] = {-1, -1};
};

}  // namespace quellion::test
