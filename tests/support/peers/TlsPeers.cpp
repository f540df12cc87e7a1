#include "tests/support/peers/TlsPeers.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <stdexcept>

extern char** environ;

namespace quellion::test {
namespace {

// Runs a command to its end (at most 30 s); throws with its output on failure.
void RunCommand(const std::vector<std::string>& argv, const std::string& log) {
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, log.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
  posix_spawn_file_actions_adddup2(&actions, 1, 2);
  std::vector<char*> args;
  for (const auto& a : argv)
    args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = -1;
  const int r = posix_spawn(&pid, args[0], &actions, nullptr, args.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (r != 0)
    throw std::runtime_error("cannot start " + argv[0]);
  int status = 0;
  for (int i = 0; i < 3000; ++i) {
    const pid_t w = ::waitpid(pid, &status, WNOHANG);
    if (w == pid) {
      if (WIFEXITED(status) && WEXITSTATUS(status) == 0)
        return;
      break;
    }
    ::usleep(10000);
  }
  ::kill(pid, SIGKILL);
  ::waitpid(pid, &status, 0);
  std::string line;
  for (const auto& a : argv)
    line += a + " ";
  throw std::runtime_error("failed: " + line + "\n" + Tail(log));
}

int ListenOnLoopback(uint16_t& port) {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&sa), sizeof sa) != 0 ||
      ::listen(fd, 16) != 0 || ::getsockname(fd, reinterpret_cast<sockaddr*>(&sa), &len) != 0)
    throw std::runtime_error("cannot listen on loopback");
  port = ntohs(sa.sin_port);
  return fd;
}

}  // namespace

// ---------------------------------------------------------------- certificates

TTestCertificates::TTestCertificates() {
  const std::string openssl = RequireBinary("openssl", {"/usr/bin/openssl"});
  const std::string d = dir_.Path();
  const std::string log = d + "/openssl.out";
  const std::vector<std::string> ec = {"-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                                       "-nodes"};
  auto run = [&](std::vector<std::string> args, const std::vector<std::string>& extra = {}) {
    args.insert(args.begin(), openssl);
    args.insert(args.end(), extra.begin(), extra.end());
    RunCommand(args, log);
  };
  caFile_ = d + "/ca.pem";
  run({"req", "-x509", "-keyout", d + "/ca.key", "-out", caFile_, "-days", "30", "-subj",
       "/CN=Quellion Test CA", "-addext", "basicConstraints=critical,CA:TRUE", "-addext",
       "keyUsage=critical,keyCertSign,cRLSign"},
      ec);
  dir_.Write("localhost.ext",
             "subjectAltName=DNS:localhost,IP:127.0.0.1\nbasicConstraints=CA:FALSE\n"
             "extendedKeyUsage=serverAuth\n");
  dir_.Write("other.ext",
             "subjectAltName=DNS:other.example\nbasicConstraints=CA:FALSE\n"
             "extendedKeyUsage=serverAuth\n");
  auto request = [&](const std::string& name, const std::string& cn) {
    run({"req", "-keyout", d + "/" + name + ".key", "-out", d + "/" + name + ".csr", "-subj",
         "/CN=" + cn},
        ec);
  };
  request("good", "localhost");
  run({"x509", "-req", "-in", d + "/good.csr", "-CA", caFile_, "-CAkey", d + "/ca.key",
       "-CAcreateserial", "-out", d + "/good.pem", "-days", "30", "-extfile",
       d + "/localhost.ext"});
  request("other", "other.example");
  run({"x509", "-req", "-in", d + "/other.csr", "-CA", caFile_, "-CAkey", d + "/ca.key",
       "-CAcreateserial", "-out", d + "/other.pem", "-days", "30", "-extfile", d + "/other.ext"});
  run({"req", "-x509", "-keyout", d + "/self.key", "-out", d + "/self.pem", "-days", "30", "-subj",
       "/CN=localhost", "-addext", "subjectAltName=DNS:localhost,IP:127.0.0.1"},
      ec);
  // x509 -req only signs forward from now; "openssl ca" takes explicit dates.
  dir_.Write("index.txt", "");
  dir_.Write("serial", "1000\n");
  std::filesystem::create_directories(d + "/newcerts");
  dir_.Write("ca.cnf", "[ ca ]\ndefault_ca = test_ca\n[ test_ca ]\ndatabase = " + d +
                           "/index.txt\nnew_certs_dir = " + d + "/newcerts\ncertificate = " +
                           caFile_ + "\nprivate_key = " + d + "/ca.key\nserial = " + d +
                           "/serial\ndefault_md = sha256\npolicy = policy_any\n"
                           "unique_subject = no\n[ policy_any ]\ncommonName = supplied\n");
  request("expired", "localhost");
  run({"ca", "-batch", "-config", d + "/ca.cnf", "-in", d + "/expired.csr", "-out",
       d + "/expired.pem", "-startdate", "20200101000000Z", "-enddate", "20200201000000Z",
       "-extfile", d + "/localhost.ext", "-notext"});
}

// ---------------------------------------------------------------- nginx with TLS

TTlsNginxPeer::TTlsNginxPeer(const TTestCertificates& certificates) {
  for (const char* name : {"good", "other", "self", "expired"})
    ports_.emplace_back(name, FreeLoopbackPort());
  plainPort_ = FreeLoopbackPort();
  const std::string plain = std::to_string(plainPort_);
  const std::string good = std::to_string(Port("good"));
  const std::string root = nginx_.Root();
  std::string servers;
  std::vector<uint16_t> ports;
  for (const auto& [name, port] : ports_) {
    servers += "  server {\n    listen 127.0.0.1:" + std::to_string(port) +
               " ssl;\n    ssl_certificate " + certificates.Cert(name) +
               ";\n    ssl_certificate_key " + certificates.Key(name) + ";\n    root " + root +
               ";\n    location = /to-http { return 301 http://127.0.0.1:" + plain +
               "/index.html; }\n  }\n";
    ports.push_back(port);
  }
  servers += "  server {\n    listen 127.0.0.1:" + plain + ";\n    root " + root +
             ";\n    location = /to-https { return 301 https://localhost:" + good +
             "/index.html; }\n  }\n";
  ports.push_back(plainPort_);
  nginx_.Start(servers, ports);
}

uint16_t TTlsNginxPeer::Port(const std::string& certificate) const {
  for (const auto& [name, port] : ports_)
    if (name == certificate)
      return port;
  throw std::runtime_error("no such certificate: " + certificate);
}

std::string TTlsNginxPeer::Url(const std::string& certificate, const std::string& path) const {
  return "https://localhost:" + std::to_string(Port(certificate)) + path;
}

// ---------------------------------------------------------------- scripted TLS server

TTlsScriptServer::TTlsScriptServer(const TTestCertificates& certificates, std::string raw,
                                   bool hold, std::string forged)
    : cert_(certificates.Cert("good")),
      key_(certificates.Key("good")),
      raw_(std::move(raw)),
      forged_(std::move(forged)),
      hold_(hold) {
  listenFd_ = ListenOnLoopback(port_);
  if (::pipe2(wake_, O_CLOEXEC) != 0)
    throw std::runtime_error("pipe failed");
  thread_ = std::thread([this] { Serve(); });
}

TTlsScriptServer::~TTlsScriptServer() {
  (void)!::write(wake_[1], "x", 1);
  thread_.join();
  ::close(listenFd_);
  ::close(wake_[0]);
  ::close(wake_[1]);
}

std::string TTlsScriptServer::Url(const std::string& path) const {
  return "https://localhost:" + std::to_string(port_) + path;
}

void TTlsScriptServer::Serve() {
  SSL_CTX* ctx = SSL_CTX_new(TLS_server_method());
  SSL_CTX_use_certificate_chain_file(ctx, cert_.c_str());
  SSL_CTX_use_PrivateKey_file(ctx, key_.c_str(), SSL_FILETYPE_PEM);
  auto stopped = [this](int fd, int ms) {
    pollfd p[2] = {{wake_[0], POLLIN, 0}, {fd, POLLIN, 0}};
    ::poll(p, 2, ms);
    return (p[0].revents & POLLIN) != 0;
  };
  for (;;) {
    if (stopped(listenFd_, -1))
      break;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    SSL* ssl = SSL_new(ctx);
    SSL_set_fd(ssl, fd);
    timeval tv{5, 0};
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof tv);
    if (SSL_accept(ssl) == 1) {
      std::string request;
      char buffer[4096];
      while (request.find("\r\n\r\n") == std::string::npos) {
        const int n = SSL_read(ssl, buffer, sizeof buffer);
        if (n <= 0)
          break;
        request.append(buffer, static_cast<size_t>(n));
      }
      SSL_write(ssl, raw_.data(), static_cast<int>(raw_.size()));
      if (!forged_.empty())
        (void)!::write(fd, forged_.data(), forged_.size());
      if (hold_) {
        // Until the client closes (or the server stops).
        while (!stopped(fd, 50)) {
          const int n = SSL_read(ssl, buffer, sizeof buffer);
          if (n <= 0 && SSL_get_error(ssl, n) == SSL_ERROR_ZERO_RETURN) {
            ++closeNotices_;
            break;
          }
          if (n == 0 || (n < 0 && SSL_get_error(ssl, n) != SSL_ERROR_WANT_READ && errno != EAGAIN &&
                         errno != EWOULDBLOCK))
            break;
        }
      } else {
        SSL_shutdown(ssl);
      }
    }
    ERR_clear_error();
    SSL_free(ssl);
    ::close(fd);
    if (hold_)
      continue;
  }
  SSL_CTX_free(ctx);
}

}  // namespace quellion::test
