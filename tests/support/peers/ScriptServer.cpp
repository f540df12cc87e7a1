#include "tests/support/peers/ScriptServer.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

namespace quellion::test {

TPeerAnswer& TPeerAnswer::Send(std::string bytes) {
  steps.push_back({Step::kSend, std::move(bytes), 0});
  return *this;
}

TPeerAnswer& TPeerAnswer::Drip(const std::string& bytes, size_t chunk, int ms) {
  for (size_t i = 0; i < bytes.size(); i += chunk) {
    if (i > 0)
      Pause(ms);
    Send(bytes.substr(i, chunk));
  }
  return *this;
}

TPeerAnswer& TPeerAnswer::Pause(int ms) {
  steps.push_back({Step::kPause, {}, ms});
  return *this;
}

TPeerAnswer& TPeerAnswer::Reset() {
  steps.push_back({Step::kReset, {}, 0});
  return *this;
}

TPeerAnswer& TPeerAnswer::Hold() {
  steps.push_back({Step::kHold, {}, 0});
  return *this;
}

TPeerAnswer& TPeerAnswer::WithoutWaitingForRequest() {
  waitForRequest = false;
  return *this;
}

TPeerAnswer Respond(std::string raw) {
  TPeerAnswer a;
  a.Send(std::move(raw));
  return a;
}

std::string HttpResponse(const std::string& statusLine, const std::vector<std::string>& headers,
                         const std::string& body) {
  std::string r = statusLine + "\r\n";
  for (const auto& h : headers)
    r += h + "\r\n";
  return r + "\r\n" + body;
}

struct TScriptServer::Connection {
  int fd = -1;
  std::string received;
  bool clientClosed = false;
};

TScriptServer::TScriptServer(std::vector<TPeerAnswer> answers) : answers_(std::move(answers)) {
  listenFd_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
  wakeFd_ = ::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  sockaddr_in sa{};
  sa.sin_family = AF_INET;
  sa.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof sa;
  if (listenFd_ < 0 || wakeFd_ < 0 ||
      ::bind(listenFd_, reinterpret_cast<sockaddr*>(&sa), sizeof sa) < 0 ||
      ::listen(listenFd_, 64) < 0 ||
      getsockname(listenFd_, reinterpret_cast<sockaddr*>(&sa), &len) < 0)
    throw std::runtime_error("test server cannot listen");
  port_ = ntohs(sa.sin_port);
  acceptThread_ = std::thread([this] { AcceptLoop(); });
}

TScriptServer::~TScriptServer() {
  stopping_ = true;
  const uint64_t one = 1;
  [[maybe_unused]] ssize_t n = ::write(wakeFd_, &one, sizeof one);
  acceptThread_.join();
  for (auto& w : workers_)
    w.join();
  ::close(listenFd_);
  ::close(wakeFd_);
}

void TScriptServer::SetAnswers(std::vector<TPeerAnswer> answers) {
  std::lock_guard lock(mutex_);
  answers_ = std::move(answers);
}

std::string TScriptServer::HostPort() const {
  return "127.0.0.1:" + std::to_string(port_);
}

std::string TScriptServer::Url(const std::string& path) const {
  return "http://" + HostPort() + path;
}

std::vector<std::string> TScriptServer::Requests() const {
  std::lock_guard lock(mutex_);
  std::vector<std::string> r;
  for (const auto& c : connections_)
    r.push_back(c->received);
  return r;
}

std::string TScriptServer::Request(size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < connections_.size() ? connections_[connection]->received : std::string();
}

size_t TScriptServer::ConnectionCount() const {
  std::lock_guard lock(mutex_);
  return connections_.size();
}

bool TScriptServer::ClientClosed(size_t connection) const {
  std::lock_guard lock(mutex_);
  return connection < connections_.size() && connections_[connection]->clientClosed;
}

bool TScriptServer::WaitForConnections(size_t n, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs),
                           [&] { return connections_.size() >= n; });
}

bool TScriptServer::WaitForClientClose(size_t connection, int timeoutMs) const {
  std::unique_lock lock(mutex_);
  return changed_.wait_for(lock, std::chrono::milliseconds(timeoutMs), [&] {
    return connection < connections_.size() && connections_[connection]->clientClosed;
  });
}

void TScriptServer::AcceptLoop() {
  while (!stopping_) {
    pollfd fds[2] = {{listenFd_, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, -1) < 0)
      continue;
    if (fds[1].revents)
      break;
    const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC);
    if (fd < 0)
      continue;
    auto c = std::make_shared<Connection>();
    c->fd = fd;
    TPeerAnswer answer;
    {
      std::lock_guard lock(mutex_);
      const size_t index = connections_.size();
      if (!answers_.empty())
        answer = answers_[std::min(index, answers_.size() - 1)];
      connections_.push_back(c);
    }
    changed_.notify_all();
    workers_.emplace_back([this, c, answer] { Serve(c, answer); });
  }
}

void TScriptServer::Serve(std::shared_ptr<Connection> c, TPeerAnswer answer) {
  using Clock = std::chrono::steady_clock;
  bool closed = false;
  // Reads what has arrived within waitMs; records it and notes the client's close.
  auto readSome = [&](int waitMs) {
    pollfd fds[2] = {{c->fd, POLLIN, 0}, {wakeFd_, POLLIN, 0}};
    if (::poll(fds, 2, waitMs) <= 0 || fds[1].revents || closed)
      return;
    char buffer[65536];
    const ssize_t n = ::recv(c->fd, buffer, sizeof buffer, MSG_DONTWAIT);
    std::lock_guard lock(mutex_);
    if (n > 0) {
      c->received.append(buffer, n);
    } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
      closed = true;
      c->clientClosed = true;
    }
    changed_.notify_all();
  };
  auto requestComplete = [&] {
    std::lock_guard lock(mutex_);
    return c->received.find("\r\n\r\n") != std::string::npos ||
           c->received.find("\n\n") != std::string::npos;
  };

  if (answer.waitForRequest) {
    const auto deadline = Clock::now() + std::chrono::seconds(10);
    while (!stopping_ && !closed && !requestComplete() && Clock::now() < deadline)
      readSome(50);
  }
  bool reset = false;
  for (const auto& step : answer.steps) {
    if (stopping_ || reset)
      break;
    switch (step.kind) {
      case TPeerAnswer::Step::kSend: {
        size_t sent = 0;
        while (sent < step.data.size() && !stopping_) {
          const ssize_t n = ::send(c->fd, step.data.data() + sent, step.data.size() - sent,
                                   MSG_NOSIGNAL | MSG_DONTWAIT);
          if (n > 0) {
            sent += n;
          } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{c->fd, POLLOUT, 0};
            ::poll(&p, 1, 50);
          } else {
            break;  // the client is gone
          }
        }
        break;
      }
      case TPeerAnswer::Step::kPause: {
        const auto until = Clock::now() + std::chrono::milliseconds(step.ms);
        while (!stopping_ && Clock::now() < until)
          readSome(10);
        break;
      }
      case TPeerAnswer::Step::kReset: {
        linger l{1, 0};
        setsockopt(c->fd, SOL_SOCKET, SO_LINGER, &l, sizeof l);
        reset = true;
        break;
      }
      case TPeerAnswer::Step::kHold:
        while (!stopping_ && !closed)
          readSome(50);
        break;
    }
  }
  if (!reset) {
    ::shutdown(c->fd, SHUT_WR);
    // Let the client read everything and close first, so no unread byte turns our
    // close into a reset.
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (!stopping_ && !closed && Clock::now() < deadline)
      readSome(20);
  }
  ::close(c->fd);
  std::lock_guard lock(mutex_);
  changed_.notify_all();
}

}  // namespace quellion::test
