#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace quellion::test {

// What the scriptable server does on one connection, step by step. After the last
// step the connection is closed normally (FIN), unless a step reset or held it.
class TPeerAnswer {
 public:
  struct Step {
    enum Kind { kSend, kPause, kReset, kHold } kind;
    std::string data;
    int ms = 0;
  };

  TPeerAnswer& Send(std::string bytes);
  // Sends bytes in pieces of chunk bytes with ms between them.
  TPeerAnswer& Drip(const std::string& bytes, size_t chunk, int ms);
  TPeerAnswer& Pause(int ms);
  // Abortive close: the peer sees a connection reset.
  TPeerAnswer& Reset();
  // Keeps the connection open, answering nothing more, until the client closes it
  // or the server stops.
  TPeerAnswer& Hold();
  // Answer at once instead of waiting for the end of the request header.
  TPeerAnswer& WithoutWaitingForRequest();

  std::vector<Step> steps;
  bool waitForRequest = true;
};

// The usual case: wait for the request, send raw, close.
TPeerAnswer Respond(std::string raw);
// A response with status line, the given header lines and body (no Content-Length
// unless the header lines carry one).
std::string HttpResponse(const std::string& statusLine, const std::vector<std::string>& headers,
                         const std::string& body);

// A scriptable HTTP peer on 127.0.0.1 (port chosen by the system). It runs on its
// own threads with plain POSIX sockets, records the bytes of every request, and
// answers connection n with answers[n] (the last answer repeats).
class TScriptServer {
 public:
  explicit TScriptServer(std::vector<TPeerAnswer> answers = {});
  ~TScriptServer();
  TScriptServer(const TScriptServer&) = delete;
  TScriptServer& operator=(const TScriptServer&) = delete;

  void SetAnswers(std::vector<TPeerAnswer> answers);
  uint16_t Port() const { return port_; }
  std::string HostPort() const;  // "127.0.0.1:<port>"
  std::string Url(const std::string& path = "/") const;

  // Bytes received on each connection so far, in connection order.
  std::vector<std::string> Requests() const;
  std::string Request(size_t connection) const;
  size_t ConnectionCount() const;
  // True once connection n (from 0) was closed or reset by the client.
  bool ClientClosed(size_t connection) const;
  bool WaitForConnections(size_t n, int timeoutMs = 5000) const;
  bool WaitForClientClose(size_t connection, int timeoutMs = 5000) const;

 private:
  struct Connection;
  void AcceptLoop();
  void Serve(std::shared_ptr<Connection> c, TPeerAnswer answer);

  int listenFd_ = -1;
  int wakeFd_ = -1;
  uint16_t port_ = 0;
  std::atomic<bool> stopping_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::vector<TPeerAnswer> answers_;
  std::vector<std::shared_ptr<Connection>> connections_;
  std::vector<std::thread> workers_;
  std::thread acceptThread_;
};

}  // namespace quellion::test
